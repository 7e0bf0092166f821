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
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
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

// Another X client, on a thread of its own, does `act` to the box titled `title` once it is
// shown, while this thread waits in the box.
class cOutside {
public:
    cOutside(std::string title, std::function<void(Display*, Window)> act)
        : m_thread([this, title = std::move(title), act = std::move(act)] {
              Display* d = XOpenDisplay(nullptr);
              if (!d) return;
              const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
              Window box = 0;
              while (!(box = FindShown(d, title)) && std::chrono::steady_clock::now() < until)
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              if (box) {
                  act(d, box);
                  XSync(d, False);
                  m_bActed = true;
              }
              XCloseDisplay(d);
          }) {}
    ~cOutside() { Join(); }
    bool Acted() {
        Join();
        return m_bActed;
    }

private:
    void Join() {
        if (m_thread.joinable()) m_thread.join();
    }
    bool m_bActed = false;
    std::thread m_thread;
};

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

class BoxOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OnX11()) GTEST_SKIP() << "needs an X display";
        dir = fs::temp_directory_path() / ("tobrelk_box_xvfb_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ASSERT_TRUE(SetReportFile((dir / "Report.txt").string()));
        // A zenity of the test's own, first on the path: SDL asks through zenity where SDL's own
        // box fails; this one only says that it was started.
        static const bool pathSet = [&] {
            const fs::path bin = fs::temp_directory_path() / ("tobrelk_box_xvfb_bin_" + std::to_string(getpid()));
            fs::create_directories(bin);
            zenityLog() = bin / "zenity.log";
            std::ofstream(bin / "zenity") << "#!/bin/sh\necho \"$@\" >> '" << zenityLog().string() << "'\nexit 129\n";
            chmod((bin / "zenity").c_str(), 0755);
            const char* path = std::getenv("PATH");
            return setenv("PATH", (bin.string() + ":" + (path ? path : "")).c_str(), 1) == 0;
        }();
        ASSERT_TRUE(pathSet);
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
    const std::pair<const char*, std::function<void(Display*, Window)>> ways[] = {
        {"destroyed", [](Display* d, Window box) { XDestroyWindow(d, box); }},
        {"killed", [](Display* d, Window box) { XKillClient(d, box); }}};
    for (const auto& [how, act] : ways) {
        SCOPED_TRACE(how);
        fs::remove(dir / "Report.txt");
        ASSERT_TRUE(SetReportFile((dir / "Report.txt").string()));
        cOutside outside("question", act);
        EXPECT_EQ(MesBox("Restart?", "question", MB_YESNO | MB_UNSEEN_NO), IDNO);
        ASSERT_TRUE(outside.Acted()) << "the box was never shown";
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
        cOutside outside("closed", CloseAsWindowManager);
        EXPECT_EQ(MesBox("Close me", "closed", type), answer);
        EXPECT_TRUE(outside.Acted()) << "the box was never shown";
    }
    EXPECT_FALSE(fs::exists(zenityLog())) << "zenity was asked: " << Read(zenityLog());
}

// An X error in the box's process that does not take its box away (here: its owner, the game's
// window, destroyed by another program before the box names it) leaves the box up for the
// player to answer. The error is written to the report by the program, after the box.
TEST_F(BoxOnX11, AnXErrorThatLeavesTheBoxLeavesItToBeAnswered) {
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    AppWindowShow(false);
    auto* window = static_cast<SDL_Window*>(AppWindowNative());
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(window, &info));
    const unsigned long owner = info.info.x11.window;
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
    cOutside outside("owned", PressReturn);
    X11GuardBoxBegin();
    const int shown = SDL_ShowMessageBox(&data, &answer);
    const bool lost = X11GuardBoxLost();
    X11GuardBoxEnd();
    EXPECT_TRUE(outside.Acted()) << "the box was never shown";
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
