// Conditions: variables, statuses, status flags, states and distances, and the key conditions
// of flows.
#include <cmath>

#include "app/Game.h"
#include "app/PlayRecordNames.h"
#include "app/Replay.h"
#include "platform/graphics/Graphics.h"
#include "database/SystemSwitches.h"
#include "flow/FlowInternal.h"
#include "flow/KeyConds.h"
#include "flow/Operators.h"
#include "flow/StatusDesc.h"
#include "flow/Status.h"
#include "platform/system/Input.h"
#include "play/GameScene.h"
#include "records/CharaSettings.h"
#include "records/StageSettings.h"

namespace {

enum : u8 { COND_NONE = 0, COND_COMMON, COND_STAGE, COND_CHARA, COND_STATUS, COND_STATUS2, COND_STATUS3, COND_DISTANCE };
constexpr i32 kSystemSubject = 5;

// Variables by index; an index past the list (a damaged file) makes the condition false.
bool CommonVar(i32 index, i32& v) {
    if (index < 0 || index >= g_CommonVars.Size()) return false;
    v = g_CommonVars[index];
    return true;
}

bool StageVar(cGameScene& scene, i32 index, i32& v) {
    if (index < 0 || index >= scene.m_vStageVar.Size()) return false;
    v = static_cast<i32>(scene.m_vStageVar[index]);
    return true;
}

bool ScopedVar(cGameScene& scene, i32 scope, i32 index, i32& v) {
    return scope == 0 ? CommonVar(index, v) : StageVar(scene, index, v);
}

// Kind 4, percent: the right-hand value as a percentage of the status's maximum (HP and SP;
// 0 for the others), clamped to the status's range. Computed in 64 bits.
i32 PercentRight(const cChara& c, i32 selector, i32 right) {
    i32 base = 0;
    if (selector == CV_HP) base = StatusMaxHp(c);
    if (selector == CV_SP) base = StatusMaxSp(c);
    const I32RANGE r = selector >= 0 && selector < kCharaVarCount ? kCharaVarCondRange[selector] : I32RANGE{0, 0};
    return static_cast<i32>(std::clamp<i64>(PercentOf(base, right), r.lo, r.hi));
}

i32 TestStatusCond(cGameScene& scene, cCond& cond, cChara* self) {
    if (!self) return 0;
    // The right-hand value, kept in the condition.
    i32 right = 0;
    switch (cond.source) {
    case 0: right = cond.value; break;
    case 1: right = scene.RandRange(cond.rangeMin, cond.rangeMax); break;
    case 2:
        if (cond.srcSubject == kSystemSubject) {
            STATUSVALUE sv;
            if (!ReadSystemStatus(scene, cond.srcSelector, true, sv)) return 0;
            right = static_cast<i32>(sv.value);
        } else {
            cChara* src = SubjectChara(*self, cond.srcSubject);
            STATUSVALUE sv;
            if (!src || !ReadCharaStatus(*src, cond.srcSelector, cond.srcIndex, sv)) return 0;
            right = static_cast<i32>(sv.value);
        }
        break;
    case 3:
        if (!ScopedVar(scene, cond.srcVarScope, cond.srcIndex, right)) return 0;
        break;
    default: break;
    }
    cond.value = right;

    if (cond.leftKind == 1) {
        i32 left = 0;
        if (!ScopedVar(scene, cond.leftVarScope, cond.index, left)) return 0;
        return CompareOp32(left, cond.percent ? 0 : right, cond.op);
    }
    if (cond.subject == kSystemSubject) {
        if (cond.selector >= kSysVarCount) return 0;
        STATUSVALUE sv;
        if (!ReadSystemStatus(scene, cond.selector, false, sv)) return 0;
        if (cond.percent) right = 0;
        return CompareOp32(static_cast<i32>(sv.value), right, cond.op);
    }
    cChara* c = SubjectChara(*self, cond.subject);
    if (!c) return 0;
    if (cond.selector >= kCharaVarCount) return 1;
    STATUSVALUE sv;
    if (!ReadCharaStatus(*c, cond.selector, cond.index, sv)) return 0;
    if (cond.percent) right = PercentRight(*c, cond.selector, right);
    switch (sv.width) {
    case 8: return CompareOp(static_cast<i8>(sv.value), right, cond.op);
    case 16: return CompareOp(static_cast<i16>(sv.value), right, cond.op);
    default: return CompareOp32(static_cast<i32>(sv.value), right, cond.op);
    }
}

i32 TestStatusCond2(cGameScene& scene, const cCond& cond, cChara* self) {
    const i32 value = cond.index;
    if (cond.subject == kSystemSubject) {
        if (cond.selector == 0) return CompareOp32(static_cast<i32>(scene.m_ScrollX.m_bAuto), value, cond.op);
        if (cond.selector == 1) return CompareOp32(static_cast<i32>(scene.m_ScrollY.m_bAuto), value, cond.op);
        return 0;
    }
    if (!self) return 0;
    cChara* c = cond.subject >= 1 && cond.subject <= 4 ? SubjectChara(*self, cond.subject) : self;
    if (!c) return 0;
    i32 flag = 0;
    switch (cond.selector) {
    case SF_TRANSPARENT: flag = static_cast<i32>(c->m_bTransparent); break;
    case SF_FIXED_FACING: flag = static_cast<i32>(c->m_bFixedFacing); break;
    case SF_FLYING: flag = c->FlyMode(); break;
    case SF_INVINCIBLE: flag = static_cast<i32>(c->m_nInvincibleKind); break;
    case SF_GIANT: flag = c->m_nScale; break;
    case SF_AUTOSCROLL_SYNC: flag = static_cast<i32>(c->m_bScrollSync); break;
    default: return 0;
    }
    return CompareOp32(flag, value, cond.op);
}

bool OnBlock(const cChara& c) {
    if (c.IsFlying()) return false;
    if (c.m_bOnFloor) return true;
    return c.m_nJumpFlags == 0;
}

i32 TestStatusCond3(const cCond& cond, cChara* self) {
    if (!self) return 0;
    const bool negate = cond.op == 1;
    const bool target = cond.subject >= 1 && cond.subject <= 4;
    if (cond.selector == 4) {
        bool exists = true;
        if (target) {
            cChara* c = SubjectChara(*self, cond.subject);
            exists = c && !c->IsDying();
        }
        return exists != negate;
    }
    cChara* c = target ? SubjectChara(*self, cond.subject) : self;
    if (!c) return 0;
    bool result;
    switch (cond.selector) {
    case 0: result = c->m_nDir <= 0; break;
    case 1: result = c->m_nDir > 0; break;
    case 2: result = OnBlock(*c); break;
    case 3: result = c->AsPlayer() ? c->IsOnScreen() != 0 : c->m_bOnScreen != 0; break;
    default: return 0;
    }
    return result != negate;
}

// [lo, hi] on one axis around a centre: both sides, or d on the front (or back) side only.
bool InRange1D(i32 centre, i32 d, i32 side, i32 otherLo, i32 otherHi) {
    const i64 lo = side > 0 ? centre : static_cast<i64>(centre) - d;
    const i64 hi = side < 0 ? centre : static_cast<i64>(centre) + d;
    return otherLo <= hi && otherHi >= lo;
}

i32 TestDistanceCond(cGameScene& scene, const cCond& cond, cChara* self) {
    if (!self) return 0;
    cObj* other = nullptr;
    if (cond.subject == 0)
        other = scene.Player0();
    else if (cond.subject <= 4)
        other = SubjectChara(*self, cond.subject);
    if (!other) return 0;
    const i64 d64 = static_cast<i64>(cond.value) * 16 + cond.srcIndex;
    const i32 d = static_cast<i32>(std::clamp<i64>(d64, INT32_MIN / 2, INT32_MAX / 2));
    self->ScreenPos();
    // Replays recorded by version 781 and older were played with the other's screen position as
    // it last was.
    const bool oldReplay = g_Game.g_nGameMode == 4 && g_ReplayData.nFileVersion <= 781;
    if (!SysSwitch(SW_DISTANCE_REFRESH) && !oldReplay) other->ScreenPos();
    const SCREENRECT& a = self->m_rcScreen;
    const SCREENRECT& b = other->m_rcScreen;
    const i32 front = self->m_nDir > 0 ? 1 : -1; // the side in front: larger x (and y) when facing right
    bool result;
    switch (cond.shape) {
    case 0: result = InRange1D(a.left + self->m_nGfxW / 2, d, 0, b.left, b.right); break;
    case 1: result = InRange1D(a.left + self->m_nGfxW / 2, d, front, b.left, b.right); break;
    case 2: result = InRange1D(a.left + self->m_nGfxW / 2, d, -front, b.left, b.right); break;
    case 3: result = InRange1D(a.top + self->m_nGfxH / 2, d, 0, b.top, b.bottom); break;
    case 4: result = InRange1D(a.top + self->m_nGfxH / 2, d, front, b.top, b.bottom); break;
    case 5: result = InRange1D(a.top + self->m_nGfxH / 2, d, -front, b.top, b.bottom); break;
    case 6: {
        const double dx = (self->m_dX + (self->m_nBoxW >> 1)) - (other->m_dX + (other->m_nBoxW >> 1));
        const double dy = (self->m_dY + (self->m_nBoxH >> 1)) - (other->m_dY + (other->m_nBoxH >> 1));
        result = std::sqrt(dx * dx + dy * dy) <= d;
        break;
    }
    default: return 0;
    }
    if (cond.op == 0) return result;
    if (cond.op == 1) return !result;
    return 0;
}

} // namespace

