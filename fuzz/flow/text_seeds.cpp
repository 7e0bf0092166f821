// Writes the seed corpus of the code-language fuzzer (built with SEEDS_CODE) or of the message
// escape fuzzer into the folder given as argv[1].
#include <cstdio>
#include <filesystem>
#include <string>

namespace {
#ifdef SEEDS_CODE
const char* const kSeeds[] = {
    "my.v1 = (C5 + rand(1, 6)) * 2", "C5 = C5 + 1 * 3", "tg.hp = tg.hp - 10", "pl.sight = 41",
    "sys.life = sys.life + 1", "C1 = C2 = 1", "my.v1 = rand(1,,6)", "C1 = (C2 = 7) + 1",
    "C1 = 2147483647 * 2 / -1 % 0", "xx.hp = 1", "S999 = S1 - S2", "mhp = msp % 3",
    "tg2.hp = 1", "C1 = (((1)))", "C1 = f(1, 2", "my.v1 = 1.5",
};
#else
const char* const kSeeds[] = {
    "#C12_3ZP", "#C12. #s3 #S999_9", "\x82\xa0#C1\x82\xa0#", "#c7_p3z.x", "##C0#C1001#C",
    "HP #C1_4 / #C2_4\nscore #S5_6Z", "#C99999999999999999", "#_9zpC3",
};
#endif
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir(argv[1]);
    std::filesystem::create_directories(dir);
    int n = 0;
    for (const char* seed : kSeeds) {
        FILE* f = std::fopen((dir / ("seed" + std::to_string(n++))).string().c_str(), "wb");
        if (!f) return 1;
        const std::string s(seed);
        const bool ok = std::fwrite(s.data(), 1, s.size(), f) == s.size();
        if (std::fclose(f) != 0 || !ok) return 1;
    }
    return 0;
}
