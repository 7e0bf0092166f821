#include "platform/system/X11Guard.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/system/Report.h"

namespace {

// SDL loads the X library itself; its functions are taken from the copy already loaded, so the
// program has no link-time tie to X11 and runs on other drivers unchanged.
using SetHandlerFn = XErrorHandler (*)(XErrorHandler);
using SyncFn = int (*)(Display*, Bool);
using SetIOHandlerFn = XIOErrorHandler (*)(XIOErrorHandler);
using SetIOExitFn = void (*)(Display*, XIOErrorExitHandler, void*);

std::atomic<unsigned long> g_guardedWindow{0};
std::atomic<bool> g_lost{false};
std::atomic<int> g_reported{0};
std::atomic<bool> g_connectionLost{false};
std::atomic<Display*> g_display{nullptr};
SyncFn g_sync = nullptr;
// Whether the guarded display lets its I/O error return (libX11 1.7 and later).
std::atomic<bool> g_survivable{false};
// The handlers are the whole process's, and a process forked from this one keeps them: SDL draws
// its message boxes in such a child, on a connection of the child's own.
const pid_t g_ownPid = getpid();
// What a box's process leaves for the program, in a page it shares with the processes forked
// after the page was made: its exit status stays with SDL, and it may not write the report.
constexpr int kBoxErrorsNoted = 3;
struct BoxNote {
    std::atomic<int> lost{0}; // it ended on the loss of its box, or was ended by a signal
    // The box's latest process, as it names itself once forked, and the same number once this
    // process has heard how it ended (OnChildEnded).
    std::atomic<pid_t> pid{0};
    std::atomic<pid_t> endHeard{0};
    std::atomic<int> errors{0}; // the X errors it met and left, counted; the first ones kept
    struct {
        int code, request, minor;
        unsigned long resource;
    } error[kBoxErrorsNoted];
};
std::atomic<BoxNote*> g_boxNote{nullptr};
// Between X11GuardBoxBegin and X11GuardBoxEnd, in this process and the ones it forks meanwhile.
std::atomic<bool> g_boxUp{false};
// The thread that shows the box: SDL forks its processes from there.
std::atomic<pid_t> g_boxThread{0};
static_assert(std::atomic<pid_t>::is_always_lock_free, "a signal handler and a forked child touch them");

// An error noted and left behind: a few lines, not one a frame.
void ReportXError(int code, int request, int minor, unsigned long resource) {
    if (g_reported.fetch_add(1) < 3)
        WriteReport("X11 Err %d request %d.%d resource 0x%lx", code, request, minor, resource);
}

// In the box's child, the loss of the box: destroyed by another program, its connection killed,
// its server ended. Without an end the child would wait for ever on a window that no longer
// exists, and the program with it, for the answer. It ends as Xlib's own handler would end it,
// but at once: the child shares this process's report and locks, which threads it does not have
// may have held at the fork; writing could wait for ever too. The program reads the child's
// failure as a box left unanswered (MessageBox.cpp).
void EndBoxChild() {
    if (getpid() == g_ownPid) return;
    if (BoxNote* note = g_boxNote.load()) note->lost.store(1);
    _exit(1);
}

// Any other error in the box's child leaves the box as it is, for the player to answer: it is
// kept in the shared page, and the program reports it after the box (X11GuardBoxEnd).
void NoteBoxError(const XErrorEvent& e) {
    BoxNote* note = g_boxNote.load();
    if (!note) return;
    const int n = note->errors.fetch_add(1);
    if (n < kBoxErrorsNoted) note->error[n] = {e.error_code, e.request_code, e.minor_code, e.resourceid};
}

// A process of the box ended by a signal (killed from outside, as a task manager ends a program)
// lost its box as surely as one whose window was destroyed, but could note nothing: the kernel
// tells this process how its child ended, and the box is taken as lost. SDL reads such an end as
// a box that could not be shown, and would ask again another way.
void OnChildEnded(int, siginfo_t* info, void*) {
    BoxNote* note = g_boxNote.load();
    if (!note || info->si_pid != note->pid.load()) return;
    if (info->si_code == CLD_KILLED || info->si_code == CLD_DUMPED) note->lost.store(1);
    note->endHeard.store(info->si_pid);
}

// Before SDL forks again during a box (after its wait for the box's last process), that
// process's end must have been heard. The kernel sends the news before the process can be
// waited for, but another thread may be the one to take it, a moment later.
void BeforeBoxFork() {
    if (!g_boxUp.load() || g_boxThread.load() != static_cast<pid_t>(syscall(SYS_gettid))) return;
    const BoxNote* note = g_boxNote.load();
    for (int i = 0; note && i < 2000; ++i) {
        const pid_t last = note->pid.load();
        if (last == 0 || note->endHeard.load() == last) return;
        usleep(500);
    }
}

// In a process forked during a box. It ends with the program, however that ends: a program
// killed outright ends nothing itself, and a box that nobody can answer any more would stay on
// the screen, with the program's window (whose X connection it shares), until someone clicks it.
// (SIGKILL: it keeps the program's handlers, which only take note of a SIGTERM.) SDL asks again
// another way once the box's process failed (zenity where it is installed, or its own box once
// more); once the box was lost, what SDL forks to ask again ends before it shows anything: the
// box is left unanswered, not asked twice.
void InBoxFork() {
    if (!g_boxUp.load()) return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The program ended before that was asked: this process has another parent now.
    if (getppid() != g_ownPid) raise(SIGKILL);
    BoxNote* note = g_boxNote.load();
    if (!note) return;
    if (note->lost.load() != 0) raise(SIGKILL);
    note->pid.store(getpid());
}

int OnXError(Display*, XErrorEvent* e) {
    const unsigned long window = g_guardedWindow.load();
    const bool gone = e->error_code == BadWindow || e->error_code == BadDrawable;
    if (getpid() != g_ownPid) {
        // The box's process names only two windows: its box, with the drawable that SDL draws
        // the box in first (another id, which goes with the box), and the game's window as the
        // box's owner. The owner gone leaves a box that can still be answered (the program
        // hears of its own window itself); what is gone otherwise is the box.
        if (gone && e->resourceid != window) EndBoxChild();
        NoteBoxError(*e);
        return 0;
    }
    if (window != 0 && e->resourceid == window && gone) {
        if (!g_lost.exchange(true)) WriteReport("X11 : the window 0x%lx no longer exists", window);
        return 0;
    }
    // Anything else is noted and left behind.
    ReportXError(e->error_code, e->request_code, e->minor_code, e->resourceid);
    return 0;
}

// The connection to the X server broke (the server went away, or another program killed this
// client: xkill, `xdotool windowkill`). Xlib's own handler would call exit() from the window
// thread while the game thread still runs and the runtime's objects are torn down under it.
// On the guarded display the handler may return: the connection then stays dead (every later
// call on it does nothing) and the window thread closes in order. A display without that
// escape cannot go on; the process ends at once, before any destructor runs: what was saved is
// whole on disk (every save is written aside and renamed), and the lock goes with the process.
int OnXIOError(Display* display) {
    EndBoxChild(); // in the box's child: its box is lost with the connection
    if (!g_connectionLost.exchange(true)) WriteReport("X11 : the connection to the display was lost");
    if (display != g_display.load() || !g_survivable.load()) _exit(1);
    return 0;
}

// Called by Xlib after the handler above, instead of exit().
void OnXIOExit(Display*, void*) {}

// The X library, held loaded for the whole run (SDL would unload it at every video end).
void* XLib(bool load) {
    static void* lib = nullptr;
    if (!lib) {
        const int how = RTLD_NOW | (load ? 0 : RTLD_NOLOAD);
        lib = dlopen("libX11.so.6", how);
        if (!lib) lib = dlopen("libX11.so", how);
    }
    return lib;
}

void SetHandler(void* lib) {
    if (auto setHandler = reinterpret_cast<SetHandlerFn>(dlsym(lib, "XSetErrorHandler"))) setHandler(OnXError);
    if (auto setIO = reinterpret_cast<SetIOHandlerFn>(dlsym(lib, "XSetIOErrorHandler"))) setIO(OnXIOError);
}

int CountModule(dl_phdr_info*, size_t, void* count) {
    ++*static_cast<std::size_t*>(count);
    return 0;
}

// The libraries the program was started with come first in the walk and are never unloaded;
// only those opened later need holding. Counted as the program starts, before anything opens
// a library of its own.
std::size_t CountModules() {
    std::size_t n = 0;
    dl_iterate_phdr(CountModule, &n);
    return n;
}
const std::size_t g_modulesAtStart = CountModules();

struct PinWalk {
    std::size_t index = 0;
    std::size_t skip = 0;
};

int PinModule(dl_phdr_info* info, size_t, void* data) {
    auto* walk = static_cast<PinWalk*>(data);
    // Asking again for one of the program's own libraries would walk its dependencies by name
    // for nothing (a millisecond and more over the sixty the program starts with).
    if (walk->index++ < walk->skip) return 0;
    if (info->dlpi_name && info->dlpi_name[0] == '/') dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD);
    return 0;
}

} // namespace