i32 EvalCond(cGameScene& scene, cCond& cond, cChara* chara) {
    i32 v = 0;
    switch (cond.kind) {
    case COND_COMMON: return CommonVar(cond.index, v) && CompareOp32(v, cond.value, cond.op);
    case COND_STAGE: return StageVar(scene, cond.index, v) && CompareOp32(v, cond.value, cond.op);
    case COND_CHARA:
        if (!chara || cond.index < 0 || cond.index >= chara->m_vVar.Size()) return 0;
        return CompareOp32(chara->m_vVar[cond.index], cond.value, cond.op);
    case COND_STATUS: return TestStatusCond(scene, cond, chara);
    case COND_STATUS2: return TestStatusCond2(scene, cond, chara);
    case COND_STATUS3: return TestStatusCond3(cond, chara);
    case COND_DISTANCE: return TestDistanceCond(scene, cond, chara);
    default: return 0;
    }
}

i32 EvalCondList(cGameScene& scene, const cVector<cCond>& conds, i32 mode, cChara* chara) {
    // The kind-4 test keeps its computed right-hand value in the condition.
    cVector<cCond>& list = const_cast<cVector<cCond>&>(conds);
    if (mode == 0) {
        for (cCond& c : list)
            if (!EvalCond(scene, c, chara)) return 0;
        return 1;
    }
    if (mode == 1) {
        for (cCond& c : list)
            if (EvalCond(scene, c, chara)) return 1;
        return 0;
    }
    return 0;
}

