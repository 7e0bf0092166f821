// Limited sight: the player's view margin (its sight range in half blocks x 16 dots) and its
// view shape cut a window out of a dark picture that follows the player, so that only what lies
// within the margin around it shows.
//
// Work surface A is twice the screen plus the margin on each side, dark (colour 16) but for a
// hole of 2n x 2n at its centre: a square, or a circle of radius n for the round shapes. Drawn
// with its colour key so that the hole sits on the player, it darkens the whole screen wherever
// the player stands.
#include <algorithm>

#include "platform/system/MessageBox.h"
#include "platform/system/WindowMessages.h"
#include "play/GameScene.h"
#include "records/CharaSettings.h"

namespace {

// The largest margin: the sight range stops at 40 half blocks.
constexpr i32 kMaxMargin = 40 * 16;

// Shapes 1 and 2 are round, 3 and 4 square; 2 and 4 look ahead of the player.
bool RoundShape(i32 shape) { return shape == 1 || shape == 2; }
bool LooksAhead(i32 shape) { return shape == 2 || shape == 4; }

} // namespace

void cGameScene::CreateWorkSurfaces() {
    DDReleaseSurface(&m_sdViewA);
    DDReleaseSurface(&m_sdViewB);
    const i32 n = Player0() ? std::clamp(m_nViewMargin, 0, kMaxMargin) : 0;
    auto failed = [] {
        ErrorBox("メモリ不足により、ステージの初期設定に失敗しました！");
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
    };
    if (!DDCreateSurface(&m_sdViewA, 1280 + 2 * n, 960 + 2 * n, 1, 0)) return failed();
    DDFillSurface(&m_sdViewA, 16);
    if (n <= 0) return;
    if (RoundShape(m_nViewShape)) {
        // The clear circle is drawn from a surface of the key colour through a round window.
        if (!DDCreateSurface(&m_sdViewB, 2 * n, 2 * n, 1, 0)) return failed();
        DDFillSurface(&m_sdViewB, 0);
        DDBltCircle(&m_sdViewA, 640 + n, 480 + n, n, n, n, 1, &m_sdViewB, n, n, 0);
    } else {
        DDFillRect(&m_sdViewA, 640, 480, 2 * n, 2 * n, 0);
    }
}

void cGameScene::SetUpViewMargin() {
    const cPlayer* p = Player0();
    m_nViewShape = p ? static_cast<i32>(CharaSettings::Get(p->m_Def, eChara::BackFollow)) : 0;
    m_nViewMargin = p ? std::max<i32>(p->m_nSight, 0) * 16 : 0;
    if (m_nViewShape != 0) {
        CreateWorkSurfaces();
        return;
    }
    DDReleaseSurface(&m_sdViewA);
    DDReleaseSurface(&m_sdViewB);
}

void cGameScene::SightChanged(const cChara& chara) {
    // Only the player's sight is a view; the darkness changes in the frame that draws next.
    if (&chara != Player0()) return;
    m_nViewMargin = std::max<i32>(chara.m_nSight, 0) * 16;
    if (m_nViewShape != 0) CreateWorkSurfaces();
}

void cGameScene::DrawFollowPicture(DDSURFACEDATA* target) {
    const cPlayer* p = Player0();
    if (!p || m_nViewShape == 0 || !SurfacePixels(&m_sdViewA)) return;
    const i32 n = (m_sdViewA.width - 1280) / 2;
    i32 cx = p->ScreenCentreX();
    const i32 cy = p->ScreenCentreY();
    if (LooksAhead(m_nViewShape)) cx += p->DirSign() * (p->m_nGfxW / 2 - p->m_nGfxOffX);
    // The window of A whose hole centre falls on (cx, cy), kept inside A.
    const i32 sx = std::clamp(640 + n - cx, 0, m_sdViewA.width - 640);
    const i32 sy = std::clamp(480 + n - cy, 0, m_sdViewA.height - 480);
    DDBlt(target, 0, 0, 640, 480, &m_sdViewA, sx, sy, DDBLT_KEY);
}