void X11GuardPrepare() {
    // SDL keeps the handler it finds at its start and puts it back when video ends, after which
    // it closes the display and takes the errors still on their way: that handler must be this
    // one, not Xlib's.
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (!std::getenv("DISPLAY") || (driver && !std::strstr(driver, "x11"))) return;
    if (void* lib = XLib(true)) SetHandler(lib);
}

void X11GuardPinLibraries() {
    // SDL opens the X extension libraries and the OpenGL driver itself and closes them when
    // video ends; blocks they keep until the process ends are then leaks of an unknown module,
    // which no suppression can name. Every library loaded so far is held open instead (nothing
    // new is loaded), so that they keep their names.
    PinWalk walk;
    walk.skip = g_modulesAtStart;
    dl_iterate_phdr(PinModule, &walk);
}

void X11GuardInstall(void* sdlWindow) {
    auto* window = static_cast<SDL_Window*>(sdlWindow);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    void* lib = XLib(false);
    if (!lib) return;
    g_sync = reinterpret_cast<SyncFn>(dlsym(lib, "XSync"));
    auto setExit = reinterpret_cast<SetIOExitFn>(dlsym(lib, "XSetIOErrorExitHandler"));
    if (setExit) setExit(info.info.x11.display, OnXIOExit, nullptr);
    g_survivable.store(setExit != nullptr);
    g_display.store(info.info.x11.display);
    if (g_guardedWindow.exchange(info.info.x11.window) != info.info.x11.window) g_lost.store(false);
    SetHandler(lib);
}

