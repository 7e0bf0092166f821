#include "platform/system/PinnedSignal.h"

#include <cerrno>
#include <csignal>
#include <sys/syscall.h>
#include <unistd.h>

bool SendPinnedSignal(pid_t pid, int sig, const std::function<bool()>& stillMeant) {
    // Through the system calls: not every C library declares their wrappers for C++. A kernel
    // without pidfds (ENOSYS) leaves the plain kill.
    const int pin = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pin < 0 && errno != ENOSYS) return false; // gone
    bool sent = false;
    if (stillMeant()) sent = pin >= 0 ? syscall(SYS_pidfd_send_signal, pin, sig, nullptr, 0) == 0 : kill(pid, sig) == 0;
    if (pin >= 0) close(pin);
    return sent;
}
