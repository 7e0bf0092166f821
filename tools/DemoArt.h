#pragma once
// The demo game's pictures: game-folder path (Windows form) -> BMP bytes.
#include <string>
#include <utility>
#include <vector>

std::vector<std::pair<std::string, std::string>> MakeDemoPictures();
