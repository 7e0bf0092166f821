// Commands as a player meets them: stages built here, with placed characters whose flows run the
// command under test, played through the play scene's own frame step; each test prints what a
// player would notice (who is there, what flies, what shows) and compares the whole trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "database/CommonPalette.h"
#include "database/Database.h"
#include "database/SystemData.h"
#include "flow/MessageWnd.h"
#include "platform/graphics/Image.h"
#include "platform/system/PathResolver.h"
#include "platform/system/WindowMessages.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/EdShot.h"
#include "tests/flow/FlowTrace.h"
#include "tests/play/RulesTestUtil.h"

using flowtest::Cmd;
using rulestest::Num;

namespace {

// A flow that runs its commands once: the first adds 1 to character variable 0, and the flow
// holds only while that variable is below 1.
cFlow Once(std::vector<cFlowCmd> cmds) {
    cmds.insert(cmds.begin(), flowtest::AddCmd(0, true));
    cFlow f = flowtest::MakeFlow(TRIG_ALWAYS, cmds);
    f.conds.push_back(flowtest::Cond(3, 5, 1));
    return f;
}

// A command that does nothing for `tenths` tenths of a second.
cFlowCmd Wait(u16 tenths) {
    cFlowCmd c = Cmd(1);
    c.time = tenths;
    return c;
}

// A shot command: one shot that stays where it was fired.
cFlowCmd StillShot() {
    cFlowCmd c = Cmd(11);
    c.chain = 1;
    NewEdShot(c.shot);
    ShotSettings::Set(*c.shot, eShot::ShotsPerVolley, 1);
    ShotSettings::Set(*c.shot, eShot::DirectionCode, 2);
    ShotSettings::Set(*c.shot, eShot::Picture, 1);
    return c;
}

// A summon of entry `index` of the common character palette.
cFlowCmd Summon(i16 index) {
    cFlowCmd c = Cmd(14);
    c.chain = 1;
    NewEdShot(c.shot);
    ShotSettings::Set(*c.shot, eShot::ShotsPerVolley, 1);
    ShotSettings::Set(*c.shot, eShot::PaletteIndex, index);
    return c;
}

// Stages made here are checked against no database sizes (a sound or an animation set past
// the database is kept), whatever an earlier test left; put back when the test ends.
struct AnyLimits {
    CMDLIMITS saved = GetCmdLimits();
    AnyLimits() { SetCmdLimits(CMDLIMITS{}); }
    ~AnyLimits() { SetCmdLimits(saved); }
};

// The common palette of a test (put back when it ends).
struct CommonPaletteScope {
    cCommonPalette saved = g_CommonPalette;
    ~CommonPaletteScope() { g_CommonPalette = saved; }
};

std::string Counts(cGameScene& s) {
    return "charas " + std::to_string(s.m_lstChara.LiveCount()) + " shots " + std::to_string(s.m_lstShot.LiveCount());
}

} // namespace

// A character summons a child that fires a shot of its own, fires one itself, and after a while
// vanishes by each scope of its children: 2 the children, 3 the children and its own shots, 4
// the children with their shots and its own, 5 the children with their shots.
TEST(PlayedCommands, VanishScopesOfTheChildren) {
    CommonPaletteScope keep;
    cEdChara child = flowtest::PlacedFlyer(0, 0, {Once({StillShot()})});
    g_CommonPalette.m_vEdChara = {cEdChara(), child};
    std::string trace;
    for (i64 scope : {2, 3, 4, 5}) {
        cStage st = playtest::MakeStage(40, 15);
        cFlowCmd vanish = Cmd(24, {scope, 0, 1});
        st.vChara.push_back(flowtest::PlacedFlyer(8, 6, {Once({Summon(1), StillShot(), Wait(5), vanish})}));
        st.Prepare();
        flowtest::HeroPlay h({}, st);
        trace += "scope " + std::to_string(scope) + ":";
        std::string last;
        for (int f = 0; f < 60; ++f) {
            h.play.Step();
            const std::string now = Counts(h.s);
            if (now != last) trace += " [" + std::to_string(f) + "] " + now;
            last = now;
        }
        trace += "\n";
    }
    EXPECT_EQ(trace, "scope 2: [0] charas 2 shots 2 [30] charas 1 shots 2\n"
                     "scope 3: [0] charas 2 shots 2 [30] charas 1 shots 1\n"
                     "scope 4: [0] charas 2 shots 2 [30] charas 1 shots 0\n"
                     "scope 5: [0] charas 2 shots 2 [30] charas 1 shots 1\n")
        << trace;
}

