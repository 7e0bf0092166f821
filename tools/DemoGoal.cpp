#include "tools/DemoGoal.h"

#include "records/FlowCmd.h"
#include "tools/DemoFlows.h"

namespace {

constexpr u8 kCmdStageClear = 17;
constexpr i16 kCharaPicFlag = 21;
constexpr u32 kGoalClearWorld = 3;

} // namespace

cEdChara DemoGoalFlag() {
    cEdChara c = DemoStandingChara(kCharaPicFlag, "ゴールの旗", 1);
    // Clears the stage once the hero is within a half block to either side. A world clear,
    // as the goal items do: the demo's stages have no numbered next parts to chain into.
    cFlow f;
    f.trigger = 0;
    f.conds.push_back(DemoNearHero(1));
    cFlowCmd clear;
    clear.Clear();
    clear.cmdKind = kCmdStageClear;
    clear.params.assign(CmdTypeRow(0, kCmdStageClear).nParams, 0);
    clear.params[0] = kGoalClearWorld;
    clear.params[8] = 2; // facing at a given start position: as at the clear (none is given)
    f.cmds.push_back(clear);
    c.vFlow.push_back(f);
    return c;
}

int AddDemoGoalFlag(cCommonPalette& palette) {
    const int index = palette.m_vEdChara.Size();
    palette.m_vEdChara.push_back(DemoGoalFlag());
    return index;
}

void PlaceDemoGoalFlag(cStage& stage, const cCommonPalette& palette, int index, i16 x, i16 y) {
    stage.vChara.push_back(PlaceDemoChara(palette, index, x, y));
}
