// Flow binding and run state: the runs of a character's flows, how they start, advance frame by
// frame through their commands, end, pause, stop for good and are deleted, and the ID letters
// that keep trigger-0 flows of one letter apart.
//
// Commands run inside these loops, and a command may change any character's flows (a flow
// operation, an item's flow change, a summon whose start-up flows act on its summoner). So no
// reference to a run or a command run is kept across a command: the loops hold the run's index
// and run number and find the run again after every command (FlowRunRef). A run that has gone
// ends the loop; nothing is ever read through a stale pointer.
#include <algorithm>
#include <cstring>
#include <optional>
#include <type_traits>

#include "database/SystemSwitches.h"
#include "flow/CmdDispatch.h"
#include "flow/CmdParams.h"
#include "flow/FlowInternal.h"
#include "flow/MotionMath.h"
#include "platform/system/MessageBox.h"
#include "play/GameScene.h"
#include "play/objects/CharaSetup.h"
#include "records/EdSettings.h"

// Asked for after every command of every run a step runs: the usual answer, the run still at
// its index, is inlined here (this file is its only user), the search apart.
inline cFlowRun* FlowRunRef::Get(cChara& c) {
    if (index >= 0 && static_cast<std::size_t>(index) < c.m_vFlowRun.size()) [[likely]] {
        cFlowRun* at = c.m_vFlowRun.data() + index;
        if (at->m_nRunNo == runNo) [[likely]]
            return at;
    }
    return Find(c);
}

namespace {

constexpr u8 kCmdJump = 10;
constexpr u8 kCmdFlowOp = 16;
constexpr u8 kCmdMessage = 19;
constexpr u8 kCmdArrange = 38;

// A message that waits for its end before the flow goes on (kind 19 with int[15] and int[6]
// both 0).
bool IsWaitingMessage(const cFlowCmd* cmd) {
    return cmd && cmd->cmdSet == 0 && cmd->cmdKind == kCmdMessage && cmd->params.Size() > 15 &&
           cmd->params[15] == 0 && cmd->params[6] == 0;
}

// The scene's flow-run hand-over names runs by index: keep it on the same run when runs before
// it are erased or inserted, and clear it when its own run is erased.
void HandOverAfterErase(cChara& c, i32 erased) {
    cGameScene* s = c.m_pScene;
    if (!s || s->m_pFlowRun.owner.Chara() != &c) return;
    if (s->m_pFlowRun.run == erased) {
        s->m_pFlowRun = FLOWRUNREF{};
        s->m_pCmdRun = -1;
    } else if (s->m_pFlowRun.run > erased) {
        --s->m_pFlowRun.run;
    }
}

void HandOverAfterInsert(cChara& c, i32 at, i32 count) {
    cGameScene* s = c.m_pScene;
    if (!s || s->m_pFlowRun.owner.Chara() != &c) return;
    if (s->m_pFlowRun.run >= at) s->m_pFlowRun.run += count;
}

void SetHandOverRun(cChara& c, cFlowRun* run) {
    if (c.m_pScene) c.m_pScene->SetFlowRun(&c, run);
}

// Erases run i and its flow (later ones move down) and rebinds.
void EraseRun(cChara& c, i32 i) {
    c.m_vFlow.erase(c.m_vFlow.begin() + i);
    c.m_vFlowRun.erase(c.m_vFlowRun.begin() + i);
    HandOverAfterErase(c, i);
    BindFlows(c);
}

// Executes command k of the run once (cCmdRun::Exec): 1 when it ran its last frame, 0 when it
// did not, -1 when the run went away meanwhile. The caller has made command run k.
i32 ExecCmdAt(cChara& owner, FlowRunRef& ref, i32 k) {
    cFlowRun* run = ref.Get(owner);
    if (!run || k < 0 || k >= run->m_vCmdRun.Size()) return -1;
    cCmdRun* at = run->m_vCmdRun.Find(k);
    if (!at) return -1;
    // Named afresh for every command: a scan nested in the last one may have put back a
    // hand-over that no longer names this run.
    if (owner.m_pScene) owner.m_pScene->SetFlowRunAndCmd(&owner, run, k);
    run->m_vCmdRun.HoldForCommand();
    ExecCmd(owner, *at);
    run = ref.Get(owner);
    if (!run) return -1;
    run->m_vCmdRun.EndHoldForCommand();
    cCmdRun* cr = k < run->m_vCmdRun.Size() ? run->m_vCmdRun.Find(k) : nullptr;
    if (!cr) return -1;
    if (--cr->m_nFramesLeft > 0) return 0;
    cr->m_nFramesLeft = 0;
    return 1;
}

} // namespace

