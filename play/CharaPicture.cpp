// The picture of a character's frame: its graphic kind chooses the sheet, its picture number
// and animation frame the cell.
#include "play/GameScene.h"
#include "play/ObjGraphic.h"
#include "play/PlayDraw.h"

bool CharaPicture(cChara& c, i32 pictureNo, i32 frame, PictureDesc& desc) {
    const i32 kind = c.m_Def.byPictureKind;
    const bool left = c.m_nDir <= 0;
    // The number counts from the record's picture with the change's offset and the animation
    // set's state offsets; a bitmap's number is its database row, the rest choosing the cell.
    i32 number = pictureNo, cellFrame = frame;
    if (kind == GFX_CHARA_BMP) {
        number = c.m_Def.wPicture;
        cellFrame = pictureNo - c.m_Def.wPicture + frame;
    }
    GFXCELL cell;
    if (!ObjGraphicCell(c.m_pScene, kind, number, cellFrame, left, cell)) return false;
    desc.pPicture = cell.pPicture;
    desc.pStretch = cell.pStretch;
    desc.pStretch2 = cell.pOther;
    desc.nSrcX = cell.sx;
    desc.nSrcY = cell.sy;
    const i32 gw = c.m_nGfxW0 > 0 ? c.m_nGfxW0 : 32, gh = c.m_nGfxH0 > 0 ? c.m_nGfxH0 : 32;
    // A bitmap of a larger cell size holds the graphic magnified already: a giant character of
    // that factor is drawn from it as it stands, any other size stretched from it. A cell of
    // another size than the graphic (a shot's) is drawn at its own size.
    const i32 own = cell.w > gw && cell.w % gw == 0 && cell.h == cell.w / gw * gh ? cell.w / gw : 1;
    desc.nWidth = own > 1 ? gw : cell.w;
    desc.nHeight = own > 1 ? gh : cell.h;
    desc.bOwnMag = own > 1 ? 1 : 0;
    desc.nOwnMag = own;
    return true;
}
