#include "platform/system/AppWindow.h"

#include <SDL.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/system/FirstFrame.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PaletteRow.h"
#include "platform/system/Prefault.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/Termination.h"
#include "platform/system/WindowMessages.h"
#include "platform/system/X11Guard.h"

namespace {

constexpr int kFrameW = 640;
constexpr int kFrameH = 480;

SDL_Window* g_window = nullptr;
SDL_Renderer* g_renderer = nullptr;
SDL_Texture* g_texture = nullptr;
bool g_vsync = false;
bool g_videoUp = false;
// The pads are looked for once the game's first frame is done (or a second into a run that
// makes none): finding them costs the start a couple of milliseconds, and no one
// presses a button before the title is there.
bool g_joysticksUp = false;
std::chrono::steady_clock::time_point g_videoStart;
constexpr auto kJoysticksAtLatest = std::chrono::seconds(1);
Uint32 g_wakeEvent = 0;
// The window thread's wake-ups where no display sends events (AppPumpEvents).
std::mutex g_wakeMutex;
std::condition_variable g_wakeCv;
bool g_bWoken = false;

std::mutex g_hookMutex;
AppEventHook g_hook;

// The mailbox: the game thread writes, the window thread takes. Newest frame wins.
std::mutex g_frameMutex;
std::vector<u32> g_frame;
bool g_frameNew = false;
std::vector<u32> g_shown; // what the window thread presented last
AppOverlay g_overlay;      // window thread only
std::vector<u32> g_presented;

// Presents that waited for the vertical blank, for the game thread that paces on them; presents
// that do not come at 60 a second switch the pacing back to the clock.
std::mutex g_vblankMutex;
std::condition_variable g_vblankCv;
u64 g_nPresented = 0;             // the number of the last frame shown (g_vblankMutex)
std::atomic<u64> g_nSubmitted{0}; // the number of the last frame handed over
u64 g_nMailboxNo = 0;             // the number of the frame in the mailbox (g_frameMutex)
int g_nPresentRun = 0;
double g_dPresentSum = 0;
std::chrono::steady_clock::time_point g_lastPresent;
bool g_bVsyncEffective = true;
// Set by the window thread: its presents wait for the vertical blank right now.
std::atomic<bool> g_bPaceable{false};

struct OpenJoystick {
    SDL_Joystick* joy = nullptr;
    SDL_JoystickID id = -1;
};
std::array<OpenJoystick, kMaxJoysticks> g_joysticks;

u32 ScancodeToVk(SDL_Scancode sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return 0x70 + (sc - SDL_SCANCODE_F1);
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return 0x61 + (sc - SDL_SCANCODE_KP_1);
    switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_KP_0: return 0x60;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return 0x12;
    case SDL_SCANCODE_PAUSE: return 0x13;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_INSERT: return 0x2D;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_KP_MULTIPLY: return 0x6A;
    case SDL_SCANCODE_KP_PLUS: return 0x6B;
    case SDL_SCANCODE_KP_MINUS: return 0x6D;
    case SDL_SCANCODE_KP_PERIOD: return 0x6E;
    case SDL_SCANCODE_KP_DIVIDE: return 0x6F;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    default: return 0;
    }
}

bool Offer(const APPEVENT& e) {
    AppEventHook hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_hook;
    }
    return hook && hook(e);
}

// A close asked from outside the game (a termination signal, Termination.h; the window lost
// to another program or with its display) closes the program as the window's close button
// does: an open dialog sees the close first, then the window. Once is enough: the close goes on
// by itself from there, and a modal dialog opened later ends itself (DlgDoModal, on
// AppCloseAsked). Before the main window is there (start-up), the pump of its loop is the first
// to offer it.
void OfferOutsideClose() {
    static bool offered = false; // window thread only
    if (offered || !g_hWnd) return;
    if (const int sig = TerminationSignal()) WriteReport("signal %d (%s) : closing in order", sig, strsignal(sig));
    else if (AppWindowLost()) WriteReport("WM_DESTROY : ウインドウが外から破棄されました。終了します");
    else return;
    offered = true;
    APPEVENT e;
    e.kind = APPEVENT::Close;
    Offer(e);
    PostMessage(g_hWnd, WM_CLOSE, 0, 0);
}