// ---- FlowRunRef ---------------------------------------------------------------------------------

FlowRunRef::FlowRunRef(const cChara& c, const cFlowRun& run) : runNo(run.m_nRunNo) {
    const cFlowRun* base = c.m_vFlowRun.data();
    index = base && &run >= base && &run < base + c.m_vFlowRun.size() ? static_cast<i32>(&run - base) : -1;
}

cFlowRun* FlowRunRef::Find(cChara& c) {
    for (i32 i = 0; i < c.m_vFlowRun.Size(); ++i)
        if (c.m_vFlowRun[i].m_nRunNo == runNo) {
            index = i;
            return &c.m_vFlowRun[i];
        }
    index = -1;
    return nullptr;
}

// ---- Command runs -------------------------------------------------------------------------------

void cCmdRun::ClearStartState() {
    m_bStarted = 0;
    m_nFrame = 0;
    m_nRepeat = 0;
    std::fill(std::begin(m_nOrigin), std::end(m_nOrigin), 0);
    m_dVelX = m_dVelY = 0.0;
    m_nFacingReq = 0;
    m_dPhaseX = m_dPhaseY = 0.0;
    m_vPoint.clear();
    // What a movement sets up on its first frame.
    m_nDirSel = 0;
    m_nTargetX = m_nTargetY = 0;
    m_nAngle = 0;
    m_nKindValue = 0;
    m_nStartPhase = 0;
    m_dMaxInertial = 0.0;
    m_nFacingSeen = 0;
}

void cCmdRun::Start(cChara& owner, cFlowRun& flowRun) {
    // A jump's duration is that of its rise, solved when it starts.
    if (m_pCmd && m_pCmd->cmdSet == 0 && m_pCmd->cmdKind == kCmdJump) StartJumpCmd(*this, owner);
    m_nFramesLeft = m_nDuration;
    m_bDone = 0;
    ClearStartState();
    if (m_pCmd && m_pCmd->cmdKind != kCmdArrange) {
        // The list is shared: an override changes this character's own copy of the command.
        if (!flowRun.m_lstOverride.empty() && (!m_pOwnCmd || m_pOwnCmd.use_count() > 1)) {
            m_pOwnCmd = std::make_shared<cFlowCmd>(*m_pCmd);
            m_pCmd = m_pOwnCmd.get();
        }
        ApplyCmdOverrides(*m_pCmd, owner, flowRun.m_lstOverride);
        flowRun.m_lstOverride.clear();
    }
}

// A command's executor holds its command run while the character's runs may move under it (a
// command inserts flows): the runs move, they are never copied, and the command runs stay.
static_assert(std::is_nothrow_move_constructible_v<cFlowRun>, "the runs' vector must move them");

// What Start and ClearStartState do not set anew is what a command run keeps from one start to
// the next: a new field must be weighed here.
static_assert(sizeof(cCmdRun) == 208, "a new field of cCmdRun: does a start set it anew? (AlikeFromStart)");

bool AlikeFromStart(const cCmdRun& run, const cCmdRun& fresh) {
    if (run.m_pCmd != fresh.m_pCmd || run.m_pOwnCmd != fresh.m_pOwnCmd) return false;
    auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    // A jump works out its speed, rise and duration at every start.
    const bool jump = run.m_pCmd && run.m_pCmd->cmdSet == 0 && run.m_pCmd->cmdKind == kCmdJump;
    if (!jump && (run.m_nDuration != fresh.m_nDuration || !same(run.m_dJumpSpeed, fresh.m_dJumpSpeed) ||
                  run.m_nRiseFrames != fresh.m_nRiseFrames))
        return false;
    return same(run.m_dSpeed, fresh.m_dSpeed) && run.m_nWait == fresh.m_nWait && run.m_nTurnTime == fresh.m_nTurnTime &&
           run.m_nDistance == fresh.m_nDistance;
}

cFlowCmd* SourceCmd(const cCmdRuns::SOURCE& source, i32 k) {
    return source.list ? &(*source.list)[k] : source.cmds ? &(*source.cmds)[k] : nullptr;
}

