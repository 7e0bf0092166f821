#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/system/FirstFrame.h"

// The whole life of the gate, in the order a run goes through it (the gate is per process and
// never closes again once the first frame is shown).
TEST(FirstFrame, LaterWorkWaitsForTheFirstFrameOnlyWhileOneIsExpected) {
    std::atomic<bool> cancel{false};
    // Before the program says it will show frames (tools, tests), nothing waits.
    FirstFrameWait(cancel, 600000);

    FirstFrameExpect();
    // A window never shown holds the work back for its limit only.
    FirstFrameWait(cancel, 20);
    // The work's owner going away ends the wait.
    std::thread cancelled([&] { FirstFrameWait(cancel, 600000); });
    cancel.store(true);
    cancelled.join();

    // The first frame lets every waiter go.
    std::atomic<bool> stopWaiting{false};
    std::atomic<int> released{0};
    std::thread waiters[2];
    for (auto& w : waiters)
        w = std::thread([&] {
            FirstFrameWait(stopWaiting, 600000);
            released.fetch_add(1);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(released.load(), 0) << "a waiter went before the first frame";
    FirstFrameShown();
    for (auto& w : waiters) w.join();
    EXPECT_EQ(released.load(), 2);

    // From then on nothing waits, even when asked to expect a frame again.
    FirstFrameExpect();
    FirstFrameShown();
    std::atomic<bool> never{false};
    FirstFrameWait(never, 600000);
}
