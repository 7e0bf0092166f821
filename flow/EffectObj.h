#pragma once
// An animated effect picture of the effect list shown at a stage position (the effect command,
// a hit between characters). Its pictures are the two slots of its row in the scene's effect
// pictures; it is stepped and drawn once per frame and dropped when its animation ends.
#include "play/objects/AnimState.h"

class cGameScene;
struct DDSURFACEDATA;
struct HITRECT;

class cEffectObj {
public:
    // An effect of the effect command; scaled when the width differs from the record's frame.
    void Init(i16 id, double x, double y, i32 width, i32 height, i32 frozen);
    // An effect at the overlap of two hit rectangles, magnified by the attacker's scale, with a
    // random offset of up to 4 x scale pixels drawn from the play's generator.
    void InitAtHit(cGameScene& scene, i16 id, const HITRECT& a, const HITRECT& b, i32 scale);
    // Runs the effect's compiled animation from its first pattern.
    void SetAnime(i16 id);
    // One frame: advances (unless frozen, or advance is 0) and draws; 1 when it has ended.
    i32 StepDraw(cGameScene& scene, DDSURFACEDATA* target, i32 advance);

    i16 m_nId = 0;         // effect list index
    double m_dX = 0.0;     // stage position of the picture's top-left
    double m_dY = 0.0;
    i32 m_nWidth = 0;
    i32 m_nHeight = 0;
    i32 m_bScaled = 0;
    AnimState m_Anim;
    i32 m_bFrozen = 0;
    i32 m_bAdvanceWhileHeld = 0; // a waited-for effect also plays while the game is held
};

// Frames the effect command holds the game for an effect: its steps' times x 6.
i32 EffectWaitFrames(i16 id);
