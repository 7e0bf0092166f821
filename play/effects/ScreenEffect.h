#pragma once
// Screen effects: the play scene's one run of an effect over the whole 640 x 480 play screen
// and the fourteen routines that redraw the finished frame through it (shift, shake, split,
// wave, blink, rotate, circle, zoom, lens, mosaic). The run scheme is the character effects'
// (play/effects/CharaEffect.h) with the start and end handed in by each routine.
#include <functional>

#include "play/effects/CharaEffect.h"

class cScreenEffectRun {
public:
    // Starts effect id (0 ends any effect); an id outside the prepared rows is taken as 0.
    void Set(i32 id, i32 mode, i32 loop);
    void Load(const cScreenEffectData& row);
    void Restart();
    // One frame toward end by step (the whole part of the value is compared); 1 when ended.
    i32 Step(i32 start, i32 end, double step);
    void Clear() { Set(0, 0, 0); }

    bool IsRunning() const { return m_nId != 0; }
    u32 Type() const { return m_nType < SCR_EFFECT_TYPES ? m_nType : 0; }
    i32 Param(int i) const { return m_anParam[i]; }

    i16 m_nId = 0;          // ScrEffect record number; 0 none
    i32 m_nMode = 0;        // eEffectMode
    i32 m_bLoop = 0;
    i32 m_bReversed = 0;
    double m_dValue = 0.0;
    double m_dOffset = 0.0; // shake offset
    double m_dDelta = 0.0;
    i32 m_nA = 0;           // shift x, shake direction, wave phase, blink counter
    i32 m_nB = 0;           // shift y, blink toggle
    i32 m_bTimed = 0;
    double m_dTimer = 0.0;
    i32 m_nLimit = 0;       // p0, at least 1
    // The record in use (its reversed copy while reversed), by value.
    u32 m_nType = 0;
    i32 m_anParam[5] = {};
};

// One frame of a screen effect.
struct ScreenEffectCall {
    cScreenEffectRun* pRun = nullptr;
    DDSURFACEDATA* pBack = nullptr;      // the frame's back buffer
    const EffectSurfaces* pSurf = nullptr;
    i32 nPlayerX = 320, nPlayerY = 240;  // the player's screen centre
    // Draws the stage's background layers 0 and 1 over the whole frame (blink).
    std::function<void()> redrawBackground;
    i32 bNoStep = 0;
};

using ScreenEffectRoutine = i32 (*)(const ScreenEffectCall& call);
extern const ScreenEffectRoutine ScreenEffectTable[SCR_EFFECT_TYPES];

// Redraws the finished frame through the running effect (nothing while none runs). When the
// effect ends, the run's id returns to 0 and the virtual back buffer is switched off.
void RunScreenEffect(const ScreenEffectCall& call);

// The play scene's screen effect over the frame in the back buffer, centred where the player is
// drawn; called once per drawn frame after the shots and before the status bar (noStep: the
// frozen draws). The blink draws the stage background's layers 0 and 1 through
// redrawBackground.
class cGameScene;
void RunScreenEffect(cGameScene& scene, i32 noStep, const std::function<void()>& redrawBackground = {});
