// The play screen: background rows, block layers, the objects by drawing layer, overlays,
// effect objects and messages, the status bar, the time limit, the caption and the colour effect,
// drawn through the graphics layer into the back buffer in every drawing mode.
//
// The freeze flag (b) is set by every draw but the update's own: such a draw changes nothing of
// the play. It steps no animation or effect, ends nothing, removes nothing and runs no death
// handling; what a frozen draw finds finished waits for the update's next draw.
#include <algorithm>
#include <cmath>

#include "app/PlayRecordNames.h"
#include "app/SceneDraw.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Sjis.h"
#include "platform/system/WindowMessages.h"
#include "play/GameScene.h"
#include "play/PlayDraw.h"
#include "play/effects/CharaDraw.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "records/StrFormat.h"

namespace {

i64 DrawSetting(eStage s) { return StageSettings::Get(g_Stage, s); }

// A background row's fill switch, fill colour and layer. Decision: the row has three unnamed
// words for them. A row whose picture is not a file (its source word non-zero) is filled; the
// first unnamed word, 16 by default, is the fill colour (16 is also the colour the play screen
// shows without any row); the second, 0 by default, is the layer (0 behind the play field).
bool BackFilled(const cEdBack& b) { return b.dwSource != 0; }
u32 BackColour(const cEdBack& b) { return b.dwGroup44 & 0xFF; }
u32 BackLayer(const cEdBack& b) { return b.dwGroup48; }

// a mod m into [0, m).
i32 Wrap(i64 a, i32 m) {
    if (m <= 0) return 0;
    i64 r = a % m;
    if (r < 0) r += m;
    return static_cast<i32>(r);
}

double WrapD(double v, i32 m) {
    if (m <= 0 || !std::isfinite(v)) return 0.0;
    v = std::fmod(v, static_cast<double>(m));
    if (v < 0) v += m;
    return v;
}

std::string Num(i64 v) { return std::to_string(v); }

// A stage character: its body through its character effect, its gauges and the mark of the item
// it carries; only its effect's time while it is off screen and awake. A dying character shows
// its death effect: 1 once that has ended. A frozen draw advances nothing.
i32 DrawStageChara(cStageChara& c, DDSURFACEDATA* target, i32 freeze) {
    if (c.IsDying()) {
        DrawCharaEffect(c, target, freeze, CharaPicture);
        return !freeze && !c.m_CharaEffect.IsRunning() ? 1 : 0;
    }
    if (!c.m_bOnScreen) {
        if (c.m_bWoken) StepCharaEffect(c, freeze);
        return 0;
    }
    DrawCharaEffect(c, target, freeze, CharaPicture);
    DrawHPGauge(c, target, freeze);
    DrawSPGauge(c, target, freeze);
    // The carried item's mark blinks (shown 32 of every 96 steps of its counter) above it.
    if (c.m_bHasItem && !c.m_bHidden) {
        const bool shown = freeze ? c.m_nItemBlink >= 64 : c.StepCarriedItemMark();
        const cEdItem& item = c.m_Item.m_Def;
        if (shown && item.wPicture > 0)
            DrawDigits(target, c.m_pScene, c.m_rcScreen.left + c.m_nGfxW / 2 - 8, c.m_rcScreen.top - 16, item.byPictureKind,
                       item.wPicture, 0);
    }
    return 0;
}

// Whether a frame's drawing has anything to do for a stage character: draw it, step its
// effect's time or show its flow overlay. Only the step start, a kill and the set-up change what
// this reads, and none of them runs inside a draw.
bool HasDrawWork(const cStageChara& c) { return c.IsDying() || c.m_bOnScreen || c.m_bWoken; }

// The draw's walks over the stage characters (one per layer, then the overlays) go over the
// characters found with draw work by one walk at the draw's start, in list order. Once the list
// changes (a death effect ends and takes its character out, which may unlink others), the walk
// goes on over every character from where it is, and so do the walks after it.
class DrawWalks {
public:
    DrawWalks(cGameScene& s, std::vector<i32>& listed) : m_s(s), m_listed(listed) {
        m_listed.clear();
        // A sleeper is off screen, alive and without an effect: nothing to draw or step.
        s.WalkUnlessAsleep([&](i32 i, const cStageChara& c) {
            if (HasDrawWork(c)) m_listed.push_back(i);
        });
        m_nVersion = s.m_lstChara.Version();
    }