void JoystickAdded(int deviceIndex) {
    SDL_Joystick* joy = SDL_JoystickOpen(deviceIndex);
    if (!joy) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joy);
    for (auto& j : g_joysticks)
        if (j.joy && j.id == id) {
            SDL_JoystickClose(joy); // already open (the add event repeats at start)
            return;
        }
    for (u32 n = 0; n < kMaxJoysticks; ++n) {
        if (!g_joysticks[n].joy) {
            g_joysticks[n] = {joy, id};
            return;
        }
    }
    SDL_JoystickClose(joy);
}

void JoystickRemoved(SDL_JoystickID id) {
    for (u32 n = 0; n < kMaxJoysticks; ++n) {
        if (g_joysticks[n].joy && g_joysticks[n].id == id) {
            SDL_JoystickClose(g_joysticks[n].joy);
            g_joysticks[n] = {};
            JoyStateSet(n, nullptr);
        }
    }
}

void SnapshotJoysticks() {
    for (u32 n = 0; n < kMaxJoysticks; ++n) {
        SDL_Joystick* joy = g_joysticks[n].joy;
        if (!joy) continue;
        JOYSTATE s;
        if (SDL_JoystickNumAxes(joy) >= 2) {
            s.dwXpos = static_cast<u32>(SDL_JoystickGetAxis(joy, 0) + 32768);
            s.dwYpos = static_cast<u32>(SDL_JoystickGetAxis(joy, 1) + 32768);
        }
        const int buttons = std::min(SDL_JoystickNumButtons(joy), 32);
        for (int b = 0; b < buttons; ++b)
            if (SDL_JoystickGetButton(joy, b)) s.dwButtons |= 1u << b;
        // A hat counts as the stick, so pads without analogue axes still steer.
        if (SDL_JoystickNumHats(joy) > 0) {
            const Uint8 hat = SDL_JoystickGetHat(joy, 0);
            if (hat & SDL_HAT_LEFT) s.dwXpos = 0;
            if (hat & SDL_HAT_RIGHT) s.dwXpos = 65535;
            if (hat & SDL_HAT_UP) s.dwYpos = 0;
            if (hat & SDL_HAT_DOWN) s.dwYpos = 65535;
        }
        JoyStateSet(n, &s);
    }
}

void UpdateMouse(i32 x, i32 y) {
    const Uint32 b = SDL_GetMouseState(nullptr, nullptr);
    MouseStateSet((b & SDL_BUTTON_LMASK) != 0, (b & SDL_BUTTON_RMASK) != 0, x, y);
}

