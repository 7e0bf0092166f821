#pragma once
// Writes the demo game into a folder through the runtime's own record classes.
#include <filesystem>
#include <string>

// Challenge stages the demo game has (data\stg4\c01-1.stg4_001 and on).
constexpr int kDemoChallengeStages = 3;

// true when every file was written; on failure `error` names what failed.
bool MakeDemoGame(const std::filesystem::path& folder, std::string& error);
