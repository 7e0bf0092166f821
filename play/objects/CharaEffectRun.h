#pragma once
// The run of a character's effect: a timed visual treatment drawn instead of its plain picture.
// Every character embeds one run; a new start replaces the running one. The prepared rows a run
// starts from are the database's (database/EffectData.h), forward and reversed, made once at
// start-up. The routines that draw through a run are the play drawing's; the run only keeps time.
#include "database/EffectData.h"

// Modes of an effect run.
enum eEffectMode : i32 {
    EFFECT_FORWARD = 0,        // once, start to end
    EFFECT_REVERSED = 1,       // once, end to start (the reversed row)
    EFFECT_THERE_AND_BACK = 2, // forward, then reversed
};

class cCharaEffectRun {
public:
    // Starts effect id (0 ends any effect): the reversed row for mode 1, else the forward row.
    // An id outside the prepared rows is taken as 0.
    void Set(i32 id, i32 mode, i32 loop);
    // Copies a prepared row's values; id, mode, loop and reversed stay.
    void Load(const cCharaEffectData& row);
    // A new pass: mode 2 turns direction, then the row of the direction in use is reloaded.
    void Restart();
    // One frame; 1 when the effect has ended (the caller then sets id 0).
    i32 Step();
    // Ends the effect.
    void Clear() { Set(0, 0, 0); }

    bool IsRunning() const { return m_nId != 0; }
    // The routine's type (0..16); 0 for anything outside the table.
    u32 Type() const { return m_nType < CHARA_EFFECT_TYPES ? m_nType : 0; }
    i32 Param(int i) const { return m_anParam[i]; }

    i16 m_nId = 0;          // CharaEffect record number; 0 none
    i32 m_nMode = 0;        // eEffectMode
    i32 m_bLoop = 0;        // start over instead of ending
    i32 m_bReversed = 0;    // the reversed row is in use
    i32 m_nStart = 0;       // p1 and p2 of the record in use
    i32 m_nEnd = 0;
    double m_dValue = 0.0;  // the moving quantity
    double m_dDelta = 0.0;  // change per frame
    double m_dTimer = 0.0;  // counts instead of the value when start equals end
    i32 m_nLimit = 0;       // p0, tenths of a second, at least 1
    i32 m_nCounter = 0;     // wave phase in degrees, or blink counter
    i32 m_nToggle = 0;      // blink state
    // The record the row was prepared from (its reversed copy while reversed), kept by value so
    // that a run never points into the prepared tables.
    u32 m_nType = 0;
    i32 m_anParam[5] = {};
};
