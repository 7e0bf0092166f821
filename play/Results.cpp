// The result of a cleared stage.
#include "play/GameScene.h"

i32 cGameScene::ProcessResult() { return 0; }
