#pragma once
// The folder of this process for the files a fuzz target writes: in memory (/dev/shm) where the
// system has it, because truncating and writing a file on disk for every input waits on the file
// system's journal, which took three quarters of a target's time. It goes when the process ends
// in order.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace fuzzscratch {

inline const std::filesystem::path& Dir() {
    // Never destroyed: the removal at exit still reads it.
    static const std::filesystem::path* dir = [] {
        namespace fs = std::filesystem;
        std::error_code ec;
        const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        auto* made = new fs::path(base / ("tobrelk_fuzz_" + std::to_string(::getpid())));
        fs::create_directories(*made, ec);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(Dir(), ignored);
        });
        return made;
    }();
    return *dir;
}

} // namespace fuzzscratch
