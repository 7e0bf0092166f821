// Character commands: turn, jump, warp, set target, status operation 2, vanish, get item.
#include <algorithm>
#include <cmath>

#include "app/PlayRecordNames.h"
#include "database/CommonPalette.h"
#include "database/SystemSwitches.h"
#include "flow/StatusDesc.h"
#include "flow/commands/Commands.h"
#include "flow/commands/Movement.h"
#include "play/GameScene.h"
#include "play/rules/Motion.h"
#include "records/EdSettings.h"
#include "records/Stage.h"
#include "records/StageSettings.h"

namespace {

using flowcmd::Param;

// The object in target slot n (1-4) of a character; null for an empty slot or another n.
cChara* Slot(const cChara& c, i32 n) {
    return n >= 1 && n <= static_cast<i32>(c.m_aTarget.size()) ? c.m_aTarget[static_cast<std::size_t>(n - 1)].Chara()
                                                                 : nullptr;
}

// Turn modes.
enum : i32 { TURN_LEFT = 0, TURN_RIGHT = 1, TURN_LAST_BLOCK = 10, TURN_AWAY_LAST_BLOCK = 11 };

// The "消滅" of a character by a command: a stage character is taken out at its next update, the
// player loses its HP; a character other than the one running the command has the play check
// for the player's death after the running character's flows.
void VanishChara(cChara& target, const cChara& runner) {
    if (target.AsStageChara()) target.m_bRemove = 1;
    else target.m_nHP = 0;
    if (&target != &runner && target.m_pScene) target.m_pScene->m_bDeathCheck = 1;
}

// The graphic centre (world pixels) the warp places by.
double CharaGfxCentreX(const cObj& o) { return o.m_dX - o.m_nGfxOffX + o.m_nGfxW / 2; }
double CharaGfxCentreY(const cObj& o) { return o.m_dY - o.m_nGfxOffY + o.m_nGfxH / 2; }

void MoveToX(cChara& c, double x) {
    c.m_dX = x;
    c.OnMovedX();
}
void MoveToY(cChara& c, double y) {
    c.m_dY = y;
    c.OnMovedY();
}

// Warp ways and coordinate bases.
enum : i32 { WARP_TARGET = 5, WARP_RELATIVE = 0, WARP_ABSOLUTE = 1, WARP_SCREEN = 2 };

// Set-target selection rules and their fields.
enum : i32 {
    ST_SLOT = 0, ST_RULE, ST_SIDE, ST_ALL_SIDES, ST_RANGE, ST_NOT_SELF, ST_NOT_INV1, ST_NOT_INV2, ST_NOT_BLOCK,
    ST_BY_ID, ST_ID, ST_BY_VAR, ST_VAR, ST_VALUE, ST_COMPARE, ST_NONE_RULE,
};
enum : i32 {
    RULE_HERO = 0, RULE_SELF, RULE_NEAREST, RULE_BY_ID, RULE_PARENT, RULE_LAST_CHILD, RULE_CHILD_FILTERED,
    RULE_TARGET1, RULE_TARGET4 = RULE_TARGET1 + 3,
};

// Vanish scopes.
enum : i32 {
    VANISH_CHARAS = 0, VANISH_SHOTS, VANISH_CHILD_CHARAS, VANISH_OWN_SHOTS, VANISH_CHILDREN_AND_SHOTS,
    VANISH_CHILDREN_AND_THEIR_SHOTS,
};
constexpr i32 kVanishDepth = 1000;

void EraseShotsOf(cGameScene& s, const cChara& c) {
    for (const cObjHandle& h : c.m_vChildShot)
        if (cShot* shot = h.Shot()) s.EraseShot(*shot);
}

// The children below c, deepest first: each child's own children, then (with shots) its shots,
// then the child itself.
void VanishChildren(cGameScene& s, const cChara& c, const cChara& runner, bool shots, i32 depth) {
    if (depth >= kVanishDepth) return;
    const cVector<cObjHandle> children = c.m_vChild;
    for (const cObjHandle& h : children) {
        cChara* child = h.Chara();
        if (!child) continue;
        VanishChildren(s, *child, runner, shots, depth + 1);
        if (shots) EraseShotsOf(s, *child);
        if (child->m_bPresent) VanishChara(*child, runner);
    }
}

} // namespace

