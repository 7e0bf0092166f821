#pragma once
// A character: the player or a stage character. Adds to cObj what a character has: its
// definition record, flows and their run states, status values, hit rectangles, contacts, the
// target slots and links to other characters, and the motion state that commands and rules
// share. cPlayer and cStageChara are its two concrete kinds; a plain cChara exists only as a
// scratch copy.
//
// References to other objects (target slots, links, parent, children) are checked handles: a
// removed character simply reads as gone. The block under the feet is a cell index of the scene's
// block map (-1: none), never a pointer into it.
//
// Copying a character (copy construction, assignment, Assign) copies every member and rebinds
// its flow runs to its own flows.
#include <array>

#include "play/objects/CharaEffectRun.h"
#include "play/objects/FlowRunState.h"
#include "play/objects/Obj.h"
#include "records/EdChara.h"

struct PictureDesc;

// The two jump-state flags of m_nJumpFlags.
enum : u32 {
    JUMP_JUMPING = 1, // a jump runs (the jump command's flag)
    JUMP_RISING = 2,  // it is still rising
};

// An entry of the recent-attacker list: no damage from that attacker for the steps left.
struct HITBY {
    u32 nId = 0;
    i32 nSteps = 0;
};

// The gauge shown under a character while its HP or SP changes (levels out of 50).
struct GAUGESTATE {
    i32 nFrames = 0;    // frames left to show it
    i32 nLevel = 0;     // the value before the change, as a level
    double dDelta = 0;  // the change, in levels
    double dStep = 0;   // the change shown per frame
};

// An animation shown over the character's own (the run-animation command): while it is chosen
// its value is the character's frame. A timed entry counts its frames down. These are the
// character's flow-owned timed entries: the flow operations pause (bEnabled 0), resume and
// remove those of a run number.
struct OVERLAYANIM {
    AnimState anim;
    i32 bTimed = 0;
    i32 nCount = 0;
    i32 bEnabled = 1;
    i32 nRunNo = -1; // the run of the flow that started it; -1 none
};

// The character's members (kept apart from the class so that copying can default every member
// and then rebind the flows).
struct CHARADATA {
    // What the walks over every character of a step read (the step start, the attack passes, the
    // rides), first, next to the object's own walked fields (the end of cObj).
    // The step start's walk reads these, up to m_dSaved: with the end of cObj, three cache lines
    // of a stage character (which is aligned to them).
    u32 m_bDying = 0;             // killed, not yet removed
    u32 m_bHasConds = 0;          // m_Def has appearance conditions (set with m_Def, copied with it)
    u32 m_bContactL = 0, m_bContactR = 0, m_bContactT = 0, m_bContactB = 0;
    // Invincibility after a hit.
    i32 m_nInvincible = 0;
    u32 m_nHitByCount = 0;        // m_vHitBy's size, set wherever that changes
    double m_dSaved[4] = {};      // saved x, y, right, bottom
    u32 m_bFloorFlagA = 0, m_bFloorFlagB = 0; // per-frame floor flags
    // A flow scan or start has marked its runs or letters since the frame's reset of the marks
    // (ResetFlowMarks); set by everything that marks them, copied with the runs.
    u32 m_bFlowMarked = 0;
    // The triggers its flows wait for, a bit each (bit 31: any from 31 on), made wherever the
    // flows are bound (BindFlows): the scan for an event that none waits for reads no run.
    u32 m_nFlowTriggers = 0;
    // The run states of its flows (m_vFlow's, in the same order), here beside the marks that the
    // walks over every character read anyway.
    cVector<cFlowRun> m_vFlowRun;
    i32 m_nHP = 0;
    u32 m_bRemove = 0;            // take out of the character list at the next sweep
    u32 m_bOnBlockChara = 0;      // standing on a block character
    i32 m_nSide = 0;              // side (0-7): who hits whom, the side lists of the commands
    CHARARECT m_rcBody;           // the body box
    CHARARECT m_rcDamage;         // what attacks are tested against

    // The rest of what a character's own step reads: its flows' end marks and the motion state.
    // The links, the definition and the flows' own lists, which a step reads only when flows
    // change or targets are set, come after it, so that the lines a step reads lie together.
    u32 m_bLetterEnded = 0;       // some letter ended this frame
    u32 m_bPendingDelete = 0;     // runs are marked for deletion

