// Shots: golden traces of every shot kind, aim mode and flight rule at speed levels 1 and 10
// (1 and 10 steps a frame), with the play's generator at a fixed seed; and the faults the shot
// code guards against (owners and targets that go while a shot flies, damaged definitions).
// A trace line per frame: every live shot as x,y/vx,vy after the frame's steps. The traces live
// in tests/data/shots; run with TOBRELK_UPDATE_GOLDENS=1 to write them anew.
#include <gtest/gtest.h>

#include <functional>

#include "database/CommonPalette.h"
#include "database/Database.h"
#include "database/SystemData.h"
#include "play/rules/Hits.h"
#include "play/rules/Motion.h"
#include "play/shots/ShotCommands.h"
#include "play/shots/ShotFire.h"
#include "records/CharaSettings.h"
#include "tests/play/RulesTestUtil.h"
#include "tests/support/GoldenTrace.h"

using namespace rulestest;

namespace {

// The actors of the traces and tests: the hero standing at cell (4, 13), the shooter flying at
// (12, 8) on side 1 facing left, and a second character flying at (20, 12) on side 2, in the
// shooter's target slot 1 (facing left too in the traces, with a block at (10, 10)).
struct ShotPlay;
using ACTORS = ShotPlay;

using EditShot = std::function<void(cEdShot&)>;

struct SHOTCASE {
    const char* name;
    EditShot def;
    int frames = 8;
    // Before the shot is fired, and before each frame's steps.
    std::function<void(ACTORS&)> setup = {};
    std::function<void(int frame, ACTORS&)> each = {};
    // Swings the sword of this definition instead of firing it.
    bool sword = false;
};

void Set(cEdShot& d, eShot s, i64 v) { ShotSettings::Set(d, s, v); }

// A definition as the editor makes one: one shot flying straight left at 3 dots a frame.
cEdShot BaseShot(const EditShot& edit) {
    std::shared_ptr<cEdShot> p;
    NewEdShot(p);
    Set(*p, eShot::ShotsPerVolley, 1);
    Set(*p, eShot::DirectionCode, 2);
    Set(*p, eShot::Speed, 30);
    Set(*p, eShot::Picture, 1);
    if (edit) edit(*p);
    return *p;
}

auto Flying(i64 side, bool faceLeft) {
    return [=](cEdChara& d) {
        CharaSettings::Set(d, eChara::FlyMode, 2);
        CharaSettings::Set(d, eChara::Side, side);
        if (faceLeft) CharaSettings::Set(d, eChara::Facing, 0);
    };
}

cStage ShotStage(i32 level, bool block) {
    cStage st = playtest::MakeStage(40, 15);
    if (block) st.vBlock.push_back(playtest::MakeBlock(10, 10));
    st.Prepare();
    st.SetSpeed(level);
    return st;
}

struct ShotPlay {
    explicit ShotPlay(i32 level = 1, bool traced = false)
        : play(ShotStage(level, traced)), s(play.s), hero(SetUpPlayer(s, 4, 13)),
          shooter(AddStageChara(s, 12, 8, Flying(1, true))), other(AddStageChara(s, 20, 12, Flying(2, traced))) {
        shooter.m_aTarget[1] = &other;
    }
    void Fire(const EditShot& edit) { FireShot(s, shooter, run, BaseShot(edit)); }
    int Count() { return s.m_lstShot.LiveCount(); }
    RulePlay play;
    cGameScene& s;
    cPlayer& hero;
    cStageChara& shooter;
    cStageChara& other;
    cCmdRun run;
};

std::string Shots(cGameScene& s) {
    std::string out;
    s.ForEachShot([&](cShot& sh) {
        out.append(" ").append(Num(sh.m_dX)).append(",").append(Num(sh.m_dY));
        out.append("/").append(Num(sh.m_dSpeedX)).append(",").append(Num(sh.m_dSpeedY));
        if (!sh.m_bIsShot) out.append(" ").append(std::to_string(sh.m_nBoxW)).append("x").append(std::to_string(sh.m_nBoxH)).append(" #").append(std::to_string(sh.m_nSwordFrame));
    });
    return out.empty() ? " -" : out;
}

// One logic step of the shots, in the order of the play update.
void ShotPass(cGameScene& s, i32 step) {
    s.ForEachShot([&](cShot& sh) {
        if (sh.UpdateAim()) return s.EraseShot(sh);
        sh.StepMotion();
        if (step == 1 && sh.IsOutsideArea()) return s.EraseShot(sh);
        if (sh.CollideBlocks()) s.EraseShot(sh);
    });
    s.Sweep();
}

void Frame(cGameScene& s) {
    const i32 u = cShot::Steps();
    for (i32 i = 1; i <= u; ++i) {
        s.m_nStepIndex = i;
        s.m_ScrollX.Step();
        s.m_ScrollY.Step();
        ShotPass(s, i);
    }
}

std::string Run(const SHOTCASE& sc, i32 level) {
    ShotPlay a(level, true);
    cGameScene& s = a.s;
    if (sc.setup) sc.setup(a);
    a.hero.ScreenPos();
    if (sc.sword) StartSword(s, a.shooter, a.run, BaseShot(sc.def));
    else a.Fire(sc.def);
    std::string out = std::string("[") + sc.name + "] level " + std::to_string(level) + "\n  fired";
    out.append(Shots(s)).append("\n");
    for (int f = 0; f < sc.frames; ++f) {
        if (sc.each) sc.each(f, a);
        Frame(s);
        out.append("  f").append(std::to_string(f + 1)).append(Shots(s)).append("\n");
    }
    return out;
}

void ExpectGolden(const std::string& file, const std::vector<SHOTCASE>& cases) {
    std::string got;
    for (const SHOTCASE& sc : cases)
        for (i32 level : {1, 10}) got += Run(sc, level);
    ExpectGoldenTrace("shots", file, got);
}

using E = cEdShot;
void Kind(E& d, i64 kind, i64 count, i64 p1 = 0, i64 p2 = 0, i64 p3 = 0) {
    Set(d, eShot::ShotKind, kind);
    Set(d, eShot::ShotsPerVolley, count);
    Set(d, eShot::KindParam1, p1);
    Set(d, eShot::KindParam2, p2);
    Set(d, eShot::KindParam3, p3);
}
void Aim(E& d, i64 mode, i64 p1 = 0, i64 p2 = 0, i64 p3 = 0) {
    Set(d, eShot::AimMode, mode);
    Set(d, eShot::AimParam1, p1);
    Set(d, eShot::AimParam2, p2);
    Set(d, eShot::AimParam3, p3);
}
void FaceRight(ACTORS& a) { a.shooter.m_nDir = 1; }

} // namespace

