// The per-frame play update (state 2).
#include "play/GameScene.h"

void cGameScene::UpdatePlay() {
    if (m_bQuit.load()) return;
    ++m_nFrameCounter;
    Draw(1, 0, 1, 1);
}
