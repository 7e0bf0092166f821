#include "platform/system/MessageBox.h"

#include <SDL.h>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "platform/system/BoxText.h"
#include "platform/system/ChildWatch.h"
#include "platform/system/Format.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/Termination.h"
#include "platform/system/WindowMessages.h"
#include "platform/system/X11Guard.h"

namespace {

constexpr std::size_t kBoxTextLimit = 1023;

std::mutex g_sinkMutex;
MessageBoxSink g_sink;
std::atomic<SDL_Window*> g_owner{nullptr};
std::atomic<bool> g_boxLost{false};

bool Headless() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0))
        return true;
    return !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY");
}

bool HasChoice(u32 type) { return (type & 0xF) == MB_YESNO || (type & 0xF) == MB_OKCANCEL; }

// The next of TOBRELK_BOX_ANSWERS's answers, when it is one of this box's buttons.
bool ScriptedAnswer(u32 type, int& answer) {
    static std::mutex mutex;
    static std::deque<std::string> script = [] {
        std::deque<std::string> out;
        const char* env = std::getenv("TOBRELK_BOX_ANSWERS");
        const std::string list = env ? env : "";
        for (std::size_t at = 0; at < list.size();) {
            const std::size_t end = std::min(list.find(',', at), list.size());
            if (end > at) out.push_back(list.substr(at, end - at));
            at = end + 1;
        }
        return out;
    }();
    std::lock_guard lock(mutex);
    if (script.empty()) return false;
    const std::string word = script.front();
    script.pop_front();
    const bool yesNo = (type & 0xF) == MB_YESNO;
    if (word == (yesNo ? "yes" : "ok")) answer = yesNo ? IDYES : IDOK;
    else if (word == (yesNo ? "no" : "cancel")) answer = yesNo ? IDNO : IDCANCEL;
    else {
        WriteReport("TOBRELK_BOX_ANSWERS : %s はこの確認の答えになりません", word.c_str());
        return false;
    }
    return true;
}

const char* ButtonLabel(int id) {
    switch (id) {
    case IDYES:
        return "はい";
    case IDNO:
        return "いいえ";
    case IDCANCEL:
        return "キャンセル";
    default:
        return "OK";
    }
}

int HeadlessBox(const std::string& text, const std::string& caption, u32 type) {
    WriteReport("[%s] %s", caption.c_str(), text.c_str());
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    int answer = DefaultButton(type);
    if (!HasChoice(type)) return answer;
    // The answer is a line of its own: whoever reads the report later learns what was done
    // in the user's place, and why.
    const bool scripted = ScriptedAnswer(type, answer);
    const std::string said = "[" + caption + "] " + (scripted ? "TOBRELK_BOX_ANSWERS により" : "表示できないため") +
                             "「" + ButtonLabel(answer) + "」と答えました";
    WriteReport("%s", said.c_str());
    std::fprintf(stderr, "%s\n", said.c_str());
    return answer;
}

// The answer that changes nothing: No, Cancel, or the only button there is.
int AnswerChangingNothing(u32 type) {
    switch (type & 0xF) {
    case MB_YESNO: return IDNO;
    case MB_OKCANCEL: return IDCANCEL;
    default: return IDOK;
    }
}

// A box left unanswered: the program's end (a signal) closed it, or nobody can answer it any
// more (another program destroyed it, killed its connection or ended its process, or its display
// went away: its own process then ends without an answer, X11Guard.cpp). Taking its default
// would answer in the player's place, and Yes may change what the player never agreed to (make a
// folder, close a running copy). Its text stays in the report, with why.
int LeftUnanswered(const std::string& text, const std::string& caption, u32 type) {
    WriteReport("[%s] %s", caption.c_str(), text.c_str());
    if (const int sig = TerminationSignal()) {
        WriteReport("MessageBox : signal %d, the box is left unanswered", sig);
    } else {
        g_boxLost.store(true);
        WriteReport("MessageBox : the box was closed from outside or lost its display, it is left unanswered");
    }
    return AnswerChangingNothing(type);
}

// The width a box may take and stay on the screen, centred on its owner (or, without one, on the
// screen). Before the game's window exists (the second copy's question), video is started for
// the question and ended again.
int BoxRoom(SDL_Window* owner) {
    const bool videoUp = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    if (!videoUp && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 640;
    const int display = owner ? std::max(SDL_GetWindowDisplayIndex(owner), 0) : 0;
    SDL_Rect screen{0, 0, 640, 480};
    if (SDL_GetDisplayUsableBounds(display, &screen) != 0 || screen.w <= 0) SDL_GetDisplayBounds(display, &screen);
    if (!videoUp) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    const int width = screen.w > 0 ? screen.w : 640;
    int room = width;
    if (owner) {
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(owner, &x, &y);
        SDL_GetWindowSize(owner, &w, &h);
        const int centre = x - screen.x + w / 2;
        if (centre > 0 && centre < width) room = std::min(room, 2 * std::min(centre, width - centre));
    }
    return room;
}

// SDL 2.26 places an owned box by its owner's place counted twice. Where a window manager framed
// the owner, what is counted again is the window's place inside its frame, a few pixels; without
// a frame it is the window's place on the screen, and the box lands that far off the middle, or
// off the screen. Only a shown, framed window owns a box; otherwise the box comes in the middle
// of the screen (with no window manager to stack it, a new box is on top all the same).
bool OwnsBoxes(SDL_Window* window) {
    int top = 0, left = 0, bottom = 0, right = 0;
    return window && !(SDL_GetWindowFlags(window) & SDL_WINDOW_HIDDEN) &&
           SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) == 0 && (top | left | bottom | right) != 0;
}

