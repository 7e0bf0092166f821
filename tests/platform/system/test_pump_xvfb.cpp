// The event pump on a real X display whose connection breaks under it (run on an Xvfb server of
// its own by ctest, tests/support/with_xvfb.sh). A broken connection sends nothing any more, and
// SDL's wait on it returns at once, each time: a pump that kept asking SDL to wait would spin a
// core for as long as the program takes to close.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <sys/socket.h>

#include "platform/system/AppWindow.h"
#include "platform/system/X11Guard.h"

namespace {

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

TEST(PumpOnX11, ALostConnectionIsWaitedOnNotSpun) {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (!std::getenv("DISPLAY") || !driver || std::string(driver) != "x11") GTEST_SKIP() << "needs an X display";
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    AppWindowShow(false);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(static_cast<SDL_Window*>(AppWindowNative()), &info));
    ASSERT_EQ(info.subsystem, SDL_SYSWM_X11);

    // The connection ends as when the server goes: the next read finds its end.
    shutdown(ConnectionNumber(info.info.x11.display), SHUT_RDWR);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!X11ConnectionLost() && std::chrono::steady_clock::now() < until) AppPumpEvents(5);
    ASSERT_TRUE(X11ConnectionLost());
    EXPECT_TRUE(AppWindowLost());

    // Pumped as the window thread does while a close goes on: each call waits its time. A
    // loaded machine makes the waits longer, never shorter, so the count is an upper bound.
    int calls = 0;
    const double cpu0 = ThreadCpuMs();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end) {
        AppPumpEvents(20);
        ++calls;
    }
    const double cpu = ThreadCpuMs() - cpu0;
    EXPECT_LE(calls, 20) << "the pump returned at once " << calls << " times in 300 ms";
    EXPECT_LT(cpu, 100.0) << "the pump spent " << cpu << " ms of processor time in 300 ms";
    AppVideoQuit();
}

} // namespace
