#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/PathResolver.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Sjis.h"
#include "tests/support/ScratchGame.h"

namespace fs = std::filesystem;

class PathsTest : public ::testing::Test {
protected:
    void Touch(const fs::path& rel) { m_game.Write(rel.string(), "x"); }
    ScratchGame m_game;
    const fs::path m_root = m_game.Dir();
};

TEST_F(PathsTest, WindowsPathsResolveCaseInsensitively) {
    Touch("bmp/chara/hero.bmp");
    EXPECT_EQ(ResolvePath("BMP\\Chara\\Hero.BMP"), m_root / "bmp/chara/hero.bmp");
    EXPECT_TRUE(FileExists("bmp\\CHARA\\hero.bmp"));
    // A name that does not exist keeps its text below the last folder that does.
    EXPECT_EQ(ResolvePath("Bmp\\New\\a.bmp"), m_root / "bmp/New/a.bmp");
}

TEST_F(PathsTest, TrailByteBackslashIsNotASeparator) {
    // 表示 ("display"): 0x95 0x5C 0x8E 0xA6. The 0x5C belongs to the first character.
    const std::string folder = "\x95\x5C\x8E\xA6";
    Touch(fs::path("data") / "表示" / "a.dat");
    EXPECT_EQ(ResolvePath("DATA\\" + folder + "\\A.dat"), m_root / "data" / "表示" / "a.dat");

    std::string stripped = "data\\" + folder;
    PathStripDir(stripped);
    EXPECT_EQ(stripped, folder);
}

TEST_F(PathsTest, ShiftJisNamesThatLookLikeUtf8AreStillShiftJis) {
    // Half-width ﾃｽ (0xC3 0xBD) and 瘁あ (0xE1 0x81 0x82 0xA0): bytes that also happen to be
    // well-formed UTF-8 ("ý", U+1042 ...). Paths in the data are Shift-JIS all the same.
    Touch(fs::path("ﾃｽ") / "a.dat");
    EXPECT_EQ(ResolvePath("\xC3\xBD\\A.dat"), m_root / "ﾃｽ" / "a.dat");
    EXPECT_TRUE(FileExists("\xC3\xBD\\a.dat"));
    const std::string kanji = "\xE1\x81\x82\xA0";
    Touch(fs::path("data") / SjisToUtf8(kanji));
    EXPECT_TRUE(FileExists("data\\" + kanji));
}

TEST_F(PathsTest, ExtensionsAreTakenFromTheLastComponent) {
    std::string out;
    EXPECT_EQ(ReplaceExtension(out, "stage\\a.stg4_001", "rpl4"), 1);
    EXPECT_EQ(out, "stage\\a.rpl4");
    // A dot in a folder name is no extension (the old code turned "dir.old\file" into "dir.txt").
    EXPECT_EQ(ReplaceExtension(out, "dir.old\\file", "txt"), 0);
    EXPECT_EQ(out, "dir.old\\file");
    std::string p = "x\\name.bmp";
    EXPECT_EQ(RemoveExtensionStr(p), 1);
    EXPECT_EQ(p, "x\\name");
    EXPECT_EQ(GetExtension(out, "a.b.ogg"), 1);
    EXPECT_EQ(out, "ogg");
}

TEST_F(PathsTest, NumberedFilesPickTheHighestNumber) {
    Touch("data/stg4/Stage.stg4_009");
    Touch("data/stg4/stage.STG4_010");
    Touch("data/stg4/Other.stg4_500");
    std::string out;
    ASSERT_EQ(FindNumberedFile(out, "Data\\stg4\\Stage.stg4", "stg4"), 1);
    EXPECT_EQ(out, "Data\\stg4\\Stage.stg4_010");
    EXPECT_TRUE(FileExists(out));
    // A name without extension gets it added.
    ASSERT_EQ(FindNumberedFile(out, "data\\stg4\\Other", "stg4"), 1);
    EXPECT_EQ(out, "data\\stg4\\Other.stg4_500");
    EXPECT_EQ(FindNumberedFile(out, "data\\stg4\\None.stg4", "stg4"), 0);
    // A path typed on Linux (command line, System.ini) separates with '/'.
    ASSERT_EQ(FindNumberedFile(out, "data/stg4/Stage.stg4", "stg4"), 1);
    EXPECT_EQ(out, "data/stg4/Stage.stg4_010");
}

TEST_F(PathsTest, RelativeAndAbsolutePaths) {
    Touch("data/stg4/a.stg4_000");
    std::string p = (m_root / "data/stg4/a.stg4_000").string();
    ASSERT_EQ(MakeRelativePath(p), 1);
    EXPECT_EQ(p, "data\\stg4\\a.stg4_000");
    std::string foreign = "C:\\game\\data\\a.dat";
    EXPECT_EQ(MakeRelativePath(foreign), 0);
    EXPECT_EQ(foreign, "C:\\game\\data\\a.dat");
    std::string rel = "data\\stg4\\a.stg4_000";
    ASSERT_EQ(MakeAbsolutePath(rel), 1);
    EXPECT_TRUE(FileExists(rel));
}

