// Flow and command rules as a player meets them: stages built here, played through the play
// scene's own frame with scripted keys, each test printing what a player would notice and
// comparing the whole trace. One group per rule: the held direction of "入力方向" moves, the
// checks of stored command references, long loops, bad indexes in code and message texts, the
// aimed spread, and a game wait of no time.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "database/Database.h"
#include "flow/MessageWnd.h"
#include "platform/graphics/Image.h"
#include "platform/system/PathResolver.h"
#include "play/rules/Motion.h"
#include "records/DataFile.h"
#include "records/Stage.h"

#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/EdShot.h"
#include "tests/flow/FlowTrace.h"
#include "tests/play/RulesTestUtil.h"
#include "tests/support/GoldenTrace.h"

using flowtest::Cmd;
using rulestest::Num;

namespace {

// The first stage character of the play.
cStageChara& FirstChara(cGameScene& s) {
    cStageChara* found = nullptr;
    s.ForEachChara([&](cStageChara& c) {
        if (!found) found = &c;
    });
    if (!found) throw std::runtime_error("no stage character");
    return *found;
}

} // namespace

// ---- "入力方向" moves --------------------------------------------------------------------------

// A flying character's straight move of direction "入力方向" (started again every tenth of a
// second) goes the way the keys are held when it starts: the eight directions, and ahead (its
// facing, right) when none is held. Data older than the eight directions (777) sees only the side
// held: up-left is left, up alone is none.
TEST(FlowRulesPlayed, MovesGoTheWayTheKeysAreHeld) {
    cFlowCmd move;
    move.Clear();
    move.cmdKind = 2;
    move.time = 1;
    NewEdMove(move.move);
    MoveSettings::Set(*move.move, eMove::Speed, 120);
    MoveSettings::Set(*move.move, eMove::Direction, 12);
    cStage st = playtest::MakeStage(40, 15);
    st.vChara.push_back(flowtest::PlacedFlyer(12, 6, {flowtest::MakeFlow(TRIG_ALWAYS, {move})}));
    st.Prepare();
    const struct {
        const char* name;
        u16 dir;
    } holds[] = {{"none", 0}, {"L", 1}, {"R", 2}, {"U", 4}, {"D", 8}, {"UL", 5}, {"DR", 10}};
    std::string trace;
    for (u32 version : {kProgVer, 778u, 777u}) {
        for (const auto& h : holds) {
            flowtest::HeroPlay play({}, st);
            g_Stage.nFileVersion = version;
            cStageChara& c = FirstChara(play.s);
            if (trace.empty()) trace = std::string("facing ") + (c.m_nDir > 0 ? "R" : "L") + "\n";
            // The move started before the keys were held ends; the next starts with them held.
            play.play.Steps(8, h.dir);
            const double x0 = c.m_dX, y0 = c.m_dY;
            play.play.Step(h.dir);
            trace += std::to_string(version) + " " + h.name + " " + Num(c.m_dX - x0) + "," + Num(c.m_dY - y0) + "\n";
        }
    }
    ExpectGoldenTrace("flows", "input_direction_moves", trace);
}

// ---- Stored references of the commands ---------------------------------------------------------

namespace {

// The running character's picture and screen effect, each past its list of 4, and a picture
// command of the item set past it too, saved unchecked and read back against the lists.
cStage StageWithReferencesPastTheLists() {
    cStage st = playtest::MakeStage(40, 15);
    cFlowCmd picture = Cmd(32, {999, 0, 0, 0, 0, 0, 0, 100, 2, 20, 0, 0, 0, 5, 0});
    picture.chain = 1;
    cFlowCmd closing = Cmd(32, {0, 0, 0, 0, 0, 0, 0, 100, 2, 20, 0, 0, 1, 5, 0});
    cFlowCmd effect = Cmd(31, {999, 0, 0});
    effect.time = 1; // then the picture of ID 5 is closed
    st.vChara.push_back(flowtest::PlacedFlyer(12, 6, {flowtest::MakeFlow(TRIG_ALWAYS, {picture, effect, closing})}));
    cEdItem coin;
    coin.wPicture = 1;
    coin.sPosX = 2;
    coin.sPosY = 13;
    coin.byGroup10 = 0;
    cFlowCmd shown;
    shown.cmdSet = 1;
    shown.cmdKind = 17;
    FixCmdParams(shown);
    for (int i = 0; i < 15; ++i) shown.params[i] = picture.params[i];
    shown.params[0] = 998;
    shown.params[13] = 6;
    coin.vCmd.push_back(shown);
    st.vItem.push_back(coin);
    st.Prepare();
    return st;
}

} // namespace

