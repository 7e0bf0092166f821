// SDL's message boxes on a real X display (run on an Xvfb server of its own by ctest,
// tests/support/with_xvfb.sh), with another X client in the place of the window manager or of a
// program that closes windows: SDL draws each box in a process it forks, which keeps this
// process's X error handlers.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/system/AppWindow.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "platform/system/X11Guard.h"

namespace fs = std::filesystem;

namespace {

bool OnX11() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return std::getenv("DISPLAY") && driver && std::string(driver) == "x11";
}

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The shown top-level window titled `title` (no window manager: a child of the root), or 0.
Window FindShown(Display* d, const std::string& title) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* name = nullptr;
        if (XGetWindowProperty(d, children[i], XA_WM_NAME, 0, 256, False, AnyPropertyType, &type, &format, &n, &after,
                               &name) == Success &&
            name) {
            XWindowAttributes a;
            if (std::string(reinterpret_cast<char*>(name), n) == title && XGetWindowAttributes(d, children[i], &a) &&
                a.map_state == IsViewable)
                found = children[i];
        }
        if (name) XFree(name);
    }
    if (children) XFree(children);
    return found;
}

// Return pressed and let go on the box, as the player does.
void PressReturn(Display* d, Window box) {
    XEvent e{};
    e.xkey.window = box;
    e.xkey.root = DefaultRootWindow(d);
    e.xkey.same_screen = True;
    e.xkey.keycode = XKeysymToKeycode(d, XK_Return);
    for (const int type : {KeyPress, KeyRelease}) {
        e.type = type;
        XSendEvent(d, box, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &e);
    }
}

// What a window manager sends when the player closes a window with its frame's button or Alt+F4.
void CloseAsWindowManager(Display* d, Window box) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = box;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, box, False, NoEventMask, &e);
}

// What another X client (a window manager, a program that closes windows) does to a box.
enum class eAct : char { Destroy = 'd', Kill = 'k', Close = 'c', Return = 'r' };

// Another X client, in a process of its own, does what it is asked to the box titled so once it
// is shown, while this process waits in the box. Forked while this process has one thread, it
// allocates nothing here: SDL forks each box's process while the other threads run on, and in a
// sanitizer build a process forked while another thread allocates finds the allocator's lock
// held for ever. It is no child of this process (it is forked twice): the box's watch ends the
// children of the thread that shows a box. It ends when its pipe closes.
class cOutside {
public:
    static void Start() {
        int ask[2], told[2];
        if (pipe(ask) != 0 || pipe(told) != 0) return;
        const pid_t first = fork();
        if (first == 0) {
            close(ask[1]);
            close(told[0]);
            if (fork() == 0) Serve(ask[0], told[1]);
            _exit(0);
        }
        if (first > 0) waitpid(first, nullptr, 0);
        close(ask[0]);
        close(told[1]);
        s_ask = ask[1];
        s_told = told[0];
    }
    static void Stop() {
        if (s_ask < 0) return;
        close(s_ask);
        close(s_told);
        s_ask = s_told = -1;
    }
    // Before the box is asked.
    static void Ask(eAct act, const std::string& title) {
        const std::string line = static_cast<char>(act) + title + "\n";
        if (write(s_ask, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return;
    }
    // After the box returned: whether the box was found shown and acted on.
    static bool Done() {
        char c = 0;
        return read(s_told, &c, 1) == 1 && c == '1';
    }

private:
    [[noreturn]] static void Serve(int ask, int told) {
        Display* d = XOpenDisplay(nullptr);
        // A window that goes between two of its looks is no reason to end.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        std::string line;
        for (char c; read(ask, &c, 1) == 1;) {
            if (c != '\n') {
                line += c;
                continue;
            }
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            Window box = 0;
            while (d && !(box = FindShown(d, line.substr(1))) && std::chrono::steady_clock::now() < until)
                usleep(20000);
            if (box) {
                switch (static_cast<eAct>(line[0])) {
                case eAct::Destroy: XDestroyWindow(d, box); break;
                case eAct::Kill: XKillClient(d, box); break;
                case eAct::Close: CloseAsWindowManager(d, box); break;
                case eAct::Return: PressReturn(d, box); break;
                }
                XSync(d, False);
            }
            const char done = box ? '1' : '0';
            if (write(told, &done, 1) != 1) break;
            line.clear();
        }
        _exit(0);
    }
    static inline int s_ask = -1, s_told = -1;
};

class BoxOnX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!OnX11()) return;
        // A zenity of the test's own, first on the path: SDL asks through zenity where SDL's own
        // box fails; this one only says that it was started.
        const fs::path bin = fs::temp_directory_path() / ("tobrelk_box_xvfb_bin_" + std::to_string(getpid()));
        fs::create_directories(bin);
        zenityLog() = bin / "zenity.log";
        std::ofstream(bin / "zenity") << "#!/bin/sh\necho \"$@\" >> '" << zenityLog().string() << "'\nexit 129\n";
        chmod((bin / "zenity").c_str(), 0755);
        const char* path = std::getenv("PATH");
        setenv("PATH", (bin.string() + ":" + (path ? path : "")).c_str(), 1);
        cOutside::Start();
    }
    static void TearDownTestSuite() {
        cOutside::Stop();
        if (!zenityLog().empty()) fs::remove_all(zenityLog().parent_path());
    }
    void SetUp() override {
        if (!OnX11()) GTEST_SKIP() << "needs an X display";
        dir = fs::temp_directory_path() / ("tobrelk_box_xvfb_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ASSERT_TRUE(SetReportFile((dir / "Report.txt").string()));
        fs::remove(zenityLog());
    }
    void TearDown() override { fs::remove_all(dir); }
    static fs::path& zenityLog() {
        static fs::path log;
        return log;
    }
    std::string Report() const { return Read(dir / "Report.txt"); }

    fs::path dir;
};