TEST_F(PathsTest, NamesAfterAFolderUpAreStillFoundWhateverTheirCase) {
    Touch("bmp/chara/hero.bmp");
    EXPECT_EQ(ResolvePath("bmp\\chara\\hero.bmp"), m_root / "bmp/chara/hero.bmp");
    EXPECT_EQ(ResolvePath("bmp\\..\\BMP\\Chara\\hero.bmp"), m_root / "bmp/../bmp/chara/hero.bmp");
    EXPECT_TRUE(FileExists("Bmp\\.\\chara\\\\HERO.bmp"));
}

// Names on disk that CP932 cannot hold keep their bytes in the game's paths, as pairs of the
// unassigned lead bytes 0x85 and 0x86 (pinned by hand); the paths made of them open the same
// file, relative or absolute, with '\\' after a kept byte still a separator, and names CP932
// holds stay plain Shift-JIS.
TEST_F(PathsTest, NamesShiftJisCannotHoldKeepTheirBytes) {
    const struct {
        const char* disk;
        std::string game;
    } kNames[] = {
        {"josé", "jos\x85\xC3\x85\xA9"},                // é: C3 A9
        {"〜", "\x85\xE3\x85\x80\x85\x9C"},              // U+301C comes back from CP932 as U+FF5E
        {"ā", "\x85\xC4\x85\x81"},                       // 0x81, a lead byte, before the separator
        {"a\\b", std::string("a\x86\x5C") + "b"},            // a '\\' inside a name
        {"\xFF\xFE", "\x86\x42\x86\x41"},                // no UTF-8 at all
        {"表示", "\x95\x5C\x8E\xA6"},                      // plain Shift-JIS, its 0x5C a trail byte
    };
    for (const auto& n : kNames) {
        EXPECT_EQ(GameNameOf(n.disk), n.game) << n.disk;
        EXPECT_EQ(DiskNameOf(n.game), n.disk) << n.disk;
        Touch(fs::path(n.disk) / "f.dat");
        const std::string rel = n.game + "\\F.dat";
        EXPECT_EQ(ResolvePath(rel), m_root / n.disk / "f.dat") << n.disk;
        std::string abs = rel;
        ASSERT_EQ(MakeAbsolutePath(abs), 1);
        EXPECT_EQ(abs, GamePathOf(m_root / n.disk / "f.dat")) << "the name as it is on disk";
        EXPECT_TRUE(FileExists(abs)) << n.disk;
        ASSERT_EQ(MakeRelativePath(abs), 1);
        EXPECT_EQ(abs, n.game + "\\f.dat") << n.disk;
        std::string out;
        ASSERT_EQ(ReplaceExtension(out, rel, "bak"), 1);
        EXPECT_EQ(ResolvePath(out), m_root / n.disk / "F.bak");
        EXPECT_EQ(DisplayPathOf(rel), std::string(IsValidUtf8(n.disk) ? n.disk : "\xEF\xBF\xBD\xEF\xBF\xBD") + "\\F.dat");
    }
    // A game folder below such a name: absolute paths made from the data's paths open.
    Touch("jos\xC3\xA9/game/data/stg4/a.stg4_001");
    const fs::path old = GetGameRoot();
    SetGameRoot(m_root / "josé" / "game");
    std::string stage = "data\\stg4\\a.stg4_001";
    ASSERT_EQ(MakeAbsolutePath(stage), 1);
    EXPECT_TRUE(FileExists(stage)) << DisplayPathOf(stage);
    std::string found;
    EXPECT_EQ(FindNumberedFile(found, GamePathOf(m_root / "josé" / "game" / "data" / "stg4" / "a"), "stg4"), 1);
    EXPECT_EQ(ResolvePath(found), m_root / "josé" / "game" / "data" / "stg4" / "a.stg4_001");
    SetGameRoot(old);
}