// A picture number past the picture list reads back as the first picture (as the screen effect
// past its list reads back as none); the picture command of number 0, which closes, stays 0.
// Played, the character and the item each show the first picture, and the screen runs no effect.
TEST(FlowRulesPlayed, PicturesPastTheListReadBackAsTheFirst) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("tobrelk_refs_" + std::to_string(::getpid()) + ".stg4_001");
    const CMDLIMITS saved = GetCmdLimits();
    SetCmdLimits(CMDLIMITS{});
    cStage written = StageWithReferencesPastTheLists();
    ASSERT_TRUE(SaveToFile(written, file.string()));
    CMDLIMITS lists;
    lists.nPicture = lists.nScrEffect = 4;
    SetCmdLimits(lists);
    cStage st;
    const bool loaded = LoadFromFile(st, file.string());
    SetCmdLimits(saved);
    std::filesystem::remove(file);
    ASSERT_TRUE(loaded);

    playtest::PLAYOPTIONS options;
    options.prepareData = [] {
        g_Database.m_vPicture.resize(4);
        g_Database.m_vPicture[1].strFile = "bmp\\picture\\Sign.bmp";
        g_Database.m_vScrEffect.resize(4);
    };
    flowtest::HeroPlay h(options, st);
    cImage img;
    img.width = 40;
    img.height = 20;
    img.argb.assign(800, 0xFF2060A0);
    std::filesystem::create_directories(GetGameRoot() / "bmp" / "picture");
    const std::vector<u8> bmp = EncodeBmp(img, 24);
    std::ofstream(GetGameRoot() / "bmp" / "picture" / "Sign.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    const cVector<cFlowCmd>& cmds = st.vChara.back().vFlow[0].cmds;
    std::string trace = "read: picture " + std::to_string(cmds[0].params[0]) + ", screen effect " +
                        std::to_string(cmds[1].params[0]) + ", closing picture " + std::to_string(cmds[2].params[0]) +
                        ", item picture " + std::to_string(st.vItem.back().vCmd[0].params[0]) + "\n";
    for (int f = 0; f < 7; f += 6) {
        h.play.Steps(f == 0 ? 1 : 6);
        trace += "frame " + std::to_string(f) + ": pictures";
        for (const PictureParam& p : h.s.m_lstPicture) trace += " " + std::to_string(p.id) + " (ID " + std::to_string(p.nPass[2]) + ")";
        trace += ", screen effect " + std::to_string(h.s.m_ScreenEffect.m_nId) + "\n";
    }
    // The first picture (ID 5) closed after a tenth of a second, and shown again at once.
    EXPECT_EQ(trace, "read: picture 1, screen effect 0, closing picture 0, item picture 1\n"
                     "frame 0: pictures 1 (ID 5) 1 (ID 6), screen effect 0\n"
                     "frame 6: pictures 1 (ID 6) 1 (ID 5), screen effect 0\n")
        << trace;
}

// ---- Bad indexes in code and message texts -----------------------------------------------------

namespace {

cFlowCmd CodeLine(const char* text) {
    cFlowCmd c = Cmd(37);
    c.chain = 1;
    c.text = text;
    return c;
}

// The report's lines that begin with what.
std::string ReportLines(const std::string& report, const std::string& what) {
    std::string out;
    std::size_t at = 0;
    while (at < report.size()) {
        std::size_t end = report.find('\n', at);
        if (end == std::string::npos) end = report.size();
        std::string line = report.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(what, 0) == 0) out += line + "\n";
        at = end + 1;
    }
    return out;
}

} // namespace

// An operator without a right neighbour, a stage variable past the stage's thousand and a common
// variable past its end, in code; the stage variable past the end in a message text. Each is a
// bad index: reported, the program asked to close in order, the first element used meanwhile (the
// statement's first word, S0, C0), and the statements go on.
TEST(FlowRulesPlayed, BadIndexesInCodeAndMessagesAreReportedAndCloseTheProgram) {
    cStage st = playtest::MakeStage(40, 15);
    cFlowCmd message = Cmd(19, {0, 0, 0, 0, 0, 0, 2, 10, 0, 1});
    message.text = "#S1000 #S5";
    cFlow once = flowtest::MakeFlow(TRIG_ALWAYS, {flowtest::AddCmd(0, true), CodeLine("my.v1 = 7 +"), CodeLine("S1000 = 4"),
                                                  CodeLine("S5 = 9"), CodeLine("my.v2 = C1001 + 1"), message});
    once.conds.push_back(flowtest::Cond(3, 5, 1));
    st.vChara.push_back(flowtest::PlacedFlyer(12, 6, {once}));
    st.Prepare();
    flowtest::HeroPlay h({}, st);
    h.play.Steps(2);
    const cStageChara& c = FirstChara(h.s);
    std::string trace = "v1 " + std::to_string(c.m_vVar[1]) + " v2 " + std::to_string(c.m_vVar[2]) + " S0 " +
                        std::to_string(h.s.m_vStageVar[0]) + " code error " + std::to_string(h.s.m_bCodeError) + "\n";
    for (const MessageWndPtr& w : h.s.m_lstMessageWnd) trace += "message \"" + w->m_strText + "\"\n";
    trace += ReportLines(h.play.Report(), "err ");
    trace += "close requests " + std::to_string(h.play.CloseRequests()) + "\n";
    EXPECT_EQ(trace, "v1 7 v2 1 S0 4 code error 0\n"
                     "message \"4 9\"\n"
                     "err V[4] ( 4 , 48 )\n"
                     "err V[1000] ( 1000 , 4 )\n"
                     "err V[1001] ( 1001 , 4 )\n"
                     "err V[1000] ( 1000 , 4 )\n"
                     "close requests 4\n")
        << trace;
}

