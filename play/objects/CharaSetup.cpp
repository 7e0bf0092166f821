// Character set-up from data: the stage reset of a character, its animation set, its links at
// stage start, and the start values of the movement, wait and jump commands.
#include "play/objects/CharaSetup.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "database/Database.h"
#include "platform/system/Report.h"
#include "play/objects/ObjScene.h"
#include "play/objects/Player.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/Stage.h"
#include "records/StageSettings.h"

namespace {

i32 ToI32(double v) {
    // A quotient of data values may be inf or NaN; as a count of steps it is 0.
    if (!std::isfinite(v)) return 0;
    return Trunc32(v);
}

} // namespace

void cChara::InitForStage(const cEdChara* def, i32 cellX, i32 cellY, i32 arg1, i32 arg2, i16 callerValue) {
    m_nCallerValue = callerValue;
    m_vLink.clear();
    m_vRefBy.clear();
    m_vChild.clear();
    m_vChildShot.clear();
    m_aTarget = {};
    m_Parent.Reset();

    m_vLetterRunning.assign(27, 0);
    m_vLetterEnded.assign(27, 0);
    m_vLetterStarted.assign(27, 0);
    m_bLetterEnded = 0;
    m_bPendingDelete = 0;

    m_nCellX = cellX;
    m_nCellY = cellY;
    m_nPlaceArg[0] = arg1;
    m_nPlaceArg[1] = arg2;
    m_dSpeedX = m_dSpeedY = m_dAccelX = m_dAccelY = 0;
    m_dVMotion = m_dVMotionPrev = m_dKnockX = 0;
    m_dCarryX = m_dCarryY = 0;
    m_dCmdAccum[0] = m_dCmdAccum[1] = 0;
    m_bOnBlockChara = m_bOnFloor = m_bStopOnFloor = m_bNoGravity = m_bHeldByCmd = m_bImpact = m_bCeiling = 0;
    m_bMovedByCmd = 0;
    m_FloorObj.Reset();
    ClearContacts();
    m_nLastSide = -1;
    m_bFalling = 1;
    m_nNoFloorFrames = 0;
    m_nFloorCell = m_nLastFloorCell = -1;
    m_nJumpFlags = 0;
    m_nRiseFrames = 0;
    m_nHP = m_nSP = 0;
    m_HpGauge = GAUGESTATE{};
    m_SpGauge = GAUGESTATE{};
    m_bDying = 0;
    m_bRemove = 0;

    m_vVar.assign(9, 0);

    if (def) {
        m_Def = *def;
        m_bHasConds = m_Def.vCond.empty() ? 0 : 1;
        m_nHP = static_cast<i32>(std::min<i64>(CharaSettings::Get(m_Def, eChara::MaxHP), INT32_MAX));
        m_nSP = static_cast<i32>(std::min<i64>(CharaSettings::Get(m_Def, eChara::MaxSP), INT32_MAX));
    }
    m_bScrollSync = CharaSettings::Get(m_Def, eChara::ScrollSync) != 0 ? 1 : 0;
    const double divisor = StageSettings::Get(g_Stage, eStageD::BrakingDivisor);
    m_dDecel = static_cast<double>(CharaSettings::Get(m_Def, eChara::Stopping)) * 0.01 /
               (std::isfinite(divisor) && divisor != 0 ? divisor : 1.0);
    m_CharaEffect.Clear();
    if (const i64 effect = CharaSettings::Get(m_Def, eChara::CharaEffect))
        m_CharaEffect.Set(static_cast<i32>(effect), static_cast<i32>(CharaSettings::Get(m_Def, eChara::CharaEffectMode)),
                          static_cast<i32>(CharaSettings::Get(m_Def, eChara::CharaEffectLoop)));
    m_nDeathEffect = static_cast<u16>(CharaSettings::Get(m_Def, eChara::DeathEffect));
    m_nDeathEffectMode = static_cast<i32>(CharaSettings::Get(m_Def, eChara::DeathEffectMode));
    m_nInvincible = 0;
    m_vHitBy.clear();
    m_nHitByCount = 0;
    m_vOverlayAnim.clear();
    SetAnimSet(static_cast<i32>(CharaSettings::Get(m_Def, eChara::AnimSet)), 1);
    m_bReportToParent = 0;
    m_byReportSubKind = 0;

    m_nSide = std::clamp(static_cast<i32>(CharaSettings::Get(m_Def, eChara::Side)), 0, 7);
    m_nLayer = std::clamp(static_cast<i32>(CharaSettings::Get(m_Def, eChara::ZOrder)), 0, 7);
    m_nInvincibleKind = static_cast<u32>(CharaSettings::Get(m_Def, eChara::InvincibleKind));
    m_nCharaId = static_cast<i8>(CharaSettings::Get(m_Def, eChara::CharaId));
}