i32 CheckFlowConds(cGameScene& scene, cFlowRun& run, cChara& chara) {
    if (!run.m_pFlow || run.m_pFlow->conds.empty()) return 1;
    if (run.m_pFlow->latch && run.m_bCondLatch) return 1;
    if (!EvalCondList(scene, run.m_pFlow->conds, run.m_pFlow->combine, &chara)) return 0;
    run.m_bCondLatch = 1;
    return 1;
}

i32 CheckFlowKeyConds(cChara& chara, cFlowRun& run) {
    if (run.m_vKeyRow.empty()) return 1;
    if (!run.m_pFlow || g_vInput.empty()) return 0;
    KEYEVAL ev;
    ev.input = &g_vInput[0];
    ev.facingLeft = chara.m_nDir <= 0;
    ev.overlap = SysSwitch(SW_KEY_OVERLAP) != 0;
    ev.holdFlag = run.m_pFlow->keyLatch != 0;
    ev.gap = run.m_pFlow->keyGap;
    bool repeated = false;
    const std::span<const cKeyCond* const> rows(run.m_vKeyRow.data(), run.m_vKeyRow.size());
    const i32 result = CheckKeyRows(ev, rows, run.m_bKeyHeld, run.m_bKeyBefore, repeated);
    if (repeated && run.m_pFlow->trigger == TRIG_ALWAYS) {
        // The sequence is still held from before: the letter stays taken for this frame, so no
        // other trigger-0 flow of the letter starts meanwhile.
        if (const i32 letter = run.Letter()) {
            chara.m_vLetterRunning[letter] = 1;
            chara.m_vLetterEnded[letter] = 1;
            chara.m_bLetterEnded = 1;
        }
    }
    return result;
}

