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
    // A write to a connection whose other end has gone (the X server ended or killed this
    // client, at times before a read could tell) fails instead of ending the program, which then
    // closes in order as for any lost display. A message box's process, forked from this one,
    // inherits it: a box ended so is left unanswered, not taken for a failure to show it.
    std::signal(SIGPIPE, SIG_IGN);
}

int TerminationSignal() { return g_signal.load(); }