void FreshCmdRun(const cCmdRuns::SOURCE& source, i32 k, cCmdRun& run) {
    run.m_pCmd = SourceCmd(source, k);
    if (!source.solved || !run.m_pCmd) return;
    const cFlowCmd& cmd = *run.m_pCmd;
    run.m_nDuration = CmdDuration(cmd, source.level, source.unit);
    if (cmd.move) {
        const double speed = static_cast<double>(MoveSettings::Get(*cmd.move, eMove::Speed)) +
                             static_cast<double>(MoveSettings::Get(*cmd.move, eMove::SpeedStep)) * source.level;
        run.m_dSpeed = speed / 10.0 / source.unit;
        SolveMoveTimeSpeedDist(*cmd.move, source.level, source.keepNegative, run.m_dSpeed, run.m_nDuration);
    }
}

i32 CmdDuration(const cFlowCmd& cmd, i32 level, double unit) {
    const i64 tenths = static_cast<i64>(cmd.time) + static_cast<i64>(cmd.timeStep) * level;
    return static_cast<i32>(std::clamp<i64>(tenths * 6 * static_cast<i64>(unit), INT32_MIN, INT32_MAX));
}

// ---- Flow runs ----------------------------------------------------------------------------------

i32 cFlowRun::Letter() const {
    if (!m_pFlow) return 0;
    const i32 l = m_pFlow->idLetter;
    return l >= 1 && l < kLetterCount ? l : 0;
}

void cFlowRun::Start(cChara& owner) {
    m_bRunning = 1;
    m_nCurrent = 0;
    m_nFrames = 0;
    m_bMsgWait = 0;
    m_vCmdRun.ClearDone();
    m_bBusy = 1;
    owner.m_bFlowMarked = 1;
    if (!m_pFlow) return;
    const i32 letter = Letter();
    // The letter is held by the flow's owner (which is also the character scanning it, except
    // when a flow operation starts a flow of another character).
    if (m_pFlow->trigger == TRIG_ALWAYS && letter) {
        owner.m_vLetterRunning[letter] = 1;
        owner.m_vLetterStarted[letter] = 1;
    }
    if (m_vCmdRun.empty() || m_pFlow->trigger != TRIG_STAGE_START) return;

    // Before stage start: the commands that can act at once run now, one execution each, and
    // the flow ends.
    FlowRunRef ref(owner, *this);
    std::optional<cGameScene::FlowPointerScope> guard;
    if (owner.m_pScene) {
        guard.emplace(*owner.m_pScene);
        owner.m_pScene->SetFlowObj(&owner);
    }
    SetHandOverRun(owner, this);
    m_bStopRequest = 0;
    for (i32 k = 0;; ++k) {
        cFlowRun* run = ref.Get(owner);
        if (!run) return;
        if (k >= run->m_vCmdRun.Size()) break;
        const cFlowCmd* cmd = run->m_vCmdRun.Cmd(k);
        if (!cmd || static_cast<i8>(cmd->cmdKind) < static_cast<i8>(kCmdFlowOp) || !cmd->chain) continue;
        cCmdRun* cr = run->m_vCmdRun.Reach(k);
        if (!cr) continue;
        cr->Start(owner, *run);
        const i32 ended = ExecCmdAt(owner, ref, k);
        if (ended < 0) return;
        if (!ended) ErrorBoxS("使用時間0なので、ここにくることはあり得ないはず！");
        run = ref.Get(owner);
        if (run->m_bStopRequest) break;
        run->m_vCmdRun.SetDone(k);
    }
    if (cFlowRun* run = ref.Get(owner)) run->Reset(owner);
}

