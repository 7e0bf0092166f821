#pragma once
// What the play engine asks of the flow engine.
//
// The play engine includes this header and no other flow/ header. Through it the play rules
// report events to characters (RunFlowsOf with a trigger kind), step a character's running flows
// once per play step (StepFlows, EndLetters), reset the per-frame marks, bind and set up a
// character's flows from its definition, run an item's commands when it is taken, apply status
// changes and knock-back, and use the small character motion routines (jump solving, landing,
// ceiling, gravity, knock-back decay) that the commands share with the rules. The play objects
// themselves include neither this header nor any other that names the scene: what they ask of
// the flow engine goes through their narrow interface (play/objects/ObjScene.h), which the play
// engine answers with the routines declared here.
//
// The flow engine in turn works on the play engine's objects and scene directly (flow/ may
// include play/ headers). The run state its characters carry (cFlowRun, cCmdRun and the queued
// overrides) is declared with the characters, in play/objects/FlowRunState.h; its member
// routines (starting, stepping, ending a run) are the flow engine's. The messages and effect
// display objects live on the flow side; the scene holds them through the owning pointers below
// and steps and draws them through the two calls given here.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "flow/CmdList.h"
#include "flow/CmdParams.h"
#include "platform/system/Containers.h"
#include "play/objects/FlowRunState.h"
#include "records/Flow.h"

class cGameScene;
class cObj;
class cChara;
class cPlayer;
class cItem;
class cShot;
class cInput;
struct DDSURFACEDATA;
struct HITRECT;
struct PictureParam;

// The request block of the commands that hold the game (messages, effects and pictures with a
// wait, the stage-clear tally).
struct WAITPARAM {
    u32 mode = 0;
    u32 step = 0;
    u32 count = 0;
    u32 flag = 0;
    u32 reserved = 0;
    WAITPARAM() = default;
    WAITPARAM(u32 m, u32 c, u32 f, u32 fourth) : mode(m), step(m == 1 && c != 0 && fourth == 0 ? 10u : 0u), count(c), flag(f) {}
};

// ---- Binding and stepping (run state) -----------------------------------------------------------

// The command lists of a stage's flows with their loops expanded, each list made once and shared
// by every character set up from the same flows (the play scene owns one per stage; dropped
// with it). Every list's loops run as often as they say, within two bounds that guard memory
// only: the commands of one list (kMaxExpandedCmds) and the bytes of all the stage's expanded
// lists together (kStageBytes). A list that either bound cuts short is reported when it is
// made, once.
class cLoopExpansions {
public:
    // The bytes the stage's expanded lists take together, counting for each list its entries,
    // its commands and one command run's state per entry for lists that characters step. Far
    // above what a stored game's loops make (eight character types each on a loop of 9,990
    // runs around eleven commands take some 190 MB), yet a stage of many definitions that each
    // loop to a list's bound asks for no more.
    static constexpr i64 kStageBytes = i64{256} << 20;
    // What each entry of a list costs besides the list: a character that steps the list keeps a
    // command run's state per entry, an item nothing.
    enum class eStepper { Chara, Item };

    // A command list (a flow's, an item's) with its loops expanded.
    std::shared_ptr<cCmdList> Expand(const cVector<cFlowCmd>& cmds, eStepper stepper);
    void Clear();
    // Drops the lists when they were made for another stage.
    void ForStage(const std::string& stage);
    // Entries of the expanded lists, and the bytes counted against kStageBytes.
    i64 Held() const { return m_nHeld; }
    i64 HeldBytes() const { return m_nHeldBytes; }
    std::size_t Lists() const { return m_map.size(); }
    // The most commands of one list (kMaxExpandedCmds; a test may lower it).
    void SetListBound(i64 bound) { m_nListBound = bound; }
    // The most bytes of the stage's lists together (kStageBytes; a test may lower it).
    void SetStageBound(i64 bytes) { m_nStageBytes = bytes; }

