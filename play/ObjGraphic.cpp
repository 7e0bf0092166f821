#include "play/ObjGraphic.h"

#include <algorithm>

#include "database/Database.h"
#include "play/GameScene.h"
#include "play/effects/CharaDraw.h"

namespace {

// Slots of the stretch copies (see the picture table in database/DataPaths.cpp).
constexpr i32 kSlotBlockStretch = 3;
constexpr i32 kSlotCharaStretch = 22;
constexpr i32 kObjSlotShotStretch = 38;
constexpr i32 kSlotItemStretch = 41;
constexpr i32 kObjSlotMarkStretch = 44;

constexpr i32 kCharaSheets = 8;
constexpr i32 kCharaCellsPerSheet = 150; // ten to a row, fifteen rows
constexpr i32 kCharaPerRow = 10;
constexpr i32 kItemsPerRow = 10;
constexpr i32 kObjShotsPerRow = 30;
constexpr i32 kObjShotCell = 16;
constexpr i32 kMiniCell = 16;

// The size of a slot's picture (a slot that shares another's picture has that one's size).
bool Extent(const DDSURFACEDATA* sd, i32& w, i32& h) {
    if (!sd) return false;
    if (!SurfacePixels(sd) && sd->alias) sd = sd->alias;
    if (!SurfacePixels(sd)) return false;
    w = sd->width;
    h = sd->height;
    return w > 0 && h > 0;
}

bool Inside(const DDSURFACEDATA* sd, i32 sx, i32 sy, i32 w, i32 h) {
    i32 pw = 0, ph = 0;
    return Extent(sd, pw, ph) && sx >= 0 && sy >= 0 && sx + w <= pw && sy + h <= ph;
}

const PLAYDRAWTABLES& Tables(cGameScene* scene) {
    static const PLAYDRAWTABLES fallback = [] {
        PLAYDRAWTABLES t;
        SelectPlayDrawTables(t, false, false);
        return t;
    }();
    // A scene whose stage is not set up yet has not chosen its tables (every slot 0).
    return scene && scene->m_DrawTables.plain[GFX_BLOCK] != 0 ? scene->m_DrawTables : fallback;
}

// Cell c of a sheet of cells w x h laid out `perRow` to a row (perRow 0: down columns of 15).
void Grid(i64 c, i32 perRow, i32 w, i32 h, GFXCELL& cell) {
    if (perRow > 0) {
        cell.sx = static_cast<i32>(c % perRow) * w;
        cell.sy = static_cast<i32>(c / perRow) * h;
    } else {
        cell.sx = static_cast<i32>(c / 15) * w;
        cell.sy = static_cast<i32>(c % 15) * h;
    }
    cell.w = w;
    cell.h = h;
}

// The row of a picture's second frame lies right below its first; a picture without one shows
// its first frame throughout.
void SecondFrame(GFXCELL& cell, i32 frame) {
    if ((frame & 1) && Inside(cell.pPicture, cell.sx, cell.sy + cell.h, cell.w, cell.h)) cell.sy += cell.h;
}

bool FromSlots(const PLAYDRAWTABLES& t, i32 kind, i32 sheet, bool left, GFXCELL& cell) {
    const i32 plain = t.plain[kind] + 2 * sheet, mirror = t.mirror[kind] + 2 * sheet;
    const i32 stretch = t.stretch[kind] + 2 * sheet, stretchMirror = t.stretchMirror[kind] + 2 * sheet;
    // A mirrored copy that is not loaded leaves the plain picture.
    const bool useMirror = left && PlayPictureLoaded(mirror);
    cell.pPicture = PlayPicture(useMirror ? mirror : plain);
    cell.pStretch = PlayPicture(useMirror ? stretchMirror : stretch);
    cell.pOther = PlayPicture(useMirror ? stretch : stretchMirror);
    if (!cell.pStretch) cell.pStretch = cell.pPicture;
    if (!cell.pOther) cell.pOther = cell.pStretch;
    return cell.pPicture != nullptr;
}

} // namespace

void SelectPlayDrawTables(PLAYDRAWTABLES& t, bool direct3D, bool videoStretch) {
    const i32 plain[GFX_KINDS] = {PLAYPIC_BLOCK, PLAYPIC_CHARA, PLAYPIC_ITEM, PLAYPIC_SHOT, -1, PLAYPIC_MARK};
    const i32 mirror[GFX_KINDS] = {PLAYPIC_BLOCK, PLAYPIC_CHARA + 1, PLAYPIC_ITEM, PLAYPIC_SHOT + 1, -1, PLAYPIC_MARK};
    const i32 stretch[GFX_KINDS] = {kSlotBlockStretch, kSlotCharaStretch, kSlotItemStretch, kObjSlotShotStretch, -1,
                                    kObjSlotMarkStretch};
    const i32 stretchMirror[GFX_KINDS] = {kSlotBlockStretch, kSlotCharaStretch + 1, kSlotItemStretch,
                                          kObjSlotShotStretch + 1, -1, kObjSlotMarkStretch};
    // DirectDraw with the display's own stretching stretches the sheets themselves.
    const bool fromPlain = !direct3D && videoStretch;
    for (i32 k = 0; k < GFX_KINDS; ++k) {
        t.plain[k] = plain[k];
        t.mirror[k] = mirror[k];
        t.stretch[k] = fromPlain ? plain[k] : stretch[k];
        t.stretchMirror[k] = fromPlain ? mirror[k] : stretchMirror[k];
    }
}