i32 cFlowRun::Step(cChara& owner) {
    FlowRunRef ref(owner, *this);
    // The run is handed over (named in the scene for the commands) before anything of it runs.
    // A command's execution names its run and itself anyway, so the naming waits for the first
    // command start or, when no command starts or runs, for the end of the step.
    bool handedOver = false;
    m_bStopRequest = 0;
    // The commands before the first one not done are all done: the step passes over them.
    for (i32 i = m_vCmdRun.FirstNotDone();; ++i) {
        cFlowRun* run = ref.Get(owner);
        if (!run) {
            if (!handedOver) SetHandOverRun(owner, this);
            return 0;
        }
        // The bound is read again after every command: a run-with-next command raises it.
        if (i > run->m_nCurrent) break;
        const i32 last = run->m_vCmdRun.Size() - 1;
        if (i > last || run->m_vCmdRun.Done(i)) continue;
        // Without room for its state the command waits to start.
        cCmdRun* cr = run->m_vCmdRun.Reach(i);
        if (!cr) continue;
        const cFlowCmd* cmd = cr->m_pCmd;
        const bool waiting = IsWaitingMessage(cmd);
        const bool chain = cmd && cmd->chain;
        if (cr->m_nFramesLeft == 0) {
            if (!handedOver) SetHandOverRun(owner, this);
            handedOver = true;
            cr->Start(owner, *run);
            if (!waiting && !chain) run->m_bMsgWait = 0;
        }
        const i32 ended = ExecCmdAt(owner, ref, i);
        handedOver = true;
        if (ended < 0) return 0;
        run = ref.Get(owner);
        if (chain) {
            if (ended) {
                run->m_vCmdRun.SetDone(i);
                if (i == last) return 1;
            }
            if (i == run->m_nCurrent) run->m_nCurrent = i + 1;
            if (run->m_bStopRequest) return 0;
            continue;
        }
        if (!ended) {
            if (run->m_bStopRequest) return 0;
            continue;
        }
        run->m_vCmdRun.SetDone(i);
        if (waiting) run->m_bMsgWait = 1;
        if (i == last) return 1;
        ++run->m_nCurrent;
        break;
    }
    if (!handedOver) SetHandOverRun(owner, this);
    cFlowRun* run = ref.Get(owner);
    if (!run) return 0;
    if (!run->m_vCmdRun.empty() && run->m_vCmdRun.Done(run->m_vCmdRun.Size() - 1)) return 1;
    ++run->m_nFrames;
    return 0;
}

void cFlowRun::Reset(cChara& owner) {
    if (!m_bRunning) return;
    m_bRunning = 0;
    m_lstOverride.clear();
    m_vCmdRun.ClearFramesLeft();
    if (const i32 letter = Letter()) {
        owner.m_vLetterEnded[letter] = 1;
        owner.m_bLetterEnded = 1;
    }
}

void cFlowRun::StopForever(cChara& owner) {
    m_bStopped = 1;
    if (!m_bRunning) return;
    m_vCmdRun.ClearFramesLeft();
    if (const i32 letter = Letter()) {
        owner.m_vLetterEnded[letter] = 1;
        owner.m_bLetterEnded = 1;
    }
}

// ---- Binding ------------------------------------------------------------------------------------

void BindFlows(cChara& c) {
    // One run per flow, one key row and one command run per row and command of its flow. Runs
    // made here get a run number of their own.
    const std::size_t before = c.m_vFlowRun.size();
    c.m_vFlowRun.resize(c.m_vFlow.size());
    c.m_nFlowTriggers = 0;
    for (const cFlow& flow : c.m_vFlow) c.m_nFlowTriggers |= TriggerBit(flow.trigger);
    for (std::size_t i = before; i < c.m_vFlowRun.size(); ++i) c.m_vFlowRun[i].m_nRunNo = c.m_nRunNoNext++;
    for (int i = 0; i < c.m_vFlowRun.Size(); ++i) {
        cFlowRun& run = c.m_vFlowRun[i];
        cFlow& flow = c.m_vFlow[i];
        run.m_nIndex = i;
        run.m_pFlow = &flow;
        run.m_nTrigger = flow.trigger;
        run.m_vKeyRow.resize(flow.keyConds.size());
        for (int j = 0; j < run.m_vKeyRow.Size(); ++j) run.m_vKeyRow[j] = &flow.keyConds[j];
        cCmdList* list = run.m_pCmdList.get();
        run.m_vCmdRun.Rebind(list, &flow.cmds, list ? list->Size() : flow.cmds.Size());
    }
}

void SetFlows(cChara& c, const cVector<cFlowRun>& runs) {
    c.m_vFlowRun = runs;
    c.m_bFlowMarked = 1; // the runs may come with their marks
    BindFlows(c);
}

