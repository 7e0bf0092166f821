// Names fitted to the longest name a folder takes: cut at a character's start, measured on disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/system/NameFit.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// A name on disk with each run of one character over three long written as "c×n".
std::string Runs(const std::string& utf8) {
    std::string out, last;
    int count = 0;
    auto flush = [&] {
        if (count > 3) out += last + "×" + std::to_string(count);
        else out += Repeat(last, count);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t len = 1;
        while (i + len < utf8.size() && (static_cast<unsigned char>(utf8[i + len]) & 0xC0) == 0x80) ++len;
        const std::string ch = utf8.substr(i, len);
        if (ch != last) {
            flush();
            last = ch;
            count = 0;
        }
        ++count;
        i += len;
    }
    flush();
    return out;
}

} // namespace

// The stage part of a proposed replay name, Japanese and not, short and as long as a name may
// be: the date and the extension stay, the name on disk never passes 255 bytes, and no
// double-byte character is split (表 ends in a backslash byte, ｱ takes one byte that becomes
// three on disk, a kept byte two that become one).
TEST(NameFit, GameNamesAreCutAtACharactersStartToFitOnDisk) {
    const std::string suffix = "__2024__02_03__09_05.rpl4_824"; // 29 bytes
    const std::string a = Utf8ToSjis("あ"), hyo = Utf8ToSjis("表"), kana = Utf8ToSjis("ｱ"), boss = Utf8ToSjis("ボス戦_Demo-3");
    const std::string kept = GameNameOf("\xE9"); // a name byte CP932 cannot hold
    const std::pair<const char*, std::string> cases[] = {
        {"short", "Stage01"},
        {"ascii fits", std::string(226, 'a')},
        {"ascii 246", std::string(246, 'a')},
        {"b + あ", "b" + Repeat(a, 84)},
        {"bb + あ", "bb" + Repeat(a, 84)},
        {"表", Repeat(hyo, 100)},
        {"half-width", Repeat(kana, 120)},
        {"mixed", "xxxx" + Repeat(boss, 15)},
        {"kept", Repeat(kept, 240)},
    };
    std::string table;
    for (const auto& [label, name] : cases) {
        const std::string fitted = FittedGameName(name, suffix, 255);
        const std::string disk = DiskNameOf(fitted);
        table += std::string(label) + ": " + std::to_string(name.size()) + " -> " + std::to_string(fitted.size()) +
                 " bytes, " + std::to_string(disk.size()) + " on disk: " + Runs(DisplayPathOf(fitted)) + "\n";
        EXPECT_EQ(fitted.compare(0, fitted.size() - suffix.size(), name, 0, fitted.size() - suffix.size()), 0) << label;
    }
    EXPECT_EQ(table,
              "short: 7 -> 36 bytes, 36 on disk: Stage01__2024__02_03__09_05.rpl4_824\n"
              "ascii fits: 226 -> 255 bytes, 255 on disk: a×226__2024__02_03__09_05.rpl4_824\n"
              "ascii 246: 246 -> 255 bytes, 255 on disk: a×226__2024__02_03__09_05.rpl4_824\n"
              "b + あ: 169 -> 180 bytes, 255 on disk: bあ×75__2024__02_03__09_05.rpl4_824\n"
              "bb + あ: 170 -> 179 bytes, 253 on disk: bbあ×74__2024__02_03__09_05.rpl4_824\n"
              "表: 200 -> 179 bytes, 254 on disk: 表×75__2024__02_03__09_05.rpl4_824\n"
              "half-width: 120 -> 104 bytes, 254 on disk: ｱ×75__2024__02_03__09_05.rpl4_824\n"
              "mixed: 199 -> 213 bytes, 255 on disk: x×4" + Repeat("ボス戦_Demo-3", 13) +
                  "ボス戦_Demo__2024__02_03__09_05.rpl4_824\n"
              "kept: 480 -> 481 bytes, 255 on disk: \xEF\xBF\xBD×226__2024__02_03__09_05.rpl4_824\n");
    // A suffix that fills the limit alone leaves the name whole: the system refuses it, saying why.
    EXPECT_EQ(FittedGameName("abc", suffix, 20), "abc" + suffix);
}

TEST(NameFit, NamesOnDiskKeepWholeCharactersAndFoldersTellTheirLimit) {
    EXPECT_EQ(FittedName("ab\xE3\x81\x82", ".tmp1", 8), "ab.tmp1");
    EXPECT_EQ(FittedName("ab\xE3\x81\x82", ".tmp1", 10), "ab\xE3\x81\x82.tmp1");
    EXPECT_EQ(NameMax(std::filesystem::temp_directory_path()), 255u);
    EXPECT_EQ(NameMax(std::filesystem::temp_directory_path() / "no such folder"), 255u);
}