void Translate(const SDL_Event& ev) {
    APPEVENT e;
    switch (ev.type) {
    case SDL_QUIT:
        e.kind = APPEVENT::Close;
        Offer(e);
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        switch (ev.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            e.kind = APPEVENT::Close;
            Offer(e);
            PostMessage(g_hWnd, WM_CLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: PostMessage(g_hWnd, WM_ACTIVATEAPP, 1, 0); break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            // Headless runs never regain focus; they stay active.
            if (!AppIsHeadless()) PostMessage(g_hWnd, WM_ACTIVATEAPP, 0, 0);
            break;
        case SDL_WINDOWEVENT_EXPOSED: AppPresent(true); break;
        default: break;
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const u32 vk = ScancodeToVk(ev.key.keysym.scancode);
        if (!vk) break;
        const bool down = ev.type == SDL_KEYDOWN;
        KeyStateSet(vk, down);
        e.kind = down ? APPEVENT::KeyDown : APPEVENT::KeyUp;
        e.vk = vk;
        if (Offer(e)) {
            // Typed into a dialog: the game's frame after it must not take it for a tap.
            if (down) KeyStateTaken(vk);
        } else if (down) {
            PostMessage(g_hWnd, WM_KEYDOWN, vk, 0);
        }
        break;
    }
    case SDL_TEXTINPUT:
        e.kind = APPEVENT::Text;
        e.text = ev.text.text;
        Offer(e);
        break;
    case SDL_TEXTEDITING:
        e.kind = APPEVENT::Editing;
        e.text = ev.edit.text;
        e.x = ev.edit.start;
        Offer(e);
        break;
    case SDL_MOUSEMOTION:
        UpdateMouse(ev.motion.x, ev.motion.y);
        e.kind = APPEVENT::MouseMove;
        e.x = ev.motion.x;
        e.y = ev.motion.y;
        Offer(e);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        UpdateMouse(ev.button.x, ev.button.y);
        e.kind = ev.type == SDL_MOUSEBUTTONDOWN ? APPEVENT::MouseDown : APPEVENT::MouseUp;
        e.x = ev.button.x;
        e.y = ev.button.y;
        e.button = ev.button.button == SDL_BUTTON_LEFT ? 1 : ev.button.button == SDL_BUTTON_RIGHT ? 2 : 0;
        Offer(e);
        break;
    case SDL_MOUSEWHEEL:
        e.kind = APPEVENT::Wheel;
        e.y = ev.wheel.y;
        Offer(e);
        break;
    case SDL_JOYDEVICEADDED: JoystickAdded(ev.jdevice.which); break;
    case SDL_JOYDEVICEREMOVED: JoystickRemoved(ev.jdevice.which); break;
    default: break;
    }
}

bool EnsurePresenter() {
    if (g_texture) return true;
    if (!g_window) return false;
    Uint32 flags = SDL_RENDERER_SOFTWARE;
    if (!AppIsHeadless()) flags = SDL_RENDERER_ACCELERATED;
    if (g_vsync) flags |= SDL_RENDERER_PRESENTVSYNC;
    g_renderer = SDL_CreateRenderer(g_window, -1, flags);
    if (!g_renderer) g_renderer = SDL_CreateRenderer(g_window, -1, SDL_RENDERER_SOFTWARE);
    if (!g_renderer) {
        WriteReport("SDL_CreateRenderer: %s", SDL_GetError());
        return false;
    }
    SDL_RenderSetLogicalSize(g_renderer, kFrameW, kFrameH);
    X11GuardInstall(g_window); // the renderer may have made a new X window
    X11GuardPinLibraries();
    g_texture = SDL_CreateTexture(g_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                  kFrameW, kFrameH);
    if (!g_texture) {
        WriteReport("SDL_CreateTexture: %s", SDL_GetError());
        SDL_DestroyRenderer(g_renderer);
        g_renderer = nullptr;
        return false;
    }
    // Frames are opaque whatever their alpha bytes hold.
    SDL_SetTextureBlendMode(g_texture, SDL_BLENDMODE_NONE);
    return true;
}

void ReleasePresenter() {
    if (g_texture) SDL_DestroyTexture(g_texture);
    if (g_renderer) SDL_DestroyRenderer(g_renderer);
    g_texture = nullptr;
    g_renderer = nullptr;
}

} // namespace

bool AppIsHeadless() {
    const char* driver = g_videoUp ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
    return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

bool AppVideoInit() {
    if (g_videoUp) return true;
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    X11GuardPrepare();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        WriteReport("SDL_Init(VIDEO): %s", SDL_GetError());
        return false;
    }
    // Without a display SDL quietly falls back to a driver that shows nothing: the game would run
    // unseen. Only a run that asked for such a driver (tests, headless tools) gets one.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    const bool unseen = driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
    if (unseen && !(asked && std::strstr(asked, driver))) {
        WriteReport("Video : no display (DISPLAY is %s); SDL_VIDEODRIVER=dummy runs without one",
                    std::getenv("DISPLAY") ? "not reachable" : "not set");
        std::fprintf(stderr, "tobrelk: no display to show the game on (DISPLAY is %s)\n",
                     std::getenv("DISPLAY") ? "not reachable" : "not set");
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        return false;
    }
    g_videoUp = true;
    g_joysticksUp = false;
    g_videoStart = std::chrono::steady_clock::now();
    if (!g_wakeEvent) {
        const Uint32 ev = SDL_RegisterEvents(1);
        if (ev != static_cast<Uint32>(-1)) g_wakeEvent = ev;
    }
    SetWindowQueueWakeHook([] { AppWake(); });
    return true;
}

void AppVideoQuit() {
    // No frame comes any more: nothing may wait for one.
    FirstFrameShown();
    SetWindowQueueWakeHook(nullptr);
    AppWindowDestroy();
    for (u32 n = 0; n < kMaxJoysticks; ++n) {
        if (g_joysticks[n].joy) SDL_JoystickClose(g_joysticks[n].joy);
        g_joysticks[n] = {};
        JoyStateSet(n, nullptr);
    }
    // A dead X connection is not closed: SDL would ask the server (and the OpenGL driver) for
    // things on it. The process is ending; it takes them along.
    if (g_videoUp)
        SDL_QuitSubSystem(X11ConnectionLost() ? SDL_INIT_JOYSTICK : SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_JOYSTICK);
    g_videoUp = false;
}

