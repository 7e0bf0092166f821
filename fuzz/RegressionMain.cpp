// The fuzz targets' own main, for builds without libFuzzer (the sanitizer tree): every file named
// on the command line, and every file of every folder named, goes once to LLVMFuzzerTestOneInput,
// as libFuzzer does when given files instead of a corpus to grow. A fault in an input is the
// sanitizer's report and a non-zero exit; the last "Running:" line names the input.
//
//   fuzz_x [-timeout=SECONDS] [-other=flags ignored] FILE_OR_FOLDER...
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Defined by the targets with a dictionary (fuzz/FuzzDict.h); called as libFuzzer would.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

// The input running now, for the time-out's message (a signal handler may only read it).
char g_szCurrent[4096] = "";

void OnTimeout(int) {
    static const char head[] = "fuzz regression: time-out on ";
    (void)!::write(2, head, sizeof head - 1);
    (void)!::write(2, g_szCurrent, std::strlen(g_szCurrent));
    (void)!::write(2, "\n", 1);
    ::_exit(70);
}

bool RunFile(const std::filesystem::path& file, unsigned timeout) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "fuzz regression: cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A buffer of exactly the input's size, as libFuzzer passes it, so that the sanitizer sees a
    // read one byte past the end.
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), data.get());
    std::snprintf(g_szCurrent, sizeof g_szCurrent, "%s", file.c_str());
    std::fprintf(stderr, "Running: %s\n", file.c_str());
    if (timeout) ::alarm(timeout);
    LLVMFuzzerTestOneInput(data.get(), bytes.size());
    if (timeout) ::alarm(0);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    unsigned timeout = 0;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] == '-') {
            if (std::strncmp(arg, "-timeout=", 9) == 0) timeout = static_cast<unsigned>(std::strtoul(arg + 9, nullptr, 10));
            continue; // libFuzzer's other flags (-dict=, -runs=...) mean nothing here
        }
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            for (std::filesystem::recursive_directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec))
                if (it->is_regular_file(ec)) files.push_back(it->path());
            if (ec) {
                std::fprintf(stderr, "fuzz regression: cannot list %s: %s\n", arg, ec.message().c_str());
                return 1;
            }
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s [-timeout=SECONDS] FILE_OR_FOLDER...  (no input found)\n", argv[0]);
        return 1;
    }
    // Folder order is the file system's: sorted, a failing run names the same input every time.
    std::sort(files.begin(), files.end());
    if (timeout) std::signal(SIGALRM, OnTimeout);
    for (const auto& f : files)
        if (!RunFile(f, timeout)) return 1;
    std::fprintf(stderr, "fuzz regression: %zu inputs, no fault\n", files.size());
    return 0;
}