namespace {

// While it lives, the system sounds the game plays are noted in `log`.
struct SoundLog {
    explicit SoundLog(std::string& log) {
        s_log = &log;
        g_hWnd = MainWindowHandle();
        WindowQueueOpen([](HWND, u32 message, WPARAM w, LPARAM) -> LRESULT {
            if (message == WM_GAME_PLAYSE && s_log) *s_log += " SE" + std::to_string(static_cast<int>(w));
            return 0;
        });
    }
    ~SoundLog() {
        WindowQueueShutdown();
        g_hWnd = nullptr;
        s_log = nullptr;
    }
    static inline std::string* s_log = nullptr;
};

// A message command of the item set that waits for the advance key.
cFlowCmd ItemKeyMessage(const char* text) {
    cFlowCmd c;
    c.cmdSet = 1;
    c.cmdKind = 4;
    FixCmdParams(c);
    c.params[8] = 1; // the game waits
    c.text = text;
    return c;
}

} // namespace

// An item whose commands show two messages, each closed with the advance key: the first opens
// with its zoom and the key sound, the second continues its window at once, without either.
TEST(PlayedCommands, AnItemsSecondMessageContinuesTheFirst) {
    cStage st = playtest::MakeStage(20, 15);
    cEdItem coin;
    coin.wPicture = 1;
    coin.sPosX = 2;
    coin.sPosY = 13;
    coin.byGroup10 = 0; // no rising graphic: only the item's own messages are shown
    coin.vCmd.push_back(ItemKeyMessage("one"));
    coin.vCmd.push_back(ItemKeyMessage("two"));
    st.vItem.push_back(coin);
    st.Prepare();
    std::string trace;
    SoundLog sounds(trace);
    flowtest::HeroPlay h({}, st);
    cGameScene& s = h.s;
    std::string last;
    s.m_fnNestedInput = [&](cInput& in, i32 frame) {
        // The advance key tapped on the 20th frame of each window.
        const bool press = frame % 30 == 20;
        in.wButtons = press ? playtest::DECIDE : 0;
        std::string now;
        for (const MessageWndPtr& w : s.m_lstMessageWnd)
            now += w->m_strText + (w->m_bOpening ? " opening" : " open") + " step " + std::to_string(s.m_nPauseFrames);
        if (now != last) trace += "\n[" + std::to_string(frame) + "] " + now;
        last = now;
    };
    h.play.Steps(3);
    trace += "\nafter: " + std::to_string(s.m_lstMessageWnd.size()) + " shown\n";
    // The key sound (11) and the opening for the first; the advance key (sound 1) closes each.
    EXPECT_EQ(trace, R"( SE11
[0] one opening step 10
[1] one opening step 9
[2] one opening step 8
[3] one opening step 7
[4] one opening step 6
[5] one opening step 5
[6] one opening step 4
[7] one opening step 3
[8] one opening step 2
[9] one opening step 1
[10] one opening step 0 SE1
[0] two open step 0 SE1
after: 0 shown
)") << trace;
}