bool ObjGraphicCell(cGameScene* scene, i32 kind, i32 number, i32 frame, bool left, GFXCELL& cell) {
    cell = GFXCELL{};
    const PLAYDRAWTABLES& t = Tables(scene);
    switch (kind) {
    case GFX_BLOCK:
    case GFX_MARK: {
        const i64 c = i64{number} + frame;
        if (c < 0 || !FromSlots(t, kind, 0, false, cell)) return false;
        Grid(c, 0, 32, 32, cell);
        break;
    }
    case GFX_CHARA: {
        const i64 c = i64{number} - 1 + frame;
        if (c < 0 || c >= i64{kCharaCellsPerSheet} * kCharaSheets) return false;
        if (!FromSlots(t, kind, static_cast<i32>(c / kCharaCellsPerSheet), left, cell)) return false;
        Grid(c % kCharaCellsPerSheet, kCharaPerRow, 32, 32, cell);
        break;
    }
    case GFX_ITEM:
    case GFX_SHOT: {
        if (number < 0 || (kind == GFX_ITEM && number == 0) || !FromSlots(t, kind, 0, left, cell)) return false;
        const i32 size = kind == GFX_ITEM ? 32 : kObjShotCell;
        const i32 perRow = kind == GFX_ITEM ? kItemsPerRow : kObjShotsPerRow;
        Grid(number, perRow, size, size, cell);
        cell.sy *= 2;
        SecondFrame(cell, frame);
        break;
    }
    case GFX_CHARA_BMP: {
        if (!scene || number < 1 || number >= g_Database.m_vBmpCharaExc.Size() || frame < 0) return false;
        DDSURFACEDATA* group = scene->m_CharaBmp.Row(number);
        if (!group) return false;
        const cBmpCharaExcData& rec = g_Database.m_vBmpCharaExc[number];
        const i32 size = rec.bOwnSize ? static_cast<i32>(std::clamp<u32>(rec.nSizeUnits, 1, 32)) * 32 : 32;
        i32 pw = 0, ph = 0;
        if (!Extent(group, pw, ph)) return false;
        const bool mirrored = left && SurfacePixels(group + 1);
        cell.pPicture = cell.pStretch = mirrored ? group + 1 : group;
        cell.pOther = mirrored ? group : (SurfacePixels(group + 1) ? group + 1 : group);
        Grid(frame, std::max(pw / size, 1), size, size, cell);
        break;
    }
    default: return false;
    }
    return Inside(cell.pPicture, cell.sx, cell.sy, cell.w, cell.h);
}

bool DrawObjGraphic(DDSURFACEDATA* target, cGameScene* scene, i32 kind, i32 number, i32 frame, bool left, i32 x,
                    i32 y, i32 w, i32 h) {
    GFXCELL cell;
    if (!target || w <= 0 || h <= 0 || !ObjGraphicCell(scene, kind, number, frame, left, cell)) return false;
    if (w == cell.w && h == cell.h) DDBlt(target, x, y, w, h, cell.pPicture, cell.sx, cell.sy, DDBLT_KEY);
    else D3DBltQuad(target, x, y, w, h, cell.pStretch, cell.sx, cell.sy, cell.w, cell.h, DDBLT_KEY);
    return true;
}

bool DrawDigits(DDSURFACEDATA* target, cGameScene* scene, i32 x, i32 y, i32 kind, i32 number, i32 offset) {
    const i64 n = i64{number} + offset;
    if (!target || n < INT32_MIN || n > INT32_MAX) return false;
    if (kind == GFX_ITEM) {
        DDSURFACEDATA* mini = PlayPicture(PLAYPIC_ITEM_MINI);
        if (n <= 0 || !mini) return false;
        GFXCELL cell;
        Grid(n, kItemsPerRow, kMiniCell, kMiniCell, cell);
        cell.sy *= 2;
        if (!Inside(mini, cell.sx, cell.sy, kMiniCell, kMiniCell)) return false;
        DDBlt(target, x, y, kMiniCell, kMiniCell, mini, cell.sx, cell.sy, DDBLT_KEY);
        return true;
    }
    return DrawObjGraphic(target, scene, kind, static_cast<i32>(n), 0, false, x, y, kMiniCell, kMiniCell);
}

void DrawItem(cGameScene& scene, const cItem& item, DDSURFACEDATA* target) {
    if (!item.IsShown()) return;
    const cEdItem& def = item.m_Def;
    DrawObjGraphic(target, &scene, def.byPictureKind, def.wPicture, item.AnimFrame(scene.m_nFrameCounter), false,
                   item.m_rcScreen.left, item.m_rcScreen.top, item.m_nGfxW, item.m_nGfxH);
    // Decision: the item's chip is its mark (the flag and number that blocks show theirs by),
    // drawn over it from the mark sheet.
    if (def.bShowMark == 1) DrawObjChip(item, target, def.wMark);
}

void DrawBlockCell(cGameScene* scene, const BLOCKCELL& cell, DDSURFACEDATA* target, i32 x, i32 y) {
    const EDBLOCK_DATA& b = cell.block;
    if (b.wPicture == 0) return;
    DrawObjGraphic(target, scene, b.byPictureKind, i32{b.wPicture} + b.wGroup2, 0, false, x, y, 32, 32);
    if (b.bShowMark) DrawObjGraphic(target, scene, GFX_MARK, b.wMark, 0, false, x, y, 32, 32);
}
