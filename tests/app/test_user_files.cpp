// The files of the player and of the game's author, damaged the ways disks and crashes damage
// them: each loads as a failure with its own report line (or box), keeps what was there before,
// and never asks the program to close. The outcomes are pinned by a golden table; saves,
// rankings and settings written over a damaged file keep it aside first.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "FrontEndTestUtil.h"
#include "app/Game.h"
#include "app/PlayRecord.h"
#include "app/Ranking.h"
#include "app/Replay.h"
#include "app/StorySave.h"
#include "app/SystemIni.h"
#include "database/DataPaths.h"
#include "database/OptionData.h"
#include "platform/system/Input.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "records/DataFile.h"
#include "records/FlowCmd.h"
#include "records/StageLoad.h"

namespace fs = std::filesystem;
using fetest::ReadAll;
using fetest::WriteAll;

namespace {

// Each way of damaging a file that is there. The two count damages hit the record's field count
// (the word after the version), which is what a bad sector or a flipped bit there does.
struct DAMAGE {
    const char* name;
    std::function<void(const fs::path&)> apply;
};

void Rewrite(const fs::path& p, const std::function<void(std::string&)>& change) {
    std::string bytes = ReadAll(p);
    change(bytes);
    WriteAll(p, bytes);
}

const std::vector<DAMAGE>& Damages() {
    static const std::vector<DAMAGE> list = {
        {"intact", [](const fs::path&) {}},
        {"count past the bytes", [](const fs::path& p) { Rewrite(p, [](std::string& b) { b.replace(4, 4, "\xF0\xFF\xFF\x7F"); }); }},
        {"flipped byte", [](const fs::path& p) { Rewrite(p, [](std::string& b) { b[4] = static_cast<char>(b[4] ^ 0x80); }); }},
        {"truncated", [](const fs::path& p) { Rewrite(p, [](std::string& b) { b.resize(b.size() / 2); }); }},
        {"1 KB appended", [](const fs::path& p) { Rewrite(p, [](std::string& b) { b.append(1024, '\xA5'); }); }},
        // Four bytes inverted in the middle: the record reads to its end, its values changed.
        {"bytes flipped mid-file", [](const fs::path& p) {
             Rewrite(p, [](std::string& b) {
                 for (std::size_t i = b.size() / 2; i < b.size() / 2 + 4 && i < b.size(); ++i) b[i] = static_cast<char>(~b[i]);
             });
         }},
        {"empty", [](const fs::path& p) { WriteAll(p, ""); }},
        // Root reads through any permission: a link to itself is a file that is there and
        // cannot be opened for everyone.
        {"unreadable", [](const fs::path& p) { fs::remove(p); fs::create_symlink(p.filename(), p); }},
        {"folder in its place", [](const fs::path& p) { fs::remove(p); fs::create_directory(p); }},
    };
    return list;
}

class UserFiles : public fetest::GameFolder {
protected:
    void SetUp() override {
        GameFolder::SetUp();
        SetReportFile((m_root / "Report_Game.txt").string());
        ResetCloseRequestCount();
        SetCmdLimits(CMDLIMITS{});
        g_Stage.Init();
        g_Stage.vChara.clear();
        g_StageAtStart.Init();
        g_StorySlots = cVector<cStorySlotInfo>(kStorySlots);
    }
    void TearDown() override {
        g_Stage.Init();
        g_StageAtStart.Init();
        GameFolder::TearDown();
    }
    // The report lines and boxes written since the last call.
    std::string NewLines() {
        const std::string all = ReadAll(m_root / "Report_Game.txt");
        std::string fresh = all.substr(std::min(m_reportSeen, all.size()));
        m_reportSeen = all.size();
        for (const std::string& box : m_vBox) fresh += "[box] " + box + "\r\n";
        m_vBox.clear();
        std::string out;
        std::istringstream in(fresh);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out += (out.empty() ? "" : " / ") + line;
        }
        return out;
    }
    std::size_t m_reportSeen = 0;
};

cStage HeroStage() {
    cStage st;
    cEdChara hero;
    hero.byOperation = 0;
    hero.wPicture = 3;
    hero.nHoldItem = cEdChara::kNoItem;
    st.vChara.push_back(hero);
    return st;
}