i32 CmdTurn(cChara& c, cCmdRun& run) {
    if (!c.m_bFixedFacing || !run.m_pCmd) return 0;
    if (run.m_nRepeat == 0) {
        const i32 mode = Param(*run.m_pCmd, 0);
        i32 dir = c.m_nDir;
        if (mode == TURN_LEFT || mode == TURN_RIGHT) {
            dir = mode;
        } else if (mode >= 2 && mode <= 9) {
            const cChara* t = Slot(c, (mode - 2) / 2 + 1);
            if (!t) return 0; // tried again next frame
            const double mine = c.BoxCentreX(), theirs = t->BoxCentreX();
            // Toward: a target at the same place counts as on the left; away: as on the right.
            dir = mode % 2 == 0 ? (theirs <= mine ? 0 : 1) : (theirs > mine ? 0 : 1);
        } else if (mode == TURN_LAST_BLOCK || mode == TURN_AWAY_LAST_BLOCK) {
            if (c.m_nLastSide == 0 || c.m_nLastSide == 1) dir = (mode == TURN_LAST_BLOCK) == (c.m_nLastSide == 1) ? 1 : 0;
        } else {
            AdvanceRepeat(run);
            return 0;
        }
        PlayCmdSound(c, *run.m_pCmd);
        c.m_nDir = dir;
    }
    AdvanceRepeat(run);
    return 0;
}

i32 CmdJump(cChara& c, cCmdRun& run) {
    // The jump's speed and duration were solved when the command started.
    c.Jump(run);
    if (run.m_nFrame < INT32_MAX) ++run.m_nFrame;
    return 0;
}

i32 CmdWarp(cChara& c, cFlowCmd& cmd) {
    if (!cmd.move) return 0;
    const cEdMove& m = *cmd.move;
    auto get = [&](eMove s) { return MoveSettings::Get(m, s); };
    c.m_dCmdAccum[0] = c.m_dCmdAccum[1] = 0;
    const i64 way = get(eMove::Way);
    cGameScene* s = c.m_pScene;
    if (way >= 0 && way < WARP_TARGET) {
        const cChara* ref = way == 0 ? &c : Slot(c, static_cast<i32>(way));
        if (!ref) return 0;
        const bool free = ref->IsFlying() || !SysSwitch(SW_WARP_DIAGONAL);
        i32 code = MapMoveDirection(c, static_cast<i32>(get(eMove::Direction)), free);
        // Decision: where vertical directions are not allowed, the warp has no direction and puts
        // the character on the reference's centre.
        if (!free && (code == MDIR_UP || code == MDIR_DOWN)) code = MDIR_NONE;
        const double d = static_cast<double>(get(eMove::Distance) + get(eMove::DistanceStep) * c.m_nSpawnIndex) * 16;
        double dx = 0, dy = 0;
        DirectionVector(code, d, dx, dy);
        const double cx = CharaGfxCentreX(*ref) + dx, cy = CharaGfxCentreY(*ref) + dy;
        MoveToX(c, cx + c.m_nGfxOffX - c.m_nGfxW / 2);
        MoveToY(c, cy + c.m_nGfxOffY - c.m_nGfxH / 2);
        return 0;
    }
    if (way != WARP_TARGET) return 0; // a way past the list (a damaged record) does nothing
    const double tx = static_cast<double>(get(eMove::TargetXBl) * 32 + get(eMove::TargetXDot));
    const double ty = static_cast<double>(get(eMove::TargetYBl) * 32 + get(eMove::TargetYDot));
    const double sx = s ? s->m_ScrollX.m_dPos : 0.0, sy = s ? s->m_ScrollY.m_dPos : 0.0;
    const double origin = cBlockMap::kMargin * 32;
    const bool placeOnCell = !c.IsFlying() || SysSwitch(SW_WARP_PLACEMENT);
    switch (get(eMove::CoordBase)) {
    case WARP_RELATIVE: {
        const bool right = c.m_nDir > 0;
        MoveToX(c, c.m_dX + (right && get(eMove::MirrorTargetX) ? -tx : tx));
        MoveToY(c, c.m_dY + (right && get(eMove::MirrorTargetY) ? -ty : ty));
        break;
    }
    case WARP_ABSOLUTE:
        if (placeOnCell) {
            SetPosition(c, static_cast<i32>(get(eMove::TargetXBl)), static_cast<i32>(get(eMove::TargetYBl)));
            MoveToX(c, c.m_dX + static_cast<double>(get(eMove::TargetXDot)));
            MoveToY(c, c.m_dY + static_cast<double>(get(eMove::TargetYDot)));
        } else {
            MoveToX(c, origin - c.m_nBoxW / 2 + tx + 16.5);
            MoveToY(c, origin - c.m_nBoxH / 2 + ty + 16.5);
        }
        break;
    case WARP_SCREEN:
        if (SysSwitch(SW_WARP_PLACEMENT)) {
            MoveToX(c, c.m_nGfxOffX + sx + tx);
            MoveToY(c, c.m_nGfxOffY + sy + ty);
        } else {
            MoveToX(c, tx + sx - c.m_nBoxW / 2 + 16.5);
            MoveToY(c, c.IsFlying() ? ty + sy - c.m_nBoxH / 2 + 16.5 : ty + sy - (c.m_nBoxH - 32) + 16.5);
        }
        break;
    default: break;
    }
    return 0;
}