void cChara::SetAnimSet(i32 n, i32 force) {
    if (!force && n == m_nAnimSet) return;
    m_nAnimSet = n;
    m_Anim = AnimState{};
    cVector<cAnimeSetData>& sets = g_Database.m_vAnimeSet;
    if (sets.empty()) return;
    // A number past the table (from data) is reported and takes the first set; the stage plays
    // on.
    if (n < 0 || n >= sets.Size()) WriteReport("animation set %d does not exist; set 0 is used", n);
    const cAnimeSetData& set = sets[n < 0 || n >= sets.Size() ? 0 : n];
    cAnimeSteps programs;
    BuildAnimeSteps(set.vAnime, programs);
    std::vector<const cVector<ANIMSTEP>*> list;
    list.reserve(programs.size());
    for (const cVector<ANIMSTEP>& p : programs) list.push_back(&p);
    AnimeMergePatterns(m_Anim, list);
}

namespace {

// Adds ref to the links of `to` unless it is among the first `searched` of them.
void AddLink(cChara& to, const OBJREF& ref, std::size_t searched) {
    const auto end = to.m_vLink.begin() + static_cast<std::ptrdiff_t>(std::min(searched, to.m_vLink.size()));
    if (std::find(to.m_vLink.begin(), end, ref) == end) to.m_vLink.push_back(ref);
}

} // namespace

void cChara::InitTargets(cChara* parent) {
    cPlayer* hero = m_pScene ? ObjScene::Player0(*m_pScene) : nullptr;
    m_aTarget[0] = hero;
    if (hero) AddLink(*hero, OBJREF{cObjHandle(this), 0}, SIZE_MAX);
    m_Parent = parent;
    if (parent) AddLink(*parent, OBJREF{cObjHandle(this), 4}, SIZE_MAX);
}

void cChara::InitTargetsInRun(const cChara* runHero, std::size_t known) {
    cPlayer* hero = m_pScene ? ObjScene::Player0(*m_pScene) : nullptr;
    m_aTarget[0] = hero;
    // Another hero than the run's has links the run knows nothing of: all are searched.
    if (hero) AddLink(*hero, OBJREF{cObjHandle(this), 0}, hero == runHero ? known : SIZE_MAX);
    m_Parent.Reset();
}

void StartMoveCmd(cCmdRun& run, cChara& c) {
    if (!run.m_pCmd || !run.m_pCmd->move) return;
    const cEdMove& m = *run.m_pCmd->move;
    const i64 i = c.m_nSpawnIndex;
    const double u = SpeedUnit();
    auto get = [&](eMove s) { return MoveSettings::Get(m, s); };
    i64 turn = 0;
    if (CharaSettings::Get(c.m_Def, eChara::TurnWithMove) == 1) {
        if (get(eMove::TurnAtStart)) {
            if (run.m_nDirSel == 0 || run.m_nDirSel == 1) run.m_nDirSel ^= 1;
            turn = 180;
        }
        if (get(eMove::TurnAtStartAgain) && (run.m_nDirSel == 0 || run.m_nDirSel == 1)) run.m_nDirSel ^= 1;
    }
    run.m_nTurnTime = static_cast<i32>(turn);
    const i64 dist = std::clamp<i64>(get(eMove::DistanceStep) * i + get(eMove::Distance), 0, 20);
    run.m_nDistance = ToI32(static_cast<double>(dist) * 32 / 2 * u);
    const double a = static_cast<double>(turn + get(eMove::TimeAStep) * i + get(eMove::TimeABase)) * u;
    const double b = static_cast<double>(get(eMove::TimeBStep) * i + get(eMove::TimeBBase)) * u;
    const double d = std::fabs(a - b);
    if (get(eMove::SpeedMode) == 1) run.m_nDuration = ToI32(std::fabs(d / run.m_dSpeed / u));
    else if (run.m_nDuration != 0) run.m_dSpeed = d / run.m_nDuration / u;
    else run.m_dSpeed = 0;
}

void StartJumpCmd(cCmdRun& run, cChara& c) {
    if (!run.m_pCmd) return;
    const cParamList& p = run.m_pCmd->params;
    const i32 height = p.Size() > 2 ? static_cast<i32>(p[2]) : 0;
    run.m_dJumpSpeed = ObjFlow::JumpSpeedHbl(c, height);
    run.m_nRiseFrames = ObjFlow::JumpFrames(c, run.m_dJumpSpeed);
    run.m_nDuration = static_cast<i32>(std::clamp<i64>(i64{run.m_nRiseFrames} * static_cast<i64>(SpeedUnit()) * 6, 0, INT32_MAX));
}
