#pragma once
// A shot, or a sword swing (the same class in its sword form), fired by a character's flow. The
// live shots are owned by the play scene; each also sits in the scene's list of its side.
// References to its owner and to its aim target are checked handles: an owner or a target that
// dies while the shot flies reads as gone, never as a dangling pointer.
//
// Units. Positions are world pixels. A shot's speeds are pixels per logic step: the definition's
// tenths become pixels x 0.1 when fired and are divided by the speed unit u when the shot is
// set up. The velocity of an angle a and a speed s is (-cos a s, -sin a s): 0 degrees flies
// left, 90 up, 180 right, 270 down.
//
// The definition is read by meaning only (ShotSettings). Its scroll-synchronised flag is the
// field the settings table names Homing (see its decision).
#include "play/objects/Obj.h"
#include "records/EdSettings.h"
#include "records/EdShot.h"

struct DDSURFACEDATA;
class cChara;
class cSwordPart;

// What a volley hands to its kind routine and on to the making of each shot (or summon).
struct SHOTSPEC {
    i16 nIndex = 0;            // volley index
    double dSpeed = 0.0;       // pixels per frame before the speed unit
    i32 nAngle = 0;            // degrees: the volley's angle (base, mirror, jitter, steps)
    i32 nRange = 0;            // hbl
    i32 nLife = 0;             // tenths of a second
    double dVelX = 0.0, dVelY = 0.0;
    i32 nX = 0, nY = 0;        // where the object being made stands
    i32 nStartX = 0, nStartY = 0;
    i32 nStepX = 0, nStepY = 0; // between the objects of a volley
    i32 nWidth = 0, nHeight = 0;
    i32 nOffsetX = 0, nOffsetY = 0;
    i32 nDir = 0;              // resolved direction code
};

// Command kinds that make shot objects.
constexpr u8 kCmdShot = 11;
constexpr u8 kCmdSword = 12;

// A handle only the object that took it keeps: a copy of the object starts without one, and an
// assignment leaves the target's own.
struct OWNHANDLE {
    cObjHandle h;
    OWNHANDLE() = default;
    OWNHANDLE(const OWNHANDLE&) {}
    OWNHANDLE& operator=(const OWNHANDLE&) { return *this; }
};

// The kind of a shot's entry in its aim target's list of referring objects (kinds 0-4 are the
// character links').
constexpr u32 kRefAimingShot = 5;

// What the step of every shot reads of the stage and the switches, taken once for a pass over
// the shots of a scene: nothing a shot does in its step changes them. It also remembers the
// sines of the pass's waves, each under the exact bits of its angle: the shots of one volley
// weave in the same phase, and a sine of the same angle is the same value.
struct SHOTSTEP {
    const cGameScene* pScene = nullptr;
    double dUnit = 1.0;     // SpeedUnit()
    i32 nSteps = 1;         // cShot::Steps()
    double dLimit = 0.0;    // SpeedLimit()
    double dGravity = 0.0;  // GravityStep()
    i32 nStageW = 0;        // the scene's stage in pixels
    i32 nStageH = 0;
    bool bCarryOff = false; // the scroll carry switched off
    bool bAutoAdd = false;  // the aim adds the auto-scroll (the system switch)
    // The scene's running auto-scroll speeds (0 while an axis stands), and the scroll carry of a
    // scroll-synchronised shot (0 with the carry switched off).
    double dScrollX = 0.0, dScrollY = 0.0;
    double dCarryX = 0.0, dCarryY = 0.0;

    // For the shots of scene (or of no scene).
    static SHOTSTEP Of(const cGameScene* scene);
    // WaveVelocity2 (play/rules) at step 1 and offset 0 with the pass's speed unit, computed once
    // per phase, period and amplitude within the pass: the shots of one volley weave in the same
    // phase, and the same arithmetic on the same values gives the same bits.
    double WaveAccel(double amplitude, double period, double phase);

private:
    struct WAVE {
        u64 phase = 0, period = 0, amplitude = 0; // the bits of the values
        double value = 0.0;
        bool used = false;
    };
    WAVE m_aWave[16];
};

class cShot : public cObj {
public:
    cShot();
    cShot(const cShot&) = default;
    cShot& operator=(const cShot&) = default;
    // Takes its entry out of its aim target's list of referring objects.
    ~cShot() override;

    cShot* AsShot() override { return this; }

    i32 ScaleBoxes(i32 scale) override;
    void ScaleHook(i32 nNew, i32 nOld) override;
    void UpdateBoxesX() override { m_rcHit.UpdateX(Trunc32(m_dX)); }
    void UpdateBoxesY() override { m_rcHit.UpdateY(Trunc32(m_dY)); }