    // Motion state of commands and rules.
    double m_dVMotion = 0.0;      // vertical motion (knock-back y); non-zero while a jump runs
    double m_dVMotionPrev = 0.0;
    double m_dKnockX = 0.0;       // knock-back x (the push speed); non-zero replaces speed x in the step
    u32 m_nJumpFlags = 0;         // JUMP_JUMPING | JUMP_RISING
    u32 m_bFalling = 0;
    i32 m_nNoFloorFrames = 0;
    i32 m_nFloorCell = -1;        // block-map cell under the feet
    i32 m_nLastFloorCell = -1;
    i32 m_nLastSide = -1;         // last block side hit (0 left, 1 right)
    cObjHandle m_FloorObj;        // block character under the feet
    u32 m_bOnFloor = 0;
    u32 m_bStopOnFloor = 0;
    u32 m_bNoGravity = 0;         // gravity suspended
    u32 m_bHeldByCmd = 0;         // a command holds the character this step
    u32 m_bImpact = 0;            // knock-back applied
    u32 m_bCeiling = 0;           // ceiling mark
    u32 m_bMovedByCmd = 0;        // a movement command moved it this step
    u32 m_bMoveDisabled = 0;
    u32 m_bFixedFacing = 0;
    u32 m_bMirrored = 0;          // mirrored placement
    double m_dCmdAccum[2] = {};   // the two command-move accumulators

    // Target slots 0-3 (slot 0 is the player after the stage starts), the objects that refer to
    // this one ({object, kind}: kinds 0-3 target slot k, 4 child), the children (latest first)
    // and the parent.
    std::array<cObjHandle, 4> m_aTarget{};
    cVector<OBJREF> m_vLink;
    cVector<OBJREF> m_vRefBy;     // shots aiming at it and other referring objects
    cVector<cObjHandle> m_vChild;
    cVector<cObjHandle> m_vChildShot;
    cObjHandle m_Parent;

    // What a step reads only now and then: the recent attackers (when there are some), the
    // block character ridden (while riding), what a shot that overlaps tests, the drawing layer.
    // Kept out of the lines above, which every step reads.
    cVector<HITBY> m_vHitBy;
    double m_dRideX = 0.0;        // where the block character under the feet was at the last step
    double m_dRideY = 0.0;
    u32 m_nInvincibleKind = 0;    // 無敵: 0 none, 1, 2 shots pass through
    i32 m_nLayer = 0;             // drawing layer (0-7)
    double m_dCarryX = 0.0;       // carried velocities
    double m_dCarryY = 0.0;

    // The definition the character was built from.
    cEdChara m_Def;

    // Flows (their run states, a parallel list, are m_vFlowRun above) and the ID-letter flags.
    cVector<cFlow> m_vFlow;
    cVector<u8> m_vLetterRunning = cVector<u8>(27, 0);
    cVector<u8> m_vLetterEnded = cVector<u8>(27, 0);
    cVector<u8> m_vLetterStarted = cVector<u8>(27, 0);
    cVector<i32> m_vVar = cVector<i32>(9, 0); // character variables
    i32 m_nRunNoNext = 0;         // next run number handed to a flow run

    // Placement.
    i32 m_nCellX = 0;             // the placed row's cell
    i32 m_nCellY = 0;
    i32 m_nPlaceArg[2] = {};      // the two placement values after the cell
    i16 m_nCallerValue = 0;       // the caller's 16-bit value of the set-up

    i32 m_nSP = 0;
    // Statuses kept with the character rather than in its definition copy (m_Def holds the
    // others, reached through CharaSettings): set up from the definition, changed by flows.
    i8 m_nCharaId = 0;            // キャラID, 0..99
    i8 m_nSight = 0;              // 視界範囲 (hbl), the player's
    u32 m_bTransparent = 0;       // 透明
    GAUGESTATE m_HpGauge;
    GAUGESTATE m_SpGauge;
    cCharaEffectRun m_CharaEffect;
    u16 m_nDeathEffect = 0;
    i32 m_nDeathEffectMode = 0;

    i32 m_nRiseFrames = 0;

    // Drawing state that the character-effect dispatch reads (set by flow commands).
    u32 m_bHidden = 0;            // not drawn (with m_bTransparent, the two hide flags); its effect keeps time
    u32 m_bPinX = 0, m_bPinY = 0; // pinned to the screen on that axis ...
    i32 m_nPinX = 0, m_nPinY = 0; // ... at this view position
    u32 m_bDeathWait = 0;         // its death goes on as soon as the death effect ends
    i32 m_nDeathWaitFrames = 0;   // frames waited after the death effect
    cVector<OVERLAYANIM> m_vOverlayAnim;
    u8 m_byColourVariant = 0;     // row of the cycling colour table it is drawn with (0: none)
    i32 m_nPictureShift = 0;      // the change-graphic command's offset ("ズレ"), added to the picture number

    i32 m_nAnimSet = -1;          // current animation set
    u32 m_bReportToParent = 0;
    u8 m_byReportSubKind = 0;
};

class cChara : public cObj, public CHARADATA {
public:
    cChara();
    cChara(const cChara& src);
    cChara& operator=(const cChara& src);
    ~cChara() override;

