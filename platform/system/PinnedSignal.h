#pragma once
// A signal to another process, sent only while that process is still the one meant. The process
// is pinned (a pidfd) before it is checked, so that a number freed and given to another process
// between the check and the signal is never signalled.
#include <functional>
#include <sys/types.h>

// Sends sig to pid when stillMeant() holds after the pin. False when nothing was sent: the
// process is gone, or stillMeant() said no.
bool SendPinnedSignal(pid_t pid, int sig, const std::function<bool()>& stillMeant);
