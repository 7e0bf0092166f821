#pragma once
// An animated effect picture of the effect list shown at a stage position (the effect command,
// a hit between characters).
#include "play/objects/AnimState.h"

class cEffectObj {
public:
    i16 m_nId = 0;         // effect list index
    double m_dX = 0.0;     // stage position of the picture's top-left
    double m_dY = 0.0;
    i32 m_nWidth = 0;
    i32 m_nHeight = 0;
    i32 m_bScaled = 0;
    AnimState m_Anim;
    i32 m_bFrozen = 0;
};
