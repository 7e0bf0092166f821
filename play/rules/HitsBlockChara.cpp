// Characters against block characters: flying characters are held at their sides, walking
// ones land on them, bump their heads on them or are pushed aside; riders move with them.
#include <algorithm>
#include <cmath>

#include "database/SystemSwitches.h"
#include "play/rules/Collision.h"
#include "play/rules/Hits.h"
#include "play/rules/Motion.h"

namespace {

HITRECT BoxOfObj(const cObj& o) { return HITRECT{o.m_dX, o.m_dY, o.m_dRight, o.m_dBottom}; }
// The box a character had before this step's motion (its saved position).
HITRECT SavedBox(const cChara& c) { return HITRECT{c.m_dSaved[0], c.m_dSaved[1], c.m_dSaved[2], c.m_dSaved[3]}; }

// The block characters c touches now, in list order.
std::vector<cStageChara*> TouchedBlockCharas(cGameScene& scene, const cChara& c) {
    std::vector<cStageChara*> v;
    const HITRECT box = BoxOfObj(c);
    for (cStageChara* k : BlockCharas(scene))
        if (k != &c && !k->IsRemoved() && k->m_bPresent && !k->IsDying() && IsHitRect(box, BoxOfObj(*k))) v.push_back(k);
    return v;
}

// A trial of a move on a light copy of the box: refused when a corner lands in a solid cell or
// the box overlaps a block character other than k.
bool MayMoveTo(cGameScene& scene, const cChara& c, double x, double y, const cStageChara& k) {
    const HITRECT box{x, y, x + c.m_nBoxW - 1, y + c.m_nBoxH - 1};
    return !AnyCornerSolidBox(scene, box, c.m_nBlockSide) && !OverlapsBlockCharaBox(scene, box, &c, true, k.m_nId);
}

void MoveXTo(cChara& c, double x) {
    c.m_dX = x;
    c.UpdateEdgesX();
    c.OnMovedX();
}

void MoveYTo(cChara& c, double y) {
    c.m_dY = y;
    c.UpdateEdgesY();
    c.OnMovedY();
}

// Flying characters: the nearest position beside each touched block character, per side.
i32 FlyingHits(cGameScene& scene, cChara& c, const std::vector<cStageChara*>& touched) {
    // Per side, the tightest position the touched block characters leave: the largest for the
    // top and left, the smallest for the bottom and right.
    struct SIDELIMIT {
        bool found = false;
        double limit = 0;
        void Keep(double v, bool largest) {
            limit = !found ? v : largest ? std::max(limit, v) : std::min(limit, v);
            found = true;
        }
    } top, bottom, left, right;
    for (cStageChara* kp : touched) {
        const cStageChara& k = *kp;
        const double ow = std::min(c.m_dRight, k.m_dRight) - std::max(c.m_dX, k.m_dX) + 1;
        const double oh = std::min(c.m_dBottom, k.m_dBottom) - std::max(c.m_dY, k.m_dY) + 1;
        const bool spansX = c.m_dX + 1 <= k.m_dRight && c.m_dRight - 1 >= k.m_dX;
        const bool spansY = c.m_dY + 1 <= k.m_dBottom && c.m_dBottom - 1 >= k.m_dY;
        if (ow > oh) {
            if (spansX && c.m_dY >= k.m_dY && c.m_dY <= k.m_dBottom) {
                c.m_bContactT = 1;
                top.Keep(k.m_dBottom + 1, true);
            }
            if (spansX && c.m_dBottom >= k.m_dY && c.m_dBottom <= k.m_dBottom) {
                c.m_bContactB = 1;
                bottom.Keep(k.m_dY - c.m_nBoxH, false);
            }
        } else {
            if (spansY && c.m_dX >= k.m_dX && c.m_dX <= k.m_dRight) {
                c.m_bContactL = 1;
                left.Keep(k.m_dRight + 1, true);
            }
            if (spansY && c.m_dRight >= k.m_dX && c.m_dRight <= k.m_dRight) {
                c.m_bContactR = 1;
                right.Keep(k.m_dX - c.m_nBoxW, false);
            }
        }
        RunFlows(c, TRIG_HIT_BLOCKCHARA, kp, 0);
    }
    const bool any = top.found || bottom.found || left.found || right.found;
    if (c.FlyMode() == FLY_STOP) return any ? 2 : 0;
    // A character already moving away is only let go and pushed out.
    auto hold = [&](const SIDELIMIT& side, u32& contact, bool away, double& accel, bool vertical) {
        if (!side.found) return;
        if (away) {
            contact = 0;
            PushOutOfCharas(scene, c);
            return;
        }
        accel = 0;
        if (vertical) MoveYTo(c, side.limit);
        else MoveXTo(c, side.limit);
    };
    hold(top, c.m_bContactT, c.m_dSpeedY > 0, c.m_dAccelY, true);
    hold(bottom, c.m_bContactB, c.m_dSpeedY < 0, c.m_dAccelY, true);
    hold(left, c.m_bContactL, c.m_dSpeedX > 0, c.m_dAccelX, false);
    hold(right, c.m_bContactR, c.m_dSpeedX < 0, c.m_dAccelX, false);
    return 0;
}

// How a walking character meets a block character. The box is divided from the feet: a block
// character whose top lies in the lowest third, met by feet that were no more than 2 / u below
// its top a step before, is landed on; one whose bottom lies in the upper half, met by a head
// that was no more than 0.4 / u above its bottom a step before, is bumped into; anything else is
// a side contact.
enum class eContact { Land, Head, Side };

eContact Classify(const cChara& c, const cStageChara& k) {
    const double u = SpeedUnit();
    const double h = c.m_nBoxH;
    const HITRECT was = SavedBox(c), kWas = SavedBox(k);
    if (k.m_dY > c.m_dBottom - h / 3 && was.bottom - kWas.top <= 2 / u) return eContact::Land;
    if (k.m_dBottom < c.m_dY + h / 2 && kWas.bottom - was.top <= 0.4 / u) return eContact::Head;
    return eContact::Side;
}

void Land(cGameScene& scene, cChara& c, cStageChara& k) {
    const double y = k.m_dY - c.m_nBoxH;
    if (!MayMoveTo(scene, c, c.m_dX, y, k)) return;
    c.m_dSpeedY = k.m_dSpeedY;
    MoveYTo(c, y);
    c.m_bOnBlockChara = 1;
    c.m_bOnFloor = 1;
    c.m_FloorObj = &k;
    c.m_dRideX = k.m_dX;
    c.m_dRideY = k.m_dY;
    c.m_nNoFloorFrames = 0;
    // Standing again: a fall or a jump has ended here as on a block.
    c.m_bFalling = 0;
    c.m_nJumpFlags = 0;
    CollideBlocksBoth(scene, c);
}

void Head(cGameScene& scene, cChara& c, const cStageChara& k) {
    const double y = k.m_dBottom + 1;
    if (!MayMoveTo(scene, c, c.m_dX, y, k)) return;
    c.m_dAccelY = 0;
    c.m_nJumpFlags = JUMP_JUMPING | JUMP_RISING;
    if (!SysSwitch(SW_CEILING_KEEP_MOTION)) c.m_dVMotion = 0;
    c.m_dSpeedY = k.m_dSpeedY;
    MoveYTo(c, y);
}

void Side(cGameScene& scene, cChara& c, const cStageChara& k) {
    const double toLeft = k.m_dX - c.m_nBoxW, toRight = k.m_dRight + 1;
    const bool leftFirst = std::fabs(toLeft - c.m_dX) <= std::fabs(toRight - c.m_dX);
    for (const bool left : {leftFirst, !leftFirst}) {
        const double x = left ? toLeft : toRight;
        if (!MayMoveTo(scene, c, x, c.m_dY, k)) continue;
        (left ? c.m_bContactR : c.m_bContactL) = 1;
        MoveXTo(c, x);
        return;
    }
}

bool Below(const cChara& c, const cStageChara& k) {
    return !k.IsRemoved() && k.m_bBlockChara && k.m_bPresent && !k.IsDying() && k.m_dX <= c.m_dRight &&
           k.m_dRight >= c.m_dX && k.m_dY > c.m_dY && k.m_dY <= c.m_dBottom + 5;
}

} // namespace

