// The player character: set-up, flight modes with the saved box, camera follow, its update,
// motion steps and jump.
#include "play/objects/Player.h"

#include <algorithm>
#include <cmath>

#include "app/Game.h"
#include "database/SystemSwitches.h"
#include "play/ScrollAxis.h"
#include "play/objects/BlockMap.h"
#include "play/objects/ObjScene.h"
#include "play/rules/MotionFloor.h"
#include "play/rules/MotionStep.h"
#include "records/CharaSettings.h"
#include "records/StageSettings.h"

namespace {

// How long an item's graphic shows over the player when it changes its graphic.
constexpr i32 kGraphicNoticeFrames = 30;

i32 PlayerStage(eStage s) { return static_cast<i32>(StageSettings::Get(g_Stage, s)); }

// The walking or flying box: size and its offset in the 32 x 32 cell.
struct PLAYERBOX {
    i32 w, h, offX, offY, bottomAlign;
};

PLAYERBOX PlayerBoxSize(bool flying) {
    const i32 w = PlayerStage(flying ? eStage::FlyBoxW : eStage::WalkBoxW);
    const i32 h = PlayerStage(flying ? eStage::FlyBoxH : eStage::WalkBoxH);
    const i32 align = PlayerStage(flying ? eStage::FlyBottomAlign : eStage::WalkBottomAlign);
    return PLAYERBOX{w, h, (32 - w) / 2, align ? 32 - h : (32 - h) / 2, align};
}

// A rectangle of the given size centred in the cell.
BOXRECT Centred(const cObj& o, i32 w, i32 h) { return BOXRECT{16 - w / 2 - o.m_nGfxOffX, 16 - h / 2 - o.m_nGfxOffY, w, h}; }

double PlayerAutoSpeed(const cScrollAxis& a) { return a.m_bAuto ? a.m_dSpeed : 0.0; }

i32 Param(const cCmdRun& run, i32 i) {
    const cFlowCmd* cmd = run.m_pCmd;
    return cmd && i < cmd->params.Size() ? static_cast<i32>(cmd->params[i]) : 0;
}

void PlayUserSound(const cCmdRun& run) {
    if (run.m_pCmd && run.m_pCmd->sound) PlaySE(static_cast<int>(run.m_pCmd->sound) + 16);
}

} // namespace

cPlayer::cPlayer() = default;
cPlayer::~cPlayer() = default;

i32 cPlayer::ScaleBoxes(i32 scale) {
    m_rcBody.Scale(scale);
    m_rcDamage.Scale(scale);
    m_rcPickup.Scale(scale);
    return 0;
}

void cPlayer::UpdateBoxesX() {
    const i32 x = Trunc32(m_dX);
    m_rcBody.UpdateX(x);
    m_rcDamage.UpdateX(x);
    m_rcPickup.UpdateX(x);
}

void cPlayer::UpdateBoxesY() {
    const i32 y = Trunc32(m_dY);
    m_rcBody.UpdateY(y);
    m_rcDamage.UpdateY(y);
    m_rcPickup.UpdateY(y);
}

void cPlayer::Assign(const cChara& src) { cChara::Assign(src); }

// ---- Set-up ----

void cPlayer::InitForStage(u32 id, const cEdChara& def, i32 cellX, i32 cellY) {
    cEdChara d = def;
    if (d.byGroup20 < 1) CharaSettings::Set(d, eChara::Scale, 1);
    cChara::InitForStage(&d, cellX, cellY, 0, 0, 0);
    const PLAYERBOX box = PlayerBoxSize(false);
    m_nScale = 1;
    Init(id, static_cast<u32>(CharaSettings::Get(m_Def, eChara::Kind)), 0, static_cast<u32>(m_nSide),
         static_cast<u32>(static_cast<u16>(CharaSettings::Get(m_Def, eChara::Mark))), nullptr, 0, box.offX, box.offY,
         box.w, box.h, 32, 32, 1, FLY_WALK, 0);
    // On its cell as every character is put on one (the spawner adds the row's offset).
    m_dX = static_cast<double>(cellX + cBlockMap::kMargin) * 32 + m_nGfxOffX + 0.5;
    m_dY = static_cast<double>(cellY + cBlockMap::kMargin) * 32 + m_nGfxOffY;
    UpdateEdgesX();
    UpdateEdgesY();
    ChangeFlyMode(static_cast<i32>(CharaSettings::Get(m_Def, eChara::FlyMode)), 0, 0, 0);
    SetScale(static_cast<i32>(CharaSettings::Get(m_Def, eChara::Scale)), 1);
    m_nDir = m_nLastDir = static_cast<i32>(CharaSettings::Get(m_Def, eChara::Facing));
    m_bSavedBox = m_bRestorePending = 0;
    m_nRestoreTimer = 0;
    m_bCeiling = m_bOnMarker = 0;
    m_dKnockX = 0;
    m_nRiseFrames = 0;
    m_BlockEffect = BLOCKEFFECT{};
    m_nJumpHold = 0;
    m_bJumpedThisStep = 0;
    m_bAirborne = 1;
    m_dGlidePull = 4 / SpeedUnit();
    m_nBlockItemWait = 0;
    m_nPrevFloorCell = -1;
    m_nSight = static_cast<i8>(CharaSettings::Get(m_Def, eChara::Sight));
    BuildHitRects();
    m_vTouching.clear();
    ObjFlow::SetupFlows(*this, m_Def.vFlow, 0, -1);
}

