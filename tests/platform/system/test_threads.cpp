#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/system/ChildWatch.h"
#include "platform/system/Report.h"
#include "platform/system/Thread.h"
#include "platform/system/WindowMessages.h"

using namespace std::chrono_literals;

namespace {

std::atomic<int> g_loops{0};

unsigned LoopUntilQuit(void*) {
    for (;;) {
        MSG msg;
        while (PeekThreadMessage(&msg))
            if (msg.message == WM_QUIT) return 0;
        if (SleepMs(1)) return 0;
        g_loops.fetch_add(1);
    }
}

// A game thread that asks the window thread for something and waits for the answer.
std::atomic<int> g_sendResult{-1};
unsigned SendAndWait(void*) {
    LRESULT r = 0;
    g_sendResult = SendMessageWait(g_hWnd, WM_GAME_NAMEDLG, 0, 0, &r) ? 1 : 0;
    return 0;
}

unsigned Throws(void*) { throw std::out_of_range("invalid vector<T> subscript"); }

// Ends a little after it is asked to, as a stage load finishing its current record does.
unsigned EndsLate(void*) {
    while (!SleepMs(1)) {
    }
    std::this_thread::sleep_for(20ms);
    return 0;
}

LRESULT EchoProc(HWND, u32 message, WPARAM wParam, LPARAM) {
    return message == WM_GAME_PLAYSE ? static_cast<LRESULT>(wParam) * 2 : 0;
}

// Runs a test body with a deadline, so that a deadlock fails the test instead of hanging CI.
// A stuck body cannot be stopped, and the future would wait for it when destroyed: the program
// ends here instead, which the runner reports as a failure.
template <class F>
void WithinSeconds(int seconds, F body) {
    auto done = std::async(std::launch::async, body);
    if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        std::fprintf(stderr, "%s: did not finish in time\n",
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::fflush(stderr);
        std::_Exit(1);
    }
    done.get();
}

} // namespace

class ThreadTest : public ::testing::Test {
protected:
    void TearDown() override {
        WindowQueueShutdown();
        g_hWnd = nullptr;
    }
};

TEST_F(ThreadTest, EmptyThreadObjectIsHarmless) {
    cThread t;
    EXPECT_FALSE(t.IsRunning());
    EXPECT_TRUE(t.Suspend());
    EXPECT_TRUE(t.Resume());
    t.Exit();
    EXPECT_EQ(t.Wait(), 0);
}

TEST_F(ThreadTest, ExitEndsAWorkerCooperatively) {
    WithinSeconds(120, [] {
        cThread t;
        ASSERT_EQ(t.Create(LoopUntilQuit, nullptr), 1);
        while (g_loops.load() < 3) std::this_thread::sleep_for(1ms);
        t.Exit();
        EXPECT_FALSE(t.IsRunning());
        // The same object starts again after it ended.
        ASSERT_EQ(t.Create(LoopUntilQuit, nullptr), 1);
        t.Exit();
    });
}

TEST_F(ThreadTest, SuspendParksAtTheNextCancelPoint) {
    WithinSeconds(120, [] {
        cThread t;
        ASSERT_EQ(t.Create(LoopUntilQuit, nullptr), 1);
        while (g_loops.load() < 3) std::this_thread::sleep_for(1ms);
        t.Suspend();
        std::this_thread::sleep_for(20ms);
        const int parked = g_loops.load();
        std::this_thread::sleep_for(30ms);
        EXPECT_LE(g_loops.load(), parked + 1);
        t.Resume();
        while (g_loops.load() < parked + 3) std::this_thread::sleep_for(1ms);
        t.Suspend();
        t.Exit(); // a suspended thread still ends
    });
}

TEST_F(ThreadTest, RequestsAreServedByTheWindowThread) {
    WithinSeconds(120, [] {
        WindowQueueOpen(EchoProc);
        g_hWnd = MainWindowHandle();
        std::atomic<LRESULT> answer{0};
        std::thread requester([&] { answer = SendMessage(g_hWnd, WM_GAME_PLAYSE, 21, 0); });
        MSG msg;
        while (!PeekMessage(&msg, 100)) {
        }
        EXPECT_EQ(msg.message, WM_GAME_PLAYSE);
        DispatchMessage(msg);
        requester.join();
        EXPECT_EQ(answer.load(), 42);
        // On the window thread itself the request runs at once.
        EXPECT_EQ(SendMessage(g_hWnd, WM_GAME_PLAYSE, 5, 0), 10);
    });
}

