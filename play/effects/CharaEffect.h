#pragma once
// Character effects: the run of a character's effect (a timed visual treatment drawn instead of
// its plain picture) and the seventeen routines that draw a character through it. Every
// character embeds one run; a new start replaces the running one. The prepared rows a run starts
// from are the database's (database/EffectData.h), forward and reversed, made once at start-up.
//
// The routines take everything they draw with as arguments (the run, the target, the picture of
// the frame, where and how big the character is, the work surfaces), so that they draw the same
// whoever calls them; the character-facing dispatch builds those arguments from a character.
#include "database/EffectData.h"
#include "platform/graphics/Graphics.h"

// Modes of an effect run.
enum eEffectMode : i32 {
    EFFECT_FORWARD = 0,        // once, start to end
    EFFECT_REVERSED = 1,       // once, end to start (the reversed row)
    EFFECT_THERE_AND_BACK = 2, // forward, then reversed
};

class cCharaEffectRun {
public:
    // Starts effect id (0 ends any effect): the reversed row for mode 1, else the forward row.
    // An id outside the prepared rows is taken as 0.
    void Set(i32 id, i32 mode, i32 loop);
    // Copies a prepared row's values; id, mode, loop and reversed stay.
    void Load(const cCharaEffectData& row);
    // A new pass: mode 2 turns direction, then the row of the direction in use is reloaded.
    void Restart();
    // One frame; 1 when the effect has ended (the caller then sets id 0).
    i32 Step();
    // Ends the effect.
    void Clear() { Set(0, 0, 0); }

    bool IsRunning() const { return m_nId != 0; }
    // The routine's type (0..16); 0 for anything outside the table.
    u32 Type() const { return m_nType < CHARA_EFFECT_TYPES ? m_nType : 0; }
    i32 Param(int i) const { return m_anParam[i]; }

    i16 m_nId = 0;          // CharaEffect record number; 0 none
    i32 m_nMode = 0;        // eEffectMode
    i32 m_bLoop = 0;        // start over instead of ending
    i32 m_bReversed = 0;    // the reversed row is in use
    i32 m_nPhase = 0;       // reset by every load; nothing reads it
    i32 m_nStart = 0;       // p1 and p2 of the record in use
    i32 m_nEnd = 0;
    double m_dValue = 0.0;  // the moving quantity
    double m_dDelta = 0.0;  // change per frame
    double m_dTimer = 0.0;  // counts instead of the value when start equals end
    i32 m_nLimit = 0;       // p0, tenths of a second, at least 1
    i32 m_nCounter = 0;     // wave phase in degrees, or blink counter
    i32 m_nToggle = 0;      // blink state
    // The record the row was prepared from (its reversed copy while reversed), kept by value so
    // that a run never points into the prepared tables.
    u32 m_nType = 0;
    i32 m_anParam[5] = {};
};

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