TEST(ShotTrace, Kinds) {
    ExpectGolden("kinds", {
        {"直進A x3, gap 1 hbl, to the front (facing right)", [](E& d) { Kind(d, 0, 3, 1), Set(d, eShot::DirectionCode, 0); },
         3, FaceRight},
        {"直進A x3 up", [](E& d) { Kind(d, 0, 3), Set(d, eShot::DirectionCode, 6); }, 3},
        {"直進A x3 down-right", [](E& d) { Kind(d, 0, 3), Set(d, eShot::DirectionCode, 11); }, 3},
        {"直進A x3 at 30 degrees, line turned", [](E& d) { Kind(d, 0, 3, 1), Set(d, eShot::BaseAngle, 30), Set(d, eShot::Placement, 1); }, 3},
        {"直進A x2 at 30 degrees, line kept", [](E& d) { Kind(d, 0, 2), Set(d, eShot::BaseAngle, 30); }, 3},
        {"直進A x2 aimed at the target in slot 1, line turned",
         [](E& d) { Kind(d, 0, 2), Set(d, eShot::AimAtFire, 1), Set(d, eShot::TargetSlot, 1), Set(d, eShot::Placement, 1); }, 3},
        {"直進B x3, gap 1 hbl, left", [](E& d) { Kind(d, 1, 3, 1); }, 3},
        {"直進B x2 up, facing right", [](E& d) { Kind(d, 1, 2), Set(d, eShot::DirectionCode, 6); }, 3, FaceRight},
        {"拡散 x4 by 30 degrees", [](E& d) { Kind(d, 2, 4, 30); }, 3},
        {"拡散 x3 by 20 degrees aimed at the hero (slot 0)", [](E& d) { Kind(d, 2, 3, 20), Set(d, eShot::AimAtFire, 1); }, 3},
        {"拡散 x3 at 90 degrees, start turned", [](E& d) { Kind(d, 2, 3, 10), Set(d, eShot::BaseAngle, 90), Set(d, eShot::Placement, 1); }, 3},
        {"落雷 x2, gap 1, 2 rows 2 hbl apart, down round the hero",
         [](E& d) { Kind(d, 3, 2, 1, 2, 2), Set(d, eShot::DirectionCode, 7), Set(d, eShot::CentreObject, 1); }, 3},
        {"落雷 x1, 3 rows 1 hbl apart, left round the target in slot 1",
         [](E& d) { Kind(d, 3, 1, 0, 3, 1), Set(d, eShot::CentreObject, 0), Set(d, eShot::TargetSlot, 1); }, 3},
        {"落雷 x2 down-left round the shooter", [](E& d) { Kind(d, 3, 2, 0, 1), Set(d, eShot::DirectionCode, 9), Set(d, eShot::CentreObject, 2); }, 3},
        {"爆発 x6 from the shooter, offset 8,-4", [](E& d) { Kind(d, 4, 6), Set(d, eShot::OffsetX, 8), Set(d, eShot::OffsetY, -4); }, 3},
        {"包囲 x4 at 3 hbl round the hero", [](E& d) { Kind(d, 5, 4, 3), Set(d, eShot::CentreObject, 1); }, 3},
        {"volleys: 2 more, angle step 20, speed step 10, offset step 4, range step 1",
         [](E& d) {
             Set(d, eShot::ExtraVolleys, 2), Set(d, eShot::AngleStep, 20), Set(d, eShot::SpeedStep, 10);
             Set(d, eShot::OffsetYStep, 4), Set(d, eShot::RangeFlag, 1), Set(d, eShot::Range, 3), Set(d, eShot::RangeStep, 1);
         }, 6},
        {"jitter 15 on 3 volleys, mirrored for a right-facing shooter",
         [](E& d) { Set(d, eShot::ExtraVolleys, 2), Set(d, eShot::AngleJitter, 15), Set(d, eShot::BaseAngle, 10); }, 2, FaceRight},
        {"scale 2 straight down", [](E& d) { Set(d, eShot::Scale, 2), Set(d, eShot::DirectionCode, 7); }, 3},
    });
}