bool AppWindowCreate(int w, int h) {
    if (g_window) return true;
    if (!AppVideoInit()) return false;
    g_window = SDL_CreateWindow("", 100, 100, w, h, SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!g_window) {
        WriteReport("SDL_CreateWindow: %s", SDL_GetError());
        return false;
    }
    X11GuardInstall(g_window);
    // A renderer that needs another kind of X window (OpenGL) makes SDL destroy the window and
    // create it anew, at the place it was created at, not where it was moved since. Made now,
    // before the window is placed, titled or shown, the window the player sees is the one that
    // stays, where it was put. The vertical sync, known later, remakes only the renderer.
    EnsurePresenter();
    SetMessageBoxOwner(g_window);
    return true;
}

void AppWindowDestroy() {
    SetMessageBoxOwner(nullptr);
    // The server may have gone while nothing read from the connection: a box's own process saw
    // it first, and its end ended the start. SDL would wait on the dead connection for the
    // window's unmapping, for ever: a round trip finds out first.
    if (g_window) X11GuardSync();
    if (X11ConnectionLost()) {
        // Nothing on a dead connection is destroyed (see AppVideoQuit).
        g_texture = nullptr;
        g_renderer = nullptr;
        X11GuardRelease();
        g_window = nullptr;
        return;
    }
    AppTextInput(false);
    ReleasePresenter();
    if (g_window) SDL_DestroyWindow(g_window);
    // A window destroyed from outside makes its own destruction fail: those errors must arrive
    // while the guard still holds.
    if (g_window) X11GuardSync();
    X11GuardRelease();
    g_window = nullptr;
}

bool AppWindowLost() { return g_window && X11WindowLost(); }

bool AppCloseAsked() { return TerminationSignal() != 0 || AppWindowLost(); }

bool AppWindowExists() { return g_window != nullptr; }
void* AppWindowNative() { return g_window; }

void AppWindowSetTitle(const std::string& sjisTitle) {
    if (g_window) SDL_SetWindowTitle(g_window, ToDisplayText(sjisTitle).c_str());
}

