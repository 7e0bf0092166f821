#include "play/effects/ScreenEffect.h"

#include <algorithm>
#include <cmath>

#include "play/GameScene.h"
#include "play/objects/Obj.h"

// ---------------------------------------------------------------------------------------------
// The run

namespace {

// See the character effects: damaged parameters are bounded so that coordinates stay in range.
constexpr i32 kScrParamBound = 1000000;
i32 ScrBound(i32 v) { return std::clamp(v, -kScrParamBound, kScrParamBound); }

bool HasRow(i32 id) { return id >= 0 && id < g_vScreenEffectData.Size() && id < g_vScreenEffectData2.Size(); }

// Types whose value moves from p1 to p2 (a run with p1 = p2 counts time instead).
bool MovesP1ToP2(u32 type) { return (type >= 4 && type <= 7) || (type >= 9 && type <= 13); }

} // namespace

void cScreenEffectRun::Set(i32 id, i32 mode, i32 loop) {
    if (!HasRow(id)) id = 0;
    m_nId = static_cast<i16>(id);
    m_nMode = mode;
    m_bLoop = loop;
    m_bReversed = mode == EFFECT_REVERSED ? 1 : 0;
    if (!HasRow(id)) {
        Load(cScreenEffectData());
        return;
    }
    Load(m_bReversed ? g_vScreenEffectData2[id] : g_vScreenEffectData[id]);
}

void cScreenEffectRun::Load(const cScreenEffectData& row) {
    m_nType = row.rec.nEffectType;
    for (int i = 0; i < 5; ++i) m_anParam[i] = ScrBound(row.rec.anParam[i]);
    m_dValue = std::clamp(row.dValue, -static_cast<double>(kScrParamBound), static_cast<double>(kScrParamBound));
    m_dOffset = 0.0;
    m_dDelta = row.dStep;
    m_nA = ScrBound(row.nStartX);
    m_nB = ScrBound(row.nStartY);
    m_bTimed = MovesP1ToP2(m_nType) && m_anParam[1] == m_anParam[2] ? 1 : 0;
    m_dTimer = 0.0;
    m_nLimit = row.nTime < 1 ? 1 : row.nTime;
}

void cScreenEffectRun::Restart() {
    if (m_nMode == EFFECT_THERE_AND_BACK) m_bReversed = m_bReversed ? 0 : 1;
    if (!HasRow(m_nId)) {
        Load(cScreenEffectData());
        return;
    }
    Load(m_bReversed ? g_vScreenEffectData2[m_nId] : g_vScreenEffectData[m_nId]);
}

