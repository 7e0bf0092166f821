// Start-up to the first title-menu frame that shows the title, headless, on the demo game: the
// runtime is started as a process, that frame is written out (the frame-dump seam, at the moment
// the frame is handed to the window) and the time until the file appears is the figure; the run
// then ends by a scripted Escape a second into the title. The title fades in from black: the
// game's first frame is all but black, the second is the first that shows the title.
// Each run's frame is checked against the settled title (a frame well after the fade, written
// by a run of its own before the runs timed): it must hold a fair share of that frame's
// brightness ("title_shown") and be that picture dimmed ("title_match"); a run whose frame is
// not stops the benchmark.
// Each iteration also starts the reference, a bare SDL2 program (tools/bare_sdl.cpp) that opens
// its window with a renderer and a texture for frames, makes its frame and writes it the same
// way; both clocks stop when the frame's file appears, the CPU time (every thread of the process)
// is read at that moment too. "x_bare_sdl" is the ratio of the medians. Both stop at the same
// point: the frame handed over for showing, neither uploaded nor presented. The runtime's window
// thread skips the upload and the present without a display, and the reference makes them only
// after writing its frame, timing them: "ref_present_ms" is what they take, what a shown frame
// would add to either clock (0.65 ms under the dummy driver on the machine that measured it,
// against 15 ms for the reference's start and 29 ms for the runtime's). The peak resident
// memory of both processes (the runtime's is its peak over that second at the title, whose
// music's sound font is read once the title is shown) is printed too.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <utility>
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

// The frame that shows the title first, and one long after the fade (frames are counted from 1,
// as the dump seam counts them; the run ends at frame 60).
constexpr int kFirstTitleFrame = 2;
constexpr int kSettledTitleFrame = 45;
// The fade's first step that shows the title has about a sixth of the settled title's
// brightness; its black first frame has under 1%.
constexpr double kTitleShown = 0.1;
// Nearly all of the frame's pixels are the settled title's, dimmed alike.
constexpr double kTitleMatch = 0.9;
// A process that has written no frame by then has lost its work.
constexpr auto kFrameLimit = std::chrono::seconds(30);

// The brightness (r + g + b) of each pixel of a PPM picture; empty when the file is not a whole
// picture.
std::vector<int> Brightness(const fs::path& ppm) {
    FILE* f = std::fopen(ppm.c_str(), "rb");
    if (!f) return {};
    int w = 0, h = 0, maxv = 0;
    const bool head = std::fscanf(f, "P6 %d %d %d", &w, &h, &maxv) == 3 && std::fgetc(f) != EOF && w > 0 && h > 0 &&
                      w <= 4096 && h <= 4096 && maxv == 255;
    std::vector<unsigned char> px(head ? static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3 : 0);
    const bool whole = head && std::fread(px.data(), 1, px.size(), f) == px.size();
    std::fclose(f);
    if (!whole) return {};
    std::vector<int> out(px.size() / 3);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = px[i * 3] + px[i * 3 + 1] + px[i * 3 + 2];
    return out;
}

// How much of the settled title a frame shows: its brightness as a share of the settled frame's,
// and the share of its pixels that are the settled frame's dimmed by that much (a fade dims every
// pixel alike; what is drawn over the fade, the frame-rate box, is not). Negative when either is
// not a picture or they differ in size.
struct TitleShown {
    double share = -1, match = -1;
};
TitleShown CompareWithTitle(const fs::path& frame, const fs::path& settled) {
    const std::vector<int> a = Brightness(frame), b = Brightness(settled);
    TitleShown t;
    if (a.empty() || a.size() != b.size()) return t;
    double sa = 0, sb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sa += a[i];
        sb += b[i];
    }
    t.share = sb > 0 ? sa / sb : 0;
    std::size_t same = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double expected = b[i] * t.share;
        same += std::abs(a[i] - expected) <= 6 + expected / 10 ? 1 : 0;
    }
    t.match = static_cast<double>(same) / static_cast<double>(a.size());
    return t;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The CPU time (seconds) the process has had so far: every thread, those that have already