// The activity rule: a character in the view acts and one far beyond it sleeps, whatever its
// rule other than 1 says; with the quiet-when-inactive flag a sleeping character's jump (run by
// its died flow when something defeats it from afar) makes no sound, without it the jump sounds.
TEST(PlayedCommands, WakingByRangeAndQuietJumpsOffRange) {
    AnyLimits limits;
    cStage st = playtest::MakeStage(80, 15);
    for (i64 rule : {0, 2}) {
        auto withRule = [rule](cEdChara& d) { CharaSettings::Set(d, eChara::ActivityRule, rule); };
        st.vChara.push_back(flowtest::PlacedFlyer(8, 6, {Once({})}, withRule));
        st.vChara.push_back(flowtest::PlacedFlyer(60, 6, {Once({})}, withRule));
    }
    for (u8 quiet : {0, 1}) {
        cFlowCmd jump = Cmd(10, {0, 0, 2});
        jump.sound = 3;
        jump.flag96 = quiet;
        st.vChara.push_back(flowtest::PlacedFlyer(70, 12, {flowtest::MakeFlow(TRIG_DIED, {jump})}, [](cEdChara& d) {
            CharaSettings::Set(d, eChara::FlyMode, 0);
        }));
    }
    st.Prepare();
    std::string trace;
    SoundLog sounds(trace);
    flowtest::HeroPlay h({}, st);
    h.play.Steps(10);
    trace += "acted:";
    for (int i = 0; i < 4; ++i) trace += " " + std::to_string(h.s.m_lstChara[i].m_vVar[0]);
    trace += "\njumps:";
    for (int i : {4, 5}) {
        cStageChara& c = h.s.m_lstChara[i];
        trace += " [active " + std::to_string(c.m_bActive) + "]";
        // It stands where it was placed (a sleeping character's fall is never stepped).
        c.m_bFalling = 0;
        c.Kill();
    }
    trace += "\n";
    // Sound 3 of the jump is system sound 19.
    EXPECT_EQ(trace, "acted: 1 0 1 0\njumps: [active 0] SE19 [active 0]\n") << trace;
}

// An animation set past the table, given by the character's data or by the change-animation-set
// command, is the first set, with a report line each time. (Reading a stage puts a set past the
// database's table back to 0; here the stage is made in memory, past that check, as a stage read
// before the database changed would be.)
TEST(PlayedCommands, AnimationSetsPastTheTableAreTheFirst) {
    AnyLimits limits;
    playtest::PLAYOPTIONS options;
    options.prepareData = [] {
        cAnimeSetData first, second;
        first.vAnime.resize(3);
        second.vAnime.resize(1);
        g_Database.m_vAnimeSet = {first, second};
    };
    cStage st = playtest::MakeStage(40, 15);
    auto set = [](i64 n) { return [n](cEdChara& d) { CharaSettings::Set(d, eChara::AnimSet, n); }; };
    st.vChara.push_back(flowtest::PlacedFlyer(6, 6, {}, set(0)));
    st.vChara.push_back(flowtest::PlacedFlyer(8, 6, {}, set(1)));
    st.vChara.push_back(flowtest::PlacedFlyer(10, 6, {}, set(7)));
    st.vChara.push_back(flowtest::PlacedFlyer(12, 6, {Once({Cmd(27, {9})})}, set(1)));
    st.Prepare();
    flowtest::HeroPlay h(options, st);
    h.play.Steps(3);
    std::string trace = "programs:";
    for (int i = 0; i < 4; ++i) trace += " " + std::to_string(h.s.m_lstChara[i].m_Anim.vProgram.size());
    const std::string report = h.play.Report();
    for (const char* line : {"animation set 7 does not exist", "animation set 9 does not exist"})
        trace += std::string("\n") + line + (report.find(line) != std::string::npos ? ": reported" : ": not reported");
    trace += "\n";
    EXPECT_EQ(trace, "programs: 3 1 3 3\nanimation set 7 does not exist: reported\nanimation set 9 does not exist: reported\n")
        << trace;
}

