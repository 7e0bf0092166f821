// Shots, swords and summons (kinds 11-15), and what the repeating commands share.
#include <algorithm>

#include "flow/commands/Commands.h"
#include "play/GameScene.h"
#include "play/shots/ShotCommands.h"
#include "records/Stage.h"
#include "records/StageSettings.h"

namespace {

using SHOTSTART = void (*)(cGameScene& scene, cChara& c, cCmdRun& run, const cEdShot& def);

// On a frame where the repeat counter is 0: the command's sound, then the start; the counter
// advances either way.
i32 Repeating(cChara& c, cCmdRun& run, SHOTSTART start) {
    if (run.m_nRepeat == 0 && run.m_pCmd && run.m_pCmd->shot && c.m_pScene) {
        PlayCmdSound(c, *run.m_pCmd);
        start(*c.m_pScene, c, run, *run.m_pCmd->shot);
    }
    AdvanceRepeat(run);
    return 0;
}

template <void (*Summon)(cChara&, cCmdRun&, const cEdShot&)>
void SummonStart(cGameScene&, cChara& c, cCmdRun& run, const cEdShot& def) {
    Summon(c, run, def);
}

} // namespace

void PlayCmdSound(const cChara& c, const cFlowCmd& cmd) {
    if (cmd.flag96 && !c.m_bOnScreen) return;
    PlayUserSE(static_cast<i32>(cmd.sound));
}

void AdvanceRepeat(cCmdRun& run) {
    // The stage's repeat period is 6 x its speed unit (a stage without one repeats every frame).
    const i32 period = std::max(1, StageSettings::RepeatPeriod(g_Stage));
    if (++run.m_nRepeat >= period) run.m_nRepeat = 0;
}

i32 CmdShot(cChara& c, cCmdRun& run) { return Repeating(c, run, FireShot); }
i32 CmdSword(cChara& c, cCmdRun& run) { return Repeating(c, run, StartSword); }
i32 CmdSummonBlock(cChara& c, cCmdRun& run) { return Repeating(c, run, SummonStart<SummonBlock>); }
i32 CmdSummonChara(cChara& c, cCmdRun& run) { return Repeating(c, run, SummonStart<SummonChara>); }
i32 CmdSummonItem(cChara& c, cCmdRun& run) { return Repeating(c, run, SummonStart<SummonItem>); }
