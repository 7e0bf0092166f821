// Play-scene rules played through the scene's own frames: the front end's music request after a
// set-up, characters already dying under the death check (with and without delayed removal), the
// name dialog of every result setting, and the waits of commands by spawn index and computed
// value.
#include <gtest/gtest.h>

#include <string>

#include "app/Game.h"
#include "app/PlayRecord.h"
#include "app/PlayRecordNames.h"
#include "app/Ranking.h"
#include "app/Scenes.h"
#include "database/DataPaths.h"
#include "database/OptionData.h"
#include "database/SystemData.h"
#include "platform/system/Input.h"
#include "platform/system/WindowMessages.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/StageSettings.h"
#include "tests/play/PlayFixture.h"
#include "tests/play/RulesTestUtil.h"
#include "tests/support/GoldenTrace.h"

namespace {

// The window thread's side: sounds and name dialogs are noted, the dialog answers at once.
std::string g_letterHeard;
LRESULT LetterWindow(HWND, u32 msg, WPARAM w, LPARAM) {
    if (msg == WM_GAME_PLAYSE) g_letterHeard += std::to_string(static_cast<int>(w)) + " ";
    if (msg == WM_GAME_NAMEDLG) {
        g_letterHeard += "name ";
        g_bNameDone.store(1);
    }
    return 0;
}
struct LetterWindowScope {
    LetterWindowScope() {
        g_letterHeard.clear();
        g_hWnd = MainWindowHandle();
        WindowQueueOpen(LetterWindow);
    }
    ~LetterWindowScope() {
        WindowQueueShutdown();
        g_hWnd = nullptr;
    }
    std::string Take() {
        std::string s;
        s.swap(g_letterHeard);
        return s;
    }
};

cEdChara LetterFoe(i16 x, i16 y) {
    cEdChara c = playtest::MakeStage(40, 15).vChara[0];
    c.byOperation = 1;
    c.sPosX = x;
    c.sPosY = y;
    CharaSettings::Set(c, eChara::MaxHP, 5);
    return c;
}

cFlowCmd LetterCmd(u8 kind, i16 time, i16 timeStep) {
    cFlowCmd cmd;
    cmd.cmdKind = kind;
    cmd.time = time;
    cmd.timeStep = timeStep;
    return cmd;
}

} // namespace

// A stage that keeps the music playing asks for none, yet the front end's remembered request is
// cleared, so that the next scene's music is asked for again.
TEST(PlayLetter, SetUpClearsTheRememberedMusicRequest) {
    cStage st = playtest::MakeStage(40, 15);
    StageSettings::Set(st, eStage::Music, 3);
    StageSettings::Set(st, eStage::KeepMusic, 1);
    playtest::PlayFixture play(st);
    playrec::MusicNumber(g_PlayRecord) = 3;
    g_Game.m_nBgmNumber = 3;
    g_Game.m_bBgmFlag = 1;
    ASSERT_TRUE(play.RunUntilPlay());
    EXPECT_EQ(g_Game.m_nBgmNumber, 0);
}

// A character already dying, named by another's status operation (which asks for the death
// check): a plain death again. With delayed removal it sounds 9 at each check and stays until
// its death ends; without, the check takes it out at once.
TEST(PlayLetter, TheDeathCheckTreatsDyingCharactersAsPlainDeaths) {
    std::string trace;
    for (u32 delayed : {1u, 0u}) {
        LetterWindowScope window;
        cStage st = playtest::MakeStage(40, 15);
        st.vChara.push_back(LetterFoe(8, 13));
        cEdChara runner = LetterFoe(12, 13);
        cFlow f;
        f.trigger = 0;
        cFlowCmd op = LetterCmd(22, 0, 0);
        op.params.assign(18, 0);
        op.params[3] = 2; // target 2
        op.params[4] = 1; // HP
        op.params[5] = 1; // += 0
        f.cmds.push_back(op);
        runner.vFlow.push_back(f);
        st.vChara.push_back(runner);
        st.Prepare();
        playtest::PlayFixture play(st, {.prepareData = [delayed] { g_SystemData.bSwitch272 = delayed; }});
        ASSERT_TRUE(play.RunUntilPlay());
        cGameScene& s = play.Scene();
        cStageChara* victim = nullptr;
        cStageChara* named = nullptr;
        s.ForEachChara([&](cStageChara& c) { (c.m_vFlowRun.empty() ? victim : named) = &c; });
        ASSERT_TRUE(victim && named);
        named->m_aTarget[1] = victim;
        victim->Kill();
        victim->m_nHP = 0;
        window.Take();
        trace += "delayed " + std::to_string(delayed) + ":";
        for (int frame = 0; frame < 3; ++frame) {
            play.Step();
            trace += " [" + window.Take() + std::to_string(s.m_lstChara.LiveCount()) + "]";
        }
        trace += '\n';
    }
    // The status operation runs once: with the switch the check sounds 9 and the death is
    // drawn to its end (the frame's drawing takes it out); without, it is gone in that step.
    EXPECT_EQ(trace, "delayed 1: [9 1] [1] [1]\n"
                     "delayed 0: [1] [1] [1]\n");
}