void AppWindowCenterOnDesktop() {
    if (g_window) SDL_SetWindowPosition(g_window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void AppWindowShow(bool maximized) {
    if (!g_window) return;
    // Made before the window is shown (see AppWindowCreate): a renderer remade for a changed
    // vertical sync is ready for the first frame.
    EnsurePresenter();
    SDL_ShowWindow(g_window);
    if (maximized) SDL_MaximizeWindow(g_window);
}

void AppWindowMove(int x, int y) {
    if (!g_window) return;
    // The place is the frame's corner, as AppWindowGetRect gives it. A window not yet shown is
    // framed where it asks to be; one already shown and framed (the drawing-mode question shows
    // it early) is moved by SDL as its client area, which would land a frame's width off at
    // each start.
    int top = 0, left = 0;
    if (!(SDL_GetWindowFlags(g_window) & SDL_WINDOW_HIDDEN) &&
        SDL_GetWindowBordersSize(g_window, &top, &left, nullptr, nullptr) == 0) {
        x += left;
        y += top;
    }
    SDL_SetWindowPosition(g_window, x, y);
}

void AppWindowResize(int w, int h) {
    if (g_window) SDL_SetWindowSize(g_window, w, h);
}

void AppWindowSetResizable(bool resizable) {
    if (g_window) SDL_SetWindowResizable(g_window, resizable ? SDL_TRUE : SDL_FALSE);
}

void AppWindowSetMinimumSize(int w, int h) {
    if (g_window) SDL_SetWindowMinimumSize(g_window, w, h);
}

void AppWindowSetFullscreen(bool fullscreen) {
    if (g_window) {
        // Full screen is asked of the window manager; with none (a bare X server) nothing would
        // resize the window, and the picture scaled for the whole screen would be cut to the
        // window. Covering the display first makes both cases the same: a borderless window
        // over the whole display, the frame scaled into it with its aspect kept, black around.
        const int display = std::max(SDL_GetWindowDisplayIndex(g_window), 0);
        SDL_Rect bounds{0, 0, kFrameW, kFrameH};
        // A renderer that needs another kind of X window (OpenGL) makes SDL create the window
        // anew (see AppWindowCreate): that must happen before it is placed, since a window in
        // full screen cannot be moved.
        if (fullscreen) EnsurePresenter();
        if (fullscreen && SDL_GetDisplayBounds(display, &bounds) == 0) {
            SDL_SetWindowBordered(g_window, SDL_FALSE);
            SDL_SetWindowPosition(g_window, bounds.x, bounds.y);
            SDL_SetWindowSize(g_window, bounds.w, bounds.h);
        }
        SDL_SetWindowFullscreen(g_window, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        if (!fullscreen && (SDL_GetWindowFlags(g_window) & SDL_WINDOW_BORDERLESS) != 0) {
            SDL_SetWindowBordered(g_window, SDL_TRUE);
            SDL_SetWindowSize(g_window, kFrameW, kFrameH);
            SDL_SetWindowPosition(g_window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        }
    }
    // The full-screen game has no use for the mouse cursor.
    if (g_videoUp) SDL_ShowCursor(fullscreen ? SDL_DISABLE : SDL_ENABLE);
}

bool AppWindowIsFullscreen() {
    return g_window && (SDL_GetWindowFlags(g_window) & SDL_WINDOW_FULLSCREEN) != 0;
}

void AppWindowGetRect(int& x, int& y, int& w, int& h) {
    x = y = 0;
    w = kFrameW;
    h = kFrameH;
    if (!g_window) return;
    // The corner of the window manager's frame: the window is placed before it is shown, and a
    // window manager puts the frame where such a window asks to be (its client area then sits
    // below the title bar). SDL tells where the client area is; taking that corner would move
    // the window down by the title bar and right by the border at each start. Without a window
    // manager there are no borders and the two corners are one.
    SDL_GetWindowPosition(g_window, &x, &y);
    int top = 0, left = 0;
    if (SDL_GetWindowBordersSize(g_window, &top, &left, nullptr, nullptr) == 0) {
        x -= left;
        y -= top;
    }
    SDL_GetWindowSize(g_window, &w, &h);
}

// A destroyed window was unmapped on its way out, which SDL takes for minimising; its place is
// still the last one it had.
bool AppWindowMinimized() {
    return g_window && !X11WindowLost() && (SDL_GetWindowFlags(g_window) & SDL_WINDOW_MINIMIZED);
}
bool AppWindowMaximized() { return g_window && (SDL_GetWindowFlags(g_window) & SDL_WINDOW_MAXIMIZED); }
bool AppWindowHasFocus() {
    return g_window && (SDL_GetWindowFlags(g_window) & SDL_WINDOW_INPUT_FOCUS);
}

void AppDesktopBounds(int& w, int& h) {
    SDL_Rect r{0, 0, 1024, 768};
    const int display = g_window ? std::max(SDL_GetWindowDisplayIndex(g_window), 0) : 0;
    if (SDL_GetDisplayUsableBounds(display, &r) != 0) SDL_GetDisplayBounds(display, &r);
    w = r.w;
    h = r.h;
}

int AppDesktopDepth() {
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 32;
    const int bpp = SDL_BITSPERPIXEL(mode.format);
    if (bpp == 24 || bpp == 0) return 32;
    return bpp;
}

int AppRefreshRate() {
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.refresh_rate <= 0) return 60;
    return mode.refresh_rate;
}

AppEventHook SetAppEventHook(AppEventHook hook) {
    std::lock_guard lock(g_hookMutex);
    std::swap(g_hook, hook);
    return hook;
}

namespace {
void StartJoysticksWhenDue() {
    if (g_joysticksUp) return;
    if (!FirstFrameWasShown() && std::chrono::steady_clock::now() - g_videoStart < kJoysticksAtLatest) return;
    g_joysticksUp = true;
    // No joystick support is no reason not to run: the keyboard still plays. The pads already
    // plugged in arrive as device events, as those plugged in later do.
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) WriteReport("SDL_Init(JOYSTICK): %s", SDL_GetError());
}
} // namespace

void AppPumpEvents(u32 waitMs, const std::function<bool()>& done) {
    if (!g_videoUp) return;
    StartJoysticksWhenDue();
    SDL_Event ev;
    // A broken X connection sends nothing any more, and SDL's wait on it would return at once,
    // each time: a loop pumping on it would spin a core until the close ends it.
    const bool displayEvents = !AppIsHeadless() && !X11ConnectionLost();
    if (waitMs > 0 && !displayEvents) {
        // A driver without a display has no events of its own to wait on, and SDL would look
        // for them every millisecond: the wait is for this program's wake-ups instead.
        std::unique_lock lock(g_wakeMutex);
        g_wakeCv.wait_for(lock, std::chrono::milliseconds(waitMs), [] { return g_bWoken; });
        g_bWoken = false;
    } else if (waitMs > 0 && SDL_WaitEventTimeout(&ev, static_cast<int>(waitMs))) {
        if (ev.type != g_wakeEvent) Translate(ev);
    }
    OfferOutsideClose();
    while (!(done && done()) && SDL_PollEvent(&ev)) {
        if (ev.type != g_wakeEvent) Translate(ev);
    }
    SnapshotJoysticks();
}

void AppTextInput(bool on) {
    if (!g_videoUp) return;
    if (on) SDL_StartTextInput();
    else SDL_StopTextInput();
}

void AppTextInputRect(int x, int y, int w, int h) {
    if (!g_videoUp) return;
    // The input method works in window coordinates; the frame is scaled into the window.
    int wx = x, wy = y, wx1 = x + w, wy1 = y + h;
    if (g_renderer) {
        SDL_RenderLogicalToWindow(g_renderer, static_cast<float>(x), static_cast<float>(y), &wx, &wy);
        SDL_RenderLogicalToWindow(g_renderer, static_cast<float>(x + w), static_cast<float>(y + h), &wx1, &wy1);
    }
    SDL_Rect r{wx, wy, std::max(wx1 - wx, 1), std::max(wy1 - wy, 1)};
    static SDL_Rect last{-1, -1, 0, 0};
    if (r.x == last.x && r.y == last.y && r.w == last.w && r.h == last.h) return;
    last = r;
    SDL_SetTextInputRect(&r);
}

void AppWake() {
    if (!g_wakeEvent) return;
    {
        std::lock_guard lock(g_wakeMutex);
        g_bWoken = true;
    }
    g_wakeCv.notify_one();
    SDL_Event ev{};
    ev.type = g_wakeEvent;
    SDL_PushEvent(&ev);
}

namespace {
// The one copy of a frame on its way to the window: into the mailbox, under its lock.
template <class Row>
void Submit(Row row) {
    {
        std::lock_guard lock(g_frameMutex);
        // The first frames' storage is written whole at once: its pages are made in one call.
        ReservePrefaulted(g_frame, static_cast<std::size_t>(kFrameW) * kFrameH);
        g_frame.resize(static_cast<std::size_t>(kFrameW) * kFrameH);
        for (int y = 0; y < kFrameH; ++y) row(y, &g_frame[static_cast<std::size_t>(y) * kFrameW]);
        g_frameNew = true;
        g_nMailboxNo = ++g_nSubmitted;
    }
    AppWake();
}
} // namespace

void AppSubmitFrame(const u32* pixels, int pitch) {
    Submit([&](int y, u32* out) {
        std::memcpy(out, pixels + static_cast<std::size_t>(y) * pitch, kFrameW * sizeof(u32));
    });
}

void AppSubmitIndexedFrame(const u32* indexes, int pitch, const u32 (&lut)[256]) {
    Submit([&](int y, u32* out) {
        const u32* in = indexes + static_cast<std::size_t>(y) * pitch;
        PaletteRow(out, in, lut, kFrameW, 0);
    });
}

void AppPresent(bool force) {
    u64 taken = 0;
    {
        std::lock_guard lock(g_frameMutex);
        if (g_frameNew) {
            g_shown.swap(g_frame);
            g_frameNew = false;
            force = true;
            taken = g_nMailboxNo;
        }
    }
    const bool shown = force && !g_shown.empty() && g_window && !X11WindowLost() &&
                       (SDL_GetWindowFlags(g_window) & SDL_WINDOW_SHOWN) && EnsurePresenter();
    if (shown) {
        // A modeless dialog is drawn over a copy of the frame; the frame itself stays as the
        // game made it.
        std::vector<u32> over;
        if (g_overlay) {
            over = g_shown;
            g_overlay(over);
        }
        {
            std::lock_guard lock(g_frameMutex);
            g_presented.swap(over);
        }
        const std::vector<u32>& pixels = g_presented.empty() ? g_shown : g_presented;
        // Without a display (the dummy and offscreen drivers) no one sees the renderer's output:
        // the frame counts as shown without the three copies the software renderer makes of it.
        if (!AppIsHeadless()) {
            SDL_UpdateTexture(g_texture, nullptr, pixels.data(), kFrameW * sizeof(u32));
            SDL_SetRenderDrawColor(g_renderer, 0, 0, 0, 255);
            SDL_RenderClear(g_renderer);
            SDL_RenderCopy(g_renderer, g_texture, nullptr, nullptr);
            SDL_RenderPresent(g_renderer);
            if (g_vsync && g_bVsyncEffective) {
                // The presents pace the game only while they come at the game's 60 frames a
                // second: not without a vertical sync behind them (a software renderer, a driver
                // that ignores it), nor on a display that only claims 60 Hz. Each run of 60
                // presents is measured (stalls longer than 50 ms left out).
                const auto now = std::chrono::steady_clock::now();
                const double ms = std::chrono::duration<double, std::milli>(now - g_lastPresent).count();
                g_lastPresent = now;
                if (ms < 50) {
                    g_dPresentSum += ms;
                    if (++g_nPresentRun == 60) {
                        const double average = g_dPresentSum / 60;
                        g_nPresentRun = 0;
                        g_dPresentSum = 0;
                        if (average < 15.9 || average > 17.5) {
                            g_bVsyncEffective = false;
                            WriteReport("VSync : presents every %.2f ms, frames paced by the clock", average);
                        }
                    }
                }
            }
        }
    }
    const bool paceable = g_vsync && g_bVsyncEffective && g_window && !AppIsHeadless() &&
                          (SDL_GetWindowFlags(g_window) & SDL_WINDOW_SHOWN) &&
                          !(SDL_GetWindowFlags(g_window) & SDL_WINDOW_MINIMIZED);
    g_bPaceable.store(paceable);
    if (taken) {
        std::lock_guard lock(g_vblankMutex);
        g_nPresented = taken;
    }
    g_vblankCv.notify_all();
}

bool AppVsyncPaces(int fps) { return fps == 60 && g_bPaceable.load(); }

void AppWaitPresented() {
    // The frame just handed over must be on the screen (its present returns at the vertical
    // blank); the next one is drawn while the display shows it. A window that stops
    // presenting (hidden, closing) does not hold the game for more than a few frames.
    std::unique_lock lock(g_vblankMutex);
    const u64 last = g_nSubmitted.load();
    g_vblankCv.wait_for(lock, std::chrono::milliseconds(50), [last] { return g_nPresented >= last; });
}

void AppSetVSync(bool on) {
    if (g_vsync == on) return;
    g_vsync = on;
    // The renderer is made with the window, before the setting is known: switched in place
    // where the renderer can, else made again with the new setting at the next present.
    if (g_renderer && SDL_RenderSetVSync(g_renderer, on ? 1 : 0) == 0) return;
    ReleasePresenter();
}

void SetAppOverlay(AppOverlay overlay) { g_overlay = std::move(overlay); }

bool AppPresentedFrame(std::vector<u32>& out) {
    std::lock_guard lock(g_frameMutex);
    const std::vector<u32>& src = g_presented.empty() ? g_shown : g_presented;
    if (src.empty()) return false;
    out = src;
    return true;
}

bool AppLastFrame(std::vector<u32>& out) {
    std::lock_guard lock(g_frameMutex);
    const std::vector<u32>& src = g_frameNew ? g_frame : g_shown;
    if (src.empty()) return false;
    ReservePrefaulted(out, src.size());
    out = src;
    return true;
}

bool AppDumpFrame(const std::string& path) {
    std::vector<u32> frame;
    if (!AppLastFrame(frame)) return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", kFrameW, kFrameH);
    std::vector<unsigned char> row(kFrameW * 3);
    bool ok = true;
    for (int y = 0; y < kFrameH && ok; ++y) {
        for (int x = 0; x < kFrameW; ++x) {
            const u32 p = frame[static_cast<std::size_t>(y) * kFrameW + x];
            row[x * 3] = static_cast<unsigned char>(p >> 16);
            row[x * 3 + 1] = static_cast<unsigned char>(p >> 8);
            row[x * 3 + 2] = static_cast<unsigned char>(p);
        }
        ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    }
    return std::fclose(f) == 0 && ok;
}