TEST(ShotTrace, AimModes) {
    ExpectGolden("aim", {
        {"0 straight, accelerating by 1", [](E& d) { Set(d, eShot::AccelFlag, 1), Set(d, eShot::Accel, 1); }},
        {"1 at the hero after 1 hbl", [](E& d) { Aim(d, 1, 1); }},
        {"2 at the nearest of side 2 at once", [](E& d) { Aim(d, 2, 0, 2); }},
        {"3 at the target in slot 1 after 1 hbl", [](E& d) { Aim(d, 3, 1), Set(d, eShot::SecondTargetSlot, 1); }},
        {"3 with an empty target slot", [](E& d) { Aim(d, 3, 0), Set(d, eShot::SecondTargetSlot, 2); }, 3},
        {"4 homing on the hero from the start", [](E& d) { Aim(d, 4, 0, 999); }},
        {"4 homing, accelerating", [](E& d) { Aim(d, 4, 1, 999), Set(d, eShot::AccelFlag, 1), Set(d, eShot::Accel, 2); }},
        {"4 homing that ends at 0 hbl never steers", [](E& d) { Aim(d, 4, 0, 0); }, 3},
        {"5 homing on the nearest of side 2 from 1 to 6 hbl", [](E& d) { Aim(d, 5, 1, 6, 2); }},
        {"6 homing on the target, which dies at frame 3", [](E& d) { Aim(d, 6, 0, 999), Set(d, eShot::SecondTargetSlot, 1); }, 6,
         {}, [](int f, ACTORS& a) {
             if (f == 2) a.s.RemoveChara(a.other);
         }},
        {"7 homing on the nearest of side 2", [](E& d) { Aim(d, 7, 0, 999, 2); }},
        {"8 wave 2 hbl, speed 20, from 0 degrees", [](E& d) { Aim(d, 8, 2, 20, 0); }},
        {"8 wave with speed 0", [](E& d) { Aim(d, 8, 2, 0, 90); }, 3},
        {"9 falls after 1 hbl", [](E& d) { Aim(d, 9, 1); }, 10},
    });
}

