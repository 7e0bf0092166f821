// Start-up to the first title-menu frame that shows the title, headless, on the demo game: the
// runtime is started as a process, that frame is written out (the frame-dump seam) and the time
// until the file appears is the figure; the run then ends by a scripted Escape a second into the
// title. The title fades in from black: the game's first frame is all but black, the second is
// the first that shows the title. Each run's frame is checked for it ("title_shown", the share
// of its pixels that are not black); a run whose frame is black stops the benchmark.
// Each iteration also starts the reference, a bare SDL2 program that opens its window, presents
// once and ends, under the same drivers; "x_bare_sdl" is the ratio of the medians. The peak
// resident memory of both processes (the runtime's is its peak over that second at the title,
// whose music's sound font is read once the first frame is made) is printed too.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The demo game made once per run in a folder of its own, removed when the program ends.
class cDemoFolder {
public:
    cDemoFolder() : m_dir(fs::temp_directory_path() / ("tobrelk_bench_" + std::to_string(::getpid()))) {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        const std::string cmd = std::string(TOBRELK_DEMO_TOOL) + " '" + m_dir.string() + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "no demo game: an empty folder is used\n");
    }
    ~cDemoFolder() {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    const fs::path& Path() const { return m_dir; }

private:
    fs::path m_dir;
};

const fs::path& DemoGame() {
    static const cDemoFolder folder;
    return folder.Path();
}

// The frame that shows the title first (frames are counted from 1, as the dump seam counts).
constexpr int kFirstTitleFrame = 2;
// A frame that shows the title has colour over most of the screen; the fade's first frame has
// under 1% of its pixels lit.
constexpr double kTitleShown = 0.5;

// The share of a PPM picture's pixels that are not black; a negative value when the file is
// not a whole picture.
double LitShare(const fs::path& ppm) {
    FILE* f = std::fopen(ppm.c_str(), "rb");
    if (!f) return -1;
    int w = 0, h = 0, maxv = 0;
    const bool head = std::fscanf(f, "P6 %d %d %d", &w, &h, &maxv) == 3 && std::fgetc(f) != EOF && w > 0 && h > 0 &&
                      w <= 4096 && h <= 4096 && maxv == 255;
    std::vector<unsigned char> px(head ? static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3 : 0);
    const bool whole = head && std::fread(px.data(), 1, px.size(), f) == px.size();
    std::fclose(f);
    if (!whole) return -1;
    std::size_t lit = 0;
    for (std::size_t i = 0; i < px.size(); i += 3) lit += (px[i] | px[i + 1] | px[i + 2]) != 0 ? 1 : 0;
    return static_cast<double>(lit) / (static_cast<double>(px.size()) / 3);
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

void HeadlessDrivers() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

// The CPU time (seconds) the process has had so far: every thread, those that have already
// ended included (a thread that did its share and ended before the first frame still counts).
double ProcessCpuSeconds(pid_t pid) {
    clockid_t clock;
    timespec t{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Wall time of the reference from its start to its end, its CPU time and its peak resident
// set in KB.
bool RunBareSdl(double& seconds, double& cpuSeconds, long& rssKb) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        HeadlessDrivers();
        freopen("/dev/null", "w", stderr);
        execl(TOBRELK_BARE_SDL, TOBRELK_BARE_SDL, static_cast<char*>(nullptr));
        _exit(98);
    }
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpuSeconds = static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                 static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
    rssKb = use.ru_maxrss;
    return true;
}

void BM_StartupToFirstTitleFrame(benchmark::State& state) {
    const fs::path game = DemoGame();
    const fs::path dump = game / "first.ppm";
    std::vector<double> runtime, bare, runtimeCpu, bareCpu;
    std::vector<double> runtimeRss, bareRss, shown;
    for (auto _ : state) {
        fs::remove(dump);
        fs::remove(game / "user_data" / "ゲーム.lock");
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(game.c_str()) != 0) _exit(97);
            HeadlessDrivers();
            setenv("TOBRELK_FRAME_DUMP", (std::to_string(kFirstTitleFrame) + ":" + dump.string()).c_str(), 1);
            setenv("TOBRELK_INPUT_SCRIPT", "60:27+", 1);
            freopen("/dev/null", "w", stderr);
            execl(TOBRELK_EXE, TOBRELK_EXE, static_cast<char*>(nullptr));
            _exit(98);
        }
        while (!fs::exists(dump)) {
            int status;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                state.SkipWithError("the runtime ended before its first frame");
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto first = std::chrono::steady_clock::now();
        runtimeCpu.push_back(ProcessCpuSeconds(pid));
        const double seconds = std::chrono::duration<double>(first - start).count();
        state.SetIterationTime(seconds);
        runtime.push_back(seconds);
        rusage use{};
        wait4(pid, nullptr, 0, &use);
        runtimeRss.push_back(static_cast<double>(use.ru_maxrss));

        state.PauseTiming();
        const double lit = LitShare(dump);
        shown.push_back(lit);
        if (lit < kTitleShown) {
            char why[96];
            std::snprintf(why, sizeof why, "the frame timed does not show the title: %.1f%% of it lit", lit * 100);
            state.SkipWithError(why);
            return;
        }
        double refSeconds = 0, refCpu = 0;
        long refRss = 0;
        if (!RunBareSdl(refSeconds, refCpu, refRss)) {
            state.SkipWithError("the bare SDL program failed");
            return;
        }
        bare.push_back(refSeconds);
        bareCpu.push_back(refCpu);
        bareRss.push_back(static_cast<double>(refRss));
        state.ResumeTiming();
    }
    const double ref = Median(bare);
    state.counters["x_bare_sdl"] = ref > 0 ? Median(runtime) / ref : 0;
    state.counters["ref_ms"] = ref * 1000.0;
    // On a shared machine the wall times wait for a core; the CPU times (all threads, up to the
    // first frame for the runtime, those ended before it included) do not.
    const double refCpu = Median(bareCpu);
    state.counters["x_bare_sdl_cpu"] = refCpu > 0 ? Median(runtimeCpu) / refCpu : 0;
    state.counters["cpu_ms"] = Median(runtimeCpu) * 1000.0;
    state.counters["ref_cpu_ms"] = refCpu * 1000.0;
    state.counters["title_rss_mb"] = Median(runtimeRss) / 1024.0;
    if (!shown.empty()) state.counters["title_shown"] = *std::min_element(shown.begin(), shown.end());
    state.counters["ref_rss_mb"] = Median(bareRss) / 1024.0;
}
BENCHMARK(BM_StartupToFirstTitleFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
