// First forms of object routines the play scene calls whose own code is still to be written:
// the picture of a character's or an item's frame (the graphic kinds of the object drawing). Each keeps the stage playable in its simplest way; a
// routine that gets its real body leaves this file.
#include "play/GameScene.h"
#include "play/PlayDraw.h"

// Decision (until the object drawing chooses by graphic kind): a character's picture number n
// (plus its animation frame) is cell n - 1 of the character picture of its sheet, ten 32-dot
// cells to a row; it faces right in the picture, and facing left reads the mirrored copy of the
// pair. Numbers outside the picture give no picture.
bool CharaPicture(cChara& c, i32 pictureNo, i32 frame, PictureDesc& desc) {
    const i64 n = i64{pictureNo} + frame - 1;
    const bool left = c.m_nDir <= 0;
    DDSURFACEDATA* plain = PlayPicture(PLAYPIC_CHARA);
    DDSURFACEDATA* mirror = PlayPicture(PLAYPIC_CHARA + 1);
    desc.pPicture = left && PlayPictureLoaded(PLAYPIC_CHARA + 1) ? mirror : plain;
    desc.pStretch = plain;
    desc.pStretch2 = mirror;
    if (!desc.pPicture || n < 0 || n >= 10 * 15) return false;
    desc.nSrcX = static_cast<i32>(n % 10) * 32;
    desc.nSrcY = static_cast<i32>(n / 10) * 32;
    desc.nWidth = c.m_nGfxW0 > 0 ? c.m_nGfxW0 : 32;
    desc.nHeight = c.m_nGfxH0 > 0 ? c.m_nGfxH0 : 32;
    return true;
}