    // The command runs that the stage's characters hold at once past the first ones of each run
    // (play/objects/CmdRuns.h): those of the commands they have going. A flow of a stored game
    // keeps one or a few commands going; only a list that starts a quarter of a million at once
    // (a written-out loop of commands run with the next) comes near.
    static constexpr i64 kRunStateBytes = i64{64} << 20;
    const std::shared_ptr<CMDRUNSHELD>& RunStates() const { return m_pRunStates; }
    // The most bytes of them (kRunStateBytes; a test may lower it).
    void SetRunStateBound(i64 bytes) { m_pRunStates->bound = bytes / CMDRUNSHELD::kEntryBytes; }

private:
    std::unordered_map<std::string, std::shared_ptr<cCmdList>> m_map; // by the commands' bytes
    // The lists without loops, shared the same way (Lists and Held count the expanded ones).
    std::unordered_map<std::string, std::shared_ptr<cCmdList>> m_mapPlain;
    i64 m_nHeld = 0;
    i64 m_nHeldBytes = 0;
    i64 m_nListBound = kMaxExpandedCmds;
    i64 m_nStageBytes = kStageBytes;
    std::shared_ptr<CMDRUNSHELD> m_pRunStates = NewRunStates(kRunStateBytes / CMDRUNSHELD::kEntryBytes);
    std::string m_strStage;

    static std::shared_ptr<CMDRUNSHELD> NewRunStates(i64 bound) {
        auto held = std::make_shared<CMDRUNSHELD>();
        held->bound = bound;
        return held;
    }
};

// Points every run, key row and command run of the character at its flows. The run list and
// each run's vectors must have their sizes already.
void BindFlows(cChara& c);
// Assigns a whole run list (deep copies) and binds.
void SetFlows(cChara& c, const cVector<cFlowRun>& runs);
// The character's flows from a flow set (its definition's): loops expanded, fresh idle runs with
// new run numbers, bound. With replace and an index, only the flow at that index is replaced (by
// the set's first flow).
void SetupFlows(cChara& c, const cVector<cFlow>& flows, i32 replace, i32 index);
// Ends and erases run i with its flow (and the timed entries of its run number). Nothing for an
// index out of range. The scene's hand-over is kept pointing at the run it named (or cleared
// when that run is the one erased).
void DeleteFlow(cChara& c, i32 run);
// Marks run i for deletion by the character's own flow pass (the flow operation 'delete' on the
// character whose flows are being stepped): the run is not stepped further and is erased after
// the pass.
void MarkFlowForDelete(cChara& c, i32 run);
// Erases the flows of flow ID id (every flow for 0): the index of the first erased run, -1 none.
i32 ChangeFlows(cChara& c, u8 id);
// Inserts flows at index (appends for -1 or past the end), each with a fresh run number.
void InsertFlows(cChara& c, const cVector<cFlow>& flows, i32 index);
// The per-step flow pass of a character (m_pFlowObj is the character while it runs): 1 when it
// stopped early (a stage character's removal flag, or HP at 0 from a command). While dying
// (dying != 0) only trigger-3 flows advance. The hand-over is cleared after the pass; then the
// player runs the flow changes it took from items meanwhile, and runs marked for deletion are
// erased.
i32 StepFlows(cChara& c, i32 dying);
// End-of-update clean-up of ended ID letters.
void EndLetters(cChara& c);
// Computes a command run's duration from its command's time fields at a level (the spawn
// index): (time + time increase x level) x 6 x the stage's speed unit (whole steps).
i32 CmdDuration(const cFlowCmd& cmd, i32 level, double unit);

// Flow-owned timed entries (the character's overlay animations, tagged with the run number of
// the flow that started them): erase those of run number n; pause them (entries already run out
// are erased); resume them.
void RemoveTimer(cChara& c, i32 runNo);
void ResetTimer(cChara& c, i32 runNo);
void ClearTimerFlag(cChara& c, i32 runNo);

// ---- Triggers and the scan ----------------------------------------------------------------------