    template <class Fn>
    void Walk(Fn&& fn) {
        cObjList<cStageChara>& l = m_s.m_lstChara;
        cObjList<cStageChara>::WalkScope scope(l);
        i32 from = 0;
        if (!m_bFull) {
            for (i32 i : m_listed) {
                if (l.Version() != m_nVersion) {
                    m_bFull = true;
                    break;
                }
                from = i + 1;
                if (cStageChara* c = l.Live(i)) fn(*c);
            }
            if (!m_bFull && l.Version() == m_nVersion) return;
            m_bFull = true;
        }
        for (i32 i = from; i < l.Size(); ++i)
            if (cStageChara* c = l.Live(i)) fn(*c);
    }

private:
    cGameScene& m_s;
    std::vector<i32>& m_listed;
    u32 m_nVersion = 0;
    bool m_bFull = false;
};

} // namespace

DDSURFACEDATA* PlayPicture(i32 slot) {
    if (!g_DDGraphics.pictures || slot < 0 || slot >= g_DDGraphics.pictureCount) return nullptr;
    return &g_DDGraphics.pictures[slot];
}

bool PlayPictureLoaded(i32 slot) {
    DDSURFACEDATA* sd = PlayPicture(slot);
    if (!sd) return false;
    if (!SurfacePixels(sd) && sd->alias) sd = sd->alias;
    return SurfacePixels(sd) != nullptr;
}

void DrawSheetCell(DDSURFACEDATA* target, DDSURFACEDATA* sheet, i32 n, i32 x, i32 y) {
    // A cell past the sheet (a number from data) is clipped away by the blit.
    if (!target || !sheet || n < 0) return;
    DDBlt(target, x, y, 32, 32, sheet, (n / 15) * 32, (n % 15) * 32, DDBLT_KEY);
}

void PlayText(DDSURFACEDATA* target, i32 x, i32 y, const std::string& sjis, i32 dots) {
    if (sjis.empty() || !target) return;
    if (dots >= 16) {
        SceneText(target, x, y, sjis, dots);
        return;
    }
    if (g_aFont[0].face) DDDrawText(&g_aFont[0], target, x, y, sjis.c_str(), 0);
}

i32 PlayCaption() { return g_bDirectStart ? 27 : g_bFromEditor ? 26 : -1; }

// ---- The frame ----

