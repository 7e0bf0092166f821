#pragma once
// What a game object asks of the scene it plays in, and nothing more. The objects know the play
// scene only by name (cObj::m_pScene) and reach it through these calls, which the scene answers
// (play/ObjScene.cpp): an object can be read, built and tested without the scene, and this list
// shows at a glance what an object may ask of it. Each call takes the object's own scene; an
// object without one (a scratch copy, a test's object) asks nothing.
#include "platform/system/Types.h"

class cChara;
class cFlowRun;
class cGameScene;
class cLoopExpansions;
class cPlayer;
class cScrollAxis;
class cStageChara;

namespace ObjScene {

// The player, or null before it is placed or after it is gone.
cPlayer* Player0(cGameScene& scene);
// A character with appearance conditions joined the stage: the scene tests them from now on.
void CharaCondsAdded(cGameScene& scene);
// A stage character's walked fields (position, boxes, flags the walks read) changed.
void WalkedChanged(cGameScene& scene, const cStageChara& c);
// The view's scroll axes (the player's camera follows on them; auto-scroll carries objects).
cScrollAxis& ScrollX(cGameScene& scene);
cScrollAxis& ScrollY(cGameScene& scene);
// The stage's flow command lists with their loops expanded once, shared by its objects.
cLoopExpansions& LoopExpansions(cGameScene& scene);
// A character's update begins: its flows run now (the flow hand-over), and the player's HP is
// not yet due for the death test.
void BeginCharaUpdate(cGameScene& scene, cChara& c);
// The flow run being stepped (the hand-over), or null.
const cFlowRun* FlowRun(cGameScene& scene);
// The logic step within the frame, from 1.
i32 StepIndex(cGameScene& scene);

} // namespace ObjScene
