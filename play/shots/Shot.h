#pragma once
// A shot, or a sword swing (the same class in its sword form), fired by a character's flow. The
// live shots are owned by the play scene; each also sits in the scene's list of its side.
// References to its owner and to its aim target are checked handles.
#include "play/objects/Obj.h"
#include "records/EdShot.h"

class cShot : public cObj {
public:
    cShot();
    cShot(const cShot&) = default;
    cShot& operator=(const cShot&) = default;
    ~cShot() override;

    cShot* AsShot() override { return this; }

    i32 ScaleBoxes(i32 scale) override;
    void ScaleHook(i32 nNew, i32 nOld) override;
    void UpdateBoxesX() override;
    void UpdateBoxesY() override;

    cEdShot m_Def;             // its definition (read by meaning through ShotSettings)
    i32 m_bIsShot = 1;         // 1 a shot, 0 a sword
    i32 m_bShotScrollSync = 0; // the definition's flag (the base's m_bScrollSync is the object's)
    i32 m_nRange = 0;          // steps left of its range
    i32 m_nLife = 0;           // steps left of its life
    i32 m_nFrame = 0;          // steps since it was made
    i32 m_nSwordFrame = 0;     // the sword's animation frame
    double m_dAccel = 0.0;     // acceleration along the flight
    double m_dSpeed = 0.0;     // pixels per step
    double m_dOwnVelX = 0.0;   // its own velocity, apart from the scroll carry
    double m_dOwnVelY = 0.0;
    i32 m_bAccelerating = 0;
    i32 m_nTurnFrame = 0;      // aim modes 1-3 and 9: turn frame; homing: start frame
    i32 m_nHomingEnd = 0;
    i32 m_bAimDone = 0;
    double m_dWavePhase = 0.0;
    double m_dWaveDir[2] = {};
    i32 m_nOwnerId = 0;        // the firing character's id
    cObjHandle m_AimTarget;    // what it aims at (modes 3 and 6), or none
    cObjHandle m_Owner;        // the firing character, or none
    i32 m_bOwnerReport = 0;
    u8 m_byReportSubKind = 0;
    i32 m_nSide = 0;           // its side (0-7)
    u32 m_bFinished = 0;       // hit limit reached: removed after the pass
    cVector<cObjHandle> m_vHit; // characters it has already hit
    CHARARECT m_rcHit;         // its hit box
    i32 m_nLayer = 0;          // drawing layer
};
