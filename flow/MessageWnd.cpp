#include "flow/MessageWnd.h"

#include <cmath>

#include "app/SceneDraw.h"
#include "app/PlayRecordNames.h"
#include "flow/FlowEngine.h"
#include "flow/MessageText.h"
#include "flow/TextLimit.h"
#include "play/GameScene.h"

namespace {

constexpr i32 kStatusBarH = 20;
constexpr i32 kIconSize = 16;
constexpr double kOpeningFrames = 10.0;

Font* MessageFont() { return &g_aFont[1]; }

MESSAGEVARS Vars(const cGameScene& scene) {
    return {std::span<const i32>(g_CommonVars.data(), g_CommonVars.size()),
            std::span<const i32>(scene.m_vStageVar.data(), scene.m_vStageVar.size())};
}

// Renders the text into the window's surface.
void RenderText(cMessageWnd& w) {
    Font* font = MessageFont();
    DDFillSurface(&w.m_Surface, 0);
    if (w.m_bFrame) FontDrawTextDefault(font, &w.m_Surface, 1, 1, 0, 0, w.m_strText.c_str(), 0);
    else DDDrawText(font, &w.m_Surface, 1, 1, w.m_strText.c_str(), 0);
    w.m_Surface.restored = 0;
}

// A surface of the window's size with its text; a failure asks the program to close.
bool MakeSurface(cMessageWnd& w) {
    if (w.HasSurface() && w.m_Surface.width == w.m_nWidth && w.m_Surface.height == w.m_nHeight) {
        RenderText(w);
        return true;
    }
    w.ReleaseSurface();
    if (!DDCreateSurface(&w.m_Surface, w.m_nWidth, w.m_nHeight, 1, 0)) {
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        return false;
    }
    RenderText(w);
    return true;
}

// The object of an id: the players first, then the stage characters.
cChara* FindSpeaker(cGameScene& scene, i32 id) {
    cChara* found = nullptr;
    auto match = [&](cChara& c) {
        if (!found && static_cast<i32>(c.m_nId) == id) found = &c;
    };
    scene.ForEachPlayer(match);
    scene.ForEachChara(match);
    if (found) cObjRegistry::Reach(*found);
    return found;
}

i32 Half(i32 v) { return v >> 1; }

} // namespace

void MeasureText(Font* font, const std::string& text, i32* width, i32* height) {
    *width = *height = 0;
    if (font) FontMeasure(font, text.c_str(), width, height);
    *width += 2;
    *height += 2;
}

cMessageWnd::~cMessageWnd() { ReleaseSurface(); }

void cMessageWnd::ReleaseSurface() { DDReleaseSurface(&m_Surface); }

void FlowObjDeleter::operator()(cMessageWnd* p) const noexcept { delete p; }

bool MakeMessage(cGameScene& scene, cMessageWnd& w, const MESSAGEARGS& a) {
    w.m_nKind = a.kind;
    w.m_strSource = StrCopyVia(a.text);
    w.m_nPicKind = a.picKind;
    w.m_nCell = a.cell;
    w.m_nPicValue = a.picValue;
    w.m_nPlacement = a.placement;
    w.m_nCellX = a.cellX;
    w.m_nCellY = a.cellY;
    w.m_nOffsetX = a.offsetX;
    w.m_nOffsetY = a.offsetY;
    w.m_bKeepOnScreen = a.keepOnScreen;
    w.m_bFixed = a.fixed;
    w.m_nDisplayMode = a.displayMode;
    w.m_nFramesLeft = a.frames;
    w.m_bCountWhileHeld = a.countWhileHeld;
    w.m_nSpeakerId = a.speakerId;
    w.m_bExpand = a.expand;
    w.m_bRefresh = a.refresh;
    w.m_nRefreshInterval = a.refreshInterval;
    w.m_bFrame = a.frame;
    w.m_nCaller[0] = a.caller[0];
    w.m_nCaller[1] = a.caller[1];
    w.m_bOpening = a.displayMode == 0 && a.noOpening == 0;
    w.m_dOpening = 0.0;
    w.m_bAnchored = 0;
    if (a.kind != 1) {
        w.m_nWidth = w.m_nHeight = kIconSize;
        return true;
    }
    w.m_strText = a.expand ? ExpandMessageVars(w.m_strSource, Vars(scene)) : w.m_strSource;
    MeasureText(MessageFont(), w.m_strText, &w.m_nWidth, &w.m_nHeight);
    return MakeSurface(w);
}

bool PlaceMessage(cGameScene& scene, cMessageWnd& w, i32& x, i32& y) {
    const i32 scrollX = Trunc32(scene.m_ScrollX.m_dPos);
    const i32 scrollY = Trunc32(scene.m_ScrollY.m_dPos);
    const i32 p = w.m_nPlacement;
    if (p >= MSG_ABOVE_SELF && p <= MSG_ON_HERO) {
        const cChara* c = FindSpeaker(scene, w.m_nSpeakerId);
        if (!c) return false;
        const i32 left = Trunc32(c->m_dX) - scrollX - c->m_nGfxOffX;
        const i32 top = Trunc32(c->m_dY) - scrollY - c->m_nGfxOffY;
        x = left + Half(c->m_nGfxW) - Half(w.m_nWidth) + w.m_nOffsetX;
        if (p == MSG_ABOVE_SELF || p == MSG_ABOVE_HERO) y = top - w.m_nHeight + w.m_nOffsetY;
        else if (p == MSG_BELOW_SELF || p == MSG_BELOW_HERO) y = top + c->m_nGfxH + w.m_nOffsetY;
        else y = top + Half(c->m_nGfxH) - Half(w.m_nHeight) + w.m_nOffsetY;
        return true;
    }
    switch (p) {
    case MSG_SCREEN_CELL:
        x = w.m_nCellX * 32 + w.m_nOffsetX;
        y = w.m_nCellY * 32 + w.m_nOffsetY;
        break;
    case MSG_STAGE_CELL:
        x = ((scene.m_ScrollX.m_nOrigin >> 5) + w.m_nCellX) * 32 + w.m_nOffsetX - scrollX;
        y = ((scene.m_ScrollY.m_nOrigin >> 5) + w.m_nCellY) * 32 + w.m_nOffsetY - scrollY;
        break;
    default: // the screen centre (also for a placement the data does not know)
        x = kScreenW / 2 - Half(w.m_nWidth) + w.m_nOffsetX;
        y = kScreenH / 2 - Half(w.m_nHeight) + w.m_nOffsetY;
        break;
    }
    return true;
}

