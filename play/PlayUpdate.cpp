// The per-frame play update (state 2): input, clocks, then the play steps of the frame in their
// fixed order, then the frame's drawing. A stage end or a death found inside a step ends the
// frame at once, undrawn; the next state draws.
//
// Objects taken out during a pass (removed characters, erased items and shots) stay in memory
// until the sweep after the step, so a walk and the flows it runs never meet a destroyed object.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <type_traits>

#include "app/Replay.h"
#include "database/SystemSwitches.h"
#include "platform/system/Input.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"
#include "play/GameScene.h"
#include "play/rules/Collision.h"
#include "play/rules/Hits.h"
#include "play/rules/Items.h"
#include "play/rules/Motion.h"
#include "records/Stage.h"

namespace {

bool BothSides(const cChara& c) { return (c.m_bContactL && c.m_bContactR) || (c.m_bContactT && c.m_bContactB); }

template <class T>
bool SameBits(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The step start's timers, contact reset and saved position would change something: a saved
// position that differs from the position in any bit (-0 against 0 included) is saved again.
bool StepStartChanges(const cChara& c) {
    assert(c.m_nHitByCount == c.m_vHitBy.size());
    return c.m_nInvincible > 0 || c.m_nHitByCount != 0 || c.m_bContactL || c.m_bContactR || c.m_bContactT ||
           c.m_bContactB || !SameBits(c.m_dSaved[0], c.m_dX) || !SameBits(c.m_dSaved[1], c.m_dY) ||
           !SameBits(c.m_dSaved[2], c.m_dRight) || !SameBits(c.m_dSaved[3], c.m_dBottom);
}

template <class Fn>
bool Call(Fn& fn, cStageChara& c) {
    if constexpr (std::is_same_v<decltype(fn(c)), bool>) return fn(c);
    else return fn(c), true;
}

} // namespace

bool cGameScene::NoteStepWork(cStageChara& c, bool copy) {
    StepWork& w = m_StepWork;
    if (c.m_nLife != kUnlimitedLife) w.life.push_back(&c);
    const bool timers = StepStartChanges(c);
    if (timers) w.timers.push_back(&c);
    if (!copy) return timers;
    c.m_StepSlot.nIndex = static_cast<i32>(w.walked.size());
    c.m_StepSlot.nStamp = w.nStamp;
    w.walked.push_back(StepWork::Walked{&c, c.m_nSide, c.m_rcBody.rc, c.m_rcDamage.rc, 0});
    return timers;
}

void cGameScene::WalkedChanged(const cStageChara& c) { TakeWalkedChange(c, false); }

void cGameScene::TakeWalkedChange(const cStageChara& c, bool catchUp) {
    StepWork& w = m_StepWork;
    const i32 k = c.m_StepSlot.nIndex;
    if (c.m_StepSlot.nStamp != w.nStamp || k < 0 || k >= static_cast<i32>(w.walked.size())) return;
    StepWork::Walked& e = w.walked[static_cast<std::size_t>(k)];
    if (e.chara != &c) return;
    // Most calls follow a move within the same pixel: the entry already holds what c holds. Such
    // a call changes nothing when the kept sides hold the entry too (they hold every kept entry
    // as it is, but those changed during the passes, which are noted and copied when the passes
    // end: that copy is never passed over), so it is passed over, entry and sides unwritten.
    if (!catchUp && !w.bEveryChange && e.side == c.m_nSide && SameBits(e.body, c.m_rcBody.rc) && SameBits(e.damage, c.m_rcDamage.rc) &&
        (!w.bSidesKept || (e.side == e.keptSide && e.keptAt >= 0))) {
        ++w.nPassedOver;
        return;
    }
    e.side = c.m_nSide;
    e.body = c.m_rcBody.rc;
    e.damage = c.m_rcDamage.rc;
    if (!w.bSidesKept) return;
    if (w.bInPasses) {
        w.changedInPasses.push_back(&c);
        return;
    }
    KeepSideEntry(e);
}

void cGameScene::KeepSideEntry(const StepWork::Walked& e) {
    StepWork& w = m_StepWork;
    if (e.side != e.keptSide || e.keptAt < 0) {
        // A change of side (or into a side from none) moves it between the lists: made again.
        w.bSidesKept = 0;
        return;
    }
    AttackSide& side = m_AttackSides[static_cast<std::size_t>(e.keptSide)];
    side.body[static_cast<std::size_t>(e.keptAt)] = e.body;
    side.damage[static_cast<std::size_t>(e.keptAt)] = e.damage;
}

void cGameScene::AttackPassesBegin() {
    m_StepWork.bInPasses = 1;
    m_StepWork.changedInPasses.clear();
}

void cGameScene::AttackPassesEnd() {
    StepWork& w = m_StepWork;
    w.bInPasses = 0;
    for (const cStageChara* c : w.changedInPasses) {
        if (!w.bSidesKept) break;
        TakeWalkedChange(*c, true);
    }
    w.changedInPasses.clear();
}

template <class Fn>
void cGameScene::WalkListed(const std::vector<cStageChara*>& list, Fn&& fn, ListWalk walk) {
    if (m_StepWork.nSweeps != m_lstChara.Sweeps()) {
        ForEachChara(fn);
        return;
    }
    cObjList<cStageChara>::WalkScope scope(m_lstChara);
    for (std::size_t k = 0; k < list.size(); ++k) {
        if (k + cObjList<cStageChara>::kAhead < list.size()) {
            const cStageChara& ahead = *list[k + cObjList<cStageChara>::kAhead];
            if (walk == ListWalk::Acting) PrefetchActing(ahead);
            else if (walk == ListWalk::Timers) PrefetchTimed(ahead);
            else PrefetchRanged(ahead);
        }
        // Only a character's own step runs its flows.
        if (walk == ListWalk::Acting && k + cObjList<cStageChara>::kAhead / 2 < list.size())
            PrefetchFlowRuns(*list[k + cObjList<cStageChara>::kAhead / 2]);
        if (walk == ListWalk::Acting && k + cObjList<cStageChara>::kAhead / 4 < list.size())
            PrefetchStepState(*list[k + cObjList<cStageChara>::kAhead / 4]);
        if (!list[k]->IsRemoved() && !Call(fn, *list[k])) return;
    }
    for (int i = m_StepWork.nSize; i < m_lstChara.Size(); ++i)
        if (cStageChara* c = m_lstChara.Live(i); c && !Call(fn, *c)) return;
}

void cGameScene::StageEndNow() {
    StageEnd();
    m_nSubState = 0;
    m_nState = 4;
}

i32 cGameScene::PlayerDies(const char* label) {
    cPlayer* p = Player0();
    if (!p || p->IsDying()) return 2;
    PlaySE(8);
    if (label) DebugLog(label);
    if (p->Kill() != 1) return 2;
    StageEndNow();
    return 1;
}

i32 cGameScene::Outcome(i32 result) {
    if (result == 1) StageEndNow();
    else if (result == 2) PlayerDies(nullptr);
    return result;
}

void cGameScene::UpdatePlay() {
    if (m_bQuit.load()) {
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        return;
    }
    if (PauseKeyProbe()) {
        m_nSubState = 0;
        m_nState = 3;
        return;
    }
    if (CheckReplayKeys()) return;
    cPlayer* p0 = Player0();
    if (!p0) return; // a stage that was refused at set-up; the program is closing
    ++m_nFrameCounter;

    if (g_vInput.empty()) g_vInput.assign(1, cInput{});
    cInput& in = g_vInput[0];
    if (g_Game.g_nGameMode == 4) {
        in.wDirection = in.wButtons = 0;
        u16 dir = 0, buttons = 0;
        if (g_ReplayData.Next(dir, buttons)) {
            // The replay has run out: it starts over from the stage's start.
            g_PlayRecord.RestoreStageStart(1);
            SetStage(1, 1);
            m_nSubState = 0;
            m_nState = 1;
            return;
        }
        in.wDirection = dir;
        in.wButtons = buttons;
    } else {
        if (p0->m_bDirLock) in.wDirection = 0;
        if (p0->m_bButtonLock) in.wButtons = 0;
        // The key that closed a menu does not act again while it stays held.
        if (in.wButtons == 0) m_bHeldKeyGuard = 0;
        else if (m_bHeldKeyGuard) in.wButtons = 0;
    }
    in.nNumpad = DirToNumpad(in);
    InputHistoryPush(in);
    InputKeyHistoryUpdate(in);
    if (g_Game.g_nGameMode != 4 && SysSwitch(SW_REPLAY_SAVE)) g_ReplayData.Record(in.wDirection, in.wButtons);

    TickPlayTime();
    if (TickTimeLimit(-1) == 1 && !p0->IsDying()) {
        PlayerDies(nullptr);
        return;
    }

    ResetFlowMarks(*p0);
    p0->m_bFloorFlagA = p0->m_bFloorFlagB = 0;
    // This walk reads two cache lines of each character: m_bDying's and the next, which holds the
    // flow marks and the floor flags; a sleeper has neither marks nor floor flags.
    WalkUnlessAsleep([](i32, cStageChara& c) {
        if (!c.IsDying()) ResetFlowMarks(c);
        c.m_bFloorFlagA = c.m_bFloorFlagB = 0;
    });

    const i32 steps = static_cast<i32>(std::max(1.0, SpeedUnit()));
    for (i32 i = 1; i <= steps; ++i) {
        const i32 end = PlayStep(i);
        Sweep();
        if (end) return;
    }
    Draw(1, 0, 1, 1);
}

i32 cGameScene::PlayStep(i32 step) {
    m_nStepIndex = step;
    ++m_nStepCount;
    ResetFrameFlags();
    cPlayer& p = *Player0();

    if (!p.IsDying()) {
        WalkListed(m_StepWork.life, [&](cStageChara& c) {
            if (c.IsDying() || c.m_nLife == kUnlimitedLife) return;
            if (--c.m_nLife < 0) RemoveStageChara(c);
        }, ListWalk::Life);
        ForEachItem([&](cItem& it) {
            if (it.m_nLife == kUnlimitedLife) return;
            if (--it.m_nLife < 0) RemoveItem(it);
        });
    }

    WalkListed(m_StepWork.timers, [](cStageChara& c) {
        c.TickTimers();
        c.ClearContacts();
        SavePosition(c);
    }, ListWalk::Timers);
    p.TickTimers();
    p.ClearContacts();
    SavePosition(p);
    // The facing the player ended the last step with, kept beside its position.
    p.m_nLastDir = p.m_nDir;

    m_ScrollX.Step();
    m_ScrollY.Step();

    if (!p.IsDying()) {
        if (CharaPass(true)) return 1;
        if (PlayerStep(p)) return 1;
        if (CharaPass(false)) return 1;
    }
    ShotPass(step);

    if (step == 1 && !p.IsDying()) {
        // Objects that left their removal areas (stage areas 1 to 3).
        auto offStage = [&](u32 on, bool blockCharas, int area) {
            if (!on) return;
            ForEachChara([&](cStageChara& c) {
                if ((c.m_bBlockChara != 0) != blockCharas || c.IsDying() || !c.m_bInRange) return;
                if (IsOutOfRange(c, StageArea(g_Stage, area))) RemoveStageChara(c);
            });
        };
        offStage(m_bRemoveChara, false, 1);
        offStage(m_bRemoveBlockChara, true, 2);
        if (m_bRemoveItem) {
            const STAGEAREA area = StageArea(g_Stage, 3);
            ForEachItem([&](cItem& it) {
                if (IsOutOfRange(it, area)) RemoveItem(it);
            });
        }
    }

    if (!p.IsDying()) {
        if (Outcome(CarryRider(*this))) return 1;
        if (Outcome(ResolveAttacks(*this))) return 1;
    }
    if (!p.IsDying() && Outcome(PickUpItems(*this, p))) return 1;
    return 0;
}

// The stage characters' pass: block characters first (they carry the others), the rest after the
// player. A non-zero result ends the frame.
i32 cGameScene::CharaPass(bool blockCharas) {
    i32 end = 0;
    const std::vector<cStageChara*>& list = blockCharas ? m_StepWork.actingBlock : m_StepWork.acting;
    WalkListed(list, [&](cStageChara& c) -> bool {
        if ((c.m_bBlockChara != 0) != blockCharas || c.IsDying() || !c.m_bInRange || !c.m_bActive) return true;
        RunFlowsOf(c, TRIG_ALWAYS);
        if (c.IsRemoved()) return true;
        if (c.Update(0)) {
            if (!blockCharas && c.m_bRemove) {
                RemoveStageChara(c);
                return true;
            }
            // Decision: the finished-character switch picks how a finished character goes: off,
            // it is taken out whatever the end check said; on, only a check of 1 takes it out and
            // any other answer sounds 9. A non-zero check ends the frame either way.
            const i32 r = CheckCharaEnd(*this, c);
            if (!SysSwitch(SW_REMOVE_FINISHED_CHARA) || r == 1) RemoveStageChara(c);
            else PlaySE(9);
            if (r) {
                end = 1;
                return false;
            }
            return true;
        }
        if (m_bDeathCheck && CheckPlayerDeath(*this)) {
            end = 1;
            return false;
        }

        // Gravity is the first part of a stage character's vertical step.
        const i32 sx = c.StepX();
        const i32 bx = CollideBlocksX(*this, c);
        const i32 sy = c.StepY();
        const i32 by = CollideBlocksY(*this, c);
        bool crushed = bx == 2 || sy == 7 || by == 2;
        bool squeezed = false;
        if (!blockCharas) {
            if (ResolveCharaHits(*this, c) == 2) crushed = true;
            CollideBlocksX2(*this, c);
            CollideBlocksBoth(*this, c);
            squeezed = BothSides(c);
        }
        if (crushed || squeezed) {
            PlaySE(9);
            const i32 r = CheckCharaEnd(*this, c);
            if (r == 1) RemoveStageChara(c);
            if (r) {
                end = 1;
                return false;
            }
            return true;
        }
        if (sx == 4 || sy == 8) RemoveStageChara(c);
        else DecayKnockback(c);
        return true;
    }, ListWalk::Acting);
    return end;
}

i32 cGameScene::PlayerStep(cPlayer& p) {
    RunFlowsOf(p, TRIG_ALWAYS);
    if (p.Update(0)) {
        PlayerDies(nullptr);
        return 1;
    }
    if (m_nEndRequest == 1) {
        StageEndNow();
        return 1;
    }
    if (m_nEndRequest == 2) {
        PlayerDies(nullptr);
        return 1;
    }
    if (m_bDeathCheck && CheckPlayerDeath(*this)) return 1;
    if (p.m_nHP < 1) {
        PlayerDies(nullptr);
        return 1;
    }
    // Decision: the player's item check is the block-item take, once a step before its motion
    // (after the flows and the death checks), so the block it stands on gives its item before
    // the step moves it off.
    if (Outcome(TakeBlockItem(*this, p))) return 1;

    auto die = [&](const char* label) {
        PlayerDies(label);
        return 1;
    };
    p.StepX();
    MoveCharaX(p);
    if (CollideBlocksX(*this, p) == 2) return die("Dead 1");
    MoveCharaX(p);
    // The player's vertical step has no gravity of its own.
    GravityStep(p);
    if (p.StepY() == 7) return die("Dead 2");
    if (MoveCharaY(p) == 2) return die("Dead 3");
    if (CollideBlocksY(*this, p) == 2) return die("Dead 4");
    if (MoveCharaY(p) == 2) return die("Dead 5");
    if (BothSides(p) && !p.RestoreSavedPos()) {
        RestorePosition(p);
        return die("Dead SP");
    }
    if (ResolveCharaHits(*this, p) == 2 && !p.IsDying() && !p.RestoreSavedPos()) return die("Dead 6");
    if ((p.m_bContactL || p.m_bContactR) && CollideBlocksX2(*this, p) == 2 && !p.IsDying()) {
        // A successful restore ends the frame, undrawn.
        if (p.RestoreSavedPos()) return 1;
        return die("Dead 7");
    }
    if ((p.m_bContactT || p.m_bContactB) && CollideBlocksBoth(*this, p) == 2 && !p.IsDying() && !p.RestoreSavedPos())
        return die("Dead 8");
    if (BothSides(p) && !p.RestoreSavedPos()) {
        RestorePosition(p);
        return die("Dead 9");
    }
    DecayKnockback(p);
    return 0;
}

void cGameScene::ShotPass(i32 step) {
    SHOTSTEP k = SHOTSTEP::Of(this);
    ForEachShot([&](cShot& s) {
        if (s.Step(k, step)) EraseShot(s);
    });
}
