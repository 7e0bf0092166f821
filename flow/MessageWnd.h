#pragma once
// A message shown during play: a text window, a rising picture cell or a rising icon, placed on
// the screen, beside its speaker or on a stage cell, shown for a time and drawn every frame.
//
// A text window renders its text once into a surface of its own (again only when a refreshed
// text changes) and each frame is a single blit of that surface.
#include <string>

#include "platform/graphics/Graphics.h"

class cGameScene;
class Font;

// Placements of a message.
enum eMessagePlace : i32 {
    MSG_SCREEN_CENTRE = 0,
    MSG_ABOVE_SELF = 1,
    MSG_BELOW_SELF = 2,
    MSG_ON_SELF = 3,
    MSG_ABOVE_HERO = 4,
    MSG_BELOW_HERO = 5,
    MSG_ON_HERO = 6,
    MSG_SCREEN_CELL = 7,
    MSG_STAGE_CELL = 8,
};
constexpr i32 MSG_TIMED = 2; // display mode: removed when its frames run out

// What MakeMessage is given, in its order.
struct MESSAGEARGS {
    i32 kind = 1;            // 1 text window, 2 rising picture cell, 3 rising icon
    std::string text;        // Shift-JIS, escapes unexpanded
    i32 picKind = 0;         // kind 2: the graphic drawn (kind, cell, a third value)
    i32 cell = 0;
    i32 picValue = 0;
    i32 placement = MSG_SCREEN_CENTRE;
    i32 cellX = 0, cellY = 0;
    i32 offsetX = 0, offsetY = 0;
    i32 keepOnScreen = 0;
    i32 fixed = 0;
    i32 displayMode = 0;
    i32 frames = 0;
    i32 countWhileHeld = 0;
    i32 speakerId = 0;
    i32 noOpening = 0;
    i32 expand = 0;
    i32 refresh = 0;
    i32 refreshInterval = 0;
    i32 frame = 0;
    i32 caller[2] = {};
    i32 keepSurface = 0;     // draw into the window's present surface (made when it has none)
};

class cMessageWnd {
public:
    cMessageWnd() = default;
    ~cMessageWnd();
    cMessageWnd(const cMessageWnd&) = delete;
    cMessageWnd& operator=(const cMessageWnd&) = delete;

    bool HasSurface() const { return SurfacePixels(&m_Surface) != nullptr; }
    void ReleaseSurface();

    DDSURFACEDATA m_Surface;    // kind 1: the rendered text
    i32 m_nKind = 1;            // 1 text window, 2 rising picture cell, 3 rising icon
    std::string m_strText;      // as shown (Shift-JIS)
    std::string m_strSource;    // as given, escapes unexpanded
    i32 m_nPicKind = 0;         // kind 2: the graphic drawn
    i32 m_nCell = 0;
    i32 m_nPicValue = 0;
    i32 m_bExpand = 0;
    i32 m_bRefresh = 0;
    i32 m_nRefreshInterval = 0; // frames
    i32 m_bFrame = 0;
    i32 m_nPlacement = 0;       // 0-8
    i32 m_nCellX = 0, m_nCellY = 0;
    i32 m_nOffsetX = 0, m_nOffsetY = 0;
    i32 m_nWidth = 0, m_nHeight = 0;
    i32 m_bKeepOnScreen = 0;
    i32 m_nDisplayMode = 0;     // 2 timed
    i32 m_bFixed = 0;
    i32 m_bAnchored = 0;
    i32 m_nAnchorX = 0, m_nAnchorY = 0;
    i32 m_nCaller[2] = {};
    i32 m_nSpeakerId = 0;
    i32 m_nFramesLeft = 0;
    i32 m_bCountWhileHeld = 0;
    i32 m_bOpening = 0;
    double m_dOpening = 0.0;
    i32 m_nDrawX = 0, m_nDrawY = 0; // where the last frame put it
};

// Fills a window (kind 1 measures its text, expands its escapes and renders it into its
// surface). False when the surface could not be made; the program is then asked to close.
bool MakeMessage(cGameScene& scene, cMessageWnd& wnd, const MESSAGEARGS& args);
// The text's size in the font, with a pixel of margin on every side: the widest line, and the
// line pitch times the number of lines (an empty line counts).
void MeasureText(Font* font, const std::string& text, i32* width, i32* height);
// The window's top-left on the screen for this frame (before keeping it on screen); false when
// its speaker is gone.
bool PlaceMessage(cGameScene& scene, cMessageWnd& wnd, i32& x, i32& y);