TEST(ShotTrace, RangeLifeAndScroll) {
    auto scroll = [](ACTORS& a) { a.s.m_ScrollX.SetSpeed(1, 20, SpeedUnit()); };
    ExpectGolden("range", {
        {"range 3 hbl", [](E& d) { Set(d, eShot::RangeFlag, 1), Set(d, eShot::Range, 3); }, 12},
        {"range 3 hbl, speed 0", [](E& d) { Set(d, eShot::RangeFlag, 1), Set(d, eShot::Range, 3), Set(d, eShot::Speed, 0); }, 3},
        {"range 2 hbl at 20 dots a frame: flown in one frame",
         [](E& d) { Set(d, eShot::RangeFlag, 1), Set(d, eShot::Range, 2), Set(d, eShot::Speed, 200), Set(d, eShot::DirectionCode, 7); }, 3},
        {"range 3 hbl, stops there and rides the scroll",
         [](E& d) { Set(d, eShot::RangeFlag, 1), Set(d, eShot::Range, 3), Set(d, eShot::StopAtRange, 1), Set(d, eShot::Homing, 1); },
         14, scroll},
        {"life 0.1 s", [](E& d) { Set(d, eShot::LifeFlag, 1), Set(d, eShot::Life, 1); }, 8},
        {"scroll-synchronised under auto-scroll", [](E& d) { Set(d, eShot::Homing, 1); }, 4, scroll},
        {"aimed at a target that rides the scroll: the trial shot leads it",
         [](E& d) { Set(d, eShot::AimAtFire, 1), Set(d, eShot::TargetSlot, 1); }, 4,
         [scroll](ACTORS& a) { scroll(a), a.other.m_bScrollSync = 1; }},
        {"into the block at (10, 10)", [](E& d) { Set(d, eShot::DirectionCode, 9), Set(d, eShot::Speed, 60); }, 10},
        {"through it, piercing blocks",
         [](E& d) { Set(d, eShot::DirectionCode, 9), Set(d, eShot::Speed, 60), Set(d, eShot::PierceBlocks, 1); }, 10},
    });
}

