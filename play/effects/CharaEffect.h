#pragma once
// Character effects: the seventeen routines that draw a character through the run of its effect
// (a timed visual treatment drawn instead of its plain picture; the run itself is the
// character's, play/objects/CharaEffectRun.h).
//
// The routines take everything they draw with as arguments (the run, the target, the picture of
// the frame, where and how big the character is, the work surfaces), so that they draw the same
// whoever calls them; the character-facing dispatch builds those arguments from a character.
#include "database/EffectData.h"
#include "play/objects/CharaEffectRun.h"
#include "platform/graphics/Graphics.h"

// The picture of a character's current frame, as the drawing of game objects fills it.
struct PictureDesc {
    DDSURFACEDATA* pPicture = nullptr;  // the frame's picture, read at (nSrcX, nSrcY)
    DDSURFACEDATA* pStretch = nullptr;  // the copy a magnified picture is stretched from
    DDSURFACEDATA* pStretch2 = nullptr; // the pair's other copy: the back face of the depth turn
    i32 nSrcX = 0, nSrcY = 0;
    i32 nWidth = 0, nHeight = 0;        // the frame's size before any magnification
    i32 bOwnMag = 0;                    // the picture is stored magnified already ...
    i32 nOwnMag = 1;                    // ... by this factor
    i32 bModulate = 0;                  // Direct3D colour modulation (colour-variant cycling)
    u32 dwColor = 0xFFFFFFFF;
    u32 dwColorOp = D3DTOP_MODULATE;

    i32 OwnFactor() const { return bOwnMag && nOwnMag > 0 ? nOwnMag : 1; }
    // The frame as stored in the stretch copy.
    i32 StoredWidth() const { return nWidth * OwnFactor(); }
    i32 StoredHeight() const { return nHeight * OwnFactor(); }
};

// Where the character is drawn this frame: screen position, displayed size and magnification.
struct CharaEffectPlace {
    i32 x = 0, y = 0;
    i32 w = 0, h = 0;
    i32 nMag = 1;
};

// The work surfaces of the effects. The four surfaces are picture slots made at start-up; the
// two pointers are chosen at scene start by the drawing mode (Select).
struct EffectSurfaces {
    DDSURFACEDATA* pWork = nullptr;     // 640 x 480
    DDSURFACEDATA* pWork2 = nullptr;    // 640 x 480
    DDSURFACEDATA* pScratch = nullptr;  // 1024 x 1024
    DDSURFACEDATA* pScratch2 = nullptr; // 1024 x 1024
    DDSURFACEDATA* pZoomWork = nullptr; // where a magnified picture is drawn before an effect reads it
    DDSURFACEDATA* pFxSource = nullptr; // the source of lens, mosaic and blur
    DDSURFACEDATA* pChip = nullptr;     // the mark sheet characters show their mark chip from
    DDSURFACEDATA* pChipStretch = nullptr; // its copy to stretch from (magnified characters)
    // DirectDraw with video stretching zooms into the first work surface, else the second;
    // lens, mosaic and blur read the second work surface under DirectDraw and the second
    // scratch surface (a system texture the blitters can read) under Direct3D.
    void Select(bool videoStretch);
};

// One call of an effect routine. With bDraw 0 (a hidden character) target and picture may be
// null: the routine only keeps time. With bNoStep set it draws without advancing the run.
struct CharaEffectCall {
    cCharaEffectRun* pRun = nullptr;
    DDSURFACEDATA* pTarget = nullptr;
    const PictureDesc* pPic = nullptr;
    CharaEffectPlace place;
    const EffectSurfaces* pSurf = nullptr;
    i32 bNoStep = 0;
    i32 bDraw = 1;
};

// The routines by type; each returns 1 when the run ended this frame.
using CharaEffectRoutine = i32 (*)(const CharaEffectCall& call);
extern const CharaEffectRoutine CharaEffectTable[CHARA_EFFECT_TYPES];
// The routine of the run's type.
i32 CallCharaEffect(const CharaEffectCall& call);

// The picture at its stored size to (0, 0) of a work surface: colour-modulated when modulation
// is on, else an opaque copy (transparent pixels keep the key, so the effect drops them).
void BltCharaPicture(DDSURFACEDATA* work, const PictureDesc& pic);
// The picture at its displayed size to (0, 0) of a work surface: as above when no stretch is
// needed, else stretched from the stretch copy.
void BltCharaPictureScaled(DDSURFACEDATA* work, const PictureDesc& pic, const CharaEffectPlace& place);
// The plain drawing of a character (effect type 0) at its place on the target.
void DrawCharaPicture(DDSURFACEDATA* target, const PictureDesc& pic, const CharaEffectPlace& place);