// One kind of file: where it lives, how a sound one is written, and its loader's verdict as the
// program takes it ("kept" when what was there before stayed).
struct USERFILE {
    const char* label;
    std::string path;
    std::function<void()> write;
    std::function<std::string()> load;
    std::function<void()> save = {}; // how the program writes it again (none: never written)
};

// What became of the damaged file once the program saved its own over it.
std::string Fate(const fs::path& disk, const std::string& before, const std::function<void()>& save) {
    if (!save) return "not written";
    save();
    fs::path aside = disk;
    aside += ".damaged";
    std::error_code ec;
    if (fs::exists(fs::symlink_status(aside, ec))) return "kept aside";
    if (fs::is_regular_file(disk, ec) && ReadAll(disk) == before) return "left as it was";
    return "saved over";
}

std::string Verdict(bool loaded, bool kept) { return loaded ? "loaded" : kept ? "refused, kept" : "refused, CHANGED"; }

std::vector<USERFILE> Files() {
    std::string ranking;
    MakeRankingPath(ranking, 2, "data\\stg4\\a.stg4_000", 0, 0, 0);
    return {
        {"Option.dat", g_DataPath[DP_OPTION],
         [] {
             cOptionData o;
             o.strRankingName = "new";
             SaveToFile(o, g_DataPath[DP_OPTION]);
         },
         [] {
             g_OptionData.strRankingName = "old";
             const bool ok = LoadUserFile(g_OptionData, g_DataPath[DP_OPTION]) == LoadResult::Loaded;
             return Verdict(ok, g_OptionData.strRankingName == "old");
         },
         [] { SaveUserFile(g_OptionData, g_DataPath[DP_OPTION]); }},
        {"Window.dat", "user_data\\Window.dat",
         [] {
             cWindowData w;
             w.Set(5, 6, 640, 480, 0);
             SaveToFile(w, "user_data\\Window.dat");
         },
         [] {
             g_WindowData.Set(1, 2, 3, 4, 0);
             const bool ok = LoadUserFile(g_WindowData, "user_data\\Window.dat") == LoadResult::Loaded;
             return Verdict(ok, g_WindowData.nWidth == 3);
         },
         [] { SaveUserFile(g_WindowData, "user_data\\Window.dat"); }},
        {"Boot.dat", "user_data\\Boot.dat",
         [] {
             cBootData b;
             b.bDoNotAsk = 1;
             SaveToFile(b, "user_data\\Boot.dat");
         },
         [] {
             g_BootData.Clear();
             const bool ok = LoadUserFile(g_BootData, "user_data\\Boot.dat") == LoadResult::Loaded;
             return Verdict(ok, g_BootData.bDoNotAsk == 0);
         },
         [] { SaveUserFile(g_BootData, "user_data\\Boot.dat"); }},
        {"KeyConfig.dat", "user_data\\KeyConfig.dat",
         [] {
             KEYCONFIG k;
             KeyConfigDefault(k);
             k.nJoyCount = 2;
             WriteAll(ResolvePath("user_data\\KeyConfig.dat"), std::string(reinterpret_cast<const char*>(&k), sizeof k));
         },
         [] {
             KEYCONFIG k;
             KeyConfigDefault(k);
             const bool ok = KeyConfigLoad("user_data\\KeyConfig.dat", k) != 0;
             return Verdict(ok, k.nJoyCount == 1);
         }},
        {"story save", "user_data\\story\\Story03.dat",
         [] {
             cPlayRecord r;
             SaveStorySlot(r, 2);
         },
         [] {
             cPlayRecord r;
             r.nScore = 77;
             const bool ok = LoadStorySlot(r, 2) != 0;
             return Verdict(ok, r.nScore == 77);
         },
         [] {
             cPlayRecord r;
             SaveStorySlot(r, 2);
         }},
        {"Challenge.dat", g_DataPath[DP_CHALLENGE_RESULT],
         [] {
             cPlayRecord r;
             SaveChallenge(r);
         },
         [] {
             cPlayRecord r;
             r.nScore = 77;
             const bool ok = LoadChallenge(r) != 0;
             return Verdict(ok, r.nScore == 77);
         },
         [] {
             cPlayRecord r;
             SaveChallenge(r);
         }},
        {"ranking", ranking,
         [] {
             cRankingFile f;
             f.vTable[0].Insert("abc", 10);
             SaveRanking(f, 2, "data\\stg4\\a.stg4_000", 0, 0, 0);
         },
         [] {
             cRankingFile f;
             const bool ok = LoadRanking(f, 2, "data\\stg4\\a.stg4_000", 0, 0, 0) != 0;
             // A ranking that does not load is shown empty.
             return Verdict(ok, !f.vTable[0].vEntry[0].bUsed);
         },
         [] {
             cRankingFile f;
             f.vTable[0].Insert("new", 20);
             SaveRanking(f, 2, "data\\stg4\\a.stg4_000", 0, 0, 0);
         }},
        {"replay", "user_data\\rpl4\\a.rpl4_824",
         [] {
             cStage st = HeroStage(), start;
             cReplayData rp;
             rp.Record(1, 2);
             cPlayRecord r;
             SaveReplay(rp, "user_data\\rpl4\\a.rpl4_824", st, start, r);
         },
         [] {
             cReplayData rp;
             rp.nSeed = 9;
             cStage st, start;
             cPlayRecord r;
             const bool ok = LoadReplay(rp, "user_data\\rpl4\\a.rpl4_824", st, start, r) != 0;
             return Verdict(ok, rp.nSeed == 9);
         }},
        {"stage", "data\\stg4\\s.stg4_000",
         [] {
             cStage st = HeroStage();
             SaveToFile(st, "data\\stg4\\s.stg4_000");
         },
         [] {
             g_Stage.strStage = "before";
             const bool ok = LoadStageForPlay("data\\stg4\\s.stg4_000", 0, nullptr) != 0;
             return Verdict(ok, g_Stage.strStage == "before");
         }},
    };
}

} // namespace