// Sword type 1 swings in three parts: in front (x offset 4, mirrored for a right-facing owner),
// above (y offset -2, mirrored), behind; type 2 once below, offsets kept; type 3 has no parts.
TEST(ShotTrace, Swords) {
    auto types = [](ACTORS&) {
        auto part = [](u32 anchor, u32 w, u32 h, u32 time, i32 ox, i32 oy, u32 mirrorY) {
            cSwordPart p;
            p.nAnchor = anchor, p.nWidth = w, p.nHeight = h, p.nTime = time;
            p.nOffsetX = ox, p.nOffsetY = oy, p.bMirrorX = 1, p.bMirrorY = mirrorY;
            return p;
        };
        cSwordTypeData swing, below, none;
        swing.vPart = {part(0, 32, 16, 1, 4, 0, 0), part(2, 16, 32, 1, 0, -2, 1), part(1, 24, 8, 1, 0, 0, 0)};
        below.vPart = {part(3, 8, 24, 1, 3, 5, 0)};
        below.vPart[0].bMirrorX = 0;
        none.vPart.clear();
        g_Database.m_vSwordType = {cSwordTypeData(), swing, below, none};
    };
    auto rightwards = [types](ACTORS& a) { types(a), FaceRight(a); };
    auto type = [](i64 t, i64 scale = 1) { return [t, scale](E& d) { Set(d, eShot::Picture, t), Set(d, eShot::Scale, scale); }; };
    ExpectGolden("swords", {
        {"three parts, facing left", type(1), 22, types, {}, true},
        {"three parts, facing right", type(1), 22, rightwards, {}, true},
        {"below at scale 2, facing right", type(2, 2), 8, rightwards, {}, true},
        {"the owner dies at frame 3", type(1), 4, types, [](int f, ACTORS& a) {
             if (f == 2) a.s.RemoveChara(a.shooter);
         }, true},
        {"a type without parts, type 0, a type past the list", type(3), 1, [types, type](ACTORS& a) {
             types(a);
             cCmdRun run;
             for (i64 t : {0, 4}) StartSword(a.s, a.shooter, run, BaseShot(type(t)));
         }, {}, true},
    });
}

TEST(Shots, OwnerAndTargetThatGoWhileTheShotFlies) {
    ShotPlay p;
    // A homing shot at the target in slot 1: entered in the target's list of referring objects
    // and in the shooter's child shots.
    p.Fire([](E& d) { Aim(d, 6, 0, 999), Set(d, eShot::SecondTargetSlot, 1); });
    p.Fire([](E& d) { Aim(d, 6, 0, 999), Set(d, eShot::SecondTargetSlot, 1); });
    ASSERT_EQ(p.Count(), 2);
    cShot& a = p.s.m_lstShot[0];
    EXPECT_EQ(p.other.m_vRefBy.size(), 2u);
    EXPECT_EQ(p.shooter.m_vChildShot.size(), 2u);
    EXPECT_EQ(p.shooter.m_vChildShot[0], cObjHandle(&p.s.m_lstShot[1])); // the latest first
    // A copy of the live shot going away takes nothing of it along.
    { cShot copy = a; }
    EXPECT_EQ(p.other.m_vRefBy.size(), 2u);
    // The shot that goes takes its entry out; the next one entered drops entries of gone shots.
    p.s.EraseShot(a);
    p.s.Sweep();
    EXPECT_EQ(p.other.m_vRefBy.size(), 1u);

    // The owner dies first: the shot flies on and hits with nobody to report to.
    cShot& b = p.s.m_lstShot[0];
    p.s.RemoveChara(p.shooter);
    p.s.Sweep();
    EXPECT_EQ(b.m_Owner.Get(), nullptr);
    Frame(p.s);
    b.m_rcHit.rc = p.other.m_rcDamage.rc;
    ShotSettings::Set(b.m_Def, eShot::Power, 1);
    b.m_bPresent = b.m_bOnScreen = 1;
    EXPECT_EQ(ResolveAttacks(p.s), 0);
    EXPECT_EQ(p.other.m_nHP, 9);
    // Then the target: the shot keeps its last course.
    const double vx = b.m_dSpeedX, vy = b.m_dSpeedY;
    p.s.RemoveChara(p.other);
    p.s.Sweep();
    Frame(p.s);
    EXPECT_EQ(b.m_AimTarget.Get(), nullptr);
    EXPECT_EQ(std::make_pair(b.m_dSpeedX, b.m_dSpeedY), std::make_pair(vx, vy));
    p.s.EraseShot(b);
    p.s.Sweep();
}