i32 LayoutMessageText(cGameScene& scene, cMessageWnd& w, DDSURFACEDATA* target, i32 held) {
    if (w.m_nDisplayMode == MSG_TIMED && !(held && !w.m_bCountWhileHeld) && --w.m_nFramesLeft < 0) {
        w.ReleaseSurface();
        return 1;
    }
    if (w.m_nKind == 1 && w.m_bExpand && w.m_bRefresh && w.m_nRefreshInterval > 0 &&
        scene.m_nFrameCounter % static_cast<u32>(w.m_nRefreshInterval) == 0) {
        std::string text = ExpandMessageVars(w.m_strSource, Vars(scene));
        if (text != w.m_strText) {
            w.m_strText = std::move(text);
            MeasureText(MessageFont(), w.m_strText, &w.m_nWidth, &w.m_nHeight);
            MakeSurface(w);
        }
    }

    i32 x = 0, y = 0;
    if (!PlaceMessage(scene, w, x, y)) {
        w.ReleaseSurface();
        return 1;
    }
    const bool screenPlaced = w.m_nPlacement == MSG_SCREEN_CENTRE || w.m_nPlacement == MSG_SCREEN_CELL;
    if (screenPlaced && !w.m_bFixed) {
        // Stays on its spot of the stage as the view scrolls.
        const double sx = scene.m_ScrollX.m_dPos, sy = scene.m_ScrollY.m_dPos;
        if (!w.m_bAnchored) {
            w.m_nAnchorX = Trunc32(sx + 0.5 + x);
            w.m_nAnchorY = Trunc32(sy + 0.5 + y);
            w.m_bAnchored = 1;
        }
        x = Trunc32(std::floor(w.m_nAnchorX - (sx - 0.5)));
        y = Trunc32(std::floor(w.m_nAnchorY - (sy - 0.5)));
    } else if (!screenPlaced && w.m_bFixed) {
        // Keeps the screen position of its first frame.
        if (!w.m_bAnchored) {
            w.m_nAnchorX = x;
            w.m_nAnchorY = y;
            w.m_bAnchored = 1;
        }
        x = w.m_nAnchorX;
        y = w.m_nAnchorY;
    }
    if (w.m_bKeepOnScreen) {
        if (x < 0) x = 0;
        else if (x + w.m_nWidth >= kScreenW - 1) x = kScreenW - w.m_nWidth;
        if (y < kStatusBarH) y = kStatusBarH;
        else if (y + w.m_nHeight >= kScreenH - 1) y = kScreenH - w.m_nHeight;
    }

    w.m_nDrawX = x;
    w.m_nDrawY = y;
    const i32 rise = (30 - w.m_nFramesLeft) / 4;
    switch (w.m_nKind) {
    case 1:
        if (w.m_Surface.restored) RenderText(w);
        if (w.m_strText.empty()) break;
        if (w.m_bOpening) {
            w.m_dOpening += 1.0;
            if (w.m_dOpening < kOpeningFrames) {
                if (w.m_bFrame) {
                    const double scale = w.m_dOpening * 0.1;
                    const i32 fw = static_cast<i32>(w.m_nWidth * scale), fh = static_cast<i32>(w.m_nHeight * scale);
                    FontDrawFrame(MessageFont(), target, x + Half(w.m_nWidth) - Half(fw), y + Half(w.m_nHeight) - Half(fh),
                                  fw, fh);
                }
                break;
            }
        }
        DDBlt(target, x, y, w.m_nWidth, w.m_nHeight, &w.m_Surface, 0, 0, DDBLT_KEY);
        break;
    case 2:
        DrawDigits(target, &scene, x, y - rise, w.m_nPicKind, w.m_nCell, w.m_nPicValue);
        break;
    case 3:
        DDBlt(target, x, y - rise, kIconSize, kIconSize, &g_aPicture[PIC_ACCESSORY], 0, 48, DDBLT_KEY);
        break;
    default:
        break;
    }
    return 0;
}

void DrawMessageWnds(cGameScene& scene, DDSURFACEDATA* target, i32 held) {
    auto& list = scene.m_lstMessageWnd;
    for (std::size_t i = 0; i < list.size();) {
        if (list[i] && !LayoutMessageText(scene, *list[i], target, held)) ++i;
        else list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void ShowRisingGraphic(cGameScene& scene, u32 charaId, i32 kind, i32 number, i32 offset, i32 frames) {
    MessageWndPtr w(new cMessageWnd);
    MESSAGEARGS a;
    a.kind = 2;
    a.picKind = kind;
    a.cell = number;
    a.picValue = offset;
    a.placement = MSG_ABOVE_HERO;
    a.displayMode = MSG_TIMED;
    a.frames = frames;
    a.speakerId = static_cast<i32>(charaId);
    // No message command's ID names it (their IDs are not negative).
    a.caller[1] = -1;
    if (MakeMessage(scene, *w, a)) scene.m_lstMessageWnd.push_back(std::move(w));
}
