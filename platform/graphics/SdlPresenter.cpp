// The window thread's side of present: an SDL window with a streaming texture. The drawing
// thread only drops finished frames into a one-frame mailbox and pushes a wake-up event.
#include <SDL.h>

#include <cstring>

#include "platform/graphics/Presenter.h"
#include "platform/graphics/Raster.h"
#include "platform/system/Report.h"

struct SdlPresenterImpl {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int width = 0, height = 0;
    bool vsync = false;
    int refresh = 0;
    u32 eventType = 0;
    std::mutex mutex;
    std::vector<u32> mailbox;
    bool pending = false;
    std::atomic<bool> wakePosted{false};
    std::atomic<u32> shown{0};
    std::vector<u32> showing;
};

cSdlPresenter::cSdlPresenter() : m(new SdlPresenterImpl) {}
cSdlPresenter::~cSdlPresenter() {
    Shutdown();
    delete m;
}

bool cSdlPresenter::Init(const char* title, int width, int height, bool fullscreen, bool integerScale, bool vsync) {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        WriteReport("SDL_InitSubSystem Err %s", SDL_GetError());
        return false;
    }
    m->width = width;
    m->height = height;
    SDL_DisplayMode mode;
    m->refresh = SDL_GetCurrentDisplayMode(0, &mode) == 0 ? mode.refresh_rate : 0;
    // Vertical sync paces the game only where the display runs at the game's 60 frames.
    m->vsync = vsync && m->refresh == 60;
    // Hidden until its renderer is made: a renderer that needs another kind of X window (OpenGL)
    // makes SDL destroy the window and create it anew, which a shown window would do in view.
    const Uint32 flags = (fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) | SDL_WINDOW_HIDDEN;
    m->window = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!m->window) {
        WriteReport("SDL_CreateWindow Err %s", SDL_GetError());
        return false;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    m->renderer = SDL_CreateRenderer(m->window, -1, m->vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
    if (!m->renderer) m->renderer = SDL_CreateRenderer(m->window, -1, SDL_RENDERER_SOFTWARE);
    if (!m->renderer) {
        WriteReport("SDL_CreateRenderer Err %s", SDL_GetError());
        Shutdown();
        return false;
    }
    SDL_RenderSetLogicalSize(m->renderer, width, height);
    SDL_RenderSetIntegerScale(m->renderer, integerScale ? SDL_TRUE : SDL_FALSE);
    m->texture = SDL_CreateTexture(m->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!m->texture) {
        WriteReport("SDL_CreateTexture Err %s", SDL_GetError());
        Shutdown();
        return false;
    }
    SDL_SetTextureBlendMode(m->texture, SDL_BLENDMODE_NONE); // frames are opaque
    m->eventType = SDL_RegisterEvents(1);
    SDL_ShowWindow(m->window);
    SDL_SetRenderDrawColor(m->renderer, 0, 0, 0, 255);
    SDL_RenderClear(m->renderer);
    SDL_RenderPresent(m->renderer);
    return true;
}

void cSdlPresenter::Present(const u32* argb, int width, int height) {
    if (!m->texture || width != m->width || height != m->height) return;
    {
        // Plain stores, not streamed ones (StreamedRows.h): the window thread read this buffer a
        // frame ago, and its lines are likely still in a cache.
        std::lock_guard lock(m->mutex);
        m->mailbox.assign(argb, argb + static_cast<std::size_t>(width) * height);
        m->pending = true;
    }
    Wake();
}

void cSdlPresenter::PresentIndexed(const u32* indexes, const u32 (&lut)[256], int width, int height) {
    if (!m->texture || width != m->width || height != m->height) return;
    {
        // Converted straight into the mailbox: one pass instead of a converted copy copied again.
        std::lock_guard lock(m->mutex);
        m->mailbox.resize(static_cast<std::size_t>(width) * height);
        PaletteFrame(m->mailbox.data(), indexes, lut, m->mailbox.size(), 0);
        m->pending = true;
    }
    Wake();
}

void cSdlPresenter::Wake() {
    if (!m->wakePosted.exchange(true) && m->eventType != static_cast<u32>(-1)) {
        SDL_Event ev;
        SDL_zero(ev);
        ev.type = m->eventType;
        // A wake-up that never arrived (queue full, event filtered) must not stay marked as
        // posted, or no later frame would ever wake the window thread.
        if (SDL_PushEvent(&ev) != 1) m->wakePosted.store(false);
    }
}

int cSdlPresenter::RefreshRate() { return m->refresh; }
bool cSdlPresenter::VsyncOn() const { return m->vsync; }
u32 cSdlPresenter::ShownCount() const { return m->shown.load(); }

bool cSdlPresenter::ShowPending() {
    m->wakePosted.store(false);
    {
        std::lock_guard lock(m->mutex);
        if (!m->pending) return false;
        m->showing.swap(m->mailbox);
        m->pending = false;
    }
    if (!m->texture) return false;
    SDL_UpdateTexture(m->texture, nullptr, m->showing.data(), m->width * 4);
    SDL_RenderClear(m->renderer);
    SDL_RenderCopy(m->renderer, m->texture, nullptr, nullptr);
    SDL_RenderPresent(m->renderer);
    m->shown.fetch_add(1);
    return true;
}

bool cSdlPresenter::HandleEvent(const void* sdlEvent) {
    const auto* ev = static_cast<const SDL_Event*>(sdlEvent);
    if (!ev || m->eventType == 0 || ev->type != m->eventType) return false;
    ShowPending();
    return true;
}

bool cSdlPresenter::ReadBack(std::vector<u32>* argb, int* width, int* height) {
    if (!m->renderer) return false;
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(m->renderer, &w, &h) != 0 || w <= 0 || h <= 0) return false;
    argb->assign(static_cast<std::size_t>(w) * h, 0);
    if (SDL_RenderReadPixels(m->renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, argb->data(), w * 4) != 0) return false;
    *width = w;
    *height = h;
    return true;
}

void cSdlPresenter::Shutdown() {
    if (m->texture) SDL_DestroyTexture(m->texture);
    if (m->renderer) SDL_DestroyRenderer(m->renderer);
    if (m->window) SDL_DestroyWindow(m->window);
    m->texture = nullptr;
    m->renderer = nullptr;
    m->window = nullptr;
}
