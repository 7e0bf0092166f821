#pragma once
// The picture of a game object's graphic: its kind (which sheet), its number (which cell), an
// animation frame and a facing. Characters, items, blocks, the pick-up display and the small
// pictures of message windows all find their cells here.
#include "play/PlayDraw.h"

class cGameScene;
class cItem;

// Graphic kinds, as the records' picture kind and the change-graphic command's source count
// them; marks are the chips drawn over objects.
enum eGraphicKind : i32 {
    GFX_BLOCK = 0,
    GFX_CHARA = 1,
    GFX_ITEM = 2,
    GFX_SHOT = 3,
    GFX_CHARA_BMP = 4,
    GFX_MARK = 5,
    GFX_KINDS = 6,
};

// The picture slots the play drawing reads per graphic kind: the plain sheet, its mirrored copy
// (facing left) and the copies a magnified graphic is stretched from. Kinds with several
// sheets (the eight character pictures) give the slot of the first; the others follow two
// slots apart. The character bitmaps live in the scene's own surfaces (-1 here).
struct PLAYDRAWTABLES {
    i32 plain[GFX_KINDS] = {};
    i32 mirror[GFX_KINDS] = {};
    i32 stretch[GFX_KINDS] = {};
    i32 stretchMirror[GFX_KINDS] = {};
};

// Chooses the tables from the two display switches: Direct3D, and the DirectDraw option that
// lets the display stretch (a magnified graphic is then stretched from the plain sheet).
void SelectPlayDrawTables(PLAYDRAWTABLES& t, bool direct3D, bool videoStretch);

// One cell of a graphic.
struct GFXCELL {
    DDSURFACEDATA* pPicture = nullptr;  // drawn from at its own size
    DDSURFACEDATA* pStretch = nullptr;  // stretched from when drawn at another size
    DDSURFACEDATA* pOther = nullptr;    // the other facing's stretch copy
    i32 sx = 0, sy = 0, w = 32, h = 32; // source rectangle
};

// The cell of graphic (kind, number) at an animation frame (0-based) and facing. Numbering by
// kind: blocks from 0 down the columns of 15 cells; characters from 1, 150 to a sheet (ten to a
// row) over the eight character pictures; items from 1 (0 is no item), ten to a row, each row
// of pictures followed by the row of their second frame; shots from 0, 16-dot cells, thirty to
// a row with their second frame below; character bitmaps by their database row, the frame
// choosing the cell of the bitmap's own cell size; marks as blocks. A frame with no second row
// in the picture shows the first. False when the graphic has no picture or its cell lies
// outside the picture (nothing is drawn).
bool ObjGraphicCell(cGameScene* scene, i32 kind, i32 number, i32 frame, bool left, GFXCELL& cell);

// Draws graphic (kind, number) at (x, y) in w x h, stretched when the cell has another size,
// with the colour key. False when nothing was drawn.
bool DrawObjGraphic(DDSURFACEDATA* target, cGameScene* scene, i32 kind, i32 number, i32 frame, bool left, i32 x,
                    i32 y, i32 w, i32 h);

// Draws an item's graphic (its kind and number, animated by its animation speed over the play's
// frames) at its screen position and size, with its mark chip over it when it shows one.
void DrawItem(cGameScene& scene, const cItem& item, DDSURFACEDATA* target);

// A 16 x 16 miniature of graphic (kind, number + offset): items from the small item picture,
// every other kind shrunk from its cell.
bool DrawDigits(DDSURFACEDATA* target, cGameScene* scene, i32 x, i32 y, i32 kind, i32 number, i32 offset);

// One block cell of the block map at (x, y): the block's graphic from its set (picture kind),
// picture number and variant (the offset its picture group carries), then its mark over it.
struct BLOCKCELL;
void DrawBlockCell(cGameScene* scene, const BLOCKCELL& cell, DDSURFACEDATA* target, i32 x, i32 y);