void cGameScene::Draw(i32 a, i32 b, i32 /*c*/, i32 /*d*/) {
    DDSURFACEDATA* target = &g_sdBackBuffer;
    const u32 frozen = b ? 1u : 0u;

    DDSURFACEDATA* hudA = PlayPicture(PLAYPIC_HUD_A);
    DDSURFACEDATA* hudB = PlayPicture(PLAYPIC_HUD_B);
    if ((hudA && hudA->restored) || (hudB && hudB->restored)) BuildHudTiles();
    // A running screen effect reads the finished frame back: under Direct3D the frame is drawn
    // into the virtual back buffer meanwhile.
    m_bVirtualTarget = lpDTCon && m_ScreenEffect.IsRunning() && m_ScreenEffect.Type() != 0 ? 1 : 0;
    if (m_bVirtualTarget) DDSetRenderToVirtual(1);
    else if (lpDTCon && lpDTCon->bVirtual) DDSetRenderToVirtual(0);

    // The background keeps scrolling while the game is held (messages, pictures); only the pause
    // stops it.
    if (m_nState != 3) DrawBackground();
    DrawBgPicture(target, 0);
    if (a == 0 && m_nState == 3 && SysSwitch(SW_PAUSE_OVERLAY)) {
        DrawBgPicture(target, 1);
        DrawScreenFlash(b);
        return;
    }
    DrawObjectLayer(target, 0, b);
    DrawBlockLayer(target, 0);

    const bool layered = DrawSetting(eStage::LayerSwitch) != 0;
    cPlayer* p0 = Player0();
    DrawWalks charas(*this, m_vDrawCharas);
    for (i32 layer = 0; layer < (layered ? kLayerCount : 1); ++layer) {
        auto onLayer = [&](i32 l) { return !layered || std::clamp(l, 0, kLayerCount - 1) == layer; };
        if (p0 && onLayer(p0->m_nLayer)) DrawPlayer(target, b);
        // Items have no layer of their own: they go with layer 0.
        if (onLayer(0))
            ForEachItem([&](cItem& it) {
                if (!it.m_bPresent || it.m_bTaken) return;
                it.ScreenPos();
                DrawItem(*this, it, target);
            });
        charas.Walk([&](cStageChara& ch) {
            if (!onLayer(ch.m_nLayer)) return;
            // A death effect that ended takes its character out, in the update's draw only.
            if (DrawStageChara(ch, target, b) && !frozen) RemoveStageChara(ch);
        });
        ForEachShot([&](cShot& s) {
            if (!onLayer(s.m_nLayer) || !s.IsOnScreen()) return;
            s.ScreenPos();
            s.Draw(target);
        });
    }

    DrawBlockLayer(target, 1);
    DrawBgPicture(target, 1);
    charas.Walk([&](cStageChara& ch) { DrawFlowOverlay(ch, target); });
    if (p0) DrawFlowOverlay(*p0, target);
    DrawFollowPicture(target);
    DrawObjectLayer(target, 1, b);

    // Effect objects and message windows (their own code decides what a held frame advances).
    StepDrawEffectObjs(*this, target, b);
    DrawMessageWnds(*this, target, b);
    RunScreenEffect(*this, b, [&] {
        DrawBgPicture(target, 0);
        DrawBgPicture(target, 1);
    });

    DrawStatusBar(target);
    DrawTimeLimit(target, a && !b);
    DrawNotices(target, b);
    const i32 caption = PlayCaption();
    if (caption >= 0) {
        const std::string& text = g_SystemData.Message(caption);
        PlayText(target, 320 - CountChars(text.c_str()) * 16 / 2, kCaptionY, text, 16);
    }
    UpdateCycleColors();
    DrawScreenFlash(b);

    // The player's death handling runs here, after the frame is drawn and outside every walk.
    if (m_bDeathDue && !frozen) {
        m_bDeathDue = 0;
        OnPlayerDeathEnd();
    }
}

void cGameScene::DrawPlayer(DDSURFACEDATA* target, i32 freeze) {
    cPlayer* p = Player0();
    if (!p) return;
    // Decision: finishing the player's frame is bringing its screen position and its rectangle
    // display up to date.
    p->ScreenPos();
    p->BuildHitRects();
    if (p->IsDying()) {
        if (DrawPlayerCharaEffect(*p, target, freeze, CharaPicture) && !freeze && !m_bDeathHandled) {
            m_bDeathHandled = 1;
            m_bDeathDue = 1;
        }
        return;
    }
    DrawPlayerRects(*p, target, freeze);
    DrawHPGauge(*p, target, freeze);
    DrawSPGauge(*p, target, freeze);
}

void cGameScene::DrawBackground() {
    for (i32 i = 0; i < g_Stage.vBack.Size() && i < 8; ++i) {
        cEdBack& b = g_Stage.vBack[i];
        const DDSURFACEDATA* pic = PlayPictureLoaded(PLAYPIC_BACK + i) ? PlayPicture(PLAYPIC_BACK + i) : nullptr;
        const i32 w = pic ? pic->width : 0, h = pic ? pic->height : 0;
        if (b.bAutoScrollX) b.dScrollX = WrapD(b.dScrollX - b.dScrollSpeedX, w);
        if (b.bAutoScrollY) b.dScrollY = WrapD(b.dScrollY - b.dScrollSpeedY, h);
    }
}