    cChara* AsChara() override { return this; }

    // ---- Virtual operations (slots 4 to 20) ----
    // Keeps the feet where they stood (from the box or the graphic by the system switch).
    void ScaleHook(i32 nNew, i32 nOld) override;
    void SetCentre(i32 x, i32 y) override;
    void SetCentreX(i32 x) override;
    void SetCentreY(i32 y) override;
    // Member-wise copy of a whole character (the cChara part).
    virtual void Assign(const cChara& src);
    // The carried item, or null.
    virtual cItem* GetItem() { return nullptr; }
    // After x (y) changed: the player's camera follow, the stage character's clamp. 0 here.
    virtual i32 OnMovedX() { return 0; }
    virtual i32 OnMovedY() { return 0; }
    // One motion step of each axis; the rules' result code.
    virtual i32 StepX() { return 0; }
    virtual i32 StepY() { return 0; }
    // The character's own update of a play step.
    virtual i32 Update(i32 /*arg*/) { return 0; }
    // One frame of the jump command.
    virtual void Jump(cCmdRun& /*run*/) {}

    // The character's player number (its input record); -1 for a stage character.
    virtual i32 PlayerNo() const { return -1; }
    bool IsPlayer() const { return m_nKind == 0; }
    bool IsDying() const { return m_bDying != 0; }
    // A stage character that behaves like a solid block.
    bool IsBlockChara() const;

    // The body rectangle: offset x = 16 - graphic offset x - width / 2; offset y = 32 - graphic
    // offset y - height when bottom-aligned, else 16 - graphic offset y - height / 2.
    void SetHitRect(i32 bottomAlign, i32 width, i32 height);
    // Clears the four contact flags.
    void ClearContacts() { m_bContactL = m_bContactR = m_bContactT = m_bContactB = 0; }

    // ---- Set-up from data (play/objects/CharaSetup.cpp) ----
    // Resets the character for a stage: links, letters, placement, motion, variables; with a
    // definition, its copy, HP and SP at their maxima, its deceleration, effect and animation set.
    void InitForStage(const cEdChara* def, i32 cellX, i32 cellY, i32 arg1, i32 arg2, i16 callerValue);
    // The animation set n of the database (record 0 when n is out of range); nothing when it is
    // the current set and not forced.
    void SetAnimSet(i32 n, i32 force);
    // At stage start: target slot 0 is the player (which lists the link once), the parent
    // (which lists its child once) is the given one.
    void InitTargets(cChara* parent);
    // InitTargets(nullptr) for one of a run of characters linking to the same hero (the stage
    // start): the same targets and links, in the same order. The hero had `known` links before
    // the run; only those are searched for this one's link, since the run's own name other
    // characters (a search of them all would make the run quadratic).
    void InitTargetsInRun(const cChara* hero, std::size_t known);
    // Once per step: the invincible steps and each recent attacker's steps count down, and the
    // attackers whose pause is over leave the list (play/rules/HitsDamage.cpp).
    void TickTimers();

    // ---- Invincibility, damage and defeat (play/rules/Damage.cpp) ----
    // Invincible for the stage's after-hit frames of its kind (the player's kind 0, or the
    // others'), times the speed unit.
    void SetInvincible();
    // As SetInvincible, and the attacker paused for the same-attacker frames of its kind.
    void AddHitBy(u32 attackerId);
    bool IsInvincible() const { return m_nInvincible > 0; }
    // Invincible, or the attacker is in the recent-attacker list (even at 0 invincible steps).
    bool IsInvincibleAgainst(u32 attackerId) const;
    // The attack's power less the defence (power > 0) taken from HP, the hit effect where the
    // boxes overlap, the knock-back: 1 when HP reached 0.
    i32 TakeDamageFromChara(cChara& attacker);
    i32 TakeDamageFromShot(cShot& shot);
    // The damage triggers (1 damaged, 2 knocked) naming the attacker, or its owner when it
    // reports to it; the owner then gets trigger 18 or 19 naming this character.
    void RunDamageFlows(cChara& attacker);
    void RunShotDamageFlows(cShot& shot);
    // Defeat: trigger 3, the died update, the score, the carried item to the player; then,
    // unless the stage has ended (result 1, the character stays alive), unlinked and dying with
    // its death effect started.
    i32 Kill();
    // Clears every link between this character and the others, both ways.
    void UnlinkTargets();

    // ---- Drawing (defined with the character effects' drawing, CharaDraw.cpp) ----
    // The frame to draw: its own animation's value or that of the chosen overlay animation
    // (each advanced one frame unless noStep).
    i32 CurrentAnimeValue(i32 noStep);
    // The picture number with the animation set's offsets of its states; sets the picture's
    // colour modulation (Direct3D, colour variant).
    i32 PictureNumber(PictureDesc& desc);
};
