// The flow engine's per-step work: the trigger-0 scan and the flow pass of many characters, and
// key sequences over a full input history.
#include <benchmark/benchmark.h>

#include <memory>

#include "flow/FlowEngine.h"
#include "flow/KeyConds.h"
#include "play/GameScene.h"
#include "records/Stage.h"

namespace {

cFlowCmd AddVar(i32 var, bool chain) {
    cFlowCmd c;
    c.cmdKind = 22; // status operation: variable var += 1
    c.params.assign(18, 0);
    c.params[2] = static_cast<u32>(var);
    c.params[5] = 1;
    c.params[7] = 1;
    c.chain = chain ? 1 : 0;
    return c;
}

// Characters with eight trigger-0 flows each: a condition on a variable, three commands.
void BM_FlowStep(benchmark::State& state) {
    g_Stage = cStage();
    g_Stage.Init();
    auto scene = std::make_unique<cGameScene>();
    cVector<cFlow> flows;
    for (int f = 0; f < 8; ++f) {
        cFlow flow;
        flow.idLetter = static_cast<u8>(f % 3);
        cCond cond;
        cond.kind = 3;
        cond.index = 8;
        cond.op = 2; // variable 8 >= 0
        flow.conds.push_back(cond);
        for (int k = 0; k < 3; ++k) flow.cmds.push_back(AddVar(k, k == 0));
        flows.push_back(flow);
    }
    std::vector<cStageChara*> charas;
    for (int i = 0; i < state.range(0); ++i) {
        cStageChara& c = scene->AddChara(std::make_unique<cStageChara>());
        c.m_Def.dwMaxHP = 10;
        c.m_nHP = 10;
        SetupFlows(c, flows, 0, -1);
        for (cFlowRun& run : c.m_vFlowRun)
            for (cCmdRun& cr : run.m_vCmdRun) cr.m_nDuration = 2;
        charas.push_back(&c);
    }
    for (auto _ : state) {
        for (cStageChara* c : charas) {
            ResetFlowMarks(*c);
            RunFlowsOf(*c, TRIG_ALWAYS);
            StepFlows(*c, 0);
            EndLetters(*c);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FlowStep)->Arg(1)->Arg(64)->Arg(512);

// A four-row key sequence with gaps over full 32-entry histories.
void BM_KeySequence(benchmark::State& state) {
    cInput input;
    input.vDirState.assign(kKeyDirStates, cKeyHistory(kKeyHistoryWalk));
    input.vButtonState.assign(kKeyButtonStates, cKeyHistory(kKeyHistoryWalk));
    for (int i = 0; i < 200; ++i) {
        input.wDirection = static_cast<u16>((i / 3) % 2 ? 8 : 2);
        input.wButtons = static_cast<u16>(i % 5 == 0);
        InputKeyHistoryUpdate(input);
    }
    std::vector<cKeyCond> rows(4);
    for (int r = 0; r < 4; ++r) {
        rows[r].keys[r % 2 ? 4 : 2] = 1;
        rows[r].minFrames = 1;
        rows[r].maxFrames = 10;
    }
    std::vector<const cKeyCond*> ptrs;
    for (const cKeyCond& r : rows) ptrs.push_back(&r);
    KEYEVAL ev;
    ev.input = &input;
    ev.gap = 3;
    for (auto _ : state) benchmark::DoNotOptimize(EvalKeyConds(ev, ptrs));
}
BENCHMARK(BM_KeySequence);

} // namespace