i32 cScreenEffectRun::Step(i32 start, i32 end, double step) {
    if (m_bTimed) {
        m_dTimer += m_dDelta;
        if (m_dTimer <= m_nLimit) return 0;
    } else if (start > end) {
        m_dValue -= step;
        if (Trunc32(m_dValue) >= end) return 0;
    } else {
        m_dValue += step;
        if (Trunc32(m_dValue) <= end) return 0;
    }
    if (!m_bLoop && (m_nMode != EFFECT_THERE_AND_BACK || m_bReversed)) return 1;
    Restart();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Routines

namespace {

constexpr double kScrSqrt2 = 1.4142135623730951;
constexpr i32 kW = 640, kH = 480;
constexpr u32 kClearColour = 16;

// Steps that count tenths of a second: value runs from 0 to p0 by 1/6 a frame.
i32 StepTime(const ScreenEffectCall& c) {
    cScreenEffectRun& run = *c.pRun;
    return run.Step(0, run.m_nLimit, run.m_dDelta);
}
i32 StepValue(const ScreenEffectCall& c) {
    cScreenEffectRun& run = *c.pRun;
    return run.Step(run.Param(1), run.Param(2), run.m_dDelta);
}

// The frame of routines 1-7 and 9-13: the finished frame is copied to a work surface, the back
// buffer cleared (unless the routine covers it otherwise), the frame drawn back through the
// effect with the alpha operation off, then the run steps (not on a redraw).
template <class Fn>
i32 Redraw(const ScreenEffectCall& c, DDSURFACEDATA* work, bool fill, i32 (*step)(const ScreenEffectCall&), Fn draw) {
    if (work && c.pBack) {
        DDBlt(work, 0, 0, kW, kH, c.pBack, 0, 0, 0);
        if (fill) DDFillRect(c.pBack, 0, 0, kW, kH, kClearColour);
        D3DSetAlphaOp(D3DTOP_DISABLE);
        draw(work);
        D3DResetAlphaOp();
    }
    return c.bNoStep ? 0 : step(c);
}

// How routines 1-3 draw the work surface back into the frame (the alpha operation off): a
// plain blit, so no texel is left out. Under Direct3D the plain blit of a keyed texture first
// clears its rectangle to the transparent colour, and then draws the quad; with the quad colour
// white (or its colour taken as it is) the quad is an opaque copy that covers every pixel of
// that rectangle, so the clear is all drawn over. Where the blit is drawn at once as a quad (no
// batch open, a render target drawn from a texture), the keyed blit, which differs only by
// that clear, gives the same pixels without it.
u32 OpaqueBackFlags(DDSURFACEDATA* back, DDSURFACEDATA* work) {
    if (!lpDTCon || !back || !work || D3DBatchIsOpen() || lpDTCon->bCopyingVirtual) return 0;
    const u32 colour = lpDTCon->dwQuadColor, colourOp = lpDTCon->dwColorOp;
    const bool colourKept = colourOp == D3DTOP_SELECTARG1 || (colourOp == D3DTOP_MODULATE && (colour & 0xFFFFFFu) == 0xFFFFFFu);
    const bool alphaFull = (lpDTCon->dwAlphaOp == D3DTOP_DISABLE || lpDTCon->dwAlphaOp == D3DTOP_SELECTARG2) && (colour >> 24) == 255;
    if (!colourKept || !alphaFull || work->alias) return 0;
    DDSURFACEDATA* target = back;
    DDSetDrawTarget(&target);
    if (!target->lpDT || !target->lpDT->bRenderTarget || !work->lpDT || work->lpDT->bSystemTexture) return 0;
    return DDBLT_KEY;
}

i32 ScreenEffectNone(const ScreenEffectCall&) {
    if (lpDTCon && lpDTCon->bVirtual) DDSetRenderToVirtual(0);
    return 0;
}

// The position used from the next frame on, along the straight line from start to end. The run
// goes on while the whole part of the value is p0, so the value passes p0 by up to 5/6 of a
// tenth, and the frame moves that little bit past the end point before the effect ends.
i32 ShiftStep(const ScreenEffectCall& c) {
    cScreenEffectRun& run = *c.pRun;
    const double t = run.m_nLimit;
    const double v = run.m_dValue;
    run.m_nA = Trunc32((static_cast<double>(run.Param(3)) - run.Param(1)) / t * v + run.Param(1));
    run.m_nB = Trunc32((static_cast<double>(run.Param(4)) - run.Param(2)) / t * v + run.Param(2));
    return StepTime(c);
}

i32 ScreenEffectShift(const ScreenEffectCall& c) {
    const cScreenEffectRun& run = *c.pRun;
    return Redraw(c, c.pSurf->pWork, true, ShiftStep,
                  [&](DDSURFACEDATA* w) { DDBlt(c.pBack, run.m_nA, run.m_nB, kW, kH, w, 0, 0, OpaqueBackFlags(c.pBack, w)); });
}

// One swing step: out to +p1, back to -p1, p2 full swings over the run.
void Swing(cScreenEffectRun& run) {
    const double d = static_cast<double>(static_cast<i64>(run.Param(2)) * run.Param(1) * 4) / (run.m_nLimit * 6.0);
    if (run.m_nA == 0) {
        run.m_dOffset += d;
        if (run.m_dOffset >= run.Param(1)) {
            run.m_dOffset = run.Param(1);
            run.m_nA = 1;
        }
    } else {
        run.m_dOffset -= d;
        if (run.m_dOffset <= -static_cast<double>(run.Param(1))) {
            run.m_dOffset = -static_cast<double>(run.Param(1));
            run.m_nA = 0;
        }
    }
}

i32 ShakeStep(const ScreenEffectCall& c) {
    Swing(*c.pRun);
    return StepTime(c);
}

i32 ScreenEffectShakeH(const ScreenEffectCall& c) {
    const double o = c.pRun->m_dOffset;
    return Redraw(c, c.pSurf->pWork, false, ShakeStep, [&](DDSURFACEDATA* w) {
        // Only the strip the shifted frame leaves uncovered is cleared.
        if (o > 0) DDFillRect(c.pBack, 0, 0, Trunc32(o + 1), kH, kClearColour);
        else if (o < 0) DDFillRect(c.pBack, Trunc32(o + kW), 0, Trunc32(1 - o), kH, kClearColour);
        DDBlt(c.pBack, Trunc32(o), 0, kW, kH, w, 0, 0, OpaqueBackFlags(c.pBack, w));
    });
}

i32 ScreenEffectShakeV(const ScreenEffectCall& c) {
    const double o = c.pRun->m_dOffset;
    return Redraw(c, c.pSurf->pWork, true, ShakeStep,
                  [&](DDSURFACEDATA* w) { DDBlt(c.pBack, 0, Trunc32(o), kW, kH, w, 0, 0, OpaqueBackFlags(c.pBack, w)); });
}

// A strip count of 0 or less (outside the editor's range) draws the frame plain.
i32 ScrStrip(i32 side, i32 count) { return count > 0 ? (side + count - 1) / count : 0; }

i32 ScreenEffectSplit(const ScreenEffectCall& c, i32 axis) {
    const cScreenEffectRun& run = *c.pRun;
    const i32 strip = ScrStrip(axis == 0 ? kH : kW, run.Param(3));
    return Redraw(c, c.pSurf->pWork, true, StepValue, [&](DDSURFACEDATA* w) {
        DDBltSplit(c.pBack, 0, 0, kW, kH, strip, Trunc32(run.m_dValue), w, 0, 0, 0, axis);
    });
}
i32 ScreenEffectSplitH(const ScreenEffectCall& c) { return ScreenEffectSplit(c, 0); }
i32 ScreenEffectSplitV(const ScreenEffectCall& c) { return ScreenEffectSplit(c, 1); }

i32 WaveStep(const ScreenEffectCall& c) {
    cScreenEffectRun& run = *c.pRun;
    if (++run.m_nA >= 360) run.m_nA = 0;
    return StepValue(c);
}

i32 ScreenEffectWave(const ScreenEffectCall& c, i32 axis) {
    const cScreenEffectRun& run = *c.pRun;
    // A roughness below 1 from data would draw nothing at all.
    const i32 rough = std::max(run.Param(4), 1);
    return Redraw(c, c.pSurf->pWork, true, WaveStep, [&](DDSURFACEDATA* w) {
        DDBltWave(c.pBack, 0, 0, kW, kH, run.Param(3), run.m_dValue, run.m_nA, rough, w, 0, 0, 0, axis);
    });
}
i32 ScreenEffectWaveH(const ScreenEffectCall& c) { return ScreenEffectWave(c, 0); }
i32 ScreenEffectWaveV(const ScreenEffectCall& c) { return ScreenEffectWave(c, 1); }

i32 ScreenEffectBlink(const ScreenEffectCall& c) {
    cScreenEffectRun& run = *c.pRun;
    if (run.m_nB == 0 && c.redrawBackground) c.redrawBackground();
    if (run.m_nA >= run.Param(1)) {
        run.m_nA = 0;
        run.m_nB = run.m_nB ? 0 : 1;
    }
    if (c.bNoStep) return 0;
    ++run.m_nA;
    return StepTime(c);
}

i32 ScreenEffectRotate(const ScreenEffectCall& c) {
    const cScreenEffectRun& run = *c.pRun;
    return Redraw(c, c.pSurf->pWork2, true, StepValue, [&](DDSURFACEDATA* w) {
        DDBltRotate(c.pBack, kW / 2, kH / 2, kW, kH, kW / 2, kH / 2, Trunc32(run.m_dValue), w, 0, 0, 0);
    });
}

// The distances from a point to the far edges of the screen.
i32 FarX(i32 x) { return x < kW / 2 ? kW - x : x; }
i32 FarY(i32 y) { return y < kH / 2 ? kH - y : y; }

i32 ScreenEffectCircle(const ScreenEffectCall& c) {
    const cScreenEffectRun& run = *c.pRun;
    const i32 px = c.nPlayerX, py = c.nPlayerY;
    return Redraw(c, c.pSurf->pWork, true, StepValue, [&](DDSURFACEDATA* w) {
        DDBltCircle(c.pBack, px, py, FarX(px), FarY(py), Trunc32(run.m_dValue), std::max(run.Param(3), 1), w, px, py, 0);
    });
}

i32 ScreenEffectZoom(const ScreenEffectCall& c) {
    const cScreenEffectRun& run = *c.pRun;
    const double s = run.m_dValue * 0.0015625;
    return Redraw(c, c.pSurf->pZoomWork, s < 1, StepValue, [&](DDSURFACEDATA* w) {
        if (s < 1) {
            D3DBltQuad(c.pBack, Trunc32((kW - kW * s) * 0.5), Trunc32((kH - kH * s) * 0.5), Trunc32(kW * s), Trunc32(kH * s), w, 0, 0, kW, kH,
                       DDBLT_KEY);
            return;
        }
        // The view centred on the player, kept inside the screen.
        const double sw = kW / s, sh = kH / s;
        i32 sx = Trunc32(c.nPlayerX - sw * 0.5);
        if (sx + Trunc32(sw) >= kW) sx = Trunc32(kW - sw);
        else if (sx < 0) sx = 0;
        i32 sy = Trunc32(c.nPlayerY - sh * 0.5);
        if (sy + Trunc32(sh) >= kH) sy = Trunc32(kH - sh);
        else if (sy < 0) sy = 0;
        D3DBltQuad(c.pBack, 0, 0, kW, kH, w, sx, sy, Trunc32(sw), Trunc32(sh), DDBLT_KEY);
    });
}

// The lens's frame made row by row (LensRows): each band of rows copied to the work surface and
// cleared in the frame just before the lens reaches it, which is what Redraw does to the whole
// frame at once, under the same state, so the pixels come out the same; but the rows are still
// in the cache when the lens reads and draws them. Direct3D also clears the band of the work
// surface first (under a copy that blends, what lay there shows through).
struct LensFrameRows {
    const ScreenEffectCall* c;
    DDSURFACEDATA* work;
    i32 side;
    u32 alphaOp, factor; // as the copy found them
};
void ReadyLensRows(void* p, i32 top, i32 bottom) {
    const LensFrameRows& f = *static_cast<const LensFrameRows*>(p);
    const i32 n = std::min(bottom, kH) - top;
    if (n <= 0) return;
    if (!lpDTCon) {
        DDBlt(f.work, 0, top, kW, n, f.c->pBack, 0, top, 0);
        return;
    }
    lpDTCon->dwAlphaOp = f.alphaOp;
    lpDTCon->dwTextureFactor = f.factor;
    DDFillRect(f.work, 0, top, f.side, n, 0);
    DDBlt(f.work, 0, top, kW, n, f.c->pBack, 0, top, 0);
    DDFillRect(f.c->pBack, 0, top, kW, n, kClearColour);
    D3DSetAlphaOp(D3DTOP_DISABLE);
}

// Whether the lens's frame can be made row by row: the frame and the work surface are separate
// records, the frame exactly the screen, and in Direct3D every blit and fill drawn at once.
bool LensByRows(const ScreenEffectCall& c, DDSURFACEDATA* work) {
    if (!work || !c.pBack) return false;
    DDSURFACEDATA* target = c.pBack;
    DDSURFACEDATA* source = work;
    if (lpDTCon) {
        if (D3DBatchIsOpen() || D3DFillBatchIsOpen() || lpDTCon->bCopyingVirtual || work->alias || c.pBack->alias) return false;
        DDSetDrawTarget(&target);
        DDSetDrawTarget(&source);
    }
    const PixelStore* t = SurfacePixels(target);
    const PixelStore* s = SurfacePixels(source);
    const PixelStore* b = SurfacePixels(c.pBack);
    return t && s && b && t != s && b != s && t->width == kW && t->height == kH && b->width == kW && b->height == kH;
}

i32 ScreenEffectLens(const ScreenEffectCall& c) {
    const cScreenEffectRun& run = *c.pRun;
    const i32 lx = c.nPlayerX + run.Param(3), ly = c.nPlayerY + run.Param(4);
    const i32 r = Trunc32(std::max(FarX(lx), FarY(ly)) * kScrSqrt2);
    DDSURFACEDATA* work = c.pSurf->pWork2;
    const i32 side = g_nBpp == 16 ? 4 * r : 2 * r;
    const PixelStore* back = c.pBack ? SurfacePixels(c.pBack) : nullptr;
    if (LensByRows(c, work)) {
        const PixelStore* ws = SurfacePixels(work);
        LensFrameRows f{&c, work, side, lpDTCon ? lpDTCon->dwAlphaOp : 0u, lpDTCon ? lpDTCon->dwTextureFactor : 0u};
        const LensRows rows{ReadyLensRows, &f};
        if (lpDTCon) {
            // The part of the cleared square below the frame; the frame's rows come with the copy.
            DDFillRect(work, 0, kH, side, side - kH, 0);
            D3DSetAlphaOp(D3DTOP_DISABLE);
            DDBltLens(c.pBack, lx, ly, r, Trunc32(run.m_dValue), work, lx, ly, 0, 0, &rows);
            D3DResetAlphaOp();
        } else {
            const i32 cw = std::min(kW, ws->width), ch = std::min(kH, ws->height);
            DDFillRect(work, cw, 0, side - cw, side, 0);
            DDFillRect(work, 0, ch, cw, side - ch, 0);
            DDBltLensOnFill(c.pBack, kClearColour, lx, ly, r, Trunc32(run.m_dValue), work, lx, ly, &rows);
        }
        return c.bNoStep ? 0 : StepValue(c);
    }
    if (lpDTCon || !work || !back) {
        if (work) DDFillRect(work, 0, 0, side, side, 0);
        return Redraw(c, work, true, StepValue,
                      [&](DDSURFACEDATA* w) { DDBltLens(c.pBack, lx, ly, r, Trunc32(run.m_dValue), w, lx, ly, 0, 0); });
    }
    // DirectDraw copies the frame over the work surface pixel for pixel: only the part of the
    // cleared square that the copy leaves is filled, and the frame's fill is drawn by the lens
    // itself where it covers the whole frame, so no pixel is written twice.
    const PixelStore* ws = SurfacePixels(work);
    const i32 cw = std::min({kW, back->width, ws ? ws->width : 0}), ch = std::min({kH, back->height, ws ? ws->height : 0});
    const bool whole = back->width == kW && back->height == kH;
    return Redraw(c, work, !whole, StepValue, [&](DDSURFACEDATA* w) {
        DDFillRect(w, cw, 0, side - cw, side, 0);
        DDFillRect(w, 0, ch, cw, side - ch, 0);
        if (whole) DDBltLensOnFill(c.pBack, kClearColour, lx, ly, r, Trunc32(run.m_dValue), w, lx, ly);
        else DDBltLens(c.pBack, lx, ly, r, Trunc32(run.m_dValue), w, lx, ly, 0, 0);
    });
}

i32 ScreenEffectMosaic(const ScreenEffectCall& c) {
    const cScreenEffectRun& run = *c.pRun;
    const i32 block = std::max(Trunc32(run.m_dValue), 1);
    return Redraw(c, c.pSurf->pWork2, true, StepValue,
                  [&](DDSURFACEDATA* w) { DDMosaic(c.pBack, 0, 0, kW, kH, block, w, 0, 0, 0); });
}

} // namespace

const ScreenEffectRoutine ScreenEffectTable[SCR_EFFECT_TYPES] = {
    ScreenEffectNone,   ScreenEffectShift,  ScreenEffectShakeH, ScreenEffectShakeV, ScreenEffectSplitH,
    ScreenEffectSplitV, ScreenEffectWaveH,  ScreenEffectWaveV,  ScreenEffectBlink,  ScreenEffectRotate,
    ScreenEffectCircle, ScreenEffectZoom,   ScreenEffectLens,   ScreenEffectMosaic,
};

void RunScreenEffect(const ScreenEffectCall& call) {
    cScreenEffectRun* run = call.pRun;
    if (!run || run->m_nId == 0 || !call.pSurf) return;
    if (ScreenEffectTable[run->Type()](call)) {
        run->m_nId = 0;
        DDSetRenderToVirtual(0);
    }
}

void RunScreenEffect(cGameScene& scene, i32 noStep, const std::function<void()>& redrawBackground) {
    ScreenEffectCall call;
    call.pRun = &scene.m_ScreenEffect;
    call.pBack = &g_sdBackBuffer;
    call.pSurf = &scene.m_EffectSurf;
    if (const cPlayer* p = scene.Player0()) {
        call.nPlayerX = p->ScreenCentreX();
        call.nPlayerY = p->ScreenCentreY();
    }
    call.redrawBackground = redrawBackground;
    call.bNoStep = noStep;
    RunScreenEffect(call);
}
