#pragma once
// A message shown during play: a text window, a rising picture cell or a rising icon, placed on
// the screen, beside its speaker or on a stage cell, shown for a time and drawn every frame.
#include <string>

#include "platform/system/Types.h"

struct DDSURFACEDATA;
struct DDPICTUREDEF;

class cMessageWnd {
public:
    DDSURFACEDATA* m_pSurface = nullptr; // in the scene's dynamic surface list
    DDPICTUREDEF* m_pPicture = nullptr;
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
};
