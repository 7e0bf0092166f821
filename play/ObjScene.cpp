// The play scene's answers to what its objects ask of it (play/objects/ObjScene.h).
#include "play/objects/ObjScene.h"

#include "play/GameScene.h"

namespace ObjScene {

cPlayer* Player0(cGameScene& scene) { return scene.Player0(); }

void CharaCondsAdded(cGameScene& scene) { scene.m_bCharaConds = 1; }

void WalkedChanged(cGameScene& scene, const cStageChara& c) { scene.WalkedChanged(c); }

cScrollAxis& ScrollX(cGameScene& scene) { return scene.m_ScrollX; }
cScrollAxis& ScrollY(cGameScene& scene) { return scene.m_ScrollY; }

cLoopExpansions& LoopExpansions(cGameScene& scene) { return scene.m_LoopExpansions; }

void BeginCharaUpdate(cGameScene& scene, cChara& c) {
    scene.SetFlowObj(&c);
    scene.m_bDeathCheck = 0;
}

const cFlowRun* FlowRun(cGameScene& scene) { return scene.FlowRun(); }

i32 StepIndex(cGameScene& scene) { return scene.m_nStepIndex; }

} // namespace ObjScene
