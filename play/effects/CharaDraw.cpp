#include "play/effects/CharaDraw.h"

#include <algorithm>
#include <climits>

#include "app/Game.h"
#include "app/SceneDraw.h"
#include "database/Database.h"
#include "play/rules/Damage.h"
#include "records/CharaSettings.h"
#include "records/Stage.h"

namespace {

// The picture slots of the effects' work surfaces and of the mark sheet (see the picture table
// in database/DataPaths.cpp).
constexpr int kSlotMark = 43;
constexpr int kSlotMarkStretch = 44;
constexpr int kSlotEffectWork2 = 65;
constexpr int kSlotEffectWork = 67;
constexpr int kSlotEffectScratch = 69;
constexpr int kSlotEffectScratch2 = 70;

CharaEffectPlace PlaceOf(const cChara& c) {
    return CharaEffectPlace{c.m_rcScreen.left, c.m_rcScreen.top, c.m_nGfxW, c.m_nGfxH, c.m_nScale};
}

// Calls the routine of the character's effect; an effect that ends goes back to none.
i32 RunRoutine(cChara& c, DDSURFACEDATA* target, const PictureDesc* pic, i32 noStep, i32 draw) {
    CharaEffectCall call;
    call.pRun = &c.m_CharaEffect;
    call.pTarget = target;
    call.pPic = pic;
    call.place = PlaceOf(c);
    if (pic) {
        // A cell of another size than the graphic (a shot's 16 dots) is drawn at its own size
        // times the character's magnification, centred over the graphic, standing on its bottom.
        const i32 mag = std::max(call.place.nMag, 1);
        const i32 w = pic->nWidth * mag, h = pic->nHeight * mag;
        if (w > 0 && h > 0 && (w != call.place.w || h != call.place.h)) {
            call.place.x += (call.place.w - w) / 2;
            call.place.y += call.place.h - h;
            call.place.w = w;
            call.place.h = h;
        }
    }
    call.pSurf = c.m_pScene ? &c.m_pScene->m_EffectSurf : nullptr;
    call.bNoStep = noStep;
    call.bDraw = draw && pic && call.pSurf ? 1 : 0;
    const i32 ended = CallCharaEffect(call);
    if (ended) c.m_CharaEffect.m_nId = 0;
    return ended;
}

// The frame's picture: the character's animation value, its picture number, the description.
bool Describe(cChara& c, i32 noStep, const CharaPictureFn& picture, PictureDesc& desc) {
    const i32 frame = c.CurrentAnimeValue(noStep);
    const i32 no = c.PictureNumber(desc);
    return picture && picture(c, no, frame, desc);
}

// The mark chip over a character whose definition shows one.
void DrawMarkChip(cChara& c, DDSURFACEDATA* target) {
    if (!CharaSettings::Get(c.m_Def, eChara::MarkShown)) return;
    DrawObjChip(c, target, static_cast<i32>(CharaSettings::Get(c.m_Def, eChara::Mark)));
}

} // namespace

void DrawObjChip(const cObj& o, DDSURFACEDATA* target, i32 n) {
    if (!o.m_pScene) return;
    const EffectSurfaces& s = o.m_pScene->m_EffectSurf;
    const i32 x = o.m_rcScreen.left, y = o.m_rcScreen.top;
    if (o.m_nScale <= 1)
        DDBlt(target, x, y, 32, 32, s.pChip, ChipSourceX(n), ChipSourceY(n), DDBLT_KEY);
    else
        D3DBltQuad(target, x, y, o.m_nGfxW, o.m_nGfxH, s.pChipStretch, ChipSourceX(n), ChipSourceY(n), o.m_nGfxW0,
                   o.m_nGfxH0, DDBLT_KEY);
}

void SelectEffectSurfaces(EffectSurfaces& surf, bool videoStretch) {
    surf.pWork = ScenePicture(kSlotEffectWork);
    surf.pWork2 = ScenePicture(kSlotEffectWork2);
    surf.pScratch = ScenePicture(kSlotEffectScratch);
    surf.pScratch2 = ScenePicture(kSlotEffectScratch2);
    surf.pChip = ScenePicture(kSlotMark);
    surf.pChipStretch = ScenePicture(kSlotMarkStretch);
    surf.Select(videoStretch);
}

// ---------------------------------------------------------------------------------------------
// Frame and picture