bool X11WindowLost() { return g_lost.load() || g_connectionLost.load(); }

bool X11ConnectionLost() { return g_connectionLost.load(); }

void X11GuardSync() {
    Display* display = g_display.load();
    if (display && g_sync && !g_connectionLost.load()) g_sync(display, False);
}

void X11GuardBoxBegin() {
    static BoxNote* const note = [] {
        void* page = mmap(nullptr, sizeof(BoxNote), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (page == MAP_FAILED) return static_cast<BoxNote*>(nullptr);
        if (pthread_atfork(BeforeBoxFork, nullptr, InBoxFork) != 0) WriteReport("X11 : pthread_atfork に失敗しました");
        // SA_RESTART: the other threads' calls go on through a child's end.
        struct sigaction sa {};
        sa.sa_sigaction = OnChildEnded;
        sa.sa_flags = SA_SIGINFO | SA_RESTART | SA_NOCLDSTOP;
        sigemptyset(&sa.sa_mask);
        if (sigaction(SIGCHLD, &sa, nullptr) != 0) WriteReport("X11 : sigaction(SIGCHLD) に失敗しました");
        return new (page) BoxNote;
    }();
    // The box's process keeps the handlers it finds: they must be the guard's also for a box
    // asked before the game's window exists (a second copy's question), when video has not
    // started yet.
    X11GuardPrepare();
    if (note) {
        note->lost.store(0);
        note->errors.store(0);
        note->pid.store(0);
        note->endHeard.store(0);
    }
    g_boxNote.store(note);
    g_boxThread.store(static_cast<pid_t>(syscall(SYS_gettid)));
    g_boxUp.store(true);
}

bool X11GuardBoxLost() {
    const BoxNote* note = g_boxNote.load();
    return note && note->lost.load() != 0;
}

void X11GuardBoxEnd() {
    g_boxUp.store(false);
    const BoxNote* note = g_boxNote.load();
    if (!note) return;
    const int noted = std::min(note->errors.load(), kBoxErrorsNoted);
    for (int i = 0; i < noted; ++i)
        ReportXError(note->error[i].code, note->error[i].request, note->error[i].minor, note->error[i].resource);
}

void X11GuardRelease() {
    g_guardedWindow.store(0);
    // The display itself stays guarded: SDL keeps it open until video ends.
}
