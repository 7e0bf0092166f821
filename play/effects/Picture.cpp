#include "play/effects/Picture.h"

#include <cmath>

#include "play/objects/Obj.h"
#include "play/rules/Damage.h"

namespace {

// Percentages round half away from zero.
i32 Percent(i32 size, i32 percent) { return Trunc32(std::round(static_cast<double>(size) * percent / 100.0)); }

} // namespace

void EffectParamSet(PictureParam& block, u16 id, i32 placement, i32 cellX, i32 cellY, i32 offsetX, i32 offsetY,
                    i32 pictureWidth, i32 pictureHeight, i32 fix, i32 pass0, i32 scalePercent, i32 displayMode,
                    i32 frames, i32 countWhilePaused, i32 objId, i32 pass1, i32 pass2) {
    block.id = id;
    block.nPlacement = placement;
    block.nCellX = cellX;
    block.nCellY = cellY;
    block.nOffsetX = offsetX;
    block.nOffsetY = offsetY;
    block.nWidth = Percent(pictureWidth, scalePercent);
    block.nHeight = Percent(pictureHeight, scalePercent);
    block.bScaled = scalePercent != 100 ? 1 : 0;
    block.nDisplayMode = displayMode;
    block.nObjId = objId;
    block.nFrames = frames;
    block.bCountWhilePaused = countWhilePaused;
    block.bFix = fix;
    block.bCached = 0;
    block.nCachedX = block.nCachedY = 0;
    block.nPass[0] = pass0;
    block.nPass[1] = pass1;
    block.nPass[2] = pass2;
}

i32 DrawPlayPicture(PictureParam& b, DDSURFACEDATA* target, DDSURFACEDATA* picture, i32 noStep,
                    const PictureView& view) {
    if (b.nDisplayMode == PICTURE_TIMED && (b.bCountWhilePaused || !noStep)) {
        --b.nFrames;
        if (b.nFrames < 0) return 1;
    }
    const i64 sx = Trunc32(view.dScrollX), sy = Trunc32(view.dScrollY);
    i64 x = 0, y = 0;
    switch (b.nPlacement) {
    case PICTURE_ON_CHARA:
    case PICTURE_ON_HERO: {
        double cx = 0, cy = 0;
        // A character that has gone leaves the picture where it was last seen.
        if (view.findCentre && view.findCentre(b.nObjId, &cx, &cy)) {
            b.dLastCentreX = cx;
            b.dLastCentreY = cy;
        }
        x = Trunc32(b.dLastCentreX - b.nWidth / 2 - static_cast<double>(sx)) + static_cast<i64>(b.nOffsetX);
        y = Trunc32(b.dLastCentreY - b.nHeight / 2 - static_cast<double>(sy)) + static_cast<i64>(b.nOffsetY);
        break;
    }
    case PICTURE_SCREEN_CELL:
        x = static_cast<i64>(b.nCellX) * 32 + b.nOffsetX;
        y = static_cast<i64>(b.nCellY) * 32 + b.nOffsetY;
        break;
    case PICTURE_STAGE_CELL:
        x = Trunc32((static_cast<double>(view.nOriginX) + b.nCellX) * 32 + b.nOffsetX - view.dScrollX);
        y = Trunc32((static_cast<double>(view.nOriginY) + b.nCellY) * 32 + b.nOffsetY - view.dScrollY);
        break;
    default: // the screen centre
        x = 320 + static_cast<i64>(b.nOffsetX) - b.nWidth / 2;
        y = 240 + static_cast<i64>(b.nOffsetY) - b.nHeight / 2;
        break;
    }
    const bool stageBound =
        b.nPlacement == PICTURE_ON_CHARA || b.nPlacement == PICTURE_ON_HERO || b.nPlacement == PICTURE_STAGE_CELL;
    if (stageBound) {
        // Fixed: the first spot on the screen is kept; it stops following the stage.
        if (b.bFix) {
            if (!b.bCached) {
                b.nCachedX = Trunc32(static_cast<double>(x));
                b.nCachedY = Trunc32(static_cast<double>(y));
                b.bCached = 1;
            }
            x = b.nCachedX;
            y = b.nCachedY;
        }
    } else if (!b.bFix) {
        // Not fixed: the first spot is pinned to the stage, so the picture scrolls with it.
        if (!b.bCached) {
            b.nCachedX = Trunc32(view.dScrollX + 0.5 + static_cast<double>(x));
            b.nCachedY = Trunc32(view.dScrollY + 0.5 + static_cast<double>(y));
            b.bCached = 1;
        }
        x = Trunc32(b.nCachedX - (view.dScrollX - 0.5));
        y = Trunc32(b.nCachedY - (view.dScrollY - 0.5));
    }
    const i32 dx = Trunc32(static_cast<double>(x)), dy = Trunc32(static_cast<double>(y));
    if (!b.bScaled) {
        DDBlt(target, dx, dy, b.nWidth, b.nHeight, picture, 0, 0, DDBLT_KEY);
    } else if (picture) {
        D3DBltQuad(target, dx, dy, b.nWidth, b.nHeight, picture, 0, 0, picture->width, picture->height, DDBLT_KEY);
    }
    return 0;
}

i32 DrawPlayPicture(cGameScene& scene, PictureParam& block, DDSURFACEDATA* target, DDSURFACEDATA* picture,
                    i32 noStep) {
    PictureView view;
    view.dScrollX = scene.m_ScrollX.m_dPos;
    view.dScrollY = scene.m_ScrollY.m_dPos;
    view.nOriginX = scene.m_ScrollX.m_nOrigin >> 5;
    view.nOriginY = scene.m_ScrollY.m_nOrigin >> 5;
    view.findCentre = [&scene](i32 id, double* x, double* y) {
        const cChara* c = FindObjectById(scene, static_cast<u32>(id));
        if (!c) return false;
        *x = c->BoxCentreX();
        *y = c->BoxCentreY();
        return true;
    };
    return DrawPlayPicture(block, target, picture, noStep, view);
}
