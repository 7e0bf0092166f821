// The play engine's answers to what its objects ask of the scene and of the flow engine
// (play/objects/ObjScene.h).
#include "play/objects/ObjScene.h"

#include "flow/FlowEngine.h"
#include "play/GameScene.h"

namespace ObjScene {

cPlayer* Player0(cGameScene& scene) { return scene.Player0(); }

void CharaCondsAdded(cGameScene& scene) { scene.m_bCharaConds = 1; }

void WalkedChanged(cGameScene& scene, const cStageChara& c) { scene.WalkedChanged(c); }

cScrollAxis& ScrollX(cGameScene& scene) { return scene.m_ScrollX; }
cScrollAxis& ScrollY(cGameScene& scene) { return scene.m_ScrollY; }

void BeginCharaUpdate(cGameScene& scene, cChara& c) {
    scene.SetFlowObj(&c);
    scene.m_bDeathCheck = 0;
}

const cFlowRun* FlowRun(cGameScene& scene) { return scene.FlowRun(); }

i32 StepIndex(cGameScene& scene) { return scene.m_nStepIndex; }

void ShowRisingGraphic(cGameScene& scene, u32 charaId, i32 kind, i32 number, i32 offset, i32 frames) {
    ::ShowRisingGraphic(scene, charaId, kind, number, offset, frames);
}

} // namespace ObjScene

// Each hands on to the flow engine's routine of its name, named from the global namespace (here,
// the bare name would be the routine itself).
namespace ObjFlow {

std::shared_ptr<cCmdList> ExpandItemCmds(cGameScene* scene, const cVector<cFlowCmd>& cmds) {
    cLoopExpansions local;
    return (scene ? scene->m_LoopExpansions : local).Expand(cmds, cLoopExpansions::eStepper::Item);
}

void BindFlows(cChara& c) { ::BindFlows(c); }

void SetupFlows(cChara& c, const cVector<cFlow>& flows, i32 replace, i32 index) { ::SetupFlows(c, flows, replace, index); }

i32 StepFlows(cChara& c, i32 dying) { return ::StepFlows(c, dying); }

void EndLetters(cChara& c) { ::EndLetters(c); }

void StepKeyConds(cChara& c) { ::StepKeyConds(c); }

bool JumpKeyHeld(const cFlowRun& run) { return ::JumpKeyHeld(run); }

double JumpSpeedHbl(cChara& c, i32 heightHbl) { return ::JumpSpeedHbl(c, heightHbl); }

i32 JumpFrames(cChara& c, double speed) { return ::JumpFrames(c, speed); }

void GravityStep(cChara& c) { ::GravityStep(c); }

bool IsOnFloor(cChara& c) { return ::IsOnFloor(c); }

void StepMoveX(cChara& c) { ::StepMoveX(c); }

} // namespace ObjFlow
