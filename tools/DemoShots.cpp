#include "tools/DemoShots.h"

#include <initializer_list>
#include <utility>

#include "database/Text.h"
#include "records/CharaSettings.h"
#include "records/Cond.h"
#include "records/EdSettings.h"
#include "tools/DemoCmdKinds.h"
#include "tools/DemoFlows.h"

namespace {

constexpr i64 kMoveDown = 7;
constexpr i16 kEnemyCharaPic = 11;
// The key state of button b in a key row (ten direction states, then no button, buttons 1-8).
constexpr int KeyStateOfButton(int b) { return 10 + b; }
constexpr i64 kEnemySide = 1;

cFlowCmd Command(u8 kind, i16 tenths) {
    cFlowCmd c;
    c.Clear();
    c.cmdKind = kind;
    c.time = tenths;
    c.params.assign(CmdTypeRow(0, kind).nParams, 0);
    return c;
}

void Set(cEdShot& d, eShot s, i64 v) { ShotSettings::Set(d, s, v); }

// A shot definition as the settings that differ from a new one's.
using SHOTDEF = std::initializer_list<std::pair<eShot, i64>>;

// A shot or sword command of a tenth of a second (it acts once) with its definition.
cFlowCmd ShotCommand(u8 kind, SHOTDEF def) {
    cFlowCmd c = Command(kind, 1);
    NewEdShot(c.shot);
    Set(*c.shot, eShot::ShotsPerVolley, 1);
    for (const auto& [setting, value] : def) Set(*c.shot, setting, value);
    return c;
}

// A flow that starts on the press of a button.
cFlow OnButton(int button, const cFlowCmd& cmd) {
    cFlow f;
    f.trigger = 0;
    cKeyCond row;
    row.keys[static_cast<std::size_t>(KeyStateOfButton(button))] = 1; // pressed
    row.minFrames = 1;
    row.maxFrames = 999;
    f.keyConds.push_back(row);
    f.cmds.push_back(cmd);
    return f;
}

// A flow that runs its commands again and again while the hero is within `halfBlocks`.
cFlow WhileHeroNear(i32 halfBlocks, std::initializer_list<cFlowCmd> cmds) {
    cFlow f;
    f.trigger = 0;
    f.conds.push_back(DemoNearHero(halfBlocks));
    for (const cFlowCmd& c : cmds) f.cmds.push_back(c);
    return f;
}

// The condition that the boss's landing stage variable is `value`.
cCond Landed(i32 value) {
    cCond c;
    c.kind = 2; // stage variable
    c.index = kDemoBossLandedVar;
    c.value = value;
    c.op = 0; // equal
    return c;
}

// The boss's entry: once the hero has come near, it comes down from high above onto its place,
// and the screen jolts as it lands; only then does it start to fire.
cFlow BossDescent(u16 landingShake) {
    cFlow f = WhileHeroNear(kDemoBossWakeReach, {});
    f.conds.push_back(Landed(0));
    cFlowCmd down = Command(CMD_LINE, kDemoBossDescentTenths);
    NewEdMove(down.move);
    MoveSettings::Set(*down.move, eMove::Direction, kMoveDown);
    // Tenths of a dot a frame: the descent's rows of 32 dots over its frames.
    MoveSettings::Set(*down.move, eMove::Speed, kDemoBossDescentRows * 32 * 10 / (kDemoBossDescentTenths * 6));
    f.cmds.push_back(down);
    cFlowCmd jolt = Command(CMD_SCREEN_EFFECT, 0);
    jolt.params[0] = landingShake; // forward, once
    f.cmds.push_back(jolt);
    cFlowCmd mark = Command(CMD_CODE, 0);
    static_assert(kDemoBossLandedVar == 3, "the text names the variable");
    mark.text = "S3 = 1";
    f.cmds.push_back(mark);
    return f;
}

cEdChara Shooter(const char* name, u32 hp) {
    cEdChara c = DemoStandingChara(kEnemyCharaPic, name, hp);
    CharaSettings::Set(c, eChara::Side, kEnemySide);
    CharaSettings::Set(c, eChara::Facing, 0);
    return c;
}

// The hero's shot: the way the direction keys are held ("入力方向"; straight ahead when none is),
// 8 dots a frame for 10 half blocks, power 1.
const SHOTDEF kHeroShot = {{eShot::DirectionCode, 12}, {eShot::Speed, 80}, {eShot::RangeFlag, 1},
                           {eShot::Range, 10},        {eShot::Power, 1},  {eShot::Picture, 0}};

// The gunner's shot: at the hero from the start, 3 dots a frame for two seconds.
const SHOTDEF kGunnerShot = {{eShot::DirectionCode, 0}, {eShot::AimMode, 1}, {eShot::Speed, 30}, {eShot::LifeFlag, 1},
                             {eShot::Life, 20},         {eShot::Power, 1},   {eShot::Picture, 1}};

// The boss's spread: three shots 20 degrees apart aimed at the hero (target slot 0).
const SHOTDEF kBossSpread = {{eShot::ShotKind, 2}, {eShot::ShotsPerVolley, 3}, {eShot::KindParam1, 20},
                             {eShot::AimAtFire, 1}, {eShot::Speed, 40},         {eShot::LifeFlag, 1},
                             {eShot::Life, 30},     {eShot::Power, 1},          {eShot::Picture, 1}};

// The boss's burst: eight shots round it, turned by up to 20 degrees at random, slowing a little
// as they go.
const SHOTDEF kBossBurst = {{eShot::ShotKind, 4}, {eShot::ShotsPerVolley, 8}, {eShot::AngleJitter, 20},
                            {eShot::Speed, 30},   {eShot::AccelFlag, 1},      {eShot::Accel, -1},
                            {eShot::RangeFlag, 1}, {eShot::Range, 12},        {eShot::Power, 1},
                            {eShot::Picture, 0}};

} // namespace