// ended included (a thread that did its share and ended before the frame still counts).
double ProcessCpuSeconds(pid_t pid) {
    clockid_t clock;
    timespec t{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A program started headless and timed until its frame's file appears.
struct Launch {
    const char* exe;
    std::vector<std::string> args;
    fs::path dir;                                          // where it runs
    std::vector<std::pair<std::string, std::string>> env; // besides the headless drivers
    fs::path frame;                                        // the file whose appearance stops the clocks
};
struct Timed {
    double seconds = 0, cpuSeconds = 0;
    double rssKb = 0; // the peak over the whole run
};

// Empty when the program wrote its frame and ended well, else what went wrong.
std::string RunToFrame(const Launch& l, Timed& out) {
    fs::remove(l.frame);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(l.dir.c_str()) != 0) _exit(97);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        for (const auto& [name, value] : l.env) setenv(name.c_str(), value.c_str(), 1);
        if (!freopen("/dev/null", "w", stderr)) _exit(96);
        std::vector<char*> argv{const_cast<char*>(l.exe)};
        for (const std::string& a : l.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(l.exe, argv.data());
        _exit(98);
    }
    if (pid < 0) return "cannot start a process";
    std::string why;
    while (!fs::exists(l.frame)) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) return std::string(l.exe) + " ended before its frame";
        if (std::chrono::steady_clock::now() - start > kFrameLimit) {
            why = std::string(l.exe) + " wrote no frame";
            kill(pid, SIGKILL);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const auto shown = std::chrono::steady_clock::now();
    out.cpuSeconds = ProcessCpuSeconds(pid);
    out.seconds = std::chrono::duration<double>(shown - start).count();
    int status = 0;
    rusage use{};
    if (wait4(pid, &status, 0, &use) != pid) return "lost the process";
    out.rssKb = static_cast<double>(use.ru_maxrss);
    if (why.empty() && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) why = std::string(l.exe) + " failed";
    return why;
}

void BM_StartupToFirstTitleFrame(benchmark::State& state) {
    const fs::path game = DemoGame();
    const fs::path first = game / "first.ppm", settled = game / "settled.ppm", bareFrame = game / "bare.ppm";
    const auto runtimeTo = [&](int frame, const fs::path& dump) {
        return Launch{TOBRELK_EXE,
                      {},
                      game,
                      {{"TOBRELK_FRAME_DUMP", std::to_string(frame) + ":" + dump.string()},
                       {"TOBRELK_INPUT_SCRIPT", "60:27+"}},
                      dump};
    };
    // The settled title, from a run of its own: the runs timed write no other frame.
    Timed unused;
    fs::remove(game / "user_data" / "ゲーム.lock");
    if (const std::string why = RunToFrame(runtimeTo(kSettledTitleFrame, settled), unused); !why.empty()) {
        state.SkipWithError(why.c_str());
        return;
    }
    const Launch runtime = runtimeTo(kFirstTitleFrame, first);
    const fs::path barePresent = game / "bare_present.txt";
    const Launch bare{TOBRELK_BARE_SDL, {bareFrame.string(), barePresent.string()}, game, {}, bareFrame};
    std::vector<double> wall, bareWall, cpu, bareCpu, rss, bareRss, barePresentUs;
    TitleShown worst{1e9, 1e9};
    for (auto _ : state) {
        fs::remove(game / "user_data" / "ゲーム.lock");
        Timed t;
        if (const std::string why = RunToFrame(runtime, t); !why.empty()) {
            state.SkipWithError(why.c_str());
            return;
        }
        state.SetIterationTime(t.seconds);
        wall.push_back(t.seconds);
        cpu.push_back(t.cpuSeconds);
        rss.push_back(t.rssKb);

        const TitleShown shown = CompareWithTitle(first, settled);
        worst.share = std::min(worst.share, shown.share);
        worst.match = std::min(worst.match, shown.match);
        if (shown.share < kTitleShown || shown.match < kTitleMatch) {
            char why[128];
            std::snprintf(why, sizeof why,
                          "the frame timed does not show the title: %.1f%% of its brightness, match %.2f",
                          shown.share * 100, shown.match);
            state.SkipWithError(why);
            return;
        }
        Timed r;
        if (const std::string why = RunToFrame(bare, r); !why.empty()) {
            state.SkipWithError(why.c_str());
            return;
        }
        bareWall.push_back(r.seconds);
        bareCpu.push_back(r.cpuSeconds);
        bareRss.push_back(r.rssKb);
        if (FILE* f = std::fopen(barePresent.c_str(), "r")) {
            double us = 0;
            if (std::fscanf(f, "%lf", &us) == 1) barePresentUs.push_back(us);
            std::fclose(f);
        }
    }
    const double ref = Median(bareWall);
    state.counters["x_bare_sdl"] = ref > 0 ? Median(wall) / ref : 0;
    state.counters["ref_ms"] = ref * 1000.0;
    state.counters["ref_present_ms"] = Median(barePresentUs) / 1000.0;
    // On a shared machine the wall times wait for a core; the CPU times do not.
    const double refCpu = Median(bareCpu);
    state.counters["x_bare_sdl_cpu"] = refCpu > 0 ? Median(cpu) / refCpu : 0;
    state.counters["cpu_ms"] = Median(cpu) * 1000.0;
    state.counters["ref_cpu_ms"] = refCpu * 1000.0;
    state.counters["title_rss_mb"] = Median(rss) / 1024.0;
    state.counters["ref_rss_mb"] = Median(bareRss) / 1024.0;
    state.counters["title_shown"] = worst.share;
    state.counters["title_match"] = worst.match;
}
BENCHMARK(BM_StartupToFirstTitleFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
