#include "play/effects/CharaEffect.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "play/objects/Obj.h"

// ---------------------------------------------------------------------------------------------
// Work surfaces

void EffectSurfaces::Select(bool videoStretch) {
    const bool direct3D = lpDTCon != nullptr;
    pZoomWork = !direct3D && videoStretch ? pWork : pWork2;
    pFxSource = direct3D ? pScratch2 : pWork2;
}

// ---------------------------------------------------------------------------------------------
// Drawing helpers

namespace {

constexpr double kSqrt2 = 1.4142135623730951;

i32 Mul(i32 a, i32 b) { return Trunc32(static_cast<double>(a) * b); }

i32 Mag(const CharaEffectPlace& pl) { return pl.nMag > 1 ? pl.nMag : 1; }

// The picture needs no stretch: stored at the size it is shown.
bool IsNatural(const PictureDesc& pic, const CharaEffectPlace& pl) {
    return pic.bOwnMag ? pl.nMag == pic.nOwnMag : pl.nMag <= 1;
}

BLTEXTRA Extra(const PictureDesc& pic) {
    BLTEXTRA e;
    e.dwColor = pic.dwColor;
    e.dwColorOp = pic.dwColorOp;
    return e;
}

// The colour modulation set around one draw of the natural picture.
class Modulation {
public:
    explicit Modulation(const PictureDesc& pic) : m_on(pic.bModulate != 0 && lpDTCon != nullptr) {
        if (!m_on) return;
        D3DSetVertexColor(pic.dwColor);
        D3DSetColorOp(pic.dwColorOp);
    }
    ~Modulation() {
        if (!m_on) return;
        D3DResetVertexColor();
        D3DResetColorOp();
    }
    Modulation(const Modulation&) = delete;
    Modulation& operator=(const Modulation&) = delete;

private:
    bool m_on;
};

// Where an effect reads the picture from: the picture itself, or a work surface holding it at
// its displayed size (pixel parameters then scale by the magnification).
struct Source {
    DDSURFACEDATA* sd = nullptr;
    i32 sx = 0, sy = 0;
    i32 k = 1;
};

Source FromPicture(const PictureDesc& pic) { return Source{pic.pPicture, pic.nSrcX, pic.nSrcY, 1}; }

Source ThroughWork(DDSURFACEDATA* work, const CharaEffectCall& c) {
    BltCharaPictureScaled(work, *c.pPic, c.place);
    return Source{work, 0, 0, Mag(c.place)};
}

// The routine's last act: the step, unless this is a redraw.
i32 Finish(const CharaEffectCall& c) { return c.bNoStep ? 0 : c.pRun->Step(); }

bool Drawing(const CharaEffectCall& c) { return c.bDraw && c.pTarget && c.pPic && c.pSurf; }

// Blink and translucency: the flip test runs on every call, the counter moves only by stepping.
void ToggleRule(cCharaEffectRun& run, i32 interval) {
    if (run.m_nCounter >= interval) {
        run.m_nCounter = 0;
        run.m_nToggle = run.m_nToggle ? 0 : 1;
    }
}

// Data can give a roughness, a band or a mosaic block below the editor's minimum of 1; the
// blitters would then draw nothing or loop on nothing.
i32 AtLeast1(i32 v) { return v < 1 ? 1 : v; }

// A colour blend past 16 halvings changes nothing more in 16/32 bits, while the 8-bit blend
// loops once per level for every pixel: damaged levels are taken as 16.
i32 BlendLevel(double value) { return std::clamp(Trunc32(value), 0, 16); }

// A blur box wider than the rectangle already covers all of it: a larger radius gives the same
// picture, and the blur's buffers grow with the radius.
i32 BlurRadius(i32 r, i32 side) { return std::min(r, std::max(side, 1)); }

// ---- Routines ----

i32 FxNone(const CharaEffectCall& c) {
    if (Drawing(c)) DrawCharaPicture(c.pTarget, *c.pPic, c.place);
    return 0;
}

template <class Fn>
void Draw(const CharaEffectCall& c, DDSURFACEDATA* work, Fn fn) {
    if (IsNatural(*c.pPic, c.place)) {
        Modulation mod(*c.pPic);
        fn(FromPicture(*c.pPic));
    } else if (work) {
        fn(ThroughWork(work, c));
    }
}

i32 FxQuarters(const CharaEffectCall& c) {
    if (Drawing(c)) {
        const CharaEffectPlace& p = c.place;
        Draw(c, c.pSurf->pZoomWork, [&](const Source& s) {
            DDBltQuarters(c.pTarget, p.x, p.y, p.w, p.h, s.sd, s.sx, s.sy, Trunc32(s.k * c.pRun->m_dValue), 1);
        });
    }
    return Finish(c);
}

// A strip count of 0 or less (outside the editor's range) draws the picture plain.
i32 Strip(i32 side, i32 count) { return count > 0 ? (side + count - 1) / count : 0; }

i32 FxSplit(const CharaEffectCall& c, i32 axis) {
    if (Drawing(c)) {
        const CharaEffectPlace& p = c.place;
        const i32 strip = Strip(axis == 0 ? p.h : p.w, c.pRun->Param(3));
        Draw(c, c.pSurf->pZoomWork, [&](const Source& s) {
            DDBltSplit(c.pTarget, p.x, p.y, p.w, p.h, strip, Trunc32(s.k * c.pRun->m_dValue), s.sd, s.sx, s.sy, 1, axis);
        });
    }
    return Finish(c);
}
i32 FxSplitH(const CharaEffectCall& c) { return FxSplit(c, 0); }
i32 FxSplitV(const CharaEffectCall& c) { return FxSplit(c, 1); }

i32 FxWave(const CharaEffectCall& c, i32 axis) {
    cCharaEffectRun& run = *c.pRun;
    if (Drawing(c)) {
        const CharaEffectPlace& p = c.place;
        Draw(c, c.pSurf->pZoomWork, [&](const Source& s) {
            DDBltWave(c.pTarget, p.x, p.y, p.w, p.h, run.Param(3), s.k * run.m_dValue, run.m_nCounter,
                      Mul(AtLeast1(run.Param(4)), s.k), s.sd, s.sx, s.sy, 1, axis);
        });
    }
    if (c.bNoStep) return 0;
    if (++run.m_nCounter >= 360) run.m_nCounter = 0;
    return run.Step();
}
i32 FxWaveH(const CharaEffectCall& c) { return FxWave(c, 0); }
i32 FxWaveV(const CharaEffectCall& c) { return FxWave(c, 1); }

i32 FxBlink(const CharaEffectCall& c) {
    cCharaEffectRun& run = *c.pRun;
    if (Drawing(c) && run.m_nToggle) DrawCharaPicture(c.pTarget, *c.pPic, c.place);
    ToggleRule(run, run.Param(1));
    if (c.bNoStep) return 0;
    ++run.m_nCounter;
    return run.Step();
}

void RotateFrom(const CharaEffectCall& c, const Source& s) {
    const CharaEffectPlace& p = c.place;
    DDBltRotate(c.pTarget, p.x + p.w / 2, p.y + p.h / 2, p.w, p.h, p.w / 2, p.h / 2, Trunc32(c.pRun->m_dValue), s.sd, s.sx,
                s.sy, 1);
}

// Accurate for magnified pictures: magnified first, then turned.
void DrawRotateB(const CharaEffectCall& c) {
    DDSURFACEDATA* work = lpDTCon ? c.pSurf->pWork : c.pSurf->pWork2;
    Draw(c, work, [&](const Source& s) { RotateFrom(c, s); });
}

i32 FxRotateA(const CharaEffectCall& c) {
    if (Drawing(c)) {
        const PictureDesc& pic = *c.pPic;
        const CharaEffectPlace& p = c.place;
        if (lpDTCon || IsNatural(pic, p)) {
            DrawRotateB(c);
        } else if (DDSURFACEDATA* work = c.pSurf->pZoomWork; work && c.pSurf->pScratch) {
            // Magnified pictures turn at their drawn size: magnified into the scratch surface,
            // turned into a square that holds every angle of it, the square drawn centred on the
            // picture.
            BltCharaPictureScaled(c.pSurf->pScratch, pic, p);
            const i32 side = Trunc32(std::max(p.w, p.h) * kSqrt2);
            DDFillRect(work, 0, 0, side, side, 0);
            DDBltRotate(work, side / 2, side / 2, p.w, p.h, p.w / 2, p.h / 2, Trunc32(c.pRun->m_dValue), c.pSurf->pScratch, 0,
                        0, 0);
            D3DBltQuad(c.pTarget, p.x + p.w / 2 - side / 2, p.y + p.h / 2 - side / 2, side, side, work, 0, 0, side, side,
                       DDBLT_KEY);
        }
    }
    return Finish(c);
}

i32 FxRotateB(const CharaEffectCall& c) {
    if (Drawing(c)) DrawRotateB(c);
    return Finish(c);
}

i32 FxDepthRotate(const CharaEffectCall& c) {
    if (Drawing(c)) {
        const PictureDesc& pic = *c.pPic;
        const CharaEffectPlace& p = c.place;
        Modulation mod(pic);
        DDBltDepthRotate(c.pTarget, p.x, p.y, p.w, p.h, pic.pStretch, pic.nSrcX, pic.nSrcY,
                         pic.pStretch2 ? pic.pStretch2 : pic.pStretch, pic.nSrcX, pic.nSrcY, pic.StoredWidth(),
                         pic.StoredHeight(), 1, Trunc32(c.pRun->m_dValue), 0);
    }
    return Finish(c);
}

i32 FxCircle(const CharaEffectCall& c) {
    if (Drawing(c)) {
        const PictureDesc& pic = *c.pPic;
        const CharaEffectPlace& p = c.place;
        const cCharaEffectRun& run = *c.pRun;
        const i32 cx = p.x + p.w / 2, cy = p.y + p.h / 2;
        const i32 band = AtLeast1(run.Param(3));
        if (!lpDTCon && IsNatural(pic, p)) {
            DDBltCircle(c.pTarget, cx, cy, p.w / 2, p.h / 2, Trunc32(run.m_dValue), band, pic.pPicture, pic.nSrcX + p.w / 2,
                        pic.nSrcY + p.h / 2, 1);
        } else if (DDSURFACEDATA* work = c.pSurf->pZoomWork) {
            // Under Direct3D the picture goes through the work surface even at its own size.
            BltCharaPictureScaled(work, pic, p);
            const i32 m = Mag(p);
            DDBltCircle(c.pTarget, cx, cy, p.w / 2, p.h / 2, Trunc32(m * run.m_dValue), Mul(band, m), work, p.w / 2, p.h / 2, 1);
        }
    }
    return Finish(c);
}

i32 FxZoom(const CharaEffectCall& c) {
    if (Drawing(c)) {
        const PictureDesc& pic = *c.pPic;
        const CharaEffectPlace& p = c.place;
        const double grow = c.pRun->m_dValue - 32;
        if (IsNatural(pic, p)) {
            const i32 d = Trunc32(grow);
            // Shrunk to nothing (or past it, which would mirror the picture): nothing to draw.
            if (p.w + d > 0 && p.h + d > 0) {
                Modulation mod(pic);
                D3DBltQuad(c.pTarget, p.x - d / 2, p.y - d / 2, p.w + d, p.h + d, pic.pPicture, pic.nSrcX, pic.nSrcY, p.w,
                           p.h, DDBLT_KEY);
            }
        } else if (DDSURFACEDATA* work = c.pSurf->pZoomWork) {
            const i32 d = Trunc32(grow * Mag(p));
            const i32 g = d / 2;
            BltCharaPictureScaled(work, pic, p);
            if (p.w + g > 0 && p.h + g > 0)
                D3DBltQuad(c.pTarget, p.x - g / 2, p.y - g / 2, p.w + g, p.h + g, work, 0, 0, p.w, p.h, DDBLT_KEY);
        }
    }
    return Finish(c);
}

i32 FxLens(const CharaEffectCall& c) {
    if (!Drawing(c) || !c.pSurf->pFxSource) return Finish(c);
    const PictureDesc& pic = *c.pPic;
    const CharaEffectPlace& p = c.place;
    const cCharaEffectRun& run = *c.pRun;
    const bool natural = IsNatural(pic, p);
    const i32 m = Mag(p);
    const i32 ox = Trunc32(static_cast<double>(run.Param(3)) * m), oy = Trunc32(static_cast<double>(run.Param(4)) * m);
    const i32 r = Trunc32((p.w / 2 + std::max(std::abs(ox), std::abs(oy))) * kSqrt2);
    const i32 k = Mul(Trunc32(run.m_dValue), natural ? 1 : m);
    DDSURFACEDATA* src = c.pSurf->pFxSource;
    const i32 q = !lpDTCon && g_nBpp != 16 ? 2 * r : 4 * r;
    DDFillRect(src, 0, 0, q, q, 0);
    // The copy carries the modulation where the source can take it.
    if (natural) BltCharaPicture(src, pic);
    else BltCharaPictureScaled(src, pic, p);
    const i32 cx = p.x + p.w / 2 + ox, cy = p.y + p.h / 2 + oy;
    const i32 scx = p.w / 2 + ox, scy = p.h / 2 + oy;
    DDSURFACEDATA* scratch = c.pSurf->pScratch;
    const bool modulate = lpDTCon && pic.bModulate;
    if (lpDTCon && scratch && (modulate || lpDTCon->bVirtual)) {
        // Through the scratch surface: the lens reads and writes pixels, the last draw is a quad.
        DDFillRect(scratch, 0, 0, 4 * r, 4 * r, 0);
        const u32 clear = !modulate && g_nWindowMode && g_nBpp == 32 ? 1 : 0;
        DDBltLens(scratch, r, r, r, k, src, scx, scy, 1, clear);
        const BLTEXTRA extra = Extra(pic);
        DDBltEx(c.pTarget, cx - r, cy - r, 2 * r, 2 * r, scratch, 0, 0, DDBLT_KEY, modulate ? &extra : nullptr);
    } else {
        DDBltLens(c.pTarget, cx, cy, r, k, src, scx, scy, 1, 0);
    }
    return Finish(c);
}

// Colour blend and translucency read a work copy when the colour modulation has to be baked in
// first (Direct3D), or when the picture is magnified.
Source BlendSource(const CharaEffectCall& c) {
    const PictureDesc& pic = *c.pPic;
    DDSURFACEDATA* work = c.pSurf->pWork2;
    if (!IsNatural(pic, c.place)) {
        if (!work) return Source{};
        return ThroughWork(work, c);
    }
    if (lpDTCon && pic.bModulate && work) {
        BltCharaPicture(work, pic);
        return Source{work, 0, 0, 1};
    }
    return FromPicture(pic);
}

i32 FxColorBlend(const CharaEffectCall& c) {
    if (Drawing(c)) {
        const CharaEffectPlace& p = c.place;
        const Source s = BlendSource(c);
        DDBltColorBlend(c.pTarget, p.x, p.y, p.w, p.h, s.sd, s.sx, s.sy, 1, &g_palBase, g_lpBlendTable,
                        static_cast<u32>(c.pRun->Param(3)), BlendLevel(c.pRun->m_dValue));
    }
    return Finish(c);
}

i32 FxHalfAlpha(const CharaEffectCall& c) {
    cCharaEffectRun& run = *c.pRun;
    if (Drawing(c) && !run.m_nToggle) {
        const CharaEffectPlace& p = c.place;
        const Source s = BlendSource(c);
        DDBltHalfAlpha(c.pTarget, p.x, p.y, p.w, p.h, s.sd, s.sx, s.sy, 1, g_lpBlendTable);
    }
    ToggleRule(run, run.Param(1));
    if (c.bNoStep) return 0;
    ++run.m_nCounter;
    return run.Step();
}

// Mosaic and blur. DirectDraw draws a natural picture straight from it; otherwise the picture
// goes to the effects' source surface first, and under Direct3D (a natural picture always, a
// magnified one with modulation or the virtual back buffer on) the effect is drawn into the
// scratch surface, which is then drawn onto the target as one quad.
template <class Fn>
void DrawPixelEffect(const CharaEffectCall& c, Fn effect) {
    const PictureDesc& pic = *c.pPic;
    const CharaEffectPlace& p = c.place;
    const bool natural = IsNatural(pic, p);
    if (!lpDTCon && natural) {
        effect(c.pTarget, p.x, p.y, FromPicture(pic));
        return;
    }
    DDSURFACEDATA* src = c.pSurf->pFxSource;
    if (!src) return;
    Source s{src, 0, 0, natural ? 1 : Mag(p)};
    if (natural) BltCharaPicture(src, pic);
    else BltCharaPictureScaled(src, pic, p);
    DDSURFACEDATA* scratch = c.pSurf->pScratch;
    const bool modulate = lpDTCon && pic.bModulate;
    if (lpDTCon && scratch && (natural || modulate || lpDTCon->bVirtual)) {
        DDFillRect(scratch, 0, 0, 2 * p.w, 2 * p.h, 0);
        effect(scratch, 0, 0, s);
        const BLTEXTRA extra = Extra(pic);
        DDBltEx(c.pTarget, p.x, p.y, p.w, p.h, scratch, 0, 0, DDBLT_KEY, modulate ? &extra : nullptr);
        return;
    }
    effect(c.pTarget, p.x, p.y, s);
}

i32 FxMosaic(const CharaEffectCall& c) {
    if (Drawing(c)) {
        const CharaEffectPlace& p = c.place;
        const i32 block = AtLeast1(Trunc32(c.pRun->m_dValue));
        DrawPixelEffect(c, [&](DDSURFACEDATA* dst, i32 x, i32 y, const Source& s) {
            DDMosaic(dst, x, y, p.w, p.h, Mul(block, s.k), s.sd, s.sx, s.sy, 1);
        });
    }
    return Finish(c);
}

i32 FxBlur(const CharaEffectCall& c) {
    if (Drawing(c)) {
        const CharaEffectPlace& p = c.place;
        const i32 v = Trunc32(c.pRun->m_dValue);
        DrawPixelEffect(c, [&](DDSURFACEDATA* dst, i32 x, i32 y, const Source& s) {
            // 8-bit colour has no blur: the picture fades toward palette colour 31 instead.
            if (!lpDTCon && g_nBpp == 8)
                DDBltColorBlend(dst, x, y, p.w, p.h, s.sd, s.sx, s.sy, 1, &g_palBase, g_lpBlendTable, 31,
                                BlendLevel(c.pRun->m_dValue));
            else
                DDBlur(dst, x, y, p.w, p.h, BlurRadius(Mul(v, s.k), p.w), BlurRadius(Mul(v, s.k), p.h), s.sd, s.sx,
                       s.sy, 1);
        });
    }
    return Finish(c);
}

} // namespace