void StepKeyConds(cChara& c) {
    const i32 no = c.PlayerNo();
    if (!c.AsPlayer() || no < 0 || static_cast<std::size_t>(no) >= g_vInput.size()) return;
    cInput& input = g_vInput[static_cast<std::size_t>(no)];
    // A record that was never cleared gets its histories now.
    if (input.vDirState.size() != kKeyDirStates || input.vButtonState.size() != kKeyButtonStates ||
        input.vDirState[0].size() != kKeyHistoryWalk)
        ClearKeyHistories(input);
    InputKeyHistoryUpdate(input);
}

void ClearKeyHistories(cInput& input) {
    input.vDirState.assign(kKeyDirStates, cKeyHistory(kKeyHistoryWalk));
    input.vButtonState.assign(kKeyButtonStates, cKeyHistory(kKeyHistoryWalk));
}

namespace {

void FrameRect(DDSURFACEDATA* target, i64 left, i64 top, i64 right, i64 bottom, u32 colour) {
    auto fill = [&](i64 x, i64 y, i64 w, i64 h) {
        // Areas far off the view are clipped by the fill; keep the numbers in range first.
        x = std::clamp<i64>(x, -4096, 4096);
        y = std::clamp<i64>(y, -4096, 4096);
        w = std::clamp<i64>(w, 0, 8192);
        h = std::clamp<i64>(h, 0, 8192);
        DDFillRect(target, static_cast<i32>(x), static_cast<i32>(y), static_cast<i32>(w), static_cast<i32>(h), colour);
    };
    fill(left, top, right - left + 1, 1);
    fill(left, bottom, right - left + 1, 1);
    fill(left, top, 1, bottom - top + 1);
    fill(right, top, 1, bottom - top + 1);
}

} // namespace

void DrawFlowOverlay(cChara& c, DDSURFACEDATA* target) {
    if (!target || c.IsDying() || !c.m_bOnScreen) return;
    const SCREENRECT& r = c.m_rcScreen;
    const i64 cx = r.left + c.m_nGfxW / 2;
    const i64 cy = r.top + c.m_nGfxH / 2;
    const i32 front = c.m_nDir > 0 ? 1 : -1;
    for (const cCond& cond : c.m_Def.vCond) {
        if (cond.kind != COND_DISTANCE) continue;
        const bool shown = cond.leftKind == 1 || (cond.leftKind == 2 && g_bFromEditor);
        if (!shown) continue;
        const u32 colour = cond.selector;
        const i64 d = static_cast<i64>(cond.value) * 16 + cond.srcIndex;
        // A horizontal area spans the character's height, a vertical one its width.
        auto span = [&](i64 centre, i32 side, i64& lo, i64& hi) {
            lo = side > 0 ? centre : centre - d;
            hi = side < 0 ? centre : centre + d;
        };
        i64 lo = 0, hi = 0;
        switch (cond.shape) {
        case 0:
        case 1:
        case 2:
            span(cx, cond.shape == 0 ? 0 : cond.shape == 1 ? front : -front, lo, hi);
            FrameRect(target, lo, r.top, hi, r.bottom, colour);
            break;
        case 3:
        case 4:
        case 5:
            span(cy, cond.shape == 3 ? 0 : cond.shape == 4 ? front : -front, lo, hi);
            FrameRect(target, r.left, lo, r.right, hi, colour);
            break;
        case 6:
            DDDrawCircle(target, static_cast<i32>(r.left + (c.m_nBoxW >> 1)), static_cast<i32>(r.top + (c.m_nBoxH >> 1)),
                         static_cast<i32>(std::clamp<i64>(d, 0, 8192)), colour);
            break;
        default: break;
        }
    }
}

