#pragma once
// A scratch game folder for the fuzz targets of the player's files: the runtime reads them by
// their game paths, so each input is written where the runtime looks for it.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/ScratchDir.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"

namespace fuzzgame {

// Makes the folder (once per process) with the user_data folders and the report file in it.
inline void Enter() {
    static const bool done = [] {
        namespace fs = std::filesystem;
        const fs::path root = fuzzscratch::Dir();
        for (const char* d : {"user_data/story", "user_data/challenge", "user_data/free", "user_data/rpl4", "data/stg4"})
            fs::create_directories(root / d);
        SetGameRoot(root);
        // Every refused file writes its line: into a file that stays small.
        SetReportFile("/dev/null");
        return true;
    }();
    (void)done;
}

// Writes the input as the file at a game path.
inline void Put(const std::string& gamePath, const std::uint8_t* data, std::size_t size) {
    std::ofstream f(ResolvePath(gamePath), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace fuzzgame
