#pragma once
// Pictures on the play field: the placement block the picture command fills and its drawing,
// once per frame for each shown picture (at a screen spot, a cell of the screen or the stage, or
// following a character).
#include <functional>

#include "platform/graphics/Graphics.h"

struct PictureParam {
    u16 id = 0;                  // picture number
    i32 nPlacement = 0;          // 0 screen centre, 1 the running character, 2 the hero, 3 screen cell, 4 stage cell
    i32 nCellX = 0, nCellY = 0;
    i32 nOffsetX = 0, nOffsetY = 0;
    i32 nWidth = 0, nHeight = 0; // size x scale percent / 100, rounded half away from zero
    i32 bScaled = 0;
    i32 nDisplayMode = 0;        // 2 = timed
    i32 nObjId = 0;              // the character a placement 1 or 2 picture follows
    i32 nFrames = 0;             // remaining frames of a timed picture
    i32 bCountWhilePaused = 0;
    i32 bFix = 0;
    i32 bCached = 0;
    i32 nCachedX = 0, nCachedY = 0;
    double dLastCentreX = 0.0, dLastCentreY = 0.0;
    i32 nPass[3] = {};           // handed through by the command
    u8 byLayer = 0;              // drawn with object layer 0 or 1
    i32 nSurface = -1;           // its surface in the scene's picture surface list
};

// Placements.
enum ePicturePlace : i32 {
    PICTURE_SCREEN_CENTRE = 0,
    PICTURE_ON_CHARA = 1,
    PICTURE_ON_HERO = 2,
    PICTURE_SCREEN_CELL = 3,
    PICTURE_STAGE_CELL = 4,
};
constexpr i32 PICTURE_TIMED = 2;

void EffectParamSet(PictureParam& block, u16 id, i32 placement, i32 cellX, i32 cellY, i32 offsetX, i32 offsetY,
                    i32 pictureWidth, i32 pictureHeight, i32 fix, i32 pass0, i32 scalePercent, i32 displayMode,
                    i32 frames, i32 countWhilePaused, i32 objId, i32 pass1, i32 pass2);

// What the drawing of a picture needs of the play: the scroll, the stage's cell origin in the
// play field, and where a followed character's centre is (false once it is gone).
struct PictureView {
    double dScrollX = 0.0, dScrollY = 0.0;
    i32 nOriginX = 0, nOriginY = 0;
    std::function<bool(i32 objId, double* centreX, double* centreY)> findCentre;
};

// Counts a timed picture down (not on a redraw unless it counts while paused), places it and
// draws it, plain or stretched. 1 when a timed picture has run out (the caller removes it;
// nothing is drawn), else 0. A timed picture of n frames is drawn n times.
i32 DrawPlayPicture(PictureParam& block, DDSURFACEDATA* target, DDSURFACEDATA* picture, i32 noStep,
                    const PictureView& view);

// A picture of the play scene: its scroll and cell origin, the followed character found by its
// id (its box centre).
class cGameScene;
i32 DrawPlayPicture(cGameScene& scene, PictureParam& block, DDSURFACEDATA* target, DDSURFACEDATA* picture,
                    i32 noStep);
