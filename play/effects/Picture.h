#pragma once
// A picture shown on the play field by the picture command: its placement block.
#include "platform/system/Types.h"

struct PictureParam {
    u16 id = 0;                // picture number
    i32 nPlacement = 0;        // 0 screen centre, 1 the running character, 2 the hero, 3 screen cell, 4 stage cell
    i32 nCellX = 0, nCellY = 0;
    i32 nOffsetX = 0, nOffsetY = 0;
    i32 nWidth = 0, nHeight = 0; // size x scale percent / 100, rounded half away from zero
    i32 bScaled = 0;
    i32 nDisplayMode = 0;      // 2 = timed
    i32 nObjId = 0;            // the character a placement 1 or 2 picture follows
    i32 nFrames = 0;           // remaining frames of a timed picture
    i32 bCountWhilePaused = 0;
    i32 bFix = 0;
    i32 bCached = 0;
    i32 nCachedX = 0, nCachedY = 0;
    double dLastCentreX = 0.0, dLastCentreY = 0.0;
    i32 nPass[3] = {};         // handed through by the command
    u8 byLayer = 0;            // drawn with object layer 0 or 1
    i32 nSurface = -1;         // its surface in the scene's picture surface list
};