    // A definition setting by meaning.
    i64 Def(eShot s) const { return ShotSettings::Get(m_Def, s); }

    // ---- Set-up (ShotFire.cpp) ----
    // Fills a shot (command kind 11, and every kind but 12) or a sword (12) fired by shooter.
    // A sword's type is its definition's picture number, a row of the sword types.
    void Init(u8 cmdKind, cChara& shooter, const cEdShot& def, const SHOTSPEC& spec);
    // Splits the acceleration along the direction (vx, vy): axis-parallel directions give it
    // whole to their axis, a zero direction none.
    void SplitAccel(double vx, double vy);

    // ---- Each logic step, in this order (ShotStep.cpp) ----
    // Aim, homing, acceleration, life and range (the sword's update for a sword): non-zero
    // removes the shot.
    i32 UpdateAim();
    i32 UpdateAim(SHOTSTEP& k);
    // Its animation, the stage gravity when it does not fly, MoveY, then MoveX.
    void StepMotion();
    void StepMotion(const SHOTSTEP& k);
    // Outside its stage area (area 4 for side 0, else area 5); swords follow their owners and
    // never leave by area.
    i32 IsOutsideArea();
    // Against the blocks (HitsBlock): non-zero removes the shot.
    i32 CollideBlocks() { return HitsBlock(); }
    // The pass's step of the shot: the four above, the area test on the frame's first step only
    // (step 1); 1 as soon as one of them removes the shot.
    i32 Step(SHOTSTEP& k, i32 step);

    void MoveX();
    void MoveY();
    // Keeps the box inside the stage horizontally: 3 when it had to (a wall), else 0; then the
    // far edge, the boxes and the cell columns.
    i32 ClampToStageX();
    i32 HitsBlock();
    // The sword form of UpdateAim: 1 when the sword is done or its owner gone.
    i32 UpdateSword();
    // Turns a homing shot toward the object's centre (k: the readings of the shot's scene).
    void SteerToward(const cObj& aim, const SHOTSTEP& k);

    // The logic steps of a frame (the speed unit as a whole number, at least 1).
    static i32 Steps();

    // Draws the shot or the sword at its screen position (ShotDraw.cpp).
    void Draw(DDSURFACEDATA* target);

    cEdShot m_Def;             // its definition (read by meaning through ShotSettings)
    i32 m_bIsShot = 1;         // 1 a shot, 0 a sword
    i32 m_bShotScrollSync = 0; // the definition's flag
    i32 m_nRange = 0;          // steps left of its range
    i32 m_nLife = 0;           // steps left of its life
    i32 m_nFrame = 0;          // steps since it was made (a sword: since its part began)
    i32 m_nSwordFrame = 0;     // the animation frame: a sword's part, a shot's picture row (0, 1)
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
    cObjHandle m_AimTarget;    // what it aims at (modes 3 and 6), or none
    cObjHandle m_Owner;        // the firing character, or none
    i32 m_bOwnerReport = 0;
    u8 m_byReportSubKind = 0;
    i32 m_nSide = 0;           // its side (0-7)
    u32 m_bFinished = 0;       // hit limit reached: removed after the pass
    cVector<cObjHandle> m_vHit; // characters it has already hit
    CHARARECT m_rcHit;         // its hit box
    i32 m_nLayer = 0;          // drawing layer
    i32 m_nSwordType = 0;      // a sword's row of the sword types (its parts: size, place, time)
    i32 m_nSwordGraphic = 0;   // the row whose pictures draw it; -1 draws nothing
    i16 m_nIndex = 0;          // its volley index
    i32 m_nAnimTick = 0;       // steps of a shot's picture animation
    double m_dCarryX = 0.0;    // this step's scroll carry
    double m_dCarryY = 0.0;
    OWNHANDLE m_RefEntry;      // the handle under which it entered its target's list

private:
    // MoveY and MoveX with the pass's readings: the same steps, without the rule's return codes.
    void MoveYIn(const SHOTSTEP& k);
    void MoveXIn(const SHOTSTEP& k);
    // UpdateEdgesX/Y for a shot (its own boxes, no virtual call).
    void ShotEdgesX();
    void ShotEdgesY();
    // The sword's current part, or null.
    const cSwordPart* SwordPart() const;
    // The sword's sizes from a part (unscaled and scaled, box and picture alike).
    void SizeFromPart(const cSwordPart& part);
};

// Asks the processor for every cache line of s (the step reads nearly all of them), some shots
// ahead of the step-start walk: a frame's first walk otherwise waits on memory shot after shot.
// Reads nothing of s.
inline void PrefetchShot(const cShot& s) {
    const char* p = reinterpret_cast<const char*>(&s);
    for (std::size_t at = 0; at < sizeof(cShot); at += 64) __builtin_prefetch(p + at);
}