int SdlBox(const std::string& text, const std::string& caption, u32 type) {
    // Closing on a signal: a box now would hold the close up.
    if (TerminationSignal()) return LeftUnanswered(text, caption, type);
    SDL_MessageBoxButtonData buttons[2];
    int count = 0;
    const bool second = (type & MB_DEFBUTTON2) != 0;
    auto add = [&](int id, const char* label, bool isDefault) {
        buttons[count].flags = isDefault ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
        buttons[count].buttonid = id;
        buttons[count].text = label;
        ++count;
    };
    switch (type & 0xF) {
    case MB_YESNO:
        add(IDYES, "はい", !second);
        add(IDNO, "いいえ", second);
        break;
    case MB_OKCANCEL:
        add(IDOK, "OK", !second);
        add(IDCANCEL, "キャンセル", second);
        break;
    default:
        add(IDOK, "OK", true);
        break;
    }
    SDL_MessageBoxData data{};
    data.flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    // The game's window leaves full screen while the box is up, and owns it where it can: a box
    // must never open hidden behind the full-screen window.
    SDL_Window* owner = g_owner.load();
    const Uint32 fullscreen = owner ? SDL_GetWindowFlags(owner) & SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
    if (fullscreen) SDL_SetWindowFullscreen(owner, 0);
    data.window = OwnsBoxes(owner) ? owner : nullptr;
    data.title = caption.c_str();
    const std::string lines = WrapBoxText(text, BoxTextColumns(BoxRoom(data.window)));
    data.message = lines.c_str();
    data.numbuttons = count;
    data.buttons = buttons;
    int answer = DefaultButton(type);
    bool shown;
    {
        // Once the box's process is lost, SDL would go on to ask through zenity where it is
        // installed, or with its own box once more: the guard ends what SDL forks for that
        // (X11Guard.h). On a signal the watch ends the box, and whatever SDL tries after it.
        X11GuardBoxBegin();
        const cChildWatch watch([] { return TerminationSignal() != 0 || X11GuardBoxLost(); });
        shown = SDL_ShowMessageBox(&data, &answer) == 0;
    }
    X11GuardBoxEnd();
    if (fullscreen) SDL_SetWindowFullscreen(owner, fullscreen);
    if (!shown && (TerminationSignal() || X11GuardBoxLost())) return LeftUnanswered(text, caption, type);
    if (!shown) {
        // SDL's X11 box needs the X server's core fonts (xfonts-base; xfonts-intl-japanese for
        // Japanese texts; SDL tries zenity next, where it is installed): without either the text
        // goes to the report.
        WriteReport("SDL_ShowMessageBox : %s", SDL_GetError());
        return HeadlessBox(text, caption, type);
    }
    // Closed by its window's own close button (the window manager's): no button was chosen.
    for (int i = 0; i < count; ++i)
        if (buttons[i].buttonid == answer) return answer;
    return AnswerChangingNothing(type);
}

int DefaultSink(const std::string& text, const std::string& caption, u32 type) {
    if (Headless()) return HeadlessBox(text, caption, type);
    LRESULT answer = DefaultButton(type);
    if (!RunOnWindowThread([&]() -> LRESULT { return SdlBox(text, caption, type); }, &answer))
        return DefaultButton(type);
    return static_cast<int>(answer);
}

} // namespace

bool MessageBoxLost() { return g_boxLost.load(); }

void SetMessageBoxOwner(void* sdlWindow) { g_owner.store(static_cast<SDL_Window*>(sdlWindow)); }

void SetMessageBoxSink(MessageBoxSink sink) {
    std::lock_guard lock(g_sinkMutex);
    g_sink = std::move(sink);
}

int DefaultButton(u32 type) {
    const bool second = (type & MB_DEFBUTTON2) != 0;
    switch (type & 0xF) {
    case MB_YESNO:
        return second || (type & MB_UNSEEN_NO) ? IDNO : IDYES;
    case MB_OKCANCEL:
        return second ? IDCANCEL : IDOK;
    default:
        return IDOK;
    }
}

int MesBox(const char* text, const char* caption, u32 type) {
    const std::string t = CutUtf8(ToDisplayText(text ? text : ""), kBoxTextLimit);
    const std::string c = ToDisplayText(caption ? caption : "");
    MessageBoxSink sink;
    {
        std::lock_guard lock(g_sinkMutex);
        sink = g_sink;
    }
    return sink ? sink(t, c, type) : DefaultSink(t, c, type);
}

int ErrorBoxS(const char* text) { return MesBox(text, "エラー", MB_OK); }

int ErrorBox(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    return ErrorBoxS(text.c_str());
}

int ErrorBoxLog(const char* format, ...) {
    if (!IsDebugLogOn()) return 0;
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    return ErrorBoxS(text.c_str());
}

int WriteReportBox(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string line = ReportLine(FormatV(format, args));
    va_end(args);
    const int r = WriteReportLine(line);
    ErrorBoxS(line.c_str());
    return r;
}

void OutOfMemory() {
    ErrorBoxS("メモリが不足しています！");
    PostMessage(g_hWnd, WM_CLOSE, 0, 0);
}