// ---- The aimed spread --------------------------------------------------------------------------

// A spread of three shots 30 degrees apart, aimed at the hero when fired, in two volleys with a
// base angle of 20 and an angle step of 10: both volleys fan out centred on the hero (the angles
// are given against the line from the start point to the hero); the volley's angle turns only an
// unaimed spread (mirrored: the shooter faces right).
TEST(FlowRulesPlayed, AnAimedSpreadIsCentredOnTheTarget) {
    std::string trace;
    for (i64 aim : {1, 0}) {
        cFlowCmd spread = Cmd(11);
        spread.chain = 1;
        NewEdShot(spread.shot);
        const std::pair<eShot, i64> settings[] = {
            {eShot::ShotsPerVolley, 3}, {eShot::ShotKind, 2},   {eShot::KindParam1, 30}, {eShot::DirectionCode, 2},
            {eShot::AimAtFire, aim},    {eShot::BaseAngle, 20}, {eShot::AngleStep, 10},  {eShot::ExtraVolleys, 1},
            {eShot::Speed, 30},         {eShot::Picture, 1}};
        for (auto [what, value] : settings) ShotSettings::Set(*spread.shot, what, value);
        cFlow once = flowtest::MakeFlow(TRIG_ALWAYS, {flowtest::AddCmd(0, true), Cmd(21, {0, 0}), spread});
        once.conds.push_back(flowtest::Cond(3, 5, 1));
        cStage st = playtest::MakeStage(40, 15);
        st.vChara.push_back(flowtest::PlacedFlyer(12, 8, {once}));
        st.Prepare();
        flowtest::HeroPlay h({}, st);
        h.play.Step();
        // The hero's graphic centre, as the aim takes it.
        const double hx = h.hero.m_rcScreen.left + h.s.m_ScrollX.m_dPos + h.hero.m_nGfxW / 2;
        const double hy = h.hero.m_rcScreen.top + h.s.m_ScrollY.m_dPos + h.hero.m_nGfxH / 2;
        trace += aim ? "aimed:" : "unaimed:";
        h.s.ForEachShot([&](cShot& s) {
            const double flight = std::atan2(-s.m_dOwnVelY, -s.m_dOwnVelX) * 57.29577951308232;
            // From where it started, a frame of steps back.
            const double x = s.m_dX - s.m_dOwnVelX * SpeedUnit(), y = s.m_dY - s.m_dOwnVelY * SpeedUnit();
            const double toward = std::atan2(y + 8 - hy, x + 8 - hx) * 57.29577951308232;
            trace += " " + Num(std::round(aim ? flight - toward : flight));
        });
        trace += "\n";
    }
    EXPECT_EQ(trace, "aimed: -30 0 30 -30 0 30\nunaimed: -50 -20 10 -60 -30 0\n") << trace;
}

