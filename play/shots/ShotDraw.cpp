// Drawing a shot or a sword at its screen position.
#include <algorithm>

#include "app/SystemIni.h"
#include "database/Database.h"
#include "platform/graphics/Graphics.h"
#include "play/GameScene.h"
#include "play/PlayDraw.h"
#include "play/shots/Shot.h"

namespace {

// The shot sheet's slots: plain left and right, then the pair the stretched form is drawn from.
constexpr i32 kSlotShot = PLAYPIC_SHOT;
constexpr i32 kSlotShotStretch = 38;
// The sheet: 16-dot cells, 30 to a row, two animation rows per row of pictures.
constexpr i32 kShotCell = 16;
constexpr i32 kShotsPerRow = 30;


// Plain at scale 1; stretched to the scaled size from the stretch slot otherwise (DirectDraw
// with its own video stretch stretches the plain slot).
void Blit(DDSURFACEDATA* target, const cShot& s, DDSURFACEDATA* plain, DDSURFACEDATA* stretch, i32 sx, i32 sy, i32 w,
          i32 h) {
    const i32 x = s.m_rcScreen.left, y = s.m_rcScreen.top;
    if (s.m_nScale <= 1) {
        DDBlt(target, x, y, w, h, plain, sx, sy, DDBLT_KEY);
        return;
    }
    DDSURFACEDATA* src = !lpDTCon && g_SystemIni.DD_VideoStretch ? plain : stretch;
    D3DBltQuad(target, x, y, w * s.m_nScale, h * s.m_nScale, src, sx, sy, w, h, DDBLT_KEY);
}

} // namespace

void cShot::Draw(DDSURFACEDATA* target) {
    if (!target || Def(eShot::Invisible)) return;
    const i32 right = m_nDir > 0 ? 1 : 0;
    if (m_bIsShot) {
        const i64 n = Def(eShot::Picture);
        if (n < 0) return;
        const i32 sx = static_cast<i32>(n % kShotsPerRow) * kShotCell;
        const i32 sy = static_cast<i32>(m_nSwordFrame + n / kShotsPerRow * 2) * kShotCell;
        Blit(target, *this, PlayPicture(kSlotShot + right), PlayPicture(kSlotShotStretch + right), sx, sy, kShotCell, kShotCell);
        return;
    }
    const cSwordPart* part = SwordPart();
    DDSURFACEDATA* group = m_pScene && m_nSwordGraphic >= 0 ? m_pScene->m_SwordImg.Row(m_nSwordGraphic) : nullptr;
    if (!part || !group) return;
    // The type's four slots: left and right, then the pair the stretched form is drawn from.
    const i32 w = static_cast<i32>(std::min<u32>(part->nWidth, 4096)), h = static_cast<i32>(std::min<u32>(part->nHeight, 4096));
    Blit(target, *this, group + right, group + 2 + right, static_cast<i32>(std::min<u32>(part->nSrcX, 1u << 20)),
         static_cast<i32>(std::min<u32>(part->nSrcY, 1u << 20)), w, h);
}