void cGameScene::DrawBgPicture(DDSURFACEDATA* target, i32 layer) {
    bool anyVisible = false;
    for (i32 i = 0; i < g_Stage.vBack.Size() && i < 8; ++i) anyVisible = anyVisible || g_Stage.vBack[i].bVisible;
    if (layer == 0 && !anyVisible) {
        DDFillRect(target, 0, 0, 640, 480, 16);
        return;
    }
    bool drawn = false;
    for (i32 i = 0; i < g_Stage.vBack.Size() && i < 8; ++i) {
        const cEdBack& b = g_Stage.vBack[i];
        if (!b.bVisible || BackLayer(b) != static_cast<u32>(layer)) continue;
        if (BackFilled(b)) {
            DDFillRect(target, 0, 0, 640, 480, BackColour(b));
            drawn = true;
            continue;
        }
        if (!PlayPictureLoaded(PLAYPIC_BACK + i)) continue;
        DDSURFACEDATA* pic = PlayPicture(PLAYPIC_BACK + i);
        const i32 w = pic->width, h = pic->height;
        if (w <= 0 || h <= 0) continue;
        auto offset = [](bool autoScroll, double scroll, double view, i32 origin, double rate) -> i64 {
            if (autoScroll) return static_cast<i64>(Trunc32(scroll + view - origin));
            return static_cast<i64>(Trunc32((Trunc32(view + 0.5) - origin) * rate));
        };
        i32 sy = Wrap(offset(b.bAutoScrollY, b.dScrollY, m_ScrollY.m_dPos, m_ScrollY.m_nOrigin, b.dScrollSpeedY), h);
        const i32 sx0 = Wrap(offset(b.bAutoScrollX, b.dScrollX, m_ScrollX.m_dPos, m_ScrollX.m_nOrigin, b.dScrollSpeedX), w);
        // The first picture of layer 0 covers the screen; the others show what lies behind
        // through their colour key.
        const u32 flags = layer == 0 && !drawn ? 0 : DDBLT_KEY;
        for (i32 y = 0, rows = 0; y <= 479 && rows < 1000; ++rows) {
            const i32 th = h - sy;
            for (i32 x = 0, sx = sx0, cols = 0; x <= 639 && cols < 1000; ++cols) {
                const i32 tw = w - sx;
                DDBlt(target, x, y, tw, th, pic, sx, sy, flags);
                x += tw;
                sx = 0;
            }
            y += th;
            sy = 0;
        }
        drawn = true;
    }
    if (layer == 0 && !drawn) DDFillRect(target, 0, 0, 640, 480, 16);
}

void cGameScene::DrawBlockLayer(DDSURFACEDATA* target, i32 layer) {
    const i32 vx = Trunc32(m_ScrollX.m_dPos), vy = Trunc32(m_ScrollY.m_dPos);
    const i32 col0 = vx >> 5, row0 = vy >> 5;
    const i32 ox = -(vx & 31), oy = -(vy & 31);
    if (!PlayPicture(PLAYPIC_BLOCK)) return;
    for (i32 row = 0; row < 16; ++row)
        for (i32 col = 0; col < 21; ++col) {
            const i32 index = m_vBlockMap.Index(col0 + col, row0 + row);
            if (index < 0) continue;
            const BLOCKCELL& cell = m_vBlockMap.At(index);
            if (!cell.bExists || cell.block.byLayer != layer || cell.block.bHidden || !cell.bShownNow) continue;
            const i32 x = 32 * col + ox, y = 32 * row + oy;
            DrawBlockCell(this, cell, target, x, y);
        }
}