TEST_F(UserFiles, EveryDamageIsARefusedLoadWithItsReportLineAndTheProgramGoesOn) {
    std::string table;
    for (const USERFILE& file : Files()) {
        for (const DAMAGE& damage : Damages()) {
            const fs::path disk = ResolvePath(file.path);
            fs::remove_all(disk);
            for (const char* mark : {".damaged", ".damaged2"}) {
                fs::path aside = disk;
                aside += mark;
                fs::remove_all(aside);
            }
            file.write();
            ASSERT_TRUE(fs::exists(disk)) << file.label;
            damage.apply(disk);
            NewLines();
            std::error_code ec;
            const std::string before = fs::is_regular_file(disk, ec) ? ReadAll(disk) : std::string();
            const std::string verdict = file.load();
            const std::string loadLines = NewLines();
            const std::string fate = Fate(disk, before, file.save);
            std::string saveLines = NewLines();
            table += std::string(file.label) + " | " + damage.name + " | " + verdict + " | " +
                     (CloseRequestCount() ? "CLOSES" : "goes on") + " | " + loadLines + " | " + fate +
                     (saveLines.empty() ? "" : " | " + saveLines) + "\n";
            ResetCloseRequestCount();
        }
    }
    const fs::path golden = fs::path(TOBRELK_TEST_DATA_DIR) / "app" / "damaged_user_files.txt";
    if (std::getenv("TOBRELK_UPDATE_GOLDENS")) {
        fs::create_directories(golden.parent_path());
        WriteAll(golden, table);
    }
    EXPECT_EQ(table, ReadAll(golden));
}

