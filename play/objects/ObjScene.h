#pragma once
// What a game object asks of the scene it plays in and of the flow engine, and nothing more. The
// objects know the play scene only by name (cObj::m_pScene) and the flow engine not at all; they
// reach both through these calls, which the play engine answers (play/ObjScene.cpp): an object
// can be read, built and tested without the scene or the flow engine's routines, and this list
// shows at a glance what an object may ask of them.
#include <memory>

#include "platform/system/Types.h"
#include "records/RecordPool.h"

class cChara;
class cCmdList;
class cFlow;
class cFlowCmd;
class cFlowRun;
class cGameScene;
class cPlayer;
class cScrollAxis;
class cStageChara;

// What an object asks of its scene. Each call takes the object's own scene; an object without
// one (a scratch copy, a test's object) asks nothing.
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
// A character's update begins: its flows run now (the flow hand-over), and the player's HP is
// not yet due for the death test.
void BeginCharaUpdate(cGameScene& scene, cChara& c);
// The flow run being stepped (the hand-over), or null.
const cFlowRun* FlowRun(cGameScene& scene);
// The logic step within the frame, from 1.
i32 StepIndex(cGameScene& scene);
// A rising picture cell over a character (by its id): the miniature of graphic (kind, number,
// offset), shown for `frames` frames as it rises (an item's graphic taken by the hero).
void ShowRisingGraphic(cGameScene& scene, u32 charaId, i32 kind, i32 number, i32 offset, i32 frames);

} // namespace ObjScene

// What a character asks of the flow engine: its own flows and its motion. These take no scene,
// since a character binds, sets up and steps its flows alike with or without one (a scratch copy
// rebinds the flows it copied).
namespace ObjFlow {

// An item's command list with its loops expanded: shared with the scene's other items of the
// same commands, or, without a scene, a list of its own.
std::shared_ptr<cCmdList> ExpandItemCmds(cGameScene* scene, const cVector<cFlowCmd>& cmds);
// Points the character's runs at its own flows (after a copy).
void BindFlows(cChara& c);
// The character's flows from its definition's flow set (replace and index as the flow engine's).
void SetupFlows(cChara& c, const cVector<cFlow>& flows, i32 replace, i32 index);
// The per-step flow pass (1 when it stopped early), and the clean-up of ended ID letters.
i32 StepFlows(cChara& c, i32 dying);
void EndLetters(cChara& c);
// The player's key histories advance, once per play step.
void StepKeyConds(cChara& c);
// The key of a jump command held now.
bool JumpKeyHeld(const cFlowRun& run);
// Jump speed for a height in hbl (16 pixels), and the rise frames of a jump speed.
double JumpSpeedHbl(cChara& c, i32 heightHbl);
i32 JumpFrames(cChara& c, double speed);
// Gravity for one step; whether the character stands on a floor; the vertical knock-back's
// motion added to the speed.
void GravityStep(cChara& c);
bool IsOnFloor(cChara& c);
void StepMoveX(cChara& c);

} // namespace ObjFlow