i32 ResolveCharaHits(cGameScene& scene, cChara& c) {
    // No block character on the stage (most stages) and none ridden before: nothing touches,
    // nothing is let go of.
    if (!c.m_bOnBlockChara && BlockCharas(scene).empty()) return 0;
    if (c.FlyMode() == FLY_THROUGH) return 0;
    const std::vector<cStageChara*> touched = TouchedBlockCharas(scene, c);
    if (c.IsFlying()) return FlyingHits(scene, c, touched);
    for (cStageChara* k : touched) {
        if (k->IsRemoved() || !IsHitRect(BoxOfObj(c), BoxOfObj(*k))) continue;
        switch (Classify(c, *k)) {
        case eContact::Land: Land(scene, c, *k); break;
        case eContact::Head: Head(scene, c, *k); break;
        case eContact::Side: Side(scene, c, *k); break;
        }
        RunFlows(c, TRIG_HIT_BLOCKCHARA, k, 0);
    }
    if (c.m_bOnBlockChara) {
        cStageChara* under = BlockCharaUnder(scene, c);
        if (!under) {
            c.m_bOnBlockChara = 0;
            c.m_FloorObj.Reset();
            StopOnFloor(c, 0);
        } else {
            RunFlows(c, TRIG_ON_BLOCKCHARA, under, 0);
        }
    }
    return 0;
}