i32 cChara::CurrentAnimeValue(i32 noStep) {
    if (!noStep) {
        AnimeAdvance(m_Anim);
        for (std::size_t i = 0; i < m_vOverlayAnim.size();) {
            OVERLAYANIM& e = m_vOverlayAnim[static_cast<long long>(i)];
            if (!e.bEnabled) {
                ++i;
                continue;
            }
            if (AnimeAdvance(e.anim) == ANIM_END) {
                m_vOverlayAnim.erase(m_vOverlayAnim.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            --e.nCount;
            ++i;
        }
    }
    // The overlay shown: an untimed entry only while nothing is taken (as if it had all the time
    // there is), else the timed entry with the fewest frames left; once a taken entry and a
    // newly seen one have both run out, the one that ran out last wins among the later ones.
    const OVERLAYANIM* taken = nullptr;
    i64 held = 0;
    bool ranOut = false;
    for (const OVERLAYANIM& e : m_vOverlayAnim) {
        if (!e.bEnabled) continue;
        const i64 count = e.bTimed ? e.nCount : INT_MAX;
        if (ranOut) {
            if (count <= 0 && count > held) {
                taken = &e;
                held = count;
            }
            continue;
        }
        const bool bothOut = taken && held <= 0 && count <= 0;
        if (!e.bTimed) {
            if (!taken) {
                taken = &e;
                held = count;
            }
        } else if (!taken || count < held) {
            taken = &e;
            held = count;
        }
        if (bothOut) ranOut = true;
    }
    // The character's own motion programs end on the end code; the last pattern stays shown.
    return taken ? AnimeCurrentValue(taken->anim) : AnimeShownValue(m_Anim);
}

i32 cChara::PictureNumber(PictureDesc& desc) {
    i64 n = static_cast<i64>(m_Def.wPicture) + m_nPictureShift;
    // The animation set's offsets by state: hit invincibility, the invincible status, flight.
    const bool states[3] = {IsInvincible(), m_nInvincibleKind != 0, IsFlying()};
    if (m_nAnimSet >= 0 && m_nAnimSet < g_Database.m_vAnimeSet.Size()) {
        const cAnimeSetData& set = g_Database.m_vAnimeSet[m_nAnimSet];
        if (states[0]) n += set.nPatternAdd1;
        if (states[1]) n += set.nPatternAdd2;
        if (states[2]) n += set.nPatternAdd3;
    }
    desc.bModulate = 0;
    if (states[2] && lpDTCon && m_byColourVariant != 0 && m_byColourVariant < std::size(g_CycleColor)) {
        desc.bModulate = 1;
        desc.dwColor = g_CycleColor[m_byColourVariant].dwColor;
        desc.dwColorOp = g_CycleColor[m_byColourVariant].dwColorOp;
    }
    return static_cast<i32>(std::clamp<i64>(n, INT_MIN, INT_MAX));
}

// ---------------------------------------------------------------------------------------------
// Dispatch

void DrawCharaEffect(cChara& c, DDSURFACEDATA* target, i32 noStep, const CharaPictureFn& picture) {
    if (c.m_bHidden || c.m_bTransparent) {
        c.CurrentAnimeValue(noStep);
        StepCharaEffect(c, noStep);
        return;
    }
    c.ScreenPos();
    if (c.m_bPinX) {
        c.m_rcScreen.left = c.m_nPinX;
        c.m_rcScreen.right = c.m_nPinX + c.m_nGfxW - 1;
    }
    if (c.m_bPinY) {
        c.m_rcScreen.top = c.m_nPinY;
        c.m_rcScreen.bottom = c.m_nPinY + c.m_nGfxH - 1;
    }
    PictureDesc desc;
    const bool have = Describe(c, noStep, picture, desc);
    RunRoutine(c, target, have ? &desc : nullptr, noStep, 1);
    DrawMarkChip(c, target);
}

i32 StepCharaEffect(cChara& c, i32 noStep) { return RunRoutine(c, nullptr, nullptr, noStep, 0); }

i32 DrawPlayerCharaEffect(cChara& c, DDSURFACEDATA* target, i32 noStep, const CharaPictureFn& picture) {
    c.ScreenPos();
    PictureDesc desc;
    const bool have = Describe(c, noStep, picture, desc);
    const PictureDesc* pic = have ? &desc : nullptr;
    if (c.m_bDeathWait) {
        if (!c.m_CharaEffect.IsRunning()) return 1;
        return RunRoutine(c, target, pic, noStep, 1);
    }
    if (c.m_CharaEffect.IsRunning()) {
        RunRoutine(c, target, pic, noStep, 1);
        return 0;
    }
    if (!noStep) ++c.m_nDeathWaitFrames;
    return c.m_nDeathWaitFrames > g_Game.g_nFrameRate ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Gauges

GAUGESTRIPS GaugeStrips(u32 dataVersion) {
    return dataVersion < kThinGaugeVersion ? GAUGESTRIPS{128, 16} : GAUGESTRIPS{208, 2};
}

void DrawGaugeBar(cChara& c, DDSURFACEDATA* target, GAUGESTATE& g, i32 kind, i32 noStep, DDSURFACEDATA* sheet) {
    if (g.nFrames < 1 || c.IsDying()) return;
    if (!sheet) sheet = ScenePicture(PIC_ACCESSORY);
    const GAUGESTRIPS strips = GaugeStrips(g_Stage.nFileVersion);
    const i32 sx = kind == GAUGE_SP ? 64 : 0;
    const i32 x = c.m_rcScreen.left + c.m_nGfxW / 2 - 25;
    const i32 y = c.m_rcScreen.top - (kind == GAUGE_SP ? 7 : 3);
    const i32 level = std::clamp(g.nLevel, 0, 50);
    auto strip = [&](i32 part, i32 from, i32 w) {
        if (w > 0) DDBlt(target, x + from, y, w, 2, sheet, sx + from, strips.row + strips.step * part, DDBLT_KEY);
    };
    strip(1, 0, 50);
    strip(2, 0, level);
    // The change: what was gained shows left of the filled end, what was lost right of it.
    const i32 change = Trunc32(g.dDelta);
    if (change > 0) strip(3, std::max(level - change, 0), std::min(change, level));
    else if (change < 0) strip(4, level, std::min(-change, 50 - level));
    if (noStep) return;
    --g.nFrames;
    if (g.nFrames >= 60) g.dDelta -= g.dStep;
    else g.dDelta = 0;
}

void DrawHPGauge(cChara& c, DDSURFACEDATA* target, i32 noStep, DDSURFACEDATA* sheet) {
    DrawGaugeBar(c, target, c.m_HpGauge, GAUGE_HP, noStep, sheet);
}

void DrawSPGauge(cChara& c, DDSURFACEDATA* target, i32 noStep, DDSURFACEDATA* sheet) {
    DrawGaugeBar(c, target, c.m_SpGauge, GAUGE_SP, noStep, sheet);
}
