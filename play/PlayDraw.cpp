// The play screen.
#include "platform/graphics/Graphics.h"
#include "play/GameScene.h"

void cGameScene::Draw(i32 /*a*/, i32 /*b*/, i32 /*c*/, i32 /*d*/) { DDFillSurface(&g_sdBackBuffer, 16); }
