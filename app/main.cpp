// Program entry.
#include <malloc.h>
#include <unistd.h>

#include "app/App.h"
#include "platform/system/Thread.h"

void ConnectSubsystems();

int main(int argc, char** argv) {
    // The runtime's threads (window, game, sound, music loading) share two heaps instead of
    // taking one each: what a finished thread left in its own heap is not kept aside for good.
    mallopt(M_ARENA_MAX, 2);
    ConnectSubsystems();
    const int code = WinMain(argc, argv);
    // A thread that would not end was left behind: static destructors must not run under it.
    if (AnyThreadAbandoned()) _exit(code);
    return code;
}
