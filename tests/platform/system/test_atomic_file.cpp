// Saves of names as long as the file system takes (ASCII, and UTF-8 names cut where a character
// would be split), and the temporaries they would leave behind found again at the next start.
#include <gtest/gtest.h>

#include <set>

#include "platform/system/AtomicFile.h"
#include "platform/system/FileError.h"
#include "tests/support/ScratchGame.h"

namespace fs = std::filesystem;

namespace {

// Names from 245 to 255 bytes: plain letters, and three-byte characters after 0, 1 or 2 letters,
// so that the cut for the temporary's mark falls on each byte of a character.
std::vector<std::string> LongNames() {
    std::vector<std::string> names;
    for (std::size_t size = 245; size <= 255; ++size) names.push_back(std::string(size - 4, 'a') + ".rkg");
    for (std::size_t lead = 0; lead < 3; ++lead) {
        std::string name(lead, 'b');
        while (name.size() + 3 + 4 <= 255) name += "あ";
        names.push_back(name + ".rkg");
    }
    return names;
}

bool StartsACharacter(const std::string& s, std::size_t at) {
    return at >= s.size() || (static_cast<unsigned char>(s[at]) & 0xC0) != 0x80;
}

} // namespace

TEST(AtomicFile, EveryNameTheSystemTakesSavesAndItsStrayTemporaryIsFound) {
    ScratchGame game;
    const fs::path folder = game.Dir() / "user_data";
    fs::create_directories(folder);
    std::set<std::string> saved;
    for (const std::string& name : LongNames()) {
        ASSERT_TRUE(WriteFileAtomic(folder / name, "new")) << name.size() << " bytes: " << FileErrorCause(FileError());
        EXPECT_EQ(game.Read("user_data/" + name), "new");
        saved.insert(name);
        // A kept-aside copy of a damaged one takes a cut name the same way.
        const std::string aside = RenameAside(folder / name);
        ASSERT_FALSE(aside.empty()) << name.size() << " bytes: " << FileErrorCause(FileError());
        EXPECT_LE(aside.size(), 255u);
        EXPECT_TRUE(StartsACharacter(name, aside.size() - std::string(".damaged").size()));
        saved.insert(aside);
        ASSERT_TRUE(WriteFileAtomic(folder / name, "new"));
    }
    std::set<std::string> present;
    for (const auto& e : fs::directory_iterator(folder)) present.insert(e.path().filename().string());
    EXPECT_EQ(present, saved) << "no temporary is left";

    // What a save cut short by a kill leaves, under a writer that is gone: each fits, is the
    // name cut at a character's start with a check of the whole name (none shares another's),
    // and the next start removes it.
    for (const std::string& name : LongNames()) {
        const std::string tmp = TemporaryName(name, 999999999);
        ASSERT_LE(tmp.size(), 255u) << name;
        const std::size_t kept = tmp.size() - std::string("~12345678.tmp999999999").size();
        EXPECT_EQ(tmp.substr(0, kept), name.substr(0, kept));
        EXPECT_EQ(tmp[kept], '~');
        EXPECT_TRUE(StartsACharacter(name, kept)) << "a character split at byte " << kept << " of " << name.size();
        game.Write("user_data/" + tmp, "half");
    }
    EXPECT_EQ(RemoveStrayTemporaries(folder), static_cast<int>(LongNames().size()));
    present.clear();
    for (const auto& e : fs::directory_iterator(folder)) present.insert(e.path().filename().string());
    EXPECT_EQ(present, saved);
}
