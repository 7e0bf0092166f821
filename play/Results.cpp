// The result of a cleared stage.
#include "play/GameScene.h"

i32 cGameScene::ProcessResult() { return 0; }

// The tally belongs to the stage-end rules; until they are built a clear only ends the play.
void cGameScene::StageEnd() {}
