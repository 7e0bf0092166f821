// The step's copy of the characters' sides and boxes (cGameScene::StepWork::walked) and the attack
// sides kept from it. A write of a character's boxes or side that leaves them as the copy holds
// them is passed over (WalkedChanged); every sequence of writes, between frames and during the
// attack passes, leaves the copy, the kept sides and whether they are kept as taking each write
// as a change does.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "records/CharaSettings.h"
#include "tests/play/PlayFixture.h"

namespace {

std::string Bits(double v) {
    std::uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(b));
    return text;
}

std::string Rect(const HITRECT& r) { return Bits(r.left) + "," + Bits(r.top) + "," + Bits(r.right) + "," + Bits(r.bottom); }

std::string Who(cGameScene& s, const cChara* c) {
    if (c == s.Player0()) return "P";
    const cStageChara* sc = c ? const_cast<cChara*>(c)->AsStageChara() : nullptr;
    return sc ? std::to_string(s.m_lstChara.IndexOf(*sc)) : "?";
}

// Everything of the step work that the box and side writes reach, as text.
std::string StepCopy(cGameScene& s) {
    const cGameScene::StepWork& w = s.m_StepWork;
    // Not the characters noted during the passes: taking every write notes more of them.
    std::string t = "kept " + std::to_string(w.bSidesKept) + " passes " + std::to_string(w.bInPasses) + "\n";
    for (const cGameScene::StepWork::Walked& e : w.walked)
        t += " " + Who(s, e.chara) + " side " + std::to_string(e.side) + " " + Rect(e.body) + " " + Rect(e.damage) + " out " +
             std::to_string(e.out) + " at " + std::to_string(e.keptSide) + "/" + std::to_string(e.keptAt) + "\n";
    for (std::size_t k = 0; k < s.m_AttackSides.size(); ++k) {
        const cGameScene::AttackSide& side = s.m_AttackSides[k];
        t += " side " + std::to_string(k) + " kept " + std::to_string(side.nKept) + ":";
        for (std::size_t i = 0; i < side.chara.size(); ++i)
            t += " " + Who(s, side.chara[i]) + " " + Rect(side.body[i]) + " " + Rect(side.damage[i]);
        t += "\n";
    }
    return t;
}

// Three enemies on side 1 and one on side 2 beside the hero, every one awake.
cStage CopyStage() {
    cStage st = playtest::MakeStage(40, 15);
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    enemy.sPosY = 13;
    CharaSettings::Set(enemy, eChara::RangeMode, 3);
    for (i16 i = 0; i < 4; ++i) {
        enemy.sPosX = static_cast<i16>(8 + 3 * i);
        CharaSettings::Set(enemy, eChara::Side, i < 3 ? 1 : 2);
        st.vChara.push_back(enemy);
    }
    st.Prepare();
    return st;
}

// What a scenario does to the scene; it notes the state after each of its moves.
using Scenario = std::function<void(playtest::PlayFixture& play, const std::function<void(const char*)>& note)>;

// The trace of a scenario played with every write taken as a change (everyChange) or not, and
// the writes passed over.
std::string Play(const Scenario& scenario, bool everyChange, u32& passedOver) {
    playtest::PlayFixture play(CopyStage());
    EXPECT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    s.m_StepWork.bEveryChange = everyChange ? 1 : 0;
    play.Steps(2);
    EXPECT_EQ(s.m_lstChara.Size(), 4);
    EXPECT_EQ(s.m_StepWork.walked.size(), 4u);
    EXPECT_EQ(s.m_StepWork.bSidesKept, 1u);
    s.m_StepWork.nPassedOver = 0;
    std::string trace;
    scenario(play, [&](const char* what) { trace += std::string(what) + ": " + StepCopy(s); });
    passedOver = s.m_StepWork.nPassedOver;
    return trace;
}

cStageChara& Chara(playtest::PlayFixture& play, int i) { return play.Scene().m_lstChara[i]; }

} // namespace

TEST(StepCopy, WritesThatChangeNothingArePassedOverAndLeaveTheCopyAsTakingThemDoes) {
    using Note = std::function<void(const char*)>;
    const std::pair<const char*, Scenario> scenarios[] = {
        {"frames", [](playtest::PlayFixture& play, const Note& note) {
             for (int f = 0; f < 4; ++f) {
                 play.Step();
                 note("frame");
             }
         }},
        {"writes that change nothing", [](playtest::PlayFixture& play, const Note& note) {
             for (int i = 0; i < 4; ++i) {
                 Chara(play, i).UpdateBoxesX();
                 Chara(play, i).UpdateBoxesY();
             }
             note("same");
             play.Step();
             note("frame");
         }},
        {"the damage box alone, there and back", [](playtest::PlayFixture& play, const Note& note) {
             cStageChara& c = Chara(play, 1);
             c.m_rcDamage.cur.x += 2;
             c.UpdateBoxesX();
             note("moved");
             c.m_rcDamage.cur.x -= 2;
             c.UpdateBoxesX();
             note("back");
             play.Step();
             note("frame");
         }},
        {"the body box alone", [](playtest::PlayFixture& play, const Note& note) {
             cStageChara& c = Chara(play, 2);
             c.m_rcBody.cur.h -= 1;
             c.UpdateBoxesY();
             note("moved");
             play.Step();
             note("frame");
         }},
        {"a zero of the other sign", [](playtest::PlayFixture& play, const Note& note) {
             cStageChara& c = Chara(play, 0);
             c.m_rcDamage.rc.right = 0.0;
             play.Scene().WalkedChanged(c);
             note("zero");
             c.m_rcDamage.rc.right = -0.0;
             play.Scene().WalkedChanged(c);
             note("minus zero");
             play.Scene().WalkedChanged(c);
             note("again");
         }},
        {"a change of side", [](playtest::PlayFixture& play, const Note& note) {
             cStageChara& c = Chara(play, 3);
             c.m_nSide = 1;
             c.UpdateBoxesX();
             note("side 1");
             play.Step();
             note("frame");
             c.UpdateBoxesX();
             note("same");
         }},
        {"sides outside the sides", [](playtest::PlayFixture& play, const Note& note) {
             for (const i32 side : {kSideCount, -1}) {
                 cStageChara& c = Chara(play, 0);
                 c.m_nSide = side;
                 c.UpdateBoxesX();
                 note("outside");
                 play.Step();
                 note("frame");
                 c.UpdateBoxesX();
                 note("same");
                 play.Step();
                 note("frame");
             }
         }},
        {"during the passes", [](playtest::PlayFixture& play, const Note& note) {
             cGameScene& s = play.Scene();
             cStageChara& a = Chara(play, 1);
             cStageChara& b = Chara(play, 2);
             s.AttackPassesBegin();
             a.m_rcDamage.cur.y += 3;
             a.UpdateBoxesY();
             b.UpdateBoxesY();
             note("changed");
             a.m_rcDamage.cur.y -= 3;
             a.UpdateBoxesY();
             b.m_rcBody.cur.x += 1;
             b.UpdateBoxesX();
             b.UpdateBoxesX();
             note("back");
             s.AttackPassesEnd();
             note("ended");
             play.Step();
             note("frame");
         }},
    };
    for (const auto& [name, scenario] : scenarios) {
        SCOPED_TRACE(name);
        u32 every = 0, passed = 0;
        const std::string all = Play(scenario, true, every);
        const std::string some = Play(scenario, false, passed);
        EXPECT_EQ(some, all);
        EXPECT_EQ(every, 0u);
        EXPECT_GT(passed, 0u);
    }
}