namespace {

// A fresh run for flow i of the character. Its command runs are made as it reaches them, as
// this set-up would have made them: their durations at the character's level, a movement's
// computed value solved (with the speed unit and the rule of the stage now), and the edge-mode
// key latch set so that a key already down does not count as a new press.
cFlowRun NewRun(cChara& c, const cFlow& flow, std::shared_ptr<cCmdList> cmds) {
    cFlowRun run;
    run.m_nRunNo = c.m_nRunNoNext++;
    run.m_bKeyBefore = flow.keyLatch ? 0 : 1;
    run.m_pCmdList = std::move(cmds);
    cCmdRuns::SOURCE source;
    source.list = run.m_pCmdList.get();
    source.level = c.m_nSpawnIndex;
    source.unit = SpeedUnit();
    source.keepNegative = SysSwitch(SW_NEGATIVE_DURATION) != 0;
    source.solved = true;
    run.m_vCmdRun.Bind(source, run.m_pCmdList->Size());
    if (c.m_pScene) run.m_vCmdRun.SetHeld(c.m_pScene->m_LoopExpansions.RunStates());
    return run;
}

// The flows as the character keeps them: everything but the commands, which the runs hold (the
// loops expanded, through the scene's shared lists when there is a scene).
struct GIVENFLOWS {
    cVector<cFlow> flows;
    cVector<std::shared_ptr<cCmdList>> cmds;
};

GIVENFLOWS GiveFlows(cChara& c, const cVector<cFlow>& flows, std::size_t count) {
    GIVENFLOWS g;
    cLoopExpansions local;
    cLoopExpansions& lists = c.m_pScene ? c.m_pScene->m_LoopExpansions : local;
    for (std::size_t i = 0; i < count && i < flows.size(); ++i) {
        const cFlow& f = flows[i];
        g.cmds.push_back(lists.Expand(f.cmds, cLoopExpansions::eStepper::Chara));
        // Conditions, key steps and settings; the commands go with the run.
        cFlow kept;
        kept = f;
        kept.cmds.clear();
        g.flows.push_back(std::move(kept));
    }
    return g;
}

} // namespace

void SetupFlows(cChara& c, const cVector<cFlow>& flows, i32 replace, i32 index) {
    if (replace && index >= 0) {
        if (index >= c.m_vFlow.Size() || flows.empty()) return;
        GIVENFLOWS given = GiveFlows(c, flows, 1);
        c.m_vFlow[index] = std::move(given.flows[0]);
        c.m_vFlowRun[index] = cFlowRun{};
        BindFlows(c);
        c.m_vFlowRun[index] = NewRun(c, c.m_vFlow[index], given.cmds[0]);
        BindFlows(c);
        return;
    }
    GIVENFLOWS given = GiveFlows(c, flows, flows.size());
    c.m_vFlow = std::move(given.flows);
    c.m_vFlowRun.clear();
    c.m_vFlowRun.reserve(c.m_vFlow.size());
    for (int i = 0; i < c.m_vFlow.Size(); ++i) c.m_vFlowRun.push_back(NewRun(c, c.m_vFlow[i], given.cmds[i]));
    if (c.m_pScene && c.m_pScene->m_pFlowRun.owner.Chara() == &c) c.m_pScene->SetFlowRun(nullptr, nullptr);
    BindFlows(c);
}

void InsertFlows(cChara& c, const cVector<cFlow>& flows, i32 index) {
    if (flows.empty()) return;
    GIVENFLOWS given = GiveFlows(c, flows, flows.size());
    if (index < 0 || index > c.m_vFlow.Size()) index = c.m_vFlow.Size();
    cVector<cFlowRun> runs;
    for (int i = 0; i < given.flows.Size(); ++i) runs.push_back(NewRun(c, given.flows[i], given.cmds[i]));
    c.m_vFlow.insert(c.m_vFlow.begin() + index, given.flows.begin(), given.flows.end());
    c.m_vFlowRun.insert(c.m_vFlowRun.begin() + index, runs.begin(), runs.end());
    HandOverAfterInsert(c, index, given.flows.Size());
    BindFlows(c);
}

// ---- Deleting and changing flows ----------------------------------------------------------------

void DeleteFlow(cChara& c, i32 i) {
    if (i < 0 || i >= c.m_vFlowRun.Size() || c.m_vFlowRun.size() != c.m_vFlow.size()) return;
    cFlowRun& run = c.m_vFlowRun[i];
    run.Reset(c);
    RemoveTimer(c, run.m_nRunNo);
    EraseRun(c, i);
}

