// Flow and command rules as a player meets them: stages built here, played through the play
// scene's own frame with scripted keys, each test printing what a player would notice and
// comparing the whole trace. One group per rule: the held direction of "入力方向" moves, the
// checks of stored command references, long loops, bad indexes in code and message texts, the
// aimed spread, and a game wait of no time.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/EdShot.h"
#include "tests/flow/FlowTrace.h"
#include "tests/play/RulesTestUtil.h"
#include "tests/support/GoldenTrace.h"

using flowtest::Cmd;
using rulestest::Num;

namespace {

// A stage character placed for play at a cell, flying, with these flows.
cEdChara FlyerAt(i16 x, i16 y, std::vector<cFlow> flows, const std::function<void(cEdChara&)>& edit = {}) {
    cEdChara d;
    d.byOperation = 1;
    d.wPicture = 1;
    d.sPosX = x;
    d.sPosY = y;
    d.nHoldItem = cEdChara::kNoItem;
    CharaSettings::Set(d, eChara::FlyMode, 2);
    for (cFlow& f : flows) d.vFlow.push_back(f);
    if (edit) edit(d);
    return d;
}

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
    st.vChara.push_back(FlyerAt(12, 6, {flowtest::MakeFlow(TRIG_ALWAYS, {move})}));
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