// Every outcome of reading a whole file: the bytes as they are, the limit (a file of exactly
// the limit passes, one byte more does not), a missing name, a folder, a name below a file, and
// a file the system sizes as empty while it has content.
TEST_F(PathsTest, WholeFilesAreReadWithTheirOutcome) {
    std::string bytes(100000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    m_game.Write("data/A.bin", bytes);
    std::vector<u8> v;
    std::string s;
    ASSERT_EQ(ReadWholeFile("DATA\\a.BIN", v), FileRead::Ok);
    EXPECT_EQ(std::string(v.begin(), v.end()), bytes);
    ASSERT_EQ(ReadWholeFile("data\\A.bin", s, bytes.size()), FileRead::Ok);
    EXPECT_EQ(s, bytes);
    {
        cByteBuffer b;
        ASSERT_EQ(ReadWholeFile("data\\A.bin", b), FileRead::Ok);
        EXPECT_EQ(b.View(), bytes);
        // A copy holds the same bytes; a buffer moved from is empty.
        const cByteBuffer copy = b;
        const cByteBuffer moved = std::move(b);
        EXPECT_EQ(copy.View(), bytes);
        EXPECT_EQ(moved.View(), bytes);
        EXPECT_TRUE(b.empty());
        EXPECT_EQ(ReadWholeFile("data\\empty.bin", b), FileRead::Missing);
        EXPECT_EQ(ReadWholeFile("data\\A.bin", b, bytes.size() - 1), FileRead::TooLarge);
        EXPECT_TRUE(b.empty());
    }
    EXPECT_EQ(ReadWholeFile("data\\A.bin", v, bytes.size() - 1), FileRead::TooLarge);
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(ReadWholeFile("data\\none.bin", v), FileRead::Missing);
    EXPECT_EQ(ReadWholeFile("", v), FileRead::Missing);
    EXPECT_EQ(ReadWholeFile("data", v), FileRead::Unreadable);
    EXPECT_EQ(ReadWholeFile("data\\A.bin\\inner", v), FileRead::Unreadable);
    m_game.Write("data/empty.bin", "");
    EXPECT_EQ(ReadWholeFile("data\\empty.bin", s), FileRead::Ok);
    EXPECT_TRUE(s.empty());
    // Sized as empty by the system, read to its end all the same, and held to the limit.
    ASSERT_EQ(ReadWholeFile("\\proc\\self\\status", s), FileRead::Ok);
    EXPECT_NE(s.find("Name:"), std::string::npos);
    EXPECT_EQ(ReadWholeFile("\\proc\\self\\status", s, 16), FileRead::TooLarge);
    EXPECT_TRUE(s.empty());
    // A file sized as empty that holds more than the first storage (the environment of a
    // process of ours that holds nothing but these bytes) goes on past each storage it fills:
    // every byte comes in its order, up to the limit.
    std::string variable = "T=";
    for (std::size_t i = 0; variable.size() < 100000; ++i) variable += static_cast<char>('a' + (i * 7 + i / 251) % 26);
    const std::string environ = variable + '\0';
    int started[2];
    ASSERT_EQ(::pipe2(started, O_CLOEXEC), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        char* argv[] = {const_cast<char*>("sleep"), const_cast<char*>("600"), nullptr};
        char* env[] = {variable.data(), nullptr};
        ::execve("/bin/sleep", argv, env);
        ::_exit(127);
    }
    ASSERT_GT(holder, 0);
    ::close(started[1]);
    char none;
    ASSERT_EQ(::read(started[0], &none, 1), 0) << "the holder never started"; // closed by its exec
    ::close(started[0]);
    const std::string source = "\\proc\\" + std::to_string(holder) + "\\environ";
    struct stat st {};
    ASSERT_EQ(::stat(ResolvePath(source).c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    // Read into a string and into storage left uncleared, which grows keeping what it holds.
    cByteBuffer buffer;
    for (const bool intoBuffer : {false, true})
    for (const std::size_t limit : {environ.size() + 1, environ.size(), environ.size() - 1}) {
        const FileRead read = intoBuffer ? ReadWholeFile(source, buffer, limit) : ReadWholeFile(source, s, limit);
        const std::string got = intoBuffer ? std::string(buffer.View()) : s;
        if (limit >= environ.size()) {
            EXPECT_EQ(read, FileRead::Ok) << limit;
            EXPECT_EQ(got, environ);
        } else {
            EXPECT_EQ(read, FileRead::TooLarge);
            EXPECT_TRUE(got.empty());
        }
    }
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    // A pipe is no file: refused without a wait for its writer (test_file_open.cpp).

    // A head of exactly the file's length is the whole file; one byte short of it is not.
    std::size_t size = 0;
    ASSERT_EQ(ReadFileHead("data\\a.bin", v, bytes.size(), size), FileRead::Ok);
    EXPECT_EQ(size, bytes.size());
    EXPECT_EQ(std::string(v.begin(), v.end()), bytes);
    ASSERT_EQ(ReadFileHead("data\\a.bin", v, bytes.size() - 1, size), FileRead::Ok);
    EXPECT_EQ(size, bytes.size());
    EXPECT_EQ(std::string(v.begin(), v.end()), bytes.substr(0, bytes.size() - 1));
    EXPECT_EQ(ReadFileHead("data\\none.bin", v, 10, size), FileRead::Missing);
    EXPECT_EQ(ReadFileHead("data", v, 10, size), FileRead::Unreadable);
}
