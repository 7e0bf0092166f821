// Program entry.
#include <unistd.h>

#include "app/App.h"
#include "platform/system/Thread.h"

void ConnectSubsystems();

int main(int argc, char** argv) {
    ConnectSubsystems();
    const int code = WinMain(argc, argv);
    // A thread that would not end was left behind: static destructors must not run under it.
    if (AnyThreadAbandoned()) _exit(code);
    return code;
}