// A shooter facing right fires "前", aimed at the hero, with its start point turned to the flight:
// a centred line of one shot (直進A) and a spread of three 20 degrees apart (拡散), the hero on its
// left and then on its right. Both kinds start on the hero's side of the shooter and fly on away
// from it; a start taken from the facing instead of the aim would put the left-hand shots behind
// the shooter, flying back across it. Per play: the shooter's graphic span, then each shot's
// start and its centre x over the next three frames.
TEST(FlowRulesPlayed, AnAimedShotWithATurnedStartLeavesOnTheTargetsSide) {
    std::string trace;
    for (i64 kind : {0, 2}) {
        for (i16 heroCell : {2, 18}) {
            cFlowCmd shot = Cmd(11);
            shot.chain = 1;
            NewEdShot(shot.shot);
            const std::pair<eShot, i64> settings[] = {
                {eShot::ShotsPerVolley, kind == 2 ? 3 : 1}, {eShot::ShotKind, kind}, {eShot::KindParam1, kind == 2 ? 20 : 0},
                {eShot::DirectionCode, 0}, {eShot::AimAtFire, 1}, {eShot::Placement, 1}, {eShot::Speed, 30},
                {eShot::Picture, 1}};
            for (auto [what, value] : settings) ShotSettings::Set(*shot.shot, what, value);
            cFlow once = flowtest::MakeFlow(TRIG_ALWAYS, {flowtest::AddCmd(0, true), Cmd(21, {0, 0}), shot});
            once.conds.push_back(flowtest::Cond(3, 5, 1));
            cStage st = playtest::MakeStage(40, 15);
            st.vChara[0].sPosX = heroCell;
            const auto facingRight = [](cEdChara& d) { CharaSettings::Set(d, eChara::Facing, 1); };
            st.vChara.push_back(flowtest::PlacedFlyer(10, 8, {once}, facingRight));
            st.Prepare();
            flowtest::HeroPlay h({}, st);
            h.play.Step();
            const cStageChara& c = FirstChara(h.s);
            const double left = c.m_rcScreen.left + h.s.m_ScrollX.m_dPos, right = c.m_rcScreen.right + h.s.m_ScrollX.m_dPos;
            trace += std::string(kind == 0 ? "直進A" : "拡散") + ", hero " + (heroCell < 10 ? "left" : "right") +
                     ", facing " + (c.m_nDir > 0 ? "right" : "left") + ", shooter " + Num(left) + "-" + Num(right) + "\n";
            std::vector<std::string> lines;
            h.s.ForEachShot([&](cShot& s) {
                // From where it started, the steps it has made back.
                const double x = s.m_dX - s.m_dOwnVelX * s.m_nAnimTick, y = s.m_dY - s.m_dOwnVelY * s.m_nAnimTick;
                const char* side = x + 8 < left ? " (left of it)" : x + 8 > right ? " (right of it)" : " (over it)";
                lines.push_back("  start " + Num(x) + "," + Num(y) + side + " then");
            });
            for (int f = 0; f < 3; ++f) {
                h.play.Step();
                std::size_t k = 0;
                h.s.ForEachShot([&](cShot& s) {
                    if (k < lines.size()) lines[k++] += " " + Num(s.m_dX + 8);
                });
            }
            for (const std::string& line : lines) trace += line + "\n";
        }
    }
    EXPECT_EQ(trace, "直進A, hero left, facing right, shooter 640-671\n"
                     "  start 627,596 (left of it) then 630.177 627.638 625.1\n"
                     "直進A, hero right, facing right, shooter 640.5-671.5\n"
                     "  start 668,596 (right of it) then 680.832 683.375 685.918\n"
                     "拡散, hero left, facing right, shooter 640-671\n"
                     "  start 627,596 (left of it) then 631.507 629.668 627.829\n"
                     "  start 627,596 (left of it) then 630.177 627.638 625.1\n"
                     "  start 627,596 (left of it) then 629.429 626.497 623.564\n"
                     "拡散, hero right, facing right, shooter 640.5-671.5\n"
                     "  start 668,596 (right of it) then 681.575 684.509 687.443\n"
                     "  start 668,596 (right of it) then 680.832 683.375 685.918\n"
                     "  start 668,596 (right of it) then 679.506 681.352 683.197\n")
        << trace;
}

// ---- A game wait of no time --------------------------------------------------------------------

// A character runs a game wait of 0 every frame while the player holds button 1: each wait holds
// the game (its loop begins one frame and ends before drawing it); having shown nothing, it
// leaves the held button acting in play. A wait of a tenth holds six drawn frames, after which
// the held button waits for its release.
TEST(FlowRulesPlayed, AGameWaitOfNoTimeHoldsTheGame) {
    std::string trace;
    for (i64 tenths : {0, 1}) {
        cStage st = playtest::MakeStage(40, 15);
        st.vChara.push_back(flowtest::PlacedFlyer(12, 6, {flowtest::MakeFlow(TRIG_ALWAYS, {Cmd(18, {tenths})})}));
        st.Prepare();
        flowtest::HeroPlay h({}, st);
        int begun = 0;
        h.s.m_fnNestedInput = [&](cInput& in, i32) {
            ++begun;
            in.wButtons = playtest::JUMP;
        };
        trace += "wait " + std::to_string(tenths) + ":";
        for (int f = 0; f < 3; ++f) {
            const int before = begun;
            h.play.Step(0, playtest::JUMP);
            trace += " [frames begun " + std::to_string(begun - before) + ", button in play " +
                     std::to_string(g_vInput[0].wButtons) + "]";
        }
        trace += "\n";
    }
    EXPECT_EQ(trace, "wait 0: [frames begun 1, button in play 1] [frames begun 1, button in play 1] "
                     "[frames begun 1, button in play 1]\n"
                     "wait 1: [frames begun 7, button in play 1] [frames begun 7, button in play 0] "
                     "[frames begun 7, button in play 0]\n")
        << trace;
}
