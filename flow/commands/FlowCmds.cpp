// Flow control: flow operation, stage clear, arrange, loop (change flow: flow/ItemCmdSet.cpp).
#include <algorithm>
#include <vector>

#include "app/PlayRecordNames.h"
#include "database/WorldMap.h"
#include "flow/commands/Commands.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "play/GameScene.h"

namespace {

using flowcmd::Param;

enum : i32 { OP_START = 0, OP_END, OP_PAUSE, OP_RESUME, OP_DELETE, OP_STOP_FOREVER };
enum : i32 { SCOPE_THIS = 0, SCOPE_OTHERS, SCOPE_LETTER };
enum : i32 { CLEAR_NEXT = 0, CLEAR_NUMBER, CLEAR_FILE, CLEAR_WORLD };

// One operation on the run of run number runNo of owner (found again by its number: an earlier
// operation may have moved or erased it). runner is the character whose command runs.
void FlowOp(cGameScene& scene, cChara& owner, i32 runNo, i32 op, const cChara& runner) {
    const auto it = std::find_if(owner.m_vFlowRun.begin(), owner.m_vFlowRun.end(),
                                 [runNo](const cFlowRun& r) { return r.m_nRunNo == runNo; });
    if (it == owner.m_vFlowRun.end()) return;
    const i32 index = static_cast<i32>(it - owner.m_vFlowRun.begin());
    cFlowRun& run = *it;
    switch (op) {
    case OP_START: {
        run.Reset(owner);
        RemoveTimer(owner, runNo);
        // A start-up flow runs its commands inside the start.
        CmdNestingGuard guard(scene, "CmdFlowOp");
        if (guard.Enter()) run.Start(owner);
        break;
    }
    case OP_END:
        run.Reset(owner);
        RemoveTimer(owner, runNo);
        break;
    case OP_PAUSE:
        run.Pause();
        ResetTimer(owner, runNo);
        return;
    case OP_RESUME:
        run.Resume();
        ClearTimerFlag(owner, runNo);
        return;
    case OP_DELETE:
        // The running character's own runs are being stepped: they are erased after its pass.
        if (&owner == &runner) MarkFlowForDelete(owner, index);
        else DeleteFlow(owner, index);
        return;
    case OP_STOP_FOREVER:
        run.StopForever(owner);
        RemoveTimer(owner, runNo);
        break;
    default: return;
    }
    // Started, ended or stopped: no more of it in this frame (a start may have run and ended a
    // start-up flow, which moves nothing but is found again all the same).
    for (cFlowRun& r : owner.m_vFlowRun)
        if (r.m_nRunNo == runNo) r.m_bStopRequest = 1;
}

} // namespace

CmdNestingGuard::CmdNestingGuard(cGameScene& scene, const char* what) : m_scene(scene), m_bEntered(scene.m_nCmdNesting < kMaxDepth) {
    if (m_bEntered) ++m_scene.m_nCmdNesting;
    else WriteReport("%s : commands nested deeper than %d", what, kMaxDepth);
}

CmdNestingGuard::~CmdNestingGuard() {
    if (m_bEntered) --m_scene.m_nCmdNesting;
}

i32 CmdFlowOp(cChara& c, cCmdRun& cr) {
    cGameScene* s = c.m_pScene;
    if (!cr.m_pCmd || !s) return 0;
    const cFlowCmd& cmd = *cr.m_pCmd;
    if (cmd.condList && cmd.condList->enabled &&
        !EvalCondList(*s, cmd.condList->conds, cmd.condList->combine, &c))
        return 0;
    const i32 op = Param(cmd, 0), scope = Param(cmd, 1), letter = Param(cmd, 2), whose = Param(cmd, 3);
    if (op < OP_START || op > OP_STOP_FOREVER) return 0;
    cChara* owner = &c;
    if (whose >= 1 && whose <= static_cast<i32>(c.m_aTarget.size())) {
        owner = c.m_aTarget[static_cast<std::size_t>(whose - 1)].Chara();
        if (!owner) return 0;
    }
    const cFlowRun* self = s->FlowObj() == &c ? s->FlowRun() : nullptr;
    std::vector<i32> runs;
    switch (scope) {
    case SCOPE_THIS:
        if (!self) return 0;
        owner = &c;
        runs.push_back(self->m_nRunNo);
        break;
    case SCOPE_OTHERS:
        for (const cFlowRun& r : owner->m_vFlowRun)
            if (&r != self) runs.push_back(r.m_nRunNo);
        break;
    case SCOPE_LETTER:
        for (const cFlowRun& r : owner->m_vFlowRun)
            if (r.Letter() == letter) runs.push_back(r.m_nRunNo);
        break;
    default: return 0;
    }
    const cObjHandle keep(owner);
    for (i32 runNo : runs) {
        cChara* o = keep.Chara();
        if (!o) break;
        FlowOp(*s, *o, runNo, op, c);
    }
    return 0;
}

