// Start-up to the first title-menu frame, headless, on the demo game: the runtime is started as
// a process, its first frame is written out (the frame-dump seam) and the time until that file
// appears is the figure; the run then ends by a scripted Escape.
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
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

void BM_StartupToFirstTitleFrame(benchmark::State& state) {
    const fs::path game = DemoGame();
    const fs::path dump = game / "first.ppm";
    for (auto _ : state) {
        fs::remove(dump);
        fs::remove(game / "user_data" / "ゲーム.lock");
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(game.c_str()) != 0) _exit(97);
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            setenv("TOBRELK_FRAME_DUMP", ("1:" + dump.string()).c_str(), 1);
            setenv("TOBRELK_INPUT_SCRIPT", "3:27+", 1);
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
        state.SetIterationTime(std::chrono::duration<double>(first - start).count());
        waitpid(pid, nullptr, 0);
    }
}
BENCHMARK(BM_StartupToFirstTitleFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