// A second copy's question comes before its window and before video has started. Destroyed by
// another program, then its connection killed, it is left unanswered (No) like every other box
// closed from outside, and nothing asks it again (SDL's next way, zenity, is not started).
// Runs first: no earlier test of this process has put the guard in place.
TEST_F(BoxOnX11, AQuestionAskedBeforeVideoAndClosedFromOutsideIsLeftUnanswered) {
    for (const eAct act : {eAct::Destroy, eAct::Kill}) {
        SCOPED_TRACE(act == eAct::Destroy ? "destroyed" : "killed");
        fs::remove(dir / "Report.txt");
        ASSERT_TRUE(SetReportFile((dir / "Report.txt").string()));
        cOutside::Ask(act, "question");
        EXPECT_EQ(MesBox("Restart?", "question", MB_YESNO | MB_UNSEEN_NO), IDNO);
        ASSERT_TRUE(cOutside::Done()) << "the box was never shown";
        EXPECT_TRUE(MessageBoxLost());
        const std::string report = Report();
        EXPECT_NE(report.find("MessageBox : the box was closed from outside or lost its display, it is left unanswered"),
                  std::string::npos)
            << report;
        EXPECT_EQ(report.find("表示できないため"), std::string::npos) << report;
        EXPECT_FALSE(fs::exists(zenityLog())) << "zenity was asked: " << Read(zenityLog());
    }
}

// Closed with its window manager's close button or Alt+F4, no button was chosen: the answer
// is the one that changes nothing, never SDL's -1.
TEST_F(BoxOnX11, ABoxClosedByItsWindowManagerAnswersWhatChangesNothing) {
    const std::pair<u32, int> boxes[] = {{MB_YESNO, IDNO}, {MB_OKCANCEL, IDCANCEL}, {MB_OK, IDOK}};
    for (const auto& [type, answer] : boxes) {
        SCOPED_TRACE(type);
        cOutside::Ask(eAct::Close, "closed");
        EXPECT_EQ(MesBox("Close me", "closed", type), answer);
        EXPECT_TRUE(cOutside::Done()) << "the box was never shown";
    }
    EXPECT_FALSE(fs::exists(zenityLog())) << "zenity was asked: " << Read(zenityLog());
}

// The game's window, made and shown, and its X window (0 when it cannot be had).
unsigned long ShowGameWindow(SDL_Window*& window) {
    if (!AppWindowCreate(640, 480)) return 0;
    AppWindowShow(false);
    window = static_cast<SDL_Window*>(AppWindowNative());
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return window && SDL_GetWindowWMInfo(window, &info) ? info.info.x11.window : 0;
}

