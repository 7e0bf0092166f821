#pragma once
// The run of a character's effect (a timed visual treatment drawn instead of its plain picture).
// Every character embeds one; a new start replaces the running one. The prepared rows it starts
// from are the database's (database/EffectData.h).
#include "database/EffectData.h"

class cCharaEffectRun {
public:
    i16 m_nId = 0;                             // CharaEffect record number; 0 none
    const cCharaEffectParam* m_pRec = nullptr; // the record (forward or reversed list)
    i32 m_nMode = 0;                           // 0 once forward, 1 once reversed, 2 there and back
    i32 m_bLoop = 0;
    i32 m_bReversed = 0;                       // the reversed row is in use
    i32 m_nPhase = 0;
    i32 m_nStart = 0;
    i32 m_nEnd = 0;
    double m_dValue = 0.0;                     // the moving quantity
    double m_dDelta = 0.0;                     // change per frame
    double m_dTimer = 0.0;                     // used when start equals end
    i32 m_nLimit = 0;                          // p0, tenths of a second
    i32 m_nCounter = 0;                        // wave phase or blink counter
    i32 m_nToggle = 0;                         // blink state
};
