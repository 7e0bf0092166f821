#pragma once
// The demo game for the tests that play it. The build writes it once per tree (make-demo-game
// into TOBRELK_DEMO_GAME_DIR) and each test takes a copy of that folder, which costs a small
// part of writing the game again (its pictures drawn, its sounds and music encoded).
#include <filesystem>
#include <string>
#include <system_error>

#ifndef TOBRELK_DEMO_GAME_DIR
#error "the test program needs the build's demo game (tobrelk_use_demo_game in CMake)"
#endif

// Copies the build's demo game into `to` (made if missing); false with the reason in `error`.
inline bool CopyDemoGame(const std::filesystem::path& to, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path from = TOBRELK_DEMO_GAME_DIR;
    std::error_code ec;
    if (!fs::is_regular_file(from / "System.ini", ec)) {
        error = "the build's demo game is missing: " + from.string();
        return false;
    }
    fs::create_directories(to, ec);
    if (!ec) fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) {
        error = "cannot copy the demo game into " + to.string() + ": " + ec.message();
        return false;
    }
    return true;
}
