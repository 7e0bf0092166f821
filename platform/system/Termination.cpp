#include "platform/system/Termination.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler may only touch a lock-free atomic");

void OnTerminate(int sig) {
    int none = 0;
    g_signal.compare_exchange_strong(none, sig);
}

} // namespace

void CatchTerminationSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnTerminate;
    sigemptyset(&sa.sa_mask);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

int TerminationSignal() { return g_signal.load(); }
