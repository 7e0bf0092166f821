#pragma once
// The base of every game object of a stage: the player, the stage characters, the items, the
// shots and sword swings. It holds the position and boxes, the speeds, the flight mode and the
// animation player; the rules that move objects and test them against blocks and each other
// live in play/rules, the flows in flow/.
//
// Positions and sizes are stage pixels (origin top-left, y down). x and y are the left and top
// of the box; right and bottom are x + box width - 1 and y + box height - 1 and are kept up to
// date by the clamps. The scale (giant factor, 1 = normal) multiplies every unscaled size.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "play/objects/AnimState.h"
#include "play/objects/HitRect.h"
#include "play/objects/ObjHandle.h"

class cGameScene;

// Flight modes: the flying flag and the flight sub-mode stored for each.
enum eFlyMode : i32 {
    FLY_WALK = 0,    // walking: gravity, landing, block and screen rules
    FLY_THROUGH = 1, // flying through everything: block probes find nothing
    FLY_BLOCKED = 2, // flying, blocks stop it on every side
    FLY_STOP = 3,    // flying, any block contact stops the probe (result 2) without moving it
};

// What the centre setters with a result hand back; nothing reads it.
struct OBJRESULT {
    i32 w[4] = {};
};

// A double truncated toward zero into an i32, saturating at the ends (a position that went wild
// must not be undefined behaviour when it becomes a cell or pixel number). A number that is not
// finite (NaN, either infinity) counts as 0.
inline i32 Trunc32(double v) {
#if defined(__SSE2__)
    // The processor's conversion is the answer inside the range; everything else (NaN, beyond
    // either end) it turns into the lowest i32, which the checks below then sort out. A step
    // truncates dozens of positions, so the usual case is the one conversion and one compare.
    const i32 t = _mm_cvttsd_si32(_mm_set_sd(v));
    if (t != -2147483647 - 1) [[likely]]
        return t;
#endif
    // v - v is 0 for every finite v, NaN for the rest.
    if (!(v - v == 0)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<i32>(v);
}

// Speed settings of the data (per 60 frames) in pixels per logic step: value / speed unit / 60.
double SpeedPerFrame(double value);
// The stage's speed unit u (the logic steps of one frame) as a double, never below 1.
double SpeedUnit();

class cObj {
public:
    cObj() = default;
    cObj(const cObj&) = default;
    cObj& operator=(const cObj&) = default;
    virtual ~cObj();

    // ---- What the object is (cheap class tests for handles and lists) ----
    virtual cChara* AsChara() { return nullptr; }
    virtual cPlayer* AsPlayer() { return nullptr; }
    virtual cStageChara* AsStageChara() { return nullptr; }
    virtual cItem* AsItem() { return nullptr; }
    virtual cShot* AsShot() { return nullptr; }
    const cChara* AsChara() const { return const_cast<cObj*>(this)->AsChara(); }
    const cPlayer* AsPlayer() const { return const_cast<cObj*>(this)->AsPlayer(); }
    const cStageChara* AsStageChara() const { return const_cast<cObj*>(this)->AsStageChara(); }
    const cItem* AsItem() const { return const_cast<cObj*>(this)->AsItem(); }
    const cShot* AsShot() const { return const_cast<cObj*>(this)->AsShot(); }

    // ---- Virtual operations, in slot order ----
    // Copies every base field and the animation state (not the object's place in its list).
    virtual void CopyFrom(const cObj& src);
    // New scale over old: sizes rescaled, the box kept centred in x, the scale hook (feet), then
    // ScaleBoxes, whose result it returns. Nothing (result old) when new equals old.
    virtual i32 SetScale(i32 nNew, i32 nOld);
    // Rescales the class's own rectangles; the result of SetScale. Nothing here.
    virtual i32 ScaleBoxes(i32 /*scale*/) { return 0; }
    // Keeps the object standing where it stood when its size changes. Nothing here.
    virtual void ScaleHook(i32 /*nNew*/, i32 /*nOld*/) {}
    // Rebuild the class's rectangles from the integer position. Nothing here.
    virtual void UpdateBoxesX() {}
    virtual void UpdateBoxesY() {}
    // Move the object so that its graphic centre is at (x, y). Nothing here; characters move.
    virtual void SetCentre(i32 /*x*/, i32 /*y*/) {}
    virtual OBJRESULT SetCentreR(i32 x, i32 y) {
        SetCentre(x, y);
        return OBJRESULT{};
    }
    virtual void SetCentreX(i32 /*x*/) {}
    virtual OBJRESULT SetCentreXR(i32 x) {
        SetCentreX(x);
        return OBJRESULT{};
    }
    virtual void SetCentreY(i32 /*y*/) {}
    virtual OBJRESULT SetCentreYR(i32 y) {
        SetCentreY(y);
        return OBJRESULT{};
    }

    // ---- Set-up ----
    // Stores each value (current and unscaled sizes alike), order value INT_MAX, zero speeds and
    // accelerations, clears the three per-frame flags, starts the animation (program animStart
    // of anim, when given) and applies the flight mode.
    void Init(u32 id, u32 kind, u32 kind2, u32 blockSide, u32 mark, const cVector<cVector<ANIMSTEP>>* anim,
              i32 animStart, i32 gfxOffX, i32 gfxOffY, i32 boxW, i32 boxH, i32 gfxW, i32 gfxH, i32 dir, i32 flyMode,
              i16 spawnIndex);
    // Flight mode 0-3 (see eFlyMode); other values change nothing.
    void SetFlyMode(i32 mode);
    // The flight mode the two stored fields stand for.
    i32 FlyMode() const;
    // Every current size (graphic offset and size, box) = its unscaled value x scale.
    void ScaleSizes(i32 scale);
    // Moves x by half the box width's growth so that the box keeps its centre, then ClampX(2).
    void KeepCentreX(i32 nNew, i32 nOld);

    // 1 facing right (positive), else -1.
    i32 DirSign() const { return m_nDir > 0 ? 1 : -1; }
    bool IsFlying() const { return m_bFly != 0; }
    // The box's centre (x + box width / 2, y + box height / 2).
    double BoxCentreX() const { return m_dX + m_nBoxW / 2; }
    double BoxCentreY() const { return m_dY + m_nBoxH / 2; }
    // The graphic centre in view pixels (screen left + graphic width / 2).
    i32 ScreenCentreX() const { return m_rcScreen.left + m_nGfxW / 2; }
    i32 ScreenCentreY() const { return m_rcScreen.top + m_nGfxH / 2; }

    // ---- Motion and stage tests (play/rules) ----
    // Clamps to the stage and the scroll areas by mode (0 inner, 1 outer, 2 stage), updates
    // right/bottom, the rectangles and the cell indices; returns the rule's code.
    i32 ClampX(i32 mode);
    i32 ClampY(i32 mode);
    // ClampX (ClampY) of a position that a clamp of the same mode has just given, nothing moved
    // since: the edges, rectangles and cells are already those of the position, so they are made
    // again only when this clamp moves it (a box longer than the stage is put back each time).
    i32 ReclampX(i32 mode);
    i32 ReclampY(i32 mode);
    // Recomputes the screen rectangle from the position and the scene's scroll.
    void ScreenPos();
    // 1 while the box overlaps the 640 x 480 view.
    i32 IsOnScreen() const;
    // Mode 1: inside the stage; mode 0: inside the outer bounds.
    i32 IsInStage(i32 mode) const;
    // right, bottom and the four cell indices from x, y and the box.
    void UpdateEdgesX();
    void UpdateEdgesY();

    // ---- Fields ----
    u32 m_nId = 0;            // unique in the stage (references and self tests)
    i32 m_nOrder = 0;         // INT_MAX after Init; nothing reads it
    i32 m_nDir = 0;           // facing: positive = right
    i16 m_nSpawnIndex = 0;    // copy / clone index of the spawn ("分身値"); commands scale by it
    u32 m_nMark = 0;          // definition mark; an item of mark 0 does nothing when taken
    AnimState m_Anim;
    i32 m_nGfxOffX0 = 0, m_nGfxOffY0 = 0, m_nGfxW0 = 0, m_nGfxH0 = 0; // unscaled
    u32 m_nKind = 0;          // 0 the player's kind (items too), 1 an ordinary stage character
    u32 m_nKind2 = 0;
    u32 m_nBlockSide = 0;     // compared with a block's one-way side
    i32 m_nCellL = 0, m_nCellT = 0, m_nCellR = 0, m_nCellB = 0; // position >> 5
    double m_dSpeedX = 0.0, m_dSpeedY = 0.0; // pixels per logic step
    double m_dAccelX = 0.0, m_dAccelY = 0.0; // added to the speed each step
    double m_dDecel = 0.0;
    u32 m_bDecelX = 0, m_bDecelY = 0;        // move that acceleration toward 0 by m_dDecel
    i32 m_nBoxW = 0, m_nBoxH = 0;            // scaled
    i32 m_nBoxW0 = 0, m_nBoxH0 = 0;          // unscaled
    i32 m_nScale = 1;
    u32 m_bFlag3 = 0;    // a per-frame flag cleared by Init

    // The fields that the walks over every object of a step read, kept together at the end, where
    // a character's own walked fields follow (CHARADATA begins with them): a stage of thousands of
    // characters walks a few cache lines of each rather than its whole size. In a stage character
    // they take two lines: what the step start reads besides (the presence, the screen place that
    // waking sets), then the position and the registry place, which the walks that read nothing
    // else of cObj (the timers, the removal tests) take alone.
    SCREENRECT m_rcScreen;    // where the graphic is drawn this frame (view pixels)
    i32 m_nGfxOffX = 0, m_nGfxOffY = 0, m_nGfxW = 0, m_nGfxH = 0;     // scaled
    u32 m_bScrollSync = 0;                   // moves with the auto-scroll
    u32 m_bShownHeld = 0; // a latched appearance condition has held once
    u32 m_bFly = 0;
    u8 m_byFlySub = 1;
    u32 m_bPresent = 0;  // appearance conditions hold; rules skip objects not present
    u32 m_bOnScreen = 0; // box overlaps the view; recomputed at the start of each step
    // The scene the object plays in (set by whoever creates it; null for scratch objects).
    cGameScene* m_pScene = nullptr;
    double m_dX = 0.0, m_dY = 0.0, m_dRight = 0.0, m_dBottom = 0.0;
    // The object's place in the scene's registry (see ObjHandle.h).
    cSelfHandle m_Self;
    cObjHandle Handle() const { return cObjHandle(this); }
    bool IsRemoved() const { return m_Self.IsRemoved(); }
};

inline cObjHandle::cObjHandle(const cObj* obj) {
    if (!obj || !obj->m_Self.m_pReg || obj->m_Self.m_bRemoved) return;
    m_pReg = obj->m_Self.m_pReg;
    m_nSlot = obj->m_Self.m_nSlot;
    m_nGen = obj->m_Self.m_nGen;
}
