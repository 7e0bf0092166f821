#pragma once
// The run of the play screen's effect (one per play scene).
#include "database/EffectData.h"

class cScreenEffectRun {
public:
    i16 m_nId = 0;                           // ScrEffect record number; 0 none
    const cScrEffectParam* m_pRec = nullptr; // the record (forward or reversed list)
    i32 m_nMode = 0;                         // 0 once forward, 1 once reversed, 2 there and back
    i32 m_bLoop = 0;
    i32 m_bReversed = 0;
    i32 m_nPhase = 0;
    double m_dValue = 0.0;
    double m_dOffset = 0.0;                  // shake offset
    double m_dDelta = 0.0;
    i32 m_nA = 0;                            // shift x, shake direction, wave phase, blink counter
    i32 m_nB = 0;                            // shift y, blink toggle
    i32 m_bTimed = 0;
    double m_dTimer = 0.0;
    i32 m_nLimit = 0;                        // p0
};
