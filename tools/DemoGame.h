#pragma once
// Writes the demo game into a folder through the runtime's own record classes.
#include <filesystem>
#include <string>

// true when every file was written; on failure `error` names what failed.
bool MakeDemoGame(const std::filesystem::path& folder, std::string& error);