// The lines of the report that tell of an X error on the window `id`.
int XErrorLines(const std::string& report, unsigned long id) {
    char resource[32];
    std::snprintf(resource, sizeof resource, " resource 0x%lx", id);
    int n = 0;
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);)
        if (line.find("X11 Err ") != std::string::npos && line.find(resource) != std::string::npos) ++n;
    return n;
}

// The same through the program's own box, owned by the game's window as under a window manager
// (here another client sets the frame's extents the manager would set), which another program
// destroys before the box names it. The errors the box's process met come to the report once
// the box is answered, and only after that box: the next box, which meets none, adds none.
// Runs before any other test of this process meets an X error: a run reports its first three.
TEST_F(BoxOnX11, TheXErrorsOfABoxsProcessAreReportedAfterItsBoxOnly) {
    SDL_Window* window = nullptr;
    const unsigned long owner = ShowGameWindow(window);
    ASSERT_NE(owner, 0u);
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const long extents[4] = {4, 4, 24, 4};
    XChangeProperty(other, owner, XInternAtom(other, "_NET_FRAME_EXTENTS", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(extents), 4);
    XSync(other, False);
    int top = 0;
    for (int i = 0; i < 500 && top == 0; ++i) {
        SDL_PumpEvents();
        SDL_GetWindowBordersSize(window, &top, nullptr, nullptr, nullptr);
        if (top == 0) SDL_Delay(10);
    }
    ASSERT_NE(top, 0) << "SDL never saw the window framed";
    XDestroyWindow(other, owner);
    XSync(other, False);
    XCloseDisplay(other);

    cOutside::Ask(eAct::Return, "owned");
    EXPECT_EQ(MesBox("The owner is gone", "owned", MB_OK), IDOK);
    EXPECT_TRUE(cOutside::Done()) << "the box was never shown";
    const int noted = XErrorLines(Report(), owner);
    EXPECT_GE(noted, 1) << Report();
    ASSERT_LT(noted, 3) << "no room left in the run's three lines to see a line too many";

    SetMessageBoxOwner(nullptr);
    cOutside::Ask(eAct::Return, "after");
    EXPECT_EQ(MesBox("Nothing wrong", "after", MB_OK), IDOK);
    EXPECT_TRUE(cOutside::Done()) << "the box was never shown";
    EXPECT_EQ(XErrorLines(Report(), owner), noted) << Report();
    AppWindowDestroy();
    AppVideoQuit();
}

// An X error in the box's process that does not take its box away (here: its owner, the game's
// window, destroyed by another program before the box names it) leaves the box up for the
// player to answer. The error is written to the report by the program, after the box.
TEST_F(BoxOnX11, AnXErrorThatLeavesTheBoxLeavesItToBeAnswered) {
    ASSERT_TRUE(AppVideoInit());
    SDL_Window* window = nullptr;
    const unsigned long owner = ShowGameWindow(window);
    ASSERT_NE(owner, 0u);
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    XDestroyWindow(other, owner);
    XSync(other, False);
    XCloseDisplay(other);

    SDL_MessageBoxButtonData button{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDOK, "OK"};
    SDL_MessageBoxData data{};
    data.window = window;
    data.title = "owned";
    data.message = "The owner is gone";
    data.numbuttons = 1;
    data.buttons = &button;
    int answer = -1;
    cOutside::Ask(eAct::Return, "owned");
    X11GuardBoxBegin();
    const int shown = SDL_ShowMessageBox(&data, &answer);
    const bool lost = X11GuardBoxLost();
    X11GuardBoxEnd();
    EXPECT_TRUE(cOutside::Done()) << "the box was never shown";
    EXPECT_EQ(shown, 0) << SDL_GetError();
    EXPECT_EQ(answer, IDOK);
    EXPECT_FALSE(lost);
    char resource[32];
    std::snprintf(resource, sizeof resource, " resource 0x%lx", owner);
    const std::string report = Report();
    EXPECT_NE(report.find(std::string("X11 Err 3 request ")), std::string::npos) << report;
    EXPECT_NE(report.find(resource), std::string::npos) << report;
    AppWindowDestroy();
    AppVideoQuit();
}

} // namespace
