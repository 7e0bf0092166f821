// Writes the fuzz seeds: every data file of the demo game, prefixed by its reader's number.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/DemoGame.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    namespace fs = std::filesystem;
    const fs::path out = argv[1];
    const fs::path game = out / "game";
    std::string error;
    if (!MakeDemoGame(game, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const char* const files[14] = {"AnimeSet", "Anime", "Bmp_CharaExc", "SwordType", "Effect", "CharaEffect",
                                   "ScrEffect", "Picture", "Sound", "Bgm", nullptr, nullptr, nullptr, nullptr};
    for (int i = 0; i < 14; ++i) {
        fs::path src;
        if (files[i]) src = game / "data" / "database" / (std::string(files[i]) + ".dat");
        else if (i == 10) src = game / "data" / "System.dat";
        else if (i == 11) src = game / "data" / "WorldMap.dat";
        else if (i == 13) src = game / "data" / "CommonPalette.cplt4";
        else continue;
        std::ifstream f(src, std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(f), {});
        std::ofstream(out / ("seed_" + std::to_string(i)), std::ios::binary) << static_cast<char>(i) << bytes;
    }
    // Option.dat as the program writes it.
    const std::string option("\x0c\x38\x03\x00\x00\x04\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x07\x00\x00\x00"
                             "\x00\x00\x00\x00\x01\x00\x00\x00\x04\x00\x00\x00" "aaa\0", 37);
    std::ofstream(out / "seed_12", std::ios::binary) << option;
    fs::remove_all(game);
    return 0;
}