TEST_F(ThreadTest, ExitEndsAThreadWaitingOnTheWindowThread) {
    // The window thread closes the program while the game thread waits for a dialog: the wait
    // must give up instead of deadlocking, and the request must not be served afterwards.
    WithinSeconds(120, [] {
        WindowQueueOpen(EchoProc);
        g_hWnd = MainWindowHandle();
        g_sendResult = -1;
        cThread game;
        ASSERT_EQ(game.Create(SendAndWait, nullptr), 1);
        std::this_thread::sleep_for(20ms);
        game.Exit();
        EXPECT_EQ(g_sendResult.load(), 0);
        MSG msg;
        EXPECT_FALSE(PeekMessage(&msg, 0));
    });
}

// A quit posted to a thread's own queue, without Exit, ends a wait on the window thread and the
// park of a suspended thread.
TEST_F(ThreadTest, AQuitPostedToAThreadEndsItsWait) {
    WithinSeconds(120, [] {
        WindowQueueOpen(EchoProc);
        g_hWnd = MainWindowHandle();
        g_sendResult = -1;
        cThread game, worker;
        ASSERT_EQ(game.Create(SendAndWait, nullptr), 1);
        ASSERT_EQ(worker.Create(LoopUntilQuit, nullptr), 1);
        worker.Suspend();
        std::this_thread::sleep_for(20ms);
        ASSERT_TRUE(PostThreadMessage(game.GetId(), WM_QUIT, 0, 0));
        ASSERT_TRUE(PostThreadMessage(worker.GetId(), WM_QUIT, 0, 0));
        while (!game.HasEnded() || !worker.HasEnded()) std::this_thread::sleep_for(1ms);
        EXPECT_EQ(g_sendResult.load(), 0);
        game.Wait();
        worker.Wait();
    });
}

TEST_F(ThreadTest, PendingRequestsFailWhenTheQueueShutsDown) {
    WithinSeconds(120, [] {
        WindowQueueOpen(EchoProc);
        g_hWnd = MainWindowHandle();
        g_sendResult = -1;
        cThread game;
        ASSERT_EQ(game.Create(SendAndWait, nullptr), 1);
        std::this_thread::sleep_for(20ms);
        WindowQueueShutdown();
        game.Wait();
        EXPECT_EQ(g_sendResult.load(), 0);
        EXPECT_FALSE(PostMessage(g_hWnd, WM_GAME_PLAYSE, 0, 0));
    });
}

TEST_F(ThreadTest, AnExceptionInAThreadIsReportedAndClosesInOrder) {
    WithinSeconds(120, [] {
        const u32 before = CloseRequestCount();
        cThread t;
        ASSERT_EQ(t.Create(Throws, nullptr), 1);
        while (!t.HasEnded()) std::this_thread::sleep_for(1ms);
        EXPECT_TRUE(t.IsRunning()) << "held until released";
        t.Wait();
        EXPECT_FALSE(t.IsRunning());
        EXPECT_EQ(CloseRequestCount(), before + 1);
    });
}

TEST_F(ThreadTest, TwoThreadsEndingTheSameWorkerAtOnce) {
    // The loading thread is started and ended by the game thread, while the window thread's close
    // ends it too: both must be able to end it at the same moment without harm.
    WithinSeconds(30, [] {
        for (int round = 0; round < 10; ++round) {
            cThread t;
            ASSERT_EQ(t.Create(EndsLate, nullptr), 1);
            std::thread closer([&] { t.Exit(); });
            t.Exit();
            closer.join();
            EXPECT_FALSE(t.IsRunning());
        }
    });
}

TEST_F(ThreadTest, ARequestWhoseServerThrowsFailsInsteadOfWaitingForEver) {
    WithinSeconds(120, [] {
        WindowQueueOpen(EchoProc);
        g_hWnd = MainWindowHandle();
        std::atomic<int> ok{-1};
        std::thread requester([&] {
            LRESULT r = 0;
            ok = RunOnWindowThread([]() -> LRESULT { throw std::runtime_error("no memory"); }, &r) ? 1 : 0;
        });
        MSG msg;
        while (!PeekMessage(&msg, 100)) {
        }
        EXPECT_THROW(DispatchMessage(msg), std::runtime_error);
        requester.join();
        EXPECT_EQ(ok.load(), 0);
    });
}

TEST_F(ThreadTest, RunOnWindowThreadWithoutAQueueRunsInline) {
    LRESULT r = 0;
    EXPECT_TRUE(RunOnWindowThread([] { return LRESULT{7}; }, &r));
    EXPECT_EQ(r, 7);
}

// The watch kept over a message box has taken its first look once it is made: SDL forks the
// box's process right after, and a thread still starting may hold a lock that the forked process
// would then find held for ever. A child of this thread that the condition ends at once is ended
// by then, each time.
TEST(ChildWatch, HasTakenItsFirstLookWhenMade) {
    for (int i = 0; i < 20; ++i) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            pause();
            _exit(0);
        }
        bool ended = false;
        {
            const cChildWatch watch([] { return true; });
            ended = watch.Ended();
        }
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ASSERT_TRUE(ended) << "made " << i << " times";
    }
}