void cPlayer::ChangeFlyMode(i32 mode, i32 rescale, i32 savePos, i32 restoreLater) {
    const i32 old = FlyMode();
    SetFlyMode(mode);
    if (savePos) {
        m_bSavedBox = 1;
        m_dSavedBox[0] = m_dX;
        m_dSavedBox[1] = m_dY;
        m_dSavedBox[2] = m_dRight;
        m_dSavedBox[3] = m_dBottom;
    }
    const i32 now = FlyMode();
    if (now != old) {
        m_nRestoreTimer = 2;
        if (restoreLater) m_bRestorePending = 1;
    }
    if (old != FLY_WALK && now == FLY_WALK) m_dSpeedX = m_dSpeedY = m_dAccelX = m_dAccelY = 0;
    if (IsFlying() && !SysSwitch(SW_NO_FALL_IN_FLIGHT)) {
        m_bFalling = 1;
        m_nNoFloorFrames = FallDelay();
    }
    const PLAYERBOX box = PlayerBoxSize(IsFlying());
    m_nBoxW = m_nBoxW0 = box.w;
    m_nBoxH = m_nBoxH0 = box.h;
    m_nGfxOffX = m_nGfxOffX0 = box.offX;
    m_nGfxOffY = m_nGfxOffY0 = box.offY;
    m_nGfxW = m_nGfxW0 = 32;
    m_nGfxH = m_nGfxH0 = 32;
    switch (CharaSettings::Get(m_Def, eChara::HitArea)) {
    case 1: SetHitRect(PlayerStage(eStage::HitSizeABottomAlign), PlayerStage(eStage::HitSizeAW), PlayerStage(eStage::HitSizeAH)); break;
    case 2: SetHitRect(PlayerStage(eStage::HitSizeBBottomAlign), PlayerStage(eStage::HitSizeBW), PlayerStage(eStage::HitSizeBH)); break;
    case 3: SetHitRect(0, 32, 32); break;
    default: SetHitRect(box.bottomAlign, box.w, box.h); break;
    }
    m_rcDamage.cur = m_rcDamage.base = Centred(*this, PlayerStage(eStage::DamageRectW), PlayerStage(eStage::DamageRectH));
    m_rcPickup.cur = m_rcPickup.base = Centred(*this, PlayerStage(eStage::PickupRectW), PlayerStage(eStage::PickupRectH));
    if (rescale) {
        ScaleSizes(m_nScale);
        ScaleBoxes(m_nScale);
    }
    UpdateEdgesX();
    UpdateEdgesY();
}

i32 cPlayer::RestoreSavedPos() {
    if (m_nRestoreTimer < 1) return 0;
    if (m_bRestorePending && m_bSavedBox) {
        m_bRestorePending = 0;
        m_dX = m_dSavedBox[0];
        m_dY = m_dSavedBox[1];
        UpdateEdgesX();
        UpdateEdgesY();
    }
    return 1;
}