void PushOutOfCharas(cGameScene& scene, cChara& c) {
    for (cStageChara* k : TouchedBlockCharas(scene, c)) {
        const double dx[2] = {k->m_dX - c.m_nBoxW - c.m_dX, k->m_dRight + 1 - c.m_dX};
        const double dy[2] = {k->m_dY - c.m_nBoxH - c.m_dY, k->m_dBottom + 1 - c.m_dY};
        const double mx = std::fabs(dx[0]) <= std::fabs(dx[1]) ? dx[0] : dx[1];
        const double my = std::fabs(dy[0]) <= std::fabs(dy[1]) ? dy[0] : dy[1];
        if (std::fabs(mx) <= std::fabs(my)) MoveXTo(c, c.m_dX + mx);
        else MoveYTo(c, c.m_dY + my);
    }
}

bool IsOnBlockChara(cGameScene& scene, const cChara& c) {
    (void)scene;
    const cStageChara* k = c.m_FloorObj.StageChara();
    return k && Below(c, *k);
}

cStageChara* BlockCharaUnder(cGameScene& scene, const cChara& c) {
    for (cStageChara* k : BlockCharas(scene))
        if (k != &c && Below(c, *k)) return k;
    return nullptr;
}

namespace {

void Carry(cChara& rider) {
    if (rider.IsFlying() || !rider.m_bOnBlockChara || rider.IsRemoved()) return;
    cStageChara* k = rider.m_FloorObj.StageChara();
    if (!k) return;
    // The rider's own update sets its horizontal speed afresh each step, so the ride moves it.
    const double dx = k->m_dX - rider.m_dRideX;
    if (dx != 0) MoveXTo(rider, rider.m_dX + dx);
    if (k->IsFlying() || k->m_bFalling) rider.m_dSpeedY = k->m_dY - rider.m_dRideY;
    rider.m_dRideX = k->m_dX;
    rider.m_dRideY = k->m_dY;
    if (rider.AsPlayer()) RunFlows(*k, TRIG_RIDDEN_BY_HERO, &rider, 0);
    RunFlows(*k, TRIG_RIDDEN, &rider, 0);
}

} // namespace

i32 CarryRider(cGameScene& scene) {
    cObjList<cStageChara>::WalkScope hold(scene.m_lstChara);
    if (cPlayer* p = scene.Player0()) Carry(*p);
    // Only a live block character carries (a rider's floor object is one, and stays one): with
    // none in the stage there is no ride to walk the characters for.
    if (!BlockCharas(scene).empty())
        for (int i = 0; i < scene.m_lstChara.Size(); ++i)
            if (cStageChara* c = scene.m_lstChara.Live(i)) Carry(*c);
    if (scene.m_nEndRequest == 1) return 1;
    const cPlayer* p = scene.Player0();
    return p && p->m_nHP < 1 ? 2 : 0;
}
