#pragma once
// The player character: element 0 of the scene's player list. What it adds to a character: the
// pick-up rectangle, the block effect under its feet, the saved box of a flight-mode change, the
// items it touches, the commands taken from items and their queued overrides, and the rectangle
// display list.
#include "play/objects/Chara.h"

// A block effect under the player's feet (slippery floor, conveyors) for some steps.
struct BLOCKEFFECT {
    i32 nKind = 0; // 3 slippery, 4 conveyor to smaller x, 5 conveyor to larger x
    double dFactor = 0.0;
    i32 nSteps = 0;
};

// One entry of the rectangle display list.
struct RECTDISPLAY {
    i32 nKind = 0;
    i32 bVisible = 0;
    i32 x = 0, y = 0, w = 0, h = 0;
    u32 nColour = 0;
};

class cPlayer : public cChara {
public:
    cPlayer();
    cPlayer(const cPlayer&) = default;
    cPlayer& operator=(const cPlayer&) = default;
    ~cPlayer() override;

    cPlayer* AsPlayer() override { return this; }

    // Each of the three rectangles' current values = unscaled x scale.
    i32 ScaleBoxes(i32 scale) override;
    // The three rectangles from the integer position.
    void UpdateBoxesX() override;
    void UpdateBoxesY() override;
    void Assign(const cChara& src) override;
    i32 OnMovedX() override;
    i32 OnMovedY() override;
    i32 StepX() override;
    i32 StepY() override;
    i32 Update(i32 arg) override;
    void Jump(cCmdRun& run) override;
    i32 PlayerNo() const override { return m_nPlayerNo; }

    // Sets the player up for a stage from its definition (a scale of 0 is taken as 1): the
    // walking box, the flight mode, the scale, the facing, the rectangles, the flows.
    void InitForStage(u32 id, const cEdChara& def, i32 cellX, i32 cellY);
    // A new flight mode with its box and rectangles (by the hit-area choice); the box may be
    // saved first, to be put back two steps later (restoreLater). Leaving flight stops the
    // player; flying makes it count as falling unless the system switch says otherwise.
    void ChangeFlyMode(i32 mode, i32 rescale, i32 savePos, i32 restoreLater);
    // 0 while no flight-mode change is within its two steps; else 1, after putting the saved box
    // back when a restore is pending.
    i32 RestoreSavedPos();
    // The rectangle display list: box, body, damage and pick-up rectangles, largest first, each
    // placed relative to the player's position.
    void BuildHitRects();
    // Shows graphic (kind, number, offset) rising over the player for 30 frames: the notice of
    // an item taken (a rising picture cell among the scene's messages).
    void ChangeGraphic(i32 kind, i32 number, i32 pattern);

    i32 m_nPlayerNo = 0;       // its input record
    u32 m_bAirborne = 0;
    u32 m_bOnMarker = 0;
    BLOCKEFFECT m_BlockEffect;
    CHARARECT m_rcPickup;      // touches items
    double m_dSavedBox[4] = {}; // x, y, right, bottom before a flight-mode change
    u32 m_bSavedBox = 0;
    u32 m_bRestorePending = 0;
    i32 m_nRestoreTimer = 0;
    double m_dGlidePull = 0.0;
    i32 m_nJumpHold = 0;
    u32 m_bJumpedThisStep = 0;
    i32 m_nStepCount = 0;
    i32 m_nLastDir = 0;        // facing at the last step
    cVector<u32> m_vTouching;  // ids of the items it touches (repeatable pick-up)
    i32 m_nBlockItemWait = 0;  // steps before a block gives its item again
    i32 m_nPrevFloorCell = -1; // the block last stood on, as it was at the last step
    u32 m_bDirLock = 0;        // the commands hold its direction keys
    u32 m_bButtonLock = 0;     // the commands hold its buttons
    cVector<RECTDISPLAY> m_vRectDisplay;
    cVector<cFlowCmd> m_vTakenCmd; // flow changes taken from items, applied later
    CmdOverrideList m_lstOverride; // parameter overrides of item commands
};