void cGameScene::DrawObjectLayer(DDSURFACEDATA* target, i32 layer, i32 freeze) {
    // A timed picture that counts while the game is held runs out in a held frame too: it goes
    // then, so that the hold and the picture end together.
    for (std::size_t i = 0; i < m_lstPicture.size();) {
        PictureParam& p = m_lstPicture[i];
        if (p.byLayer != layer) {
            ++i;
            continue;
        }
        if (DrawPlayPicture(*this, p, target, PictureSurface(*this, p), freeze)) ErasePicture(*this, i);
        else ++i;
    }
}

void cGameScene::DrawStatusBar(DDSURFACEDATA* target) {
    if (!m_bStatusBar) return;
    const cPlayer* p = Player0();
    i32 widths[SYS_STATUS_ROWS] = {};
    i32 sum = 0, count = 0;
    for (i32 i = 0; i < SYS_STATUS_ROWS; ++i) {
        const cStatusRow& row = g_SystemData.StatusRow(i);
        if (!row.bShow) continue;
        const i32 label = row.bSymbol ? 16 : CountChars(row.strName.c_str()) * 16;
        widths[i] = label + (i == 2 || i == 3 ? 50 : static_cast<i32>(std::min<u32>(row.nDigits, 40)) * 16);
        sum += widths[i];
        ++count;
    }
    if (count == 0) return;
    const i32 gap = (638 - sum) / (count + 1);
    DDSURFACEDATA* acc = PlayPicture(PLAYPIC_ACCESSORY);
    DDBlt(target, 0, 0, 640, 20, PlayPicture(PLAYPIC_STATUS), 0, 0, DDBLT_KEY);
    i32 x = gap;
    for (i32 i = 0; i < SYS_STATUS_ROWS; ++i) {
        const cStatusRow& row = g_SystemData.StatusRow(i);
        if (!row.bShow) continue;
        // The label as text, or the row's 16-dot icon; the value follows it.
        auto label = [&](i32 iconX) {
            if (row.bSymbol) {
                DDBlt(target, x, 3, 16, 16, acc, iconX, 32, DDBLT_KEY);
                return 16;
            }
            PlayText(target, x, 3, row.strName, 16);
            return CountChars(row.strName.c_str()) * 16;
        };
        switch (i) {
        case 0:
        case 1: {
            const i32 lw = label(16 * i);
            PlayText(target, x + lw, 3, Num(i == 0 ? g_nTotalScore : g_nScore), 16);
            break;
        }
        case 2:
        case 3: {
            const i32 lw = label(16 * i);
            const i32 sx = i == 2 ? 0 : 64;
            const i64 value = p ? (i == 2 ? p->m_nHP : p->m_nSP) : 0;
            const i64 max = p ? (i == 2 ? p->m_Def.dwMaxHP : p->m_Def.dwMaxSP) : 0;
            // HP below 0 or above its maximum must not draw a bar outside its frame.
            const i32 fill = max > 0 ? static_cast<i32>(std::clamp<i64>(value * 50 / max, 0, 50)) : 0;
            DDBlt(target, x + lw, 3, 50, 16, acc, sx, 128, DDBLT_KEY);
            const bool warn = IsGaugeWarning(i, static_cast<int>(value), static_cast<int>(std::max<i64>(max, 1))) != 0;
            DDBlt(target, x + lw, 3, fill, 16, acc, sx, warn ? 160 : 144, DDBLT_KEY);
            if (row.bGaugeNumber) PlayText(target, x + lw, 6, Num(value), 10);
            break;
        }
        case 4: {
            const std::string lives = g_nLives == kInfiniteLives ? "-" : Num(g_nLives);
            const i32 lw = label(64);
            PlayText(target, x + lw, 3, lives, 16);
            break;
        }
        default: break;
        }
        x += widths[i] + gap;
    }
}