i32 CmdSetTarget(cChara& c, cFlowCmd& cmd) {
    cGameScene* s = c.m_pScene;
    const i32 slot = Param(cmd, ST_SLOT);
    const i32 none = Param(cmd, ST_NONE_RULE);
    if (!s || slot < 0 || slot >= static_cast<i32>(c.m_aTarget.size()) || (none != 0 && none != 1)) return 0;
    CHARAFILTER f;
    f.notId = Param(cmd, ST_NOT_SELF) != 0;
    f.id = c.m_nId;
    f.notInvincible1 = Param(cmd, ST_NOT_INV1) != 0;
    f.notInvincible2 = Param(cmd, ST_NOT_INV2) != 0;
    f.notBlockChara = Param(cmd, ST_NOT_BLOCK) != 0;
    f.byCharaId = Param(cmd, ST_BY_ID) != 0;
    f.charaId = Param(cmd, ST_ID);
    f.byVar = Param(cmd, ST_BY_VAR) != 0;
    f.var = Param(cmd, ST_VAR);
    f.value = Param(cmd, ST_VALUE);
    f.compare = Param(cmd, ST_COMPARE);
    // The searched characters: one side's, or every side's in side order. A side past the eight
    // (a damaged command) searches nothing and writes nothing.
    auto searched = [&](std::vector<cChara*>& list) {
        const i32 side = Param(cmd, ST_SIDE);
        if (Param(cmd, ST_ALL_SIDES) == 0) {
            if (side < 0 || side >= kSideCount) return false;
            list = CharasOfSide(*s, side);
            return true;
        }
        for (i32 k = 0; k < kSideCount; ++k) {
            std::vector<cChara*> more = CharasOfSide(*s, k);
            list.insert(list.end(), more.begin(), more.end());
        }
        return true;
    };
    cChara* found = nullptr;
    const i32 rule = Param(cmd, ST_RULE);
    switch (rule) {
    case RULE_HERO: found = s->Player0(); break;
    case RULE_SELF: found = &c; break;
    case RULE_NEAREST:
    case RULE_BY_ID: {
        std::vector<cChara*> list;
        if (!searched(list)) return 0;
        // The list holds raw pointers: nothing may leave the character list while it is read.
        cObjList<cStageChara>::WalkScope scope(s->m_lstChara);
        found = rule == RULE_NEAREST ? FindNearestChara(c.m_dX - c.m_nGfxOffX + c.m_nGfxW / 2,
                                                        c.m_dY - c.m_nGfxOffY + c.m_nGfxH / 2, list,
                                                        Param(cmd, ST_RANGE), f)
                                     : FindChara(list, f);
        break;
    }
    case RULE_PARENT: found = c.m_Parent.Chara(); break;
    case RULE_LAST_CHILD:
    case RULE_CHILD_FILTERED:
        for (const cObjHandle& h : c.m_vChild) {
            cChara* child = h.Chara();
            if (child && (rule == RULE_LAST_CHILD || PassesCharaFilter(*child, f))) {
                found = child;
                break;
            }
        }
        break;
    default:
        if (rule < RULE_TARGET1 || rule > RULE_TARGET4) return 0;
        found = Slot(c, rule - RULE_TARGET1 + 1);
        break;
    }
    SetTargetSlot(c, slot, found, none == 0 ? 1 : 0);
    return 0;
}

