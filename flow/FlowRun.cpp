// Flow binding and run state.
#include "flow/FlowEngine.h"
#include "play/objects/Chara.h"

void BindFlows(cChara& c) {
    // One run per flow, one key row and one command run per row and command of its flow.
    c.m_vFlowRun.resize(c.m_vFlow.size());
    for (int i = 0; i < c.m_vFlowRun.Size(); ++i) {
        cFlowRun& run = c.m_vFlowRun[i];
        cFlow& flow = c.m_vFlow[i];
        run.m_nIndex = i;
        run.m_pFlow = &flow;
        run.m_vKeyRow.resize(flow.keyConds.size());
        for (int j = 0; j < run.m_vKeyRow.Size(); ++j) run.m_vKeyRow[j] = &flow.keyConds[j];
        run.m_vCmdRun.resize(flow.cmds.size());
        for (int k = 0; k < run.m_vCmdRun.Size(); ++k) run.m_vCmdRun[k].m_pCmd = &flow.cmds[k];
    }
}

void SetFlows(cChara& c, const cVector<cFlowRun>& runs) {
    c.m_vFlowRun = runs;
    BindFlows(c);
}

void SetupFlows(cChara& c, const cVector<cFlow>& flows, i32 replace, i32 index) {
    // The loops of every command list are expanded once, here, so that runs never meet one.
    cVector<cFlow> expanded = flows;
    for (cFlow& f : expanded) ExpandLoopCmds(f.cmds);
    if (replace && index >= 0) {
        if (index < c.m_vFlow.Size() && !expanded.empty()) c.m_vFlow[index] = std::move(expanded[0]);
    } else {
        c.m_vFlow = std::move(expanded);
    }
    // Every run starts idle with a run number of its own.
    c.m_vFlowRun.assign(c.m_vFlow.size(), cFlowRun{});
    for (cFlowRun& run : c.m_vFlowRun) run.m_nRunNo = c.m_nRunNoNext++;
    BindFlows(c);
}

void DeleteFlow(cChara&, i32) {}

i32 ChangeFlows(cChara&, u8) { return -1; }

i32 StepFlows(cChara&, i32) { return 0; }

void EndLetters(cChara&) {}