void cPlayer::BuildHitRects() {
    struct SRC {
        eStage show, colour;
        BOXRECT box;
    };
    const SRC src[4] = {
        {eStage::RectShowBox, eStage::RectColourBox, BOXRECT{0, 0, m_nBoxW, m_nBoxH}},
        {eStage::RectShowBody, eStage::RectColourBody, m_rcBody.cur},
        {eStage::RectShowDamage, eStage::RectColourDamage, m_rcDamage.cur},
        {eStage::RectShowPickup, eStage::RectColourPickup, m_rcPickup.cur},
    };
    m_vRectDisplay.clear();
    for (i32 k = 0; k < 4; ++k) {
        const BOXRECT& b = src[k].box;
        m_vRectDisplay.push_back(RECTDISPLAY{k, PlayerStage(src[k].show), b.x, b.y, b.w, b.h, static_cast<u32>(PlayerStage(src[k].colour))});
    }
    std::stable_sort(m_vRectDisplay.begin(), m_vRectDisplay.end(),
                     [](const RECTDISPLAY& a, const RECTDISPLAY& b) { return i64{a.w} * a.h > i64{b.w} * b.h; });
}

void cPlayer::ChangeGraphic(i32 kind, i32 number, i32 pattern) {
    if (m_pScene) ObjScene::ShowRisingGraphic(*m_pScene, m_nId, kind, number, pattern, kGraphicNoticeFrames);
}

// ---- Camera follow ----

i32 cPlayer::OnMovedX() {
    if (m_pScene) {
        cScrollAxis& axis = ObjScene::ScrollX(*m_pScene);
        if (!axis.m_bAuto) {
            axis.m_dPos = m_dX - (320 - m_nBoxW / 2);
            axis.Clamp();
        }
    }
    return ClampX(IsFlying() ? 0 : 1);
}

i32 cPlayer::OnMovedY() {
    if (m_pScene) {
        cScrollAxis& axis = ObjScene::ScrollY(*m_pScene);
        if (!axis.m_bAuto) {
            axis.m_dPos = m_dY - (240 - m_nBoxH / 2);
            axis.Clamp();
        }
    }
    return ClampY(IsFlying() ? 0 : 1);
}

// ---- One play step ----

i32 cPlayer::Update(i32 arg) {
    cGameScene* s = m_pScene;
    if (s) {
        ObjScene::BeginCharaUpdate(*s, *this);
    }
    const bool fly = IsFlying();
    if (s && (SysSwitch(SW_AUTOSCROLL_ADD) || m_bScrollSync)) {
        m_dSpeedX = fly ? PlayerAutoSpeed(ObjScene::ScrollX(*s)) : 0.0;
        if (fly) m_dSpeedY = PlayerAutoSpeed(ObjScene::ScrollY(*s));
    } else {
        m_dSpeedX = 0;
        if (fly) m_dSpeedY = 0;
    }
    m_bHeldByCmd = 0;
    m_bDecelX = m_bDecelY = 1;
    m_bMovedByCmd = 0;
    m_bJumpedThisStep = 0;
    if (m_nRestoreTimer > 0 && --m_nRestoreTimer == 0) m_bRestorePending = 0;
    ObjFlow::StepKeyConds(*this);
    ObjFlow::StepFlows(*this, arg);
    ObjFlow::EndLetters(*this);
    ++m_nStepCount;
    if (!m_bMovedByCmd && m_dAccelX == 0 && m_dAccelY == 0) AnimeSetPatternIfNew(m_Anim, fly ? 2 : 0, 0);
    if (!m_bJumpedThisStep) {
        m_nRiseFrames = 0;
        m_bAirborne = 1;
        m_bCeiling = 0;
    }
    return m_nHP <= 0 ? 1 : 0;
}

i32 cPlayer::StepX() {
    // A push (a hit with impact) carries the player whatever its keys ask, until it decays.
    if (m_dKnockX != 0) {
        m_dSpeedX = m_dKnockX;
    } else if (m_dAccelX != 0) {
        DecelStep(*this, m_dAccelX, m_bDecelX);
        if (m_BlockEffect.nSteps > 0 && m_BlockEffect.nKind == 3) {
            // A slippery floor pulls the run back toward rest more slowly.
            const double p = SpeedPerFrame(m_dGlidePull) * (m_BlockEffect.dFactor - 1);
            if (m_dAccelX <= 0) {
                m_dAccelX -= p;
                if (m_dAccelX > 0) m_dAccelX = 0;
            } else {
                m_dAccelX += p;
                if (m_dAccelX < 0) m_dAccelX = 0;
            }
        }
        m_dSpeedX += m_dAccelX;
    }
    // The floor under the feet acts on the speed of this step before it moves the player.
    ApplyFloorEffect(*this);
    const double lim = SpeedLimit();
    m_dSpeedX = std::clamp(m_dSpeedX, -lim, lim);
    m_dX += m_dSpeedX;
    return OnMovedX();
}