void MarkFlowForDelete(cChara& c, i32 i) {
    if (i < 0 || i >= c.m_vFlowRun.Size()) return;
    c.m_vFlowRun[i].m_bPendingDelete = 1;
    c.m_vFlowRun[i].m_bStopRequest = 1;
    c.m_bPendingDelete = 1;
}

i32 ChangeFlows(cChara& c, u8 id) {
    if (c.m_vFlowRun.size() != c.m_vFlow.size()) BindFlows(c);
    if (id == 0) {
        for (cFlowRun& run : c.m_vFlowRun) run.Reset(c);
        for (cFlowRun& run : c.m_vFlowRun) RemoveTimer(c, run.m_nRunNo);
        c.m_vFlowRun.clear();
        c.m_vFlow.clear();
        if (c.m_pScene && c.m_pScene->m_pFlowRun.owner.Chara() == &c) c.m_pScene->SetFlowRun(nullptr, nullptr);
        BindFlows(c);
        return 0;
    }
    i32 first = -1;
    for (i32 i = 0; i < c.m_vFlowRun.Size();) {
        cFlowRun& run = c.m_vFlowRun[i];
        if (!run.m_pFlow || run.m_pFlow->subKind == 0 || run.m_pFlow->subKind != id) {
            ++i;
            continue;
        }
        run.Reset(c);
        RemoveTimer(c, run.m_nRunNo);
        EraseRun(c, i);
        if (first < 0) first = i;
    }
    return first;
}

// ---- The per-step pass --------------------------------------------------------------------------

i32 StepFlows(cChara& c, i32 dying) {
    if (c.m_pScene) c.m_pScene->SetFlowObj(&c);
    i32 result = 0;
    for (i32 i = 0; i < c.m_vFlowRun.Size(); ++i) {
        cFlowRun& run = c.m_vFlowRun[i];
        if (!run.m_bRunning || !run.m_pFlow) continue;
        if (run.m_vCmdRun.empty()) {
            run.Reset(c);
            continue;
        }
        if (run.m_bPaused || run.m_bStopped) continue;
        const u32 trigger = run.m_nTrigger;
        if (dying && trigger != TRIG_DIED) continue;
        FlowRunRef ref(c, run);
        if (run.Step(c) == 1) {
            if (cFlowRun* r = ref.Get(c)) r->Reset(c);
        }
        // The list may have changed under the step: go on after this run wherever it is now.
        if (ref.Get(c)) i = ref.index;
        if (c.m_bRemove && c.AsStageChara()) {
            result = 1;
            break;
        }
        if (!dying && trigger != TRIG_DIED && c.m_nHP <= 0) {
            result = 1;
            break;
        }
    }
    if (c.m_pScene) c.m_pScene->ClearFlowPointers();
    if (cPlayer* hero = c.AsPlayer()) RunTakenFlowChanges(*hero);
    if (c.m_bPendingDelete) {
        for (i32 i = 0; i < c.m_vFlowRun.Size();) {
            if (c.m_vFlowRun[i].m_bPendingDelete)
                DeleteFlow(c, i);
            else
                ++i;
        }
        c.m_bPendingDelete = 0;
    }
    return result;
}

void EndLetters(cChara& c) {
    if (!c.m_bLetterEnded) return;
    for (i32 l = 0; l < kLetterCount; ++l) {
        if (!c.m_vLetterEnded[l]) continue;
        c.m_vLetterRunning[l] = 0;
        c.m_vLetterEnded[l] = 0;
    }
    c.m_bLetterEnded = 0;
}

// ---- Timed entries ------------------------------------------------------------------------------

void RemoveTimer(cChara& c, i32 runNo) {
    std::erase_if(c.m_vOverlayAnim, [runNo](const OVERLAYANIM& t) { return t.nRunNo == runNo; });
}

void ResetTimer(cChara& c, i32 runNo) {
    std::erase_if(c.m_vOverlayAnim,
                  [runNo](const OVERLAYANIM& t) { return t.nRunNo == runNo && t.bTimed && t.nCount - 1 < 0; });
    for (OVERLAYANIM& t : c.m_vOverlayAnim)
        if (t.nRunNo == runNo) t.bEnabled = 0;
}

void ClearTimerFlag(cChara& c, i32 runNo) {
    for (OVERLAYANIM& t : c.m_vOverlayAnim)
        if (t.nRunNo == runNo) t.bEnabled = 1;
}