// A row placed three times, 3 cells apart, whose flow moves each copy to 1 block above its
// placement: each copy rises above its own place (with the fixed-home switch, all three head for
// the row's own cell).
TEST(PlayedCommands, CopiesOfARowMoveFromTheirOwnHomes) {
    std::string trace;
    for (u32 fixedHome : {0u, 1u}) {
        cFlowCmd move;
        move.Clear();
        move.cmdKind = 2;
        move.time = 20;
        NewEdMove(move.move);
        MoveSettings::Set(*move.move, eMove::Speed, 40);
        MoveSettings::Set(*move.move, eMove::Way, 1);
        MoveSettings::Set(*move.move, eMove::TargetYBl, -1);
        MoveSettings::Set(*move.move, eMove::DeriveDuration, 1);
        MoveSettings::Set(*move.move, eMove::StopWhenArrived, 1);
        cStage st = playtest::MakeStage(40, 15);
        st.vChara.push_back(flowtest::PlacedFlyer(8, 8, {Once({move})}, [](cEdChara& d) {
            CharaSettings::Set(d, eChara::Repeat, 2);
            d.sOffsetStepX = 96;
        }));
        st.Prepare();
        playtest::PLAYOPTIONS options;
        options.prepareData = [fixedHome] { g_SystemData.bSwitch287 = fixedHome; };
        flowtest::HeroPlay h(options, st);
        h.play.Steps(60);
        trace += "fixed home " + std::to_string(fixedHome) + ":";
        h.s.ForEachChara([&](cStageChara& c) { trace += " " + Num(c.m_dX) + "," + Num(c.m_dY); });
        trace += "\n";
    }
    EXPECT_EQ(trace, "fixed home 0: 586.5,552 682.5,552 778.5,552\n"
                     "fixed home 1: 586.5,552 586.873,552.124 586.745,552.041\n")
        << trace;
}

// The hero stands on a block whose item lifts it two blocks at once (a warp): the item is taken
// before the hero's motion of that step, so the same step already lets it fall from there.
TEST(PlayedCommands, ABlocksItemIsTakenBeforeTheHeroMoves) {
    CommonPaletteScope keep;
    cEdItem lift;
    lift.wPicture = 1;
    cFlowCmd warp;
    warp.Clear();
    warp.cmdSet = 1;
    warp.cmdKind = 5;
    NewEdMove(warp.move);
    MoveSettings::Set(*warp.move, eMove::Way, 5);
    MoveSettings::Set(*warp.move, eMove::TargetYBl, -2);
    lift.vCmd.push_back(warp);
    g_CommonPalette.m_vEdItem = {cEdItem(), lift};
    g_CommonPalette.Publish();
    cStage st = playtest::MakeStage(20, 15);
    for (cEdBlock& b : st.vBlock)
        if (b.sPosX == 2) {
            b.byItemKind = 1;
            b.wItemIndex = 1;
        }
    st.Prepare();
    flowtest::HeroPlay h({}, st);
    // The block under the feet, as the landing on it names it.
    h.hero.m_nFloorCell = h.s.m_vBlockMap.IndexAtPixel(h.hero.m_dX + 8, h.hero.m_dBottom + 1);
    std::string trace;
    for (int f = 0; f < 4; ++f) {
        trace += Num(h.hero.m_dY) + " ";
        h.play.Step();
    }
    EXPECT_EQ(trace, "744 680.22 680.84 681.86 ") << trace;
}

// A character next to the hero swings a sword at it: with a graphic row that the sword types
// have, and with one they do not have (the type byte naming the row of its parts). Both swing
// and hit; the second draws nothing. With no row of parts at all there is no sword (and no hit).
TEST(PlayedCommands, ASwordWithoutItsGraphicStillHits) {
    std::string trace;
    for (auto [picture, type] : {std::pair<i64, i64>{1, 1}, {9, 1}, {9, 0}}) {
        playtest::PLAYOPTIONS options;
        options.prepareData = [] {
            cSwordTypeData swing;
            swing.vPart.clear();
            cSwordPart part;
            part.nWidth = 32;
            part.nHeight = 16;
            part.nTime = 3;
            swing.vPart.push_back(part);
            g_Database.m_vSwordType = {cSwordTypeData(), swing};
        };
        cFlowCmd sword = Cmd(12);
        sword.chain = 1;
        NewEdShot(sword.shot);
        ShotSettings::Set(*sword.shot, eShot::Picture, picture);
        ShotSettings::Set(*sword.shot, eShot::AimMode, type);
        ShotSettings::Set(*sword.shot, eShot::Power, 3);
        ShotSettings::Set(*sword.shot, eShot::TakeShooterSide, 1);
        cStage st = playtest::MakeStage(20, 15);
        st.vChara[0].dwMaxHP = 10;
        st.vChara.push_back(flowtest::PlacedFlyer(3, 13, {Once({sword})}, [](cEdChara& d) {
            CharaSettings::Set(d, eChara::FlyMode, 0);
            CharaSettings::Set(d, eChara::Side, 1);
            CharaSettings::Set(d, eChara::Facing, 0);
        }));
        st.Prepare();
        flowtest::HeroPlay h(options, st);
        trace += "picture " + std::to_string(picture) + " type " + std::to_string(type) + ":";
        std::string last;
        for (int f = 0; f < 30; ++f) {
            h.play.Step();
            std::string now = " hp " + std::to_string(h.hero.m_nHP) + " swords " + std::to_string(h.s.m_lstShot.LiveCount());
            h.s.ForEachShot([&](cShot& s) { now += " drawn from row " + std::to_string(s.m_nSwordGraphic); });
            if (now != last) trace += " [" + std::to_string(f) + "]" + now;
            last = now;
        }
        trace += "\n";
    }
    EXPECT_EQ(trace, "picture 1 type 1: [0] hp 7 swords 1 drawn from row 1 [18] hp 7 swords 0\n"
                     "picture 9 type 1: [0] hp 7 swords 1 drawn from row -1 [18] hp 7 swords 0\n"
                     "picture 9 type 0: [0] hp 10 swords 0\n")
        << trace;
}