TEST_F(UserFiles, DamagedSavesAndRankingsAreKeptAsideBeforeANewOneIsWritten) {
    const fs::path story = m_root / "user_data/story/Story01.dat";
    const fs::path challenge = ResolvePath(g_DataPath[DP_CHALLENGE_RESULT]);
    std::string rankingPath;
    MakeRankingPath(rankingPath, 2, "data\\stg4\\a.stg4_000", 0, 0, 0);
    const fs::path ranking = ResolvePath(rankingPath);
    const std::string damaged("\x38\x03\x00\x00\xFF\xFF\xFF\x7F", 8);
    for (const fs::path& p : {story, challenge, ranking}) WriteAll(p, damaged);
    fs::create_directory(story.string() + ".damaged"); // an earlier one is never replaced

    // Loading alone never moves anything: the slot shows as damaged, the ranking as empty.
    LoadStorySlotList(g_StorySlots);
    EXPECT_EQ(g_StorySlots[0].bDamaged, 1u);
    cRankingFile f;
    EXPECT_EQ(LoadRanking(f, 2, "data\\stg4\\a.stg4_000", 0, 0, 0), 0);
    EXPECT_EQ(ReadAll(ranking), damaged);

    cPlayRecord r;
    r.nScore = 5;
    ASSERT_EQ(SaveStorySlot(r, 0), 1);
    ASSERT_EQ(SaveChallenge(r), 1);
    f.vTable[0].Insert("abc", 10);
    ASSERT_EQ(SaveRanking(f, 2, "data\\stg4\\a.stg4_000", 0, 0, 0), 1);
    EXPECT_EQ(ReadAll(story.string() + ".damaged2"), damaged);
    EXPECT_EQ(ReadAll(challenge.string() + ".damaged"), damaged);
    EXPECT_EQ(ReadAll(ranking.string() + ".damaged"), damaged);
    EXPECT_EQ(g_StorySlots[0].bDamaged, 0u);
    cPlayRecord back;
    ASSERT_EQ(LoadStorySlot(back, 0), 1);
    EXPECT_EQ(back.nScore, 5u);
    const std::string report = ReadAll(m_root / "Report_Game.txt");
    EXPECT_NE(report.find("Story01.dat を Story01.dat.damaged2 として残しました"), std::string::npos) << report;

    // A sound file is simply replaced.
    ASSERT_EQ(SaveStorySlot(r, 0), 1);
    EXPECT_FALSE(fs::exists(story.string() + ".damaged3"));
}

// A replay or a ranking whose own name the system takes (up to 255 bytes) saves, though the
// temporary beside it would not fit under that name; a save that fails says why in its report
// line: a name too long, a folder in the file's place, a full disk.
TEST_F(UserFiles, LongNamesSaveAndAFailedSaveSaysWhy) {
    cStage st = HeroStage(), start;
    cReplayData rp;
    rp.Record(1, 2);
    cPlayRecord r;
    const std::string replay = "user_data\\rpl4\\" + std::string(241, 'r') + ".rpl4_824"; // 250 bytes
    EXPECT_EQ(SaveReplay(rp, replay, st, start, r), 1);
    EXPECT_TRUE(fs::is_regular_file(ResolvePath(replay)));
    cRankingFile f;
    f.vTable[0].Insert("abc", 10);
    const std::string stage = "data\\stg4\\" + std::string(246, 's') + "."; // its file: 255 bytes
    EXPECT_EQ(SaveRanking(f, 2, stage, 0, 0, 0), 1);
    cRankingFile back;
    EXPECT_EQ(LoadRanking(back, 2, stage, 0, 0, 0), 1);
    EXPECT_EQ(back.vTable[0].vEntry[0].strName, "abc");
    EXPECT_EQ(NewLines(), "");

    std::string lines;
    const std::string tooLong = "user_data\\rpl4\\" + std::string(291, 'r') + ".rpl4_824"; // 300 bytes
    EXPECT_EQ(SaveReplay(rp, tooLong, st, start, r), 0);
    lines += NewLines() + "\n";
    fs::create_directory(m_root / "user_data/rpl4/folder.rpl4_824");
    EXPECT_EQ(SaveReplay(rp, "user_data\\rpl4\\folder.rpl4_824", st, start, r), 0);
    lines += NewLines() + "\n";
    SetAtomicWriteFailAfter(10);
    EXPECT_EQ(SaveStorySlot(r, 0), 0);
    f.vTable[0].Insert("new", 20);
    EXPECT_EQ(SaveRanking(f, 2, stage, 0, 0, 0), 0);
    SetAtomicWriteFailAfter(-1);
    lines += NewLines() + "\n";
    EXPECT_EQ(lines, tooLong + " の保存に失敗しました！ (File name too long)\n"
                     "user_data\\rpl4\\folder.rpl4_824 の保存に失敗しました！ (Is a directory)\n"
                     "user_data\\story\\Story01.dat の保存に失敗しました！ (No space left on device) / "
                     "[box] user_data\\story\\Story01.dat の保存に失敗しました！\n");
    EXPECT_EQ(LoadRanking(back, 2, stage, 0, 0, 0), 1);
    EXPECT_EQ(back.vTable[0].vEntry[0].strName, "abc") << "the old ranking stays";
}