i32 CmdStatusOp2(cChara& c, cFlowCmd& cmd) {
    enum : i32 { WHOSE_SCREEN = 5 };
    enum : i32 { ST_VANISH = 0, ST_TRANSPARENT, ST_FIXED_FACING, ST_FLY, ST_INVINCIBLE, ST_GIANT, ST_SCROLL_SYNC };
    const i32 whose = Param(cmd, 0), status = Param(cmd, 1);
    if (status < 0 || status >= kStatusFlagCount) return 0;
    // A value is kept inside its status's range (a damaged command cannot make a character of
    // scale 0 or a flight mode past the four).
    const STATUSFLAGDESC& desc = kStatusFlagDesc[status];
    const i32 value = std::clamp(Param(cmd, 2), desc.minimum, desc.maximum);
    if (whose == WHOSE_SCREEN) {
        cGameScene* s = c.m_pScene;
        if (!s || status > 1) return 0;
        const bool x = status == 0;
        const u32 on = Param(cmd, 2) != 0 ? 1u : 0u;
        StageSettings::Set(g_Stage, x ? eStage::AutoScrollOnX : eStage::AutoScrollOnY, on);
        const i32 speed = static_cast<i32>(StageSettings::Get(g_Stage, x ? eStage::AutoScrollSpeedX : eStage::AutoScrollSpeedY));
        (x ? s->m_ScrollX : s->m_ScrollY).SetSpeed(on, speed, SpeedUnit());
        return 0;
    }
    cChara* t = whose >= 1 && whose <= 4 ? Slot(c, whose) : &c;
    if (!t) return 0;
    switch (status) {
    case ST_VANISH: VanishChara(*t, c); break;
    case ST_TRANSPARENT: t->m_bTransparent = static_cast<u32>(value); break;
    case ST_FIXED_FACING: t->m_bFixedFacing = static_cast<u32>(value); break;
    case ST_FLY:
        // Decision: the two flight parameters are the change's save-position and restore-later
        // choices; a giant player stays giant (rescaled).
        if (cPlayer* p = t->AsPlayer()) p->ChangeFlyMode(value, 1, Param(cmd, 3), Param(cmd, 4));
        break;
    case ST_INVINCIBLE: t->m_nInvincibleKind = static_cast<u32>(value); break;
    case ST_GIANT:
        t->SetScale(value, t->m_nScale);
        t->m_nScale = value;
        if (cPlayer* p = t->AsPlayer()) p->BuildHitRects();
        break;
    case ST_SCROLL_SYNC: t->m_bScrollSync = static_cast<u32>(value); break;
    default: break;
    }
    return 0;
}

i32 CmdVanish(cChara& c, cFlowCmd& cmd) {
    cGameScene* s = c.m_pScene;
    if (!s) return 0;
    const i32 scope = Param(cmd, 0), side = Param(cmd, 1);
    const bool everywhere = Param(cmd, 2) != 0;
    switch (scope) {
    case VANISH_CHARAS: {
        if (side < 0 || side >= kSideCount) return 0;
        cObjList<cStageChara>::WalkScope walk(s->m_lstChara);
        for (cChara* t : CharasOfSide(*s, side))
            if (t->m_bPresent && (everywhere || t->m_bOnScreen)) VanishChara(*t, c);
        break;
    }
    case VANISH_SHOTS:
        if (side < 0 || side >= kSideCount) return 0;
        // Decision: a shot has no appearance conditions; only the range is tested.
        s->ForEachShotOfSide(side, [&](cShot& shot) {
            if (everywhere || shot.m_bOnScreen) s->EraseShot(shot);
        });
        break;
    case VANISH_CHILD_CHARAS:
    case VANISH_OWN_SHOTS:
    case VANISH_CHILDREN_AND_SHOTS:
    case VANISH_CHILDREN_AND_THEIR_SHOTS:
        // Every scope from 2 kills the children below the character; 4 and 5 also take each
        // child's shots, and 3 and 4 the character's own shots.
        VanishChildren(*s, c, c, scope == VANISH_CHILDREN_AND_SHOTS || scope == VANISH_CHILDREN_AND_THEIR_SHOTS, 0);
        if (scope == VANISH_OWN_SHOTS || scope == VANISH_CHILDREN_AND_SHOTS) EraseShotsOf(*s, c);
        break;
    default: break;
    }
    return 0;
}

i32 CmdGetItem(cChara& c, cFlowCmd& cmd) {
    cGameScene* s = c.m_pScene;
    cPlayer* hero = s ? s->Player0() : nullptr;
    if (!hero) return 0;
    const i32 palette = Param(cmd, 0), n = Param(cmd, 1);
    const cVector<cEdItem>* items = palette == 0 ? &g_CommonPalette.m_vEdItem : palette == 1 ? &g_Stage.vItemPalette : nullptr;
    if (!items || n < 0 || n >= items->Size()) return 0;
    // The item's commands run as a copy: the arrange overrides they take change the copy, never
    // the palette.
    cVector<cFlowCmd> cmds = (*items)[n].vCmd;
    CmdNestingGuard guard(*s, "CmdGetItem");
    if (!guard.Enter()) return 0;
    const u32 r = ExecItemCmds(*hero, cmds);
    // A cleared stage or the hero's end stays requested; nothing clears a request made before.
    if (r) s->m_nEndRequest = static_cast<i32>(r);
    return 0;
}