TEST(Shots, DamagedDefinitionsFireNothingOrStayPut) {
    ShotPlay p;
    std::string out;
    auto fire = [&](const char* what, const EditShot& edit) {
        p.Fire(edit);
        out.append(what).append(":").append(std::to_string(p.Count()));
        p.s.ForEachShot([&](cShot& s) { out.append(" ").append(Num(s.m_dOwnVelX)).append(",").append(Num(s.m_dOwnVelY)); });
        out.append("\n");
        p.s.m_lstShot.Clear();
    };
    fire("count -3", [](E& d) { Set(d, eShot::ShotsPerVolley, -3); });
    fire("burst of 0", [](E& d) { Kind(d, 4, 0); });
    fire("surround of -1", [](E& d) { Kind(d, 5, -1), Set(d, eShot::CentreObject, 1); });
    fire("surround of an empty slot", [](E& d) { Kind(d, 5, 2), Set(d, eShot::TargetSlot, 3); });
    fire("kind 9", [](E& d) { Kind(d, 9, 2); });
    fire("volleys -5", [](E& d) { Set(d, eShot::ExtraVolleys, -5); });
    // No direction to fly in: a short range has no velocity to cover it with.
    fire("direction 20, short range", [](E& d) {
        Set(d, eShot::DirectionCode, 20), Set(d, eShot::Speed, 200), Set(d, eShot::RangeFlag, 1), Set(d, eShot::Range, 2);
    });
    EXPECT_EQ(out, "count -3:0\nburst of 0:0\nsurround of -1:0\nsurround of an empty slot:0\nkind 9:0\n"
                   "volleys -5:1 -3,0\ndirection 20, short range:1 0,0\n");

    // A target slot past the four is reported and slot 0 (the hero) used.
    p.Fire([](E& d) { Aim(d, 3), Set(d, eShot::SecondTargetSlot, 9); });
    EXPECT_EQ(p.s.m_lstShot[0].m_AimTarget.Get(), &p.hero);
    EXPECT_NE(p.play.fixture.Report().find("err V[9]"), std::string::npos);

    // A side outside the eight is reported and taken as 0 when the shot is made: side list 0,
    // and the game is not closed.
    p.s.m_lstShot.Clear();
    const std::string earlier = p.play.fixture.Report();
    const u32 closes = p.play.fixture.CloseRequests();
    p.Fire([](E& d) { Set(d, eShot::Side, 9), Set(d, eShot::TakeShooterSide, 0); });
    EXPECT_EQ(p.s.m_lstShot[0].m_nSide, 0);
    EXPECT_EQ(p.s.m_vShotList[0].size(), 1u);
    const std::string before = p.play.fixture.Report();
    EXPECT_EQ(before.substr(earlier.size()), "err V[9] ( 8 , 12 )\r\n");
    EXPECT_EQ(p.play.fixture.CloseRequests(), closes);

    // Probes of a shot that has left the map (above it, wider than a block) find no block and
    // report nothing.
    p.Fire([](E& d) { Set(d, eShot::Scale, 3); });
    cShot& up = p.s.m_lstShot[p.s.m_lstShot.Size() - 1];
    up.m_dY = -200;
    up.UpdateEdgesY();
    EXPECT_EQ(up.HitsBlock(), 0);
    EXPECT_EQ(up.IsOutsideArea(), 1);
    EXPECT_EQ(p.play.fixture.Report(), before);
}