int AddDemoSword(cDatabase& db) {
    cSwordTypeData sword;
    sword.strName = Sj("剣");
    sword.strFile = "bmp\\sword\\Sword.bmp";
    sword.strFile2 = "bmp\\sword\\Sword.bmp";
    // Two cells of the sword picture, a tenth of a second each, in front of the hero.
    sword.vPart.clear();
    for (u32 k = 0; k < 2; ++k) {
        cSwordPart part;
        part.nSrcX = k * 32;
        part.nWidth = 32;
        part.nHeight = 16;
        part.nTime = 1;
        part.nOffsetY = k == 0 ? -6 : 0;
        sword.vPart.push_back(part);
    }
    db.m_vSwordType.push_back(sword);
    return db.m_vSwordType.Size() - 1;
}

void ArmDemoHero(cEdChara& hero, int swordType) {
    hero.vFlow.push_back(OnButton(kDemoShotButton, ShotCommand(CMD_SHOT, kHeroShot)));
    cFlowCmd swing = Command(CMD_SWORD, 1);
    NewEdShot(swing.shot);
    Set(*swing.shot, eShot::Picture, swordType);
    Set(*swing.shot, eShot::Power, 2);
    hero.vFlow.push_back(OnButton(kDemoSwordButton, swing));
}

DEMOSHOOTERS AddDemoShooters(cCommonPalette& p, u16 landingShake) {
    DEMOSHOOTERS s;
    // The gunner stands and fires at the hero every two seconds while the hero is within six
    // blocks.
    cEdChara gunner = Shooter("ガンナー", 3);
    gunner.vFlow.push_back(WhileHeroNear(12, {ShotCommand(CMD_SHOT, kGunnerShot), Command(CMD_WAIT, 20)}));
    s.gunner = p.m_vEdChara.Size();
    p.m_vEdChara.push_back(gunner);
    // The boss hovers, twice the size of the others, with 20 HP. Once it has landed: a spread at
    // the hero, then a burst, while the hero is within twenty blocks.
    cEdChara boss = Shooter("ボス", 20);
    CharaSettings::Set(boss, eChara::Scale, 2);
    CharaSettings::Set(boss, eChara::FlyMode, 2);
    boss.vFlow.push_back(BossDescent(landingShake));
    cFlow fire = WhileHeroNear(40, {ShotCommand(CMD_SHOT, kBossSpread), Command(CMD_WAIT, 12),
                                    ShotCommand(CMD_SHOT, kBossBurst), Command(CMD_WAIT, 18)});
    fire.conds.push_back(Landed(1));
    boss.vFlow.push_back(fire);
    s.boss = p.m_vEdChara.Size();
    p.m_vEdChara.push_back(boss);
    return s;
}

void PlaceDemoGunner(cStage& st, const cCommonPalette& p, const DEMOSHOOTERS& s) {
    st.vChara.push_back(PlaceDemoChara(p, s.gunner, 22, 11));
}

void PlaceDemoBoss(cStage& st, const cCommonPalette& p, const DEMOSHOOTERS& s) {
    st.vChara.push_back(PlaceDemoChara(p, s.boss, kDemoBossX, kDemoBossY - kDemoBossDescentRows));
}
