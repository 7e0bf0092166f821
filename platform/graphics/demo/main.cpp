// The graphics demo: one frame with every kind of drawing call.
//   graphics_demo [--dd] [--bpp N] --png out.png      the frame from the memory presenter
//   graphics_demo [--dd] [--bpp N] --window ms        the frame in an SDL window for a while
//   graphics_demo [--dd] [--bpp N] --xvfb-check dir   shows the frame in a real window, takes a
//                                                     screenshot from the X server and compares
// Exit code 0 on success, 1 on failure, 77 when no X display can be opened (--xvfb-check).
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Presenter.h"
#include "platform/graphics/demo/DemoScene.h"

namespace {

bool ComposeFrame(const DemoConfig& cfg, cMemoryPresenter* mem) {
    SetPresenter(mem);
    if (!WriteDemoPictures(cfg.pictureDir) || !DemoBegin(cfg)) {
        std::fprintf(stderr, "demo: start-up failed\n");
        DemoEnd();
        return false;
    }
    DemoDrawFrame();
    if (cfg.direct3D) DDFlip(60, 0, 0);
    else DDPresent();
    DemoEnd();
    SetPresenter(nullptr);
    return mem->FrameCount() > 0;
}

bool GrabWindow(SDL_Window* window, std::vector<u32>* argb, int w, int h) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    Display* dpy = info.info.x11.display;
    XSync(dpy, False);
    XImage* img = XGetImage(dpy, info.info.x11.window, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap);
    if (!img) return false;
    argb->resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) (*argb)[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | (XGetPixel(img, x, y) & 0xFFFFFF);
    XDestroyImage(img);
    return true;
}

int ShowInWindow(const std::vector<u32>& frame, int w, int h, int ms, const std::string& checkDir) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "demo: no display (%s)\n", SDL_GetError());
        return checkDir.empty() ? 1 : 77;
    }
    int rc = 0;
    {
        cSdlPresenter presenter;
        if (!presenter.Init("tobrelk graphics demo", w, h, false, true, true)) {
            SDL_Quit();
            return checkDir.empty() ? 1 : 77;
        }
        presenter.Present(frame.data(), w, h);
        const Uint32 start = SDL_GetTicks();
        bool grabbed = false;
        while (SDL_GetTicks() - start < static_cast<Uint32>(ms)) {
            SDL_Event ev;
            while (SDL_PollEvent(&ev)) {
                if (presenter.HandleEvent(&ev)) continue;
                if (ev.type == SDL_QUIT) ms = 0;
                if (ev.type == SDL_WINDOWEVENT && ev.window.event == SDL_WINDOWEVENT_EXPOSED) presenter.Present(frame.data(), w, h);
            }
            SDL_Delay(10);
            if (!checkDir.empty() && !grabbed && presenter.ShownCount() > 0 && SDL_GetTicks() - start > 300) {
                std::vector<u32> shot;
                SDL_Window* window = SDL_GetWindowFromID(1);
                if (!window || !GrabWindow(window, &shot, w, h)) {
                    std::fprintf(stderr, "demo: screenshot failed\n");
                    rc = 1;
                } else {
                    WritePngFile(checkDir + "/screenshot.png", shot.data(), w, h);
                    std::size_t diff = 0;
                    for (std::size_t i = 0; i < shot.size(); ++i) diff += shot[i] != (frame[i] | 0xFF000000u);
                    std::printf("demo: screenshot differs in %zu of %zu pixels\n", diff, shot.size());
                    rc = diff == 0 ? 0 : 1;
                }
                grabbed = true;
                break;
            }
        }
        if (!checkDir.empty() && !grabbed) {
            std::fprintf(stderr, "demo: the frame was never shown\n");
            rc = 1;
        }
        presenter.Shutdown();
    }
    // SDL_Quit would unload the X libraries, and whatever they keep for the process would be
    // reported as leaks of an unknown module; the process ends here anyway.
    return rc;
}

} // namespace

int main(int argc, char** argv) {
    DemoConfig cfg;
    std::string png, checkDir;
    int windowMs = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--dd") cfg.direct3D = false;
        else if (a == "--bpp" && i + 1 < argc) cfg.bpp = std::atoi(argv[++i]);
        else if (a == "--png" && i + 1 < argc) png = argv[++i];
        else if (a == "--window" && i + 1 < argc) windowMs = std::atoi(argv[++i]);
        else if (a == "--xvfb-check" && i + 1 < argc) checkDir = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--dd] [--bpp N] (--png out.png | --window ms | --xvfb-check dir)\n", argv[0]);
            return 1;
        }
    }
    const std::string work = checkDir.empty() ? (std::filesystem::temp_directory_path() / "tobrelk_demo").string()
                                              : checkDir + "/pictures";
    cfg.pictureDir = work;
    cMemoryPresenter mem;
    if (!ComposeFrame(cfg, &mem)) return 1;
    const std::vector<u32> frame = mem.Frame();
    if (!png.empty() && !WritePngFile(png, frame.data(), mem.Width(), mem.Height())) return 1;
    if (!checkDir.empty()) {
        WritePngFile(checkDir + "/memory.png", frame.data(), mem.Width(), mem.Height());
        // The check ends once the frame is shown; the bound holds on a very busy machine.
        return ShowInWindow(frame, mem.Width(), mem.Height(), 120000, checkDir);
    }
    if (windowMs >= 0) return ShowInWindow(frame, mem.Width(), mem.Height(), windowMs, "");
    return 0;
}