namespace {

// The common palette of the summon tests (put back when the test ends).
struct SummonPalette {
    cCommonPalette saved = g_CommonPalette;
    SummonPalette() {
        cEdChara flyer;
        flyer.byOperation = 1;
        flyer.wPicture = 1;
        flyer.nHoldItem = cEdChara::kNoItem;
        CharaSettings::Set(flyer, eChara::FlyMode, 2);
        CharaSettings::Set(flyer, eChara::Side, 3);
        cEdChara hero = flyer;
        hero.byOperation = 0;
        g_CommonPalette.m_vEdChara = {cEdChara(), flyer, hero};
        cEdItem coin;
        coin.wPicture = 1;
        g_CommonPalette.m_vEdItem = {cEdItem(), coin};
        cEdBlock wall;
        wall.wPicture = 1;
        wall.bySolid = 1;
        g_CommonPalette.m_vEdBlock = {cEdBlock(), wall};
    }
    ~SummonPalette() { g_CommonPalette = saved; }
};

cEdShot SummonDef(i64 index, const EditShot& edit = {}) {
    return BaseShot([&](E& d) {
        Set(d, eShot::PaletteIndex, index);
        if (edit) edit(d);
    });
}

std::string Charas(cGameScene& s) {
    std::string out;
    s.ForEachChara([&](cStageChara& c) {
        out.append(std::to_string(c.m_nId)).append("@").append(Num(c.m_dX)).append(",").append(Num(c.m_dY));
        out.append(c.m_nDir > 0 ? "R" : "L").append(std::to_string(c.m_nSide)).append(" ");
    });
    return out;
}

} // namespace

TEST(Summons, PlacementsPaletteChecksAndASummonerThatDiesFirst) {
    SummonPalette palette;
    ShotPlay p;
    // Three characters of an explosion stand on one point, facing away from the summoner and on
    // its side; they are its children, the latest first.
    SummonChara(p.shooter, p.run, SummonDef(1, [](E& d) {
        Kind(d, 4, 3), Set(d, eShot::SideSource, 1), Set(d, eShot::ReverseFacing, 1);
    }));
    EXPECT_EQ(Charas(p.s), "1@714.5,584L1 2@970.5,712R2 3@714.5,584R1 4@714.5,584R1 5@714.5,584R1 ");
    ASSERT_EQ(p.shooter.m_vChild.size(), 3u);
    EXPECT_EQ(p.shooter.m_vChild[0].Get(), &p.s.m_lstChara[4]);
    EXPECT_EQ(p.s.m_lstChara[2].m_Parent.Get(), &p.shooter);
    // A line of two, the definition's side: nothing for an index outside the palette (below 0
    // included) or for a character not placed for play (the player's kind).
    for (i64 index : {-1, 3, 2}) SummonChara(p.shooter, p.run, SummonDef(index));
    EXPECT_EQ(p.s.m_lstChara.LiveCount(), 5);
    SummonChara(p.shooter, p.run, SummonDef(1, [](E& d) { Kind(d, 0, 2), Set(d, eShot::SideSource, 2), Set(d, eShot::Side, 9); }));
    EXPECT_EQ(Charas(p.s).substr(70), "6@683.5,568L0 7@683.5,600L0 ");

    // The summoner dies first: its children live on without a parent, and go their way.
    p.s.RemoveChara(p.shooter);
    p.s.Sweep();
    for (int step = 0; step < 20; ++step)
        p.s.ForEachChara([&](cStageChara& c) { CharaStep(p.s, c); });
    EXPECT_EQ(p.s.m_lstChara[1].m_Parent.Get(), nullptr);
    EXPECT_EQ(p.s.m_lstChara.LiveCount(), 6);
    // A child summons in its turn; its children are its own.
    cStageChara& child = p.s.m_lstChara[1];
    SummonItem(child, p.run, SummonDef(1, [](E& d) { Kind(d, 1, 2); }));
    EXPECT_EQ(p.s.m_lstItem.LiveCount(), 2);
    SummonBlock(child, p.run, SummonDef(1, [](E& d) { Set(d, eShot::DirectionCode, 7); }));
    EXPECT_EQ(p.s.m_vBlockMap.AtPixel(child.m_dX + 8, child.m_dBottom + 20).block.bySolid, 1);
}