const CharaEffectRoutine CharaEffectTable[CHARA_EFFECT_TYPES] = {
    FxNone,    FxQuarters, FxSplitH,      FxSplitV, FxWaveH, FxWaveV,      FxBlink,      FxRotateA, FxRotateB,
    FxDepthRotate, FxCircle, FxZoom, FxLens,   FxColorBlend, FxHalfAlpha, FxMosaic, FxBlur,
};

i32 CallCharaEffect(const CharaEffectCall& call) {
    if (!call.pRun) return 0;
    return CharaEffectTable[call.pRun->Type()](call);
}

// ---------------------------------------------------------------------------------------------
// Plain pictures

void BltCharaPicture(DDSURFACEDATA* work, const PictureDesc& pic) {
    if (!work) return;
    const BLTEXTRA extra = Extra(pic);
    DDBltEx(work, 0, 0, pic.StoredWidth(), pic.StoredHeight(), pic.pPicture, pic.nSrcX, pic.nSrcY, 0,
            pic.bModulate ? &extra : nullptr);
}

void BltCharaPictureScaled(DDSURFACEDATA* work, const PictureDesc& pic, const CharaEffectPlace& place) {
    if (!work) return;
    if (IsNatural(pic, place)) {
        BltCharaPicture(work, pic);
        return;
    }
    const BLTEXTRA extra = Extra(pic);
    DDBltExQuad(work, 0, 0, place.w, place.h, pic.pStretch, pic.nSrcX, pic.nSrcY, pic.StoredWidth(), pic.StoredHeight(),
                0, pic.bModulate ? &extra : nullptr);
}

void DrawCharaPicture(DDSURFACEDATA* target, const PictureDesc& pic, const CharaEffectPlace& place) {
    const BLTEXTRA extra = Extra(pic);
    const BLTEXTRA* e = pic.bModulate ? &extra : nullptr;
    if (IsNatural(pic, place))
        DDBltEx(target, place.x, place.y, place.w, place.h, pic.pPicture, pic.nSrcX, pic.nSrcY, DDBLT_KEY, e);
    else
        DDBltExQuad(target, place.x, place.y, place.w, place.h, pic.pStretch, pic.nSrcX, pic.nSrcY, pic.StoredWidth(),
                    pic.StoredHeight(), DDBLT_KEY, e);
}