// Times in tenths near the top of the 32-bit range (a damaged or hostile stage): six frames a
// tenth make more frames than a count holds, so the count stays at the largest one, either
// sign. A message, a picture and a screen colour of the longest time stay on; a message of the
// most negative time goes at once, as any negative time does.
TEST(PlayedCommands, TimesPastAFrameCountHoldTheLargestCount) {
    AnyLimits limits;
    playtest::PLAYOPTIONS options;
    options.prepareData = [] {
        g_Database.m_vPicture.resize(2);
        g_Database.m_vPicture[1].strFile = "bmp\\picture\\Sign.bmp";
    };
    const i64 huge = 0x40000000, lowest = -0x40000000;
    auto message = [](const char* text, i64 tenths) {
        cFlowCmd c = Cmd(19, {0, 0, 0, 0, 0, 0, 2, tenths});
        c.text = text;
        c.chain = 1;
        return c;
    };
    cFlowCmd picture = Cmd(32, {1, 0, 0, 0, 0, 0, 0, 100, 2, huge, 0, 0, 0, 5, 0});
    picture.chain = 1;
    cFlowCmd colour = Cmd(33, {255, 0, 0, 50, 0, huge, 0, 0});
    cStage st = playtest::MakeStage(40, 15);
    st.vChara.push_back(flowtest::PlacedFlyer(8, 6, {Once({message("long", huge), picture, colour})}));
    st.vChara.push_back(flowtest::PlacedFlyer(12, 6, {Once({message("gone", lowest)})}));
    st.Prepare();
    flowtest::HeroPlay h(options, st);
    cImage img;
    img.width = 8;
    img.height = 8;
    img.argb.assign(64, 0xFF2060A0);
    const std::vector<u8> bmp = EncodeBmp(img, 24);
    std::filesystem::create_directories(GetGameRoot() / "bmp" / "picture");
    std::ofstream(GetGameRoot() / "bmp" / "picture" / "Sign.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    std::string trace;
    for (int f = 0; f < 120; ++f) {
        h.play.Step();
        if (f != 0 && f != 1 && f != 119) continue;
        const cGameScene& s = h.s;
        trace += "[" + std::to_string(f) + "] messages";
        for (const MessageWndPtr& w : s.m_lstMessageWnd) trace += " " + w->m_strText + " " + std::to_string(w->m_nFramesLeft);
        trace += ", pictures";
        for (const PictureParam& p : s.m_lstPicture) trace += " " + std::to_string(p.nFrames);
        trace += ", colour " + std::to_string(s.m_ScreenColour.nDuration) + " frame " + std::to_string(s.m_ScreenColour.nFrame) +
                 (s.m_ScreenColour.bActive ? " active" : "") + "\n";
    }
    EXPECT_EQ(trace, "[0] messages long 2147483646, pictures 2147483646, colour 2147483647 frame 1 active\n"
                     "[1] messages long 2147483645, pictures 2147483645, colour 2147483647 frame 2 active\n"
                     "[119] messages long 2147483527, pictures 2147483527, colour 2147483647 frame 120 active\n")
        << trace;
}