// A step of the shot pass against the rules every other object moves by: a homing shot that rides
// the auto-scroll, with the aim subtracting the scroll and with the switch that adds it, and a
// volley of waves, whose shots weave in one phase.
TEST(Shots, HomingUnderTheAutoScrollAndWaveVolleysStepAsTheRulesSay) {
    struct Saved {
        u32 add = g_SystemData.bCompat733;
        ~Saved() { g_SystemData.bCompat733 = add; }
    } saved;
    for (u32 add : {0u, 1u}) {
        g_SystemData.bCompat733 = add;
        ShotPlay a(10);
        a.s.m_ScrollX.SetSpeed(1, 20, SpeedUnit());
        a.s.m_ScrollY.SetSpeed(1, 10, SpeedUnit());
        ASSERT_TRUE(a.s.m_ScrollX.m_bAuto && a.s.m_ScrollX.m_dSpeed != 0 && a.s.m_ScrollY.m_dSpeed != 0);
        a.hero.ScreenPos();
        a.Fire([](cEdShot& d) { Set(d, eShot::AimMode, 4), Set(d, eShot::AimParam2, 999), Set(d, eShot::Homing, 1); });
        a.Fire([](cEdShot& d) {
            Set(d, eShot::AimMode, 8), Set(d, eShot::AimParam1, 2), Set(d, eShot::AimParam2, 20), Set(d, eShot::ShotsPerVolley, 3);
        });
        ASSERT_EQ(a.Count(), 4);
        std::vector<cShot*> shots;
        a.s.ForEachShot([&](cShot& s) { shots.push_back(&s); });
        cShot& homing = *shots[0];
        int steps = 0;
        for (int step = 0; step < 30; ++step) {
            a.s.m_ScrollX.Step();
            a.s.m_ScrollY.Step();
            // What the rules give for this step, taken before the shots step.
            double vx = 0, vy = 0;
            auto centre = [](const cObj& o, bool y) {
                return y ? o.m_dY - o.m_nGfxOffY + o.m_nGfxH / 2 : o.m_dX - o.m_nGfxOffX + o.m_nGfxW / 2;
            };
            AimVelocity(a.s, homing, centre(homing, false), centre(homing, true), centre(a.hero, false), centre(a.hero, true),
                        homing.m_dSpeed, false, AIM_SCROLL_OF_OBJECT, vx, vy);
            std::vector<double> phase;
            for (std::size_t i = 1; i < shots.size(); ++i) phase.push_back(shots[i]->m_dWavePhase);
            std::vector<double> vel;
            for (std::size_t i = 1; i < shots.size(); ++i) vel.push_back(shots[i]->m_dOwnVelY);
            const bool steered = homing.m_nFrame > 0;
            const bool weaving = shots[1]->m_nFrame > 0;
            for (cShot* s : shots) ASSERT_EQ(s->UpdateAim(), 0);
            EXPECT_EQ(homing.m_dCarryX, a.s.m_ScrollX.m_dSpeed);
            EXPECT_EQ(homing.m_dCarryY, a.s.m_ScrollY.m_dSpeed);
            if (steered) {
                EXPECT_EQ(homing.m_dOwnVelX, vx) << add << " " << step;
                EXPECT_EQ(homing.m_dOwnVelY, vy) << add << " " << step;
                ++steps;
            }
            if (weaving) {
                for (std::size_t i = 1; i < shots.size(); ++i) {
                    double p = phase[i - 1];
                    const double w = WaveVelocity2(2 * 16, 20, p, 1.0, 0);
                    const double v = vel[i - 1] + w * shots[i]->m_dWaveDir[1];
                    const bool flip = (vel[i - 1] > 0 && v < 0) || (vel[i - 1] < 0 && v > 0);
                    EXPECT_EQ(shots[i]->m_dOwnVelY, flip ? 0.0 : v) << add << " " << step << " " << i;
                    EXPECT_EQ(shots[i]->m_dWavePhase, p);
                }
            }
            for (cShot* s : shots) s->StepMotion();
        }
        EXPECT_EQ(steps, 29);
    }
}