// Trigger kinds of the flows.
enum eTrigger : u8 {
    TRIG_ALWAYS = 0,
    TRIG_DAMAGED = 1,
    TRIG_IMPACTED = 2,
    TRIG_DIED = 3,
    TRIG_HIT_CHARA = 4,
    TRIG_HIT_BLOCKCHARA = 5,
    TRIG_ON_BLOCKCHARA = 6,
    TRIG_HIT_SHOT = 7,
    TRIG_HIT_ITEM = 8,
    TRIG_BLOCK = 9,
    TRIG_BLOCK_SIDE = 10,
    TRIG_BLOCK_LEFT = 11,
    TRIG_BLOCK_RIGHT = 12,
    TRIG_BLOCK_VERT = 13,
    TRIG_BLOCK_ABOVE = 14,
    TRIG_BLOCK_BELOW = 15,
    TRIG_RIDDEN_BY_HERO = 16,
    TRIG_RIDDEN = 17,
    TRIG_DEALT_DAMAGE = 18,
    TRIG_DEALT_IMPACT = 19,
    TRIG_ATTACK_HIT = 20,
    TRIG_STAGE_START = 21,
    TRIG_NONE = 22,
};

// A trigger's bit in a character's mask of the triggers its flows wait for (m_nFlowTriggers).
constexpr u32 TriggerBit(u8 trigger) { return u32{1} << (trigger < 31 ? trigger : 31); }

// Fires a trigger on a character: RunFlows(c, kind, null, 0).
void RunFlowsOf(cChara& c, u8 kind);
// Fires a trigger with the event's other object and number (the attack number for 18-20, else 0).
void RunFlows(cChara& c, u8 kind, cObj* other, i8 number);
// Clears the character's per-frame marks (once per frame before any scan).
void ResetFlowMarks(cChara& c);
// Writes target slot 0-3 (ターゲット1-4): obj, or empty when obj is null and clearIfNull is set
// (a null obj without it changes nothing). Keeps the targets' link lists. Nothing for a slot
// out of range.
void SetTargetSlot(cChara& c, i32 slot, cObj* obj, i32 clearIfNull);

// ---- Conditions ---------------------------------------------------------------------------------

// A condition list with its combination (0 all, 1 any), evaluated for a character (null: the
// conditions that need one fail). An appearance condition of a block or item uses the player.
i32 EvalCondList(cGameScene& scene, const cVector<cCond>& conds, i32 mode, cChara* chara);
// One condition for a character (null: the conditions that need one fail).
i32 EvalCond(cGameScene& scene, cCond& cond, cChara* chara);
// The flow's condition list with its latch (a flow without conditions holds).
i32 CheckFlowConds(cGameScene& scene, cFlowRun& run, cChara& chara);
// The flow's key conditions over the hero's input (a flow without key rows holds): they read the
// per-key press histories of player 1's input record (g_vInput[0]).
i32 CheckFlowKeyConds(cChara& chara, cFlowRun& run);
// The key of a jump command held now (jump kinds 1 and 2): the flow's last key row on the
// hero's newest input; a flow without key rows holds while button 1 is down.
bool JumpKeyHeld(const cFlowRun& run);
// The key histories advance: the player's update calls this once per play step, where its key
// rows advance; it pushes the player's input record into its press histories (nothing else
// pushes them). Other characters have no histories of their own: nothing.
void StepKeyConds(cChara& c);
// Empties the press histories of an input record (each state 32 entries of nothing held): stage
// set-up calls it with the other resets of the input, so that no press carries into a stage.
void ClearKeyHistories(cInput& input);
// Draws the character's flow overlay (distance areas, when shown).
void DrawFlowOverlay(cChara& c, DDSURFACEDATA* target);

// ---- Status operations and knock-back -----------------------------------------------------------

// HP change: 1 when HP reached 0. Damage (delta <= 0) is refused while invincible unless ignore.
i32 AddHp(cChara& c, i32 delta, i32 ignoreInvincible, i32 startGauge);
i32 AddSp(cChara& c, i32 delta, i32 startGauge);
// Knock-back of a strength in a direction; and from an attacking character or shot.
void ApplyImpact(cChara& c, i8 strength, double dirX, double dirY);
void ApplyImpactFromChara(cChara& c, cChara& attacker);
void ApplyImpactFromShot(cChara& c, cShot& shot);

// ---- Item commands ------------------------------------------------------------------------------