// The name dialog is asked for in every result setting: by F3 in settings 0 and 1, by the
// decision key after the result in 2 and 3; 1 and 3 offer the registration name as its default.
TEST(PlayLetter, EveryResultSettingAsksForTheName) {
    std::string trace;
    for (u32 mode = 0; mode < 4; ++mode) {
        LetterWindowScope window;
        playtest::PlayFixture play(playtest::MakeStage(40, 15), {.prepareData = [] {
                                                                     g_SystemData.vRankingSetting[2].bRanking = 1;
                                                                     g_SystemData.vRankingSetting[2].vItem.assign(5, 1);
                                                                 }});
        g_Game.g_bUseRanking = 1;
        g_OptionData.nRankingMode = mode;
        g_OptionData.strRankingName = "abc";
        g_PlayRecord.strStageFile = "data\\stg4\\Rank.stg4_001";
        g_PlayRecord.strRankName = "zzz";
        CreateStartFolders();
        ASSERT_TRUE(play.RunUntilPlay());
        cGameScene& s = play.Scene();
        g_PlayRecord.nScore = 250;
        s.m_nEndRequest = 1;
        play.Step();
        ASSERT_EQ(s.m_nState, 4);
        window.Take();
        if (mode <= 1) {
            KeyStateSet(0x72, true); // F3
            play.Step();
            KeyStateSet(0x72, false);
        } else {
            play.Steps(60);
            play.Step(0, playtest::DECIDE);
        }
        const std::string heard = window.Take();
        trace += "mode " + std::to_string(mode) + ": " + (heard.find("name") != std::string::npos ? "dialog " : "none ") +
                 g_PlayRecord.strRankName + '\n';
    }
    EXPECT_EQ(trace, "mode 0: dialog zzz\nmode 1: dialog abc\nmode 2: dialog zzz\nmode 3: dialog abc\n");
}

// A wait command and a straight move after it, by spawn index 0 to 2 (a row of three copies) and
// by the move's computed value (none, the speed, the time): how many frames each command runs.
// The wait is (time + step x index) tenths, re-aimed by the move's solver where it computes the
// time.
TEST(PlayLetter, WaitsBySpawnIndexAndComputedValue) {
    cStage st = playtest::MakeStage(40, 15);
    for (u8 computed = 0; computed < 3; ++computed) {
        cEdChara row = LetterFoe(static_cast<i16>(5 + 4 * computed), 13);
        CharaSettings::Set(row, eChara::Repeat, 2);
        cFlow f;
        f.trigger = 0;
        f.cmds.push_back(LetterCmd(1, 2, 1)); // wait
        cFlowCmd move = LetterCmd(2, 3, 2);
        NewEdMove(move.move);
        MoveSettings::Set(*move.move, eMove::ComputedValue, computed);
        MoveSettings::Set(*move.move, eMove::Speed, 20);
        MoveSettings::Set(*move.move, eMove::Distance, 4);
        MoveSettings::Set(*move.move, eMove::DistanceStep, 2);
        MoveSettings::Set(*move.move, eMove::LockX, 1); // the copies stay where they are
        f.cmds.push_back(move);
        row.vFlow.push_back(f);
        st.vChara.push_back(row);
    }
    st.Prepare();
    playtest::PlayFixture play(st);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    std::vector<std::string> runs;
    std::vector<i32> last;
    std::vector<i32> count;
    for (int frame = 0; frame < 120; ++frame) {
        play.Step();
        std::size_t k = 0;
        s.ForEachChara([&](cStageChara& c) {
            if (runs.size() <= k) runs.emplace_back(), last.push_back(-1), count.push_back(0);
            const i32 now = c.m_vFlowRun.empty() || !c.m_vFlowRun[0].m_bRunning ? -1 : c.m_vFlowRun[0].m_nCurrent;
            if (now != last[k] && last[k] != -2) {
                if (count[k]) runs[k] += std::to_string(last[k]) + "x" + std::to_string(count[k]) + " ";
                last[k] = now;
                count[k] = 0;
            }
            ++count[k];
            ++k;
        });
    }
    std::string trace;
    for (std::size_t k = 0; k < runs.size(); ++k) runs[k] += std::to_string(last[k]) + "x" + std::to_string(count[k]);
    for (std::size_t k = 0; k < runs.size(); ++k) trace += "value " + std::to_string(k / 3) + " copy " + std::to_string(k % 3) + ": " + runs[k] + '\n';
    ExpectGoldenTrace("play_letter", "waits", trace);
}

// A stage character of the player's kind that has stood on a block character for two seconds
// can still start its jump (its sound is heard): it never counts as falling while it rides. Every
// thirty frames its falling flag and whether it stands on the block character; the frames in which
// its jump starts.
TEST(PlayLetter, AKindZeroRiderJumpsFromItsBlockCharacter) {
    LetterWindowScope window;
    rulestest::RulePlay play;
    rulestest::AddStageChara(play.s, 6, 13, [](cEdChara& d) {
        CharaSettings::Set(d, eChara::BlockChara, 1);
        CharaSettings::Set(d, eChara::MaxHP, 5);
    });
    cStageChara& rider = rulestest::AddStageChara(play.s, 6, 10, [](cEdChara& d) {
        CharaSettings::Set(d, eChara::Kind, 0);
        CharaSettings::Set(d, eChara::MaxHP, 5);
        cFlow f;
        f.trigger = 0;
        f.cmds.push_back(LetterCmd(1, 20, 0)); // two seconds on the block character first
        cFlowCmd jump = LetterCmd(10, 0, 0);
        jump.params.assign(5, 0);
        jump.params[2] = 3; // half blocks, no key
        jump.sound = 3;     // heard as sound 19 when the jump starts
        f.cmds.push_back(jump);
        d.vFlow.push_back(f);
    });
    window.Take();
    std::string trace;
    for (int frame = 1; frame <= 240; ++frame) {
        play.fixture.Step();
        if (window.Take().find("19 ") != std::string::npos) trace += "jump@" + std::to_string(frame) + " ";
        if (frame % 30 == 0) trace += std::string(rider.m_bFalling ? "F" : "-") + (rider.m_bOnBlockChara ? "B " : "- ");
    }
    EXPECT_EQ(trace, "-B -B -B -B jump@121 -B -B -B -B ");
}
