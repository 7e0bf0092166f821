// Every test program runs headless, however it is started (ctest, by hand, under a debugger):
// no display, no sound card, and one OpenMP worker for the synthesizer's sound-font loader.
// Values already set by the caller (an Xvfb smoke test, say) are kept.
#include <cstdlib>

namespace {
struct HeadlessEnv {
    HeadlessEnv() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        setenv("OMP_NUM_THREADS", "1", 0);
    }
} g_headlessEnv;
} // namespace