i32 CmdStageClear(cChara& c, cFlowCmd& cmd) {
    cGameScene* s = c.m_pScene;
    const i32 mode = Param(cmd, 0);
    if (mode < CLEAR_NEXT || mode > CLEAR_WORLD) return 0;
    if (!s) return 1;
    const i64 current = static_cast<i64>(g_PlayRecord.nStageNo);
    s->m_strNextStage.clear();
    switch (mode) {
    case CLEAR_NEXT: s->m_nNextStageNo = static_cast<i32>(std::min<i64>(current + 1, INT32_MAX)); break;
    case CLEAR_NUMBER: s->m_nNextStageNo = Param(cmd, 1); break;
    case CLEAR_FILE:
        s->m_nNextStageNo = static_cast<i32>(std::min<i64>(current, INT32_MAX));
        if (cmd.text.empty()) ErrorBox("ステージファイル %s が不正です。\nステージファイルとして認識できません。", "");
        else s->m_strNextStage = cmd.text;
        break;
    default: s->m_nNextStageNo = 0; break;
    }
    if (Param(cmd, 2) != 0) {
        // The world-map position after the clear, kept on the map.
        playrec::MapX(g_PlayRecord) = std::clamp(Param(cmd, 3), 0, std::max(0, g_WorldMap.nWidth - 1));
        playrec::MapY(g_PlayRecord) = std::clamp(Param(cmd, 4), 0, std::max(0, g_WorldMap.nHeight - 1));
        playrec::BackToMapFlag(g_PlayRecord) = 0;
    }
    const bool start = Param(cmd, 5) != 0;
    playrec::StartPosFlag(g_PlayRecord) = start ? 1 : 0;
    if (start) {
        playrec::StartPosX(g_PlayRecord) = static_cast<u32>(Param(cmd, 6));
        playrec::StartPosY(g_PlayRecord) = static_cast<u32>(Param(cmd, 7));
        // "As at the clear" (2) is the hero's facing now: the next stage cannot know it.
        i32 dir = Param(cmd, 8);
        if (dir == 2 && s->Player0()) dir = s->Player0()->m_nDir > 0 ? 1 : 0;
        playrec::StartPosDir(g_PlayRecord) = static_cast<u32>(dir);
    }
    return 1;
}

i32 CmdStageClearRun(cChara& c, cCmdRun& run) {
    const i32 r = run.m_pCmd ? CmdStageClear(c, *run.m_pCmd) : 0;
    if (r && c.m_pScene) c.m_pScene->m_nEndRequest = r;
    return r;
}

i32 CmdArrange(cChara& c, cFlowCmd& cmd) {
    // An item command queues for the hero's item list; a flow's, for the run being stepped (none:
    // nothing).
    cGameScene* s = c.m_pScene;
    if (cmd.cmdSet != 0) {
        if (cPlayer* hero = s ? s->Player0() : c.AsPlayer()) hero->m_lstOverride.push_back(MakeCmdOverride(cmd));
        return 0;
    }
    if (cFlowRun* run = s ? s->FlowRun() : nullptr) run->m_lstOverride.push_back(MakeCmdOverride(cmd));
    return 0;
}
i32 CmdLoop(cChara&, cCmdRun&) { return 0; }
