// Character motion routines shared by the commands and the rules: jump solving, placing on a
// cell, gravity, the floor test, landing and ceiling reactions, the saved position and the
// knock-back.
#include "database/SystemSwitches.h"
#include "flow/MotionMath.h"
#include "play/GameScene.h"
#include "play/rules/Damage.h"
#include "records/StageSettings.h"

namespace {

double Gravity() { return StageSettings::Get(g_Stage, eStageD::GravityPerStep); }

// The block under the feet bears this character: as the probes see it (its conditions, its
// one-way side), a cell solid for stage characters only bearing none but them.
bool HasFloorUnder(const cChara& c) {
    if (c.m_FloorObj) return true;
    if (c.m_nFloorCell < 0 || !c.m_pScene) return false;
    const i8 solid = IsBlockSolid(*c.m_pScene, c.m_nFloorCell, static_cast<i32>(c.m_nBlockSide));
    return solid == 1 || (solid == 2 && c.m_nKind == 1);
}

} // namespace

double JumpSpeedHbl(cChara& c, i32 heightHbl) {
    return JumpSpeedHbl(static_cast<i8>(heightHbl), Gravity(), c.m_nKind == 0,
                        StageSettings::Get(g_Stage, eStageD::SpeedFactor));
}

i32 JumpFrames(cChara&, double speed) { return JumpFrames(speed, Gravity(), SpeedUnit()); }

void SetPosition(cChara& c, i32 column, i32 row) {
    c.m_dX = static_cast<double>(cBlockMap::kMargin + column) * 32 + c.m_nGfxOffX0 + 0.5;
    c.KeepCentreX(c.m_nScale, 1);
    c.OnMovedX();
    c.m_dY = static_cast<double>(cBlockMap::kMargin + row) * 32 + c.m_nGfxOffY0;
    c.ScaleHook(c.m_nScale, 1);
    c.OnMovedY();
}

void GravityStep(cChara& c) {
    if (c.IsFlying() || c.m_bOnFloor || c.m_bNoGravity || c.m_dVMotion < 0) return;
    c.m_dSpeedY += Gravity();
}

bool IsOnFloor(cChara& c) { return HasFloorUnder(c) || c.m_bOnFloor != 0; }

void OnLand(cChara& c) {
    c.m_dSpeedY = 0;
    c.m_dAccelY = 0;
    c.m_nNoFloorFrames = 0;
    c.m_nJumpFlags = 0;
    c.m_bFalling = 0;
    c.m_bImpact = 0;
    c.m_bContactB = 1;
    if (c.AsStageChara()) c.m_bCeiling = 0;
    c.m_dY -= Trunc32(c.m_dBottom) % 32 + 1;
    c.UpdateEdgesY();
    c.OnMovedY();
    RunFlowsOf(c, TRIG_BLOCK);
    RunFlowsOf(c, TRIG_BLOCK_VERT);
    RunFlowsOf(c, TRIG_BLOCK_BELOW);
}

void OnHitCeiling(cChara& c) {
    c.m_nJumpFlags = 3;
    c.m_bContactT = 1;
    c.m_bCeiling = 1;
    c.m_dSpeedY = 0;
    c.m_dAccelY = 0;
    if (!SysSwitch(SW_CEILING_KNOCKBACK)) c.m_dVMotion = 0;
    c.m_dY += 32 - Trunc32(c.m_dY) % 32;
    c.UpdateEdgesY();
    c.OnMovedY();
    RunFlowsOf(c, TRIG_BLOCK);
    RunFlowsOf(c, TRIG_BLOCK_VERT);
    RunFlowsOf(c, TRIG_BLOCK_ABOVE);
}

void StopOnFloor(cChara& c, i32 flag) {
    c.m_bOnFloor = 0;
    if (c.m_dVMotion == 0) c.m_dSpeedY = 0;
    if (flag) c.m_bStopOnFloor = 1;
}

void SavePosition(cChara& c) {
    c.m_dSaved[0] = c.m_dX;
    c.m_dSaved[1] = c.m_dY;
    c.m_dSaved[2] = c.m_dRight;
    c.m_dSaved[3] = c.m_dBottom;
}

void RestorePosition(cChara& c) {
    c.m_dX = c.m_dSaved[0];
    c.m_dY = c.m_dSaved[1];
    c.m_dRight = c.m_dSaved[2];
    c.m_dBottom = c.m_dSaved[3];
}

void DecayKnockback(cChara& c) {
    const double u = SpeedUnit();
    c.m_dKnockX = DecayKnockBack(c.m_dKnockX, u);
    c.m_dVMotion = DecayKnockBack(c.m_dVMotion, u);
}

void StepMoveX(cChara& c) {
    double& k = c.m_dVMotion;
    if (k != 0) {
        if (c.IsFlying()) {
            c.m_dSpeedY += k;
        } else if (k < 0) {
            c.m_dSpeedY += k - c.m_dVMotionPrev;
        } else if (HasFloorUnder(c)) {
            k = 0;
        } else if (!c.m_bOnFloor) {
            c.m_dSpeedY += k - c.m_dVMotionPrev;
            k = 0;
        }
    }
    c.m_dVMotionPrev = k;
}