// Takes an item: 0 when there is none, its graphic number is 0, it cannot be taken or is not
// present; else the player's graphic changes (when the item says so), the item's sound plays
// and its commands run: 2 when the player died, 1 when the stage ended, 0 otherwise.
u32 ApplyItem(cGameScene& scene, cItem* item, cPlayer& hero);
// Runs an item's command list for the hero, all in one frame: 1 a stage clear stopped it, 2 the
// hero's HP fell below 1, else 0.
u32 ExecItemCmds(cPlayer& hero, cVector<cFlowCmd>& cmds);
// The same for a list that may be shared: the first override the list takes makes it the
// caller's own copy, and each command an override changes the entry's own.
u32 ExecItemCmds(cPlayer& hero, std::shared_ptr<cCmdList>& cmds);

// Runs one command of the item command set for the hero: non-zero stops the list (1 stage clear).
i32 ExecItemCmd(cPlayer& hero, cFlowCmd& cmd);
// Applies queued overrides to a command about to run (operands from the common, stage and
// character variables), and empties the queue.
void ApplyCmdOverrides(cFlowCmd& cmd, cChara& c, CmdOverrideList& overrides);

// ---- Character motion routines ------------------------------------------------------------------

// Jump speed for a height in hbl (16 pixels), negative = upward; the player's is scaled by the
// stage's jump factor.
double JumpSpeedHbl(cChara& c, i32 heightHbl);
// Rise frames of a jump speed.
i32 JumpFrames(cChara& c, double speed);
// Puts the character on a view cell (column, row from the scroll position).
void SetPosition(cChara& c, i32 column, i32 row);
// Gravity for one step.
void GravityStep(cChara& c);
bool IsOnFloor(cChara& c);
// Landing and ceiling reactions (fire triggers 9, 13 and 15 or 14).
void OnLand(cChara& c);
void OnHitCeiling(cChara& c);
void StopOnFloor(cChara& c, i32 flag);
void SavePosition(cChara& c);
void RestorePosition(cChara& c);
// Knock-back decay (once per frame) and its vertical application.
void DecayKnockback(cChara& c);
void StepMoveX(cChara& c);

// The direction choice (0-11) a move, shot or summon direction choice stands for: "入力方向"
// (12) becomes the direction held on the hero's keys ("前" when none), every other choice
// itself. Movement, shots and summons all resolve "入力方向" here.
i32 CmdParamKindValue(cGameScene& scene, i32 kind);

// ---- Messages and effect display objects --------------------------------------------------------

class cMessageWnd;
class cEffectObj;
struct FlowObjDeleter {
    void operator()(cMessageWnd* p) const noexcept;
    void operator()(cEffectObj* p) const noexcept;
};
using MessageWndPtr = std::unique_ptr<cMessageWnd, FlowObjDeleter>;
using EffectObjPtr = std::unique_ptr<cEffectObj, FlowObjDeleter>;

// Steps and draws one effect display object: 1 when it has ended (the scene drops it). While
// the game is held (the nested loops' frozen drawing) only an effect that holds it advances.
i32 StepDrawEffectObj(cGameScene& scene, cEffectObj& obj, DDSURFACEDATA* target, i32 held);
// Lays out and draws one message window: 1 when it has ended (the scene drops it). While held,
// a timed window counts down only when it counts while held.
i32 LayoutMessageText(cGameScene& scene, cMessageWnd& wnd, DDSURFACEDATA* target, i32 held);
// The two above over the scene's lists, in order, dropping what ended.
void StepDrawEffectObjs(cGameScene& scene, DDSURFACEDATA* target, i32 held);
void DrawMessageWnds(cGameScene& scene, DDSURFACEDATA* target, i32 held);
// A rising picture cell over a character (by its id): the miniature of graphic (kind, number,
// offset), shown for `frames` frames as it rises (an item's graphic taken by the hero).
void ShowRisingGraphic(cGameScene& scene, u32 charaId, i32 kind, i32 number, i32 offset, i32 frames);
// The surface of a shown picture (null when it has none), and the removal of shown picture i
// with its surface.
DDSURFACEDATA* PictureSurface(cGameScene& scene, const PictureParam& block);
void ErasePicture(cGameScene& scene, std::size_t i);
// Appends to the scene's effect list an effect of a hit at the overlap of two rectangles.
void AddHitEffect(cGameScene& scene, i16 effect, const HITRECT& a, const HITRECT& b, i32 scale);