void cGameScene::DrawTimeLimit(DDSURFACEDATA* target, i32 withSound) {
    if (m_bTimeStopped) return;
    // Always three digits, the field centred: the time does not move as it shrinks.
    const i32 left = std::clamp(m_nTimeLeft, 0, 999);
    DDSURFACEDATA* word = PlayPicture(PLAYPIC_WORD);
    const i32 digits[3] = {left / 100, left / 10 % 10, left % 10};
    for (i32 i = 0; i < 3; ++i) DDBlt(target, 272 + 32 * i, 24, 32, 32, word, 32 * digits[i], 160, DDBLT_KEY);
    // The warning sounds when the shown second changes inside the warning range, in the update's
    // own draw: the frames of a nested loop do not move the clock and must not repeat it.
    if (withSound && m_nTimeLeft != m_nPrevTimeLeft) {
        m_nPrevTimeLeft = m_nTimeLeft;
        if (m_nTimeLeft > 0 && m_nTimeLeft <= DrawSetting(eStage::TimeWarning)) PlaySE(13);
    }
}

void cGameScene::DrawNotices(DDSURFACEDATA* target, i32 freeze) {
    DDSURFACEDATA* acc = PlayPicture(PLAYPIC_ACCESSORY);
    for (PLAYNOTICE& n : m_vNotice) {
        if (n.nKind == PLAYNOTICE::EXTRA_LIFE) {
            // The lives icon with the new count, under the status bar.
            DDBlt(target, 296, 40, 16, 16, acc, 64, 32, DDBLT_KEY);
            PlayText(target, 316, 40, Num(n.nValue[0]), 16);
        }
        if (!freeze && n.nFrames > 0) --n.nFrames;
    }
    if (!freeze)
        m_vNotice.erase(std::remove_if(m_vNotice.begin(), m_vNotice.end(),
                                       [](const PLAYNOTICE& n) { return n.nKind != PLAYNOTICE::EXTRA_LIFE && n.nFrames <= 0; }),
                        m_vNotice.end());
}

void cGameScene::DrawScreenFlash(i32 freeze) {
    SCREENCOLOUR& e = m_ScreenColour;
    if (!e.bActive) return;
    const double strength = e.nStrength * 2.55;
    double level;
    if (e.nDirection == 0) {
        level = e.nDuration == 0 ? 255 - strength : 255 - static_cast<double>(e.nFrame) / e.nDuration * strength;
    } else {
        level = e.nDuration == 0 ? 255 : e.nLevel2 + (255.0 - e.nLevel2) * e.nFrame / e.nDuration;
    }
    // A strength past 100 from data must not turn into a negative level.
    e.nLevel = static_cast<i32>(std::clamp(level, 0.0, 255.0));
    const u8* colour = e.nDirection == 1 ? e.byColour2 : e.byColour;
    if (lpDTCon) {
        DDChangeColor(&g_sdBackBuffer, 0, 0, 640, 480, e.nLevel, colour[0], colour[1], colour[2]);
    } else if (g_nBpp == 8) {
        PALETTE faded;
        DDPalFade(&faded, 0, 255, e.nLevel >= 255 ? 256 : e.nLevel, colour[0], colour[1], colour[2], &g_palBase);
        DDSetDisplayPalette(faded);
    } else {
        e.bActive = 0;
        return;
    }
    if (freeze) return;
    if (e.nFrame < e.nDuration) {
        ++e.nFrame;
        return;
    }
    if (e.nFlashMode) {
        e.nFrame = 0;
        if (++e.nRepeatsDone >= e.nRepeat) e.bActive = 0;
    } else if (e.nDirection == 1 || e.nStrength == 0) {
        e.bActive = 0;
        if (!lpDTCon && g_nBpp == 8) DDSetDisplayPalette(g_palBase);
    }
}

void cGameScene::ReleaseStageSurfaces() {
    m_lstPicture.clear();
    for (DDSURFACEDATA& sd : m_vPictureSurface) DDReleaseSurface(&sd);
    m_vPictureSurface.clear();
}
