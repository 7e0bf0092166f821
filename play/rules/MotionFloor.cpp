// Block effects under the player's feet and the floor snap.
#include "play/rules/MotionFloor.h"

#include "app/Game.h"
#include "database/SystemSwitches.h"
#include "play/rules/Collision.h"
#include "play/rules/Motion.h"
#include "records/EdSettings.h"

namespace {

enum : i32 { FLOOR_SPRING = 1, FLOOR_MARKER = 2, FLOOR_SLIPPERY = 3, FLOOR_CONVEYOR_LEFT = 4, FLOOR_CONVEYOR_RIGHT = 5 };

i32 StepsPerFrame() { return static_cast<i32>(SpeedUnit()); }

} // namespace

void ApplyFloorEffect(cPlayer& p) {
    cGameScene* scene = p.m_pScene;
    if (!scene || p.IsFlying()) return;
    BLOCKEFFECT& e = p.m_BlockEffect;
    if (p.m_nFloorCell >= 0 && e.nSteps == 0 && IsBlockSolid(*scene, p.m_nFloorCell, static_cast<i32>(p.m_nBlockSide))) {
        const EDBLOCK_DATA& b = scene->m_vBlockMap.At(p.m_nFloorCell).block;
        const i64 kind = BlockSettings::Get(b, eBlock::FloorEffect);
        const i64 value = BlockSettings::Get(b, eBlock::FloorEffectValue);
        if (kind != FLOOR_MARKER) p.m_bOnMarker = 0;
        switch (kind) {
        case FLOOR_SPRING:
            PlaySE(10);
            p.m_dSpeedY = JumpSpeedHbl(p, static_cast<i32>(value));
            p.m_nJumpFlags = JUMP_JUMPING | JUMP_RISING;
            p.m_bAirborne = 0;
            p.m_nRiseFrames = JumpFrames(p, p.m_dSpeedY);
            break;
        case FLOOR_MARKER: p.m_bOnMarker = 1; break;
        case FLOOR_SLIPPERY: e = BLOCKEFFECT{FLOOR_SLIPPERY, static_cast<double>(value) * 0.01, StepsPerFrame()}; break;
        case FLOOR_CONVEYOR_LEFT:
        case FLOOR_CONVEYOR_RIGHT:
            e = BLOCKEFFECT{static_cast<i32>(kind), static_cast<double>(value) * 0.1 / SpeedUnit(), StepsPerFrame()};
            break;
        default: break;
        }
    }
    if (e.nSteps == 0) return;
    switch (e.nKind) {
    case FLOOR_SLIPPERY: p.m_dSpeedX *= e.dFactor; break;
    case FLOOR_CONVEYOR_LEFT:
        p.m_dSpeedX -= e.dFactor;
        if (p.m_dAccelX > 0) p.m_dAccelX = 0;
        break;
    case FLOOR_CONVEYOR_RIGHT:
        p.m_dSpeedX += e.dFactor;
        if (p.m_dAccelX < 0) p.m_dAccelX = 0;
        break;
    default: break;
    }
    if (--e.nSteps == 0) FloorSnap(p);
}

void FloorSnap(cChara& c) {
    if (SysSwitch(SW_FLOOR_SNAP)) {
        if (c.m_dSpeedY >= 0) c.m_dSpeedY += 1;
        return;
    }
    cGameScene* scene = c.m_pScene;
    const double u = SpeedUnit();
    if (!scene || c.m_dSpeedY < 0 || c.m_dSpeedY > 1 / u || c.m_bOnBlockChara || c.m_bFalling) return;
    // The floor goes on 4 pixels below the feet where the character is about to be.
    const i32 y = Trunc32(c.m_dBottom) + 4;
    const PROBE p = ProbeCell(*scene, c, Trunc32(c.m_dX + c.m_dSpeedX), y, Trunc32(c.m_dRight + c.m_dSpeedX), y);
    if (p.solid != 0) c.m_dSpeedY = 7 / u;
}