i32 cPlayer::StepY() {
    ObjFlow::StepMoveX(*this);
    if (m_dVMotion == 0 && IsFlying()) {
        DecelStep(*this, m_dAccelY, m_bDecelY);
        m_dSpeedY += m_dAccelY;
    }
    const i32 r = MoveObjY(*this, IsFlying() ? 0 : 2);
    OnMovedY();
    if (!IsFlying() && (r == 5 || r == 6)) return 7;
    return r;
}

// ---- Jump ----

void cPlayer::Jump(cCmdRun& run) {
    if (IsFlying() || m_bJumpedThisStep) return;
    cGameScene* s = m_pScene;
    const i32 kind = Param(run, 0);
    const cFlowRun* flowRun = s ? ObjScene::FlowRun(*s) : nullptr;
    const bool held = kind == 0 || (flowRun && ObjFlow::JumpKeyHeld(*flowRun));
    const double u = SpeedUnit();
    if (kind == 2) {
        // The run speed chooses the height between the two given for fast and slow runs.
        const double sp = std::fabs(m_dAccelX);
        const double a = Param(run, 1) / (10 * u), b = Param(run, 3) / (10 * u);
        const i32 hFast = Param(run, 2), hSlow = Param(run, 4);
        i32 h = hSlow;
        if (sp >= a) h = hFast;
        else if (sp > b) h = Trunc32(hSlow + (hFast - hSlow) * sp / a);
        run.m_dJumpSpeed = ObjFlow::JumpSpeedHbl(*this, h);
    }
    const i32 frames = run.m_nDuration;
    const bool jumping = (m_nJumpFlags & JUMP_JUMPING) != 0;
    if (held && !m_bOnMarker) {
        ++m_nJumpHold;
        if (!m_bFalling && m_nJumpHold <= static_cast<i32>(u) && m_bAirborne && !m_bCeiling && !m_bHeldByCmd &&
            (!jumping || m_bOnBlockChara) && !run.m_bStarted) {
            if (!m_bOnBlockChara) {
                m_nJumpFlags |= JUMP_RISING;
                run.m_bStarted = 1;
                m_dSpeedY = run.m_dJumpSpeed;
                PlayUserSound(run);
            } else if (s && ObjScene::StepIndex(*s) >= static_cast<i32>(u)) {
                // Off a block character only in the frame's last step, a little higher.
                m_nJumpFlags |= JUMP_RISING;
                run.m_bStarted = 1;
                m_bOnBlockChara = 0;
                m_bOnFloor = 0;
                m_FloorObj.Reset();
                m_dSpeedY = run.m_dJumpSpeed * 1.0199999809265137;
                PlayUserSound(run);
            }
        }
        const bool riseOver = run.m_bStarted && m_dSpeedY >= 0;
        if (m_nJumpHold >= frames || ((m_nJumpFlags & JUMP_JUMPING) && !m_bOnBlockChara) || riseOver) {
            m_nJumpFlags |= JUMP_JUMPING;
            m_bAirborne = 0;
        }
    } else if (m_nJumpHold >= 1 && m_nJumpHold < frames && !jumping && !m_bCeiling && !m_bOnMarker && !m_bHeldByCmd) {
        // Let go early: the rise is cut short.
        m_bOnBlockChara = 0;
        if (m_dSpeedY < 0) m_dSpeedY *= 0.3;
        m_nJumpFlags |= JUMP_JUMPING;
        m_nJumpHold = 0;
        m_bAirborne = 1;
        m_bCeiling = 0;
    }
    // On the floor the jump is over, whether this run started it or not: a hold that began in a
    // fall (or on a block character that never let it start) must not outlast the landing, or
    // the hold count stays past its limit and the hero never jumps again.
    if (ObjFlow::IsOnFloor(*this) && m_dSpeedY >= 0) {
        m_nJumpHold = 0;
        m_bAirborne = 1;
        m_nJumpFlags = 0;
        m_bCeiling = 0;
        run.m_bStarted = 0;
        if (kind != 0 && !held) run.m_nFramesLeft = 0;
    }
    m_bJumpedThisStep = 1;
}
