#pragma once
// The demo game's pictures and blend tables: game-folder path (Windows form) -> bytes.
#include <string>
#include <utility>
#include <vector>

std::vector<std::pair<std::string, std::string>> MakeDemoPictures();
