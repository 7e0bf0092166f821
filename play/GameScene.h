#pragma once
// The play scene: stage play, scene 4 of the scene machine.
//
// One play state. Everything that lives for one stage belongs to this object and is rebuilt by
// SetStage: the player, the stage characters, the items, the live shots and their side lists,
// the layer lists, the block map, the scroll axes, the effect objects, message windows and
// pictures, the timers and counters, the stage variables, the random generator and the per-stage
// frame counter. Nothing of a stage outlives it, and nothing in play/ or flow/ is global: the
// rules reach the scene through the pointer each object carries (cObj::m_pScene) or through an
// argument.
//
// The scene's states (m_nState), each with its handler:
//   -1 not initialised (Init runs on the next frame)   3 Pause        6 GameOver
//    0 FadeIn      1 Intro      2 UpdatePlay           4 StageClear   7 FadeOut
//                                                      5 MissMenu
// The code is split by concern: GameScene.cpp (construction, states, walks, the flow hand-over),
// StageSetup.cpp (SetStage), PlayUpdate.cpp (the per-frame update), PlayDraw.cpp (Draw),
// Results.cpp (ProcessResult), GraphicsLoad.cpp (the play pictures).
//
// Lists and lifetimes. The object lists own their objects (stable addresses). Walk them by index
// against the live size (ForEachChara and its siblings do), so that an object a flow summons or
// fires during the walk is reached and nothing is skipped. Remove objects with RemoveChara,
// RemoveItem and EraseShot: the object is out at once (handles to it read null, walks skip it)
// and is destroyed at the next sweep point (Sweep(): after the passes of the update and at the
// end of every frame; never while its list is walked). Code that keeps raw pointers to
// listed objects across calls that may remove objects (a pass that gathers the characters of a
// side, say) holds the list's WalkScope for that time. References between objects are handles
// (play/objects/ObjHandle.h).
//
// The flow hand-over: FlowObj(), FlowRun() and CmdRun() give the character whose flows are being
// scanned or stepped, the run being stepped and the command run being executed. They are stored
// as a character handle and indexes, so they read null rather than dangle when the character is
// removed or its flows change; FlowPointerScope saves and restores all three around a scan.
#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Game.h"
#include "flow/FlowEngine.h"
#include "platform/graphics/Graphics.h"
#include "platform/system/Input.h"
#include "platform/system/Random.h"
#include "play/ObjGraphic.h"
#include "play/ScrollAxis.h"
#include "play/effects/Picture.h"
#include "play/effects/ScreenEffect.h"
#include "play/objects/BlockMap.h"
#include "play/objects/Item.h"
#include "play/objects/ObjList.h"
#include "play/objects/Player.h"
#include "play/objects/StageChara.h"
#include "play/shots/Shot.h"
#include "records/Cmd.h"
#include "records/EdShot.h"

// The screen's colour effect (fade to a colour and back, flashes) started by the screen-colour
// command.
struct SCREENCOLOUR {
    u8 byColour[3] = {};
    i32 nStrength = 0;      // percent
    i32 nDirection = 0;     // 0 fade to the colour, 1 fade back
    i32 nDuration = 0;      // frames
    i32 nFlashMode = 0;
    i32 nRepeat = 0;
    i32 bActive = 0;
    i32 nFrame = 0;
    i32 nRepeatsDone = 0;
    i32 nLevel = 0;
    u8 byColour2[3] = {};
    i32 nStrength2 = 0;
    i32 nLevel2 = 255;      // the remembered level
    i32 bShown = 0;         // a colour was faded to (8-bit mode: what a fade back returns from)
};

// The flow run being stepped: its owner, its index in the owner's run list and its run number
// (a run found at another index after runs before it were erased is found by its number; a run
// that is gone reads null).
struct FLOWRUNREF {
    cObjHandle owner;
    i32 run = -1;
    i32 runNo = 0;
};

constexpr int kLayerCount = 8;
constexpr int kSideCount = 8;
// The entry size a bad side's report line names: the size of a side list's entry in the kit's
// own build, so that the line reads as the lines game authors already know.
constexpr std::size_t kSideListEntrySize = 12;
constexpr int kStageVarCount = 1000;
// A life time that never runs out (characters and items).
constexpr i32 kUnlimitedLife = 0x7fffffff;
// Extra-life notices shown for one clear at most: a huge score jump past a small step must not
// hold the game for minutes (each notice holds it for 30 frames).
constexpr i32 kMaxExtraLifeNotices = 10;

// Something shown on the play screen for a number of frames above the play: the extra-life
// notice and the player's graphic change.
struct PLAYNOTICE {
    enum : i32 { EXTRA_LIFE = 0, GRAPHIC = 1 };
    i32 nKind = EXTRA_LIFE;
    i32 nFrames = 0;
    i32 nValue[3] = {}; // extra life: the lives; graphic: kind, number, pattern
};

// The surfaces of one of the play picture loaders: database row i (from 1) owns the group at
// [(i - 1) x group size, i x group size).
struct PLAYPICTURES {
    cVector<DDSURFACEDATA> vSurface;
    cVector<DDPICTUREDEF> vDef;
    i32 nGroup = 1;
    // The first surface of row i's group, or null.
    DDSURFACEDATA* Row(i32 i);
};

class cGameScene : public cScene {
public:
    cGameScene();
    ~cGameScene() override;
    cGameScene(const cGameScene&) = delete;
    cGameScene& operator=(const cGameScene&) = delete;

    // ---- Scene machine ----
    // One frame: the current state's handler, then the sweep of removed objects.
    void Run() override;
    void Init() override;
    void FadeIn() override;
    void FadeOut() override;
    // States 1 to 6 (0 and 7 are FadeIn and FadeOut).
    void Intro();
    void UpdatePlay();
    void Pause();
    void StageClear();
    void MissMenu();
    void GameOver();

    // ---- Stage ----
    // Builds everything a stage needs from g_Stage (see StageSetup.cpp). bLoadStage first restores
    // the stage from the copy loaded from its file; x = 1 is a fresh start of its music.
    void SetStage(i32 bLoadStage, i32 x);
    // The copies of one placed character (repeat count + 1) at a stage cell, each given the next
    // id when it lies inside the stage; item (each copy carries one) may be null. The number of
    // characters made.
    i32 SpawnStageChara(i32 cellX, i32 cellY, const cEdChara& row, const cEdItem* item);
    // One standalone item at a stage cell: null when it lies outside the stage.
    cItem* SpawnStageItem(i32 cellX, i32 cellY, const cEdItem& row);
    // The summon command's spawns (x, y in world pixels, spec: the command's shot record;
    // behaviour: the two behaviour bytes the command gives each character).
    i32 SpawnSummonChara(double x, double y, const cEdChara& row, const cEdShot& spec, cChara* parent,
                         const u8 behaviour[2]);
    cItem* SpawnSummonItem(double x, double y, const cEdItem& row, const cEdShot& spec);
    // The block summon at the cell under a world pixel: place (0), erase (1) or toggle (2) by the
    // block mode in spec. Nothing outside the map or on a protected cell.
    void SpawnSummonBlock(double x, double y, const cEdBlock& block, const cEdShot& spec);
    // The block summon's player test: whether the solid block now at the cell overlaps the box
    // of a player still alive. 1 only when it does and spec refuses to place a block on a
    // player (the caller then puts the cell back); it marks and changes nothing itself.
    i32 SummonBlockHitsPlayer(i32 col, i32 row, const cEdShot& spec);
    // Draws the play screen: a = the update's own drawing, b = frozen (steps nothing).
    void Draw(i32 a, i32 b, i32 c, i32 d);
    // The result of a cleared stage: the next scene.
    i32 ProcessResult();
    // Nested frame loops that keep the screen alive while game logic waits (inline, on the game
    // thread): 1 when they ended normally, 0 at once when the play is closing.
    i32 PauseLoop();
    i32 RankingLoop();
    // Holds the game for frames with the screen alive (the pause loop with no key to wait for).
    i32 HoldFrames(i32 frames);

    // ---- Play rules of the scene (play/rules/TimersScore.cpp) ----
    // The time limit, once per frame (delta -1): 1 when it has just run out.
    i32 TickTimeLimit(i32 delta);
    // The play time in hundredths of a second, once per frame.
    void TickPlayTime();
    // The start-of-step marks: presence, on screen, activity range and activation groups.
    void ResetFrameFlags();
    // Appearance conditions of characters and items (latched ones hold once they held).
    bool CharaIsShown(cStageChara& chara);
    bool ItemIsShown(cItem& item);
    // Space: sound 4, the state and sub-state saved for the resume; 1 when the pause begins.
    i32 PauseKeyProbe();
    // The stage has been cleared: tally, extra lives, ranking places.
    void StageEnd();
    // The ranking name entry after a clear (once per clear), the ranking written and shown.
    void EnterName();
    // Rebuilds the two HUD tile pictures (63, 64) from the source pictures.
    void BuildHudTiles();
    // Requests stage music n (kept in the play record).
    void NotifyMainWindow(i32 music, u32 flag);
    // The player's death handling once its death animation has ended (restart, miss menu, game
    // over).
    void OnPlayerDeathEnd();
    // The outcomes of the play rules: the stage has ended (tally, state 4), or the player dies
    // (sound 8, killed; label for the debug log, may be null). The rules that end a step with
    // them return non-zero so that the update ends the frame. PlayerDies returns that outcome: 1
    // when the defeat ended the stage, else 2 (a player already dying is not killed again).
    void StageEndNow();
    i32 PlayerDies(const char* label);
    // A rule's result made so: 1 the stage ends, 2 the player dies; returns it (non-zero ends the
    // frame).
    i32 Outcome(i32 result);

    // ---- Drawing (play/PlayDraw.cpp) ----
    void DrawPlayer(DDSURFACEDATA* target, i32 freeze);
    // Advances the auto-scroll offsets of the background rows (not in the pause state).
    void DrawBackground();
    void DrawBgPicture(DDSURFACEDATA* target, i32 layer);
    void DrawBlockLayer(DDSURFACEDATA* target, i32 layer);
    void DrawObjectLayer(DDSURFACEDATA* target, i32 layer, i32 freeze);
    void DrawStatusBar(DDSURFACEDATA* target);
    void DrawTimeLimit(DDSURFACEDATA* target, i32 withSound);
    void DrawScreenFlash(i32 freeze);
    void DrawNotices(DDSURFACEDATA* target, i32 freeze);
    // Limited sight (play/ViewMargin.cpp): the two work surfaces of player 0's view margin; the
    // margin and shape taken from player 0 at set-up; a character's sight range changed (player
    // 0's rebuilds the surfaces at once); the dark window drawn around player 0.
    void CreateWorkSurfaces();
    void SetUpViewMargin();
    void SightChanged(const cChara& chara);
    void DrawFollowPicture(DDSURFACEDATA* target);
    void ReleaseStageSurfaces();
    // The play-screen loaders of the character, sword and effect pictures.
    void LoadPlayPictures();

    // ---- Input of the play ----
    // The decision / cancel button went down this frame (menus of the scene).
    bool Pressed(u16 button) const { return (m_wButtons & button) && !(m_wButtonsBefore & button); }

    // ---- Random numbers (the play's own generator) ----
    i32 Rand() { return m_Rand.Next(); }
    // A number between lo and hi inclusive (either order) from the play's generator.
    i32 RandRange(i32 lo, i32 hi) { return ::RandRange(m_Rand, lo, hi); }

    // ---- Walks and removal ----
    // fn(T&) for every live object in list order, objects added meanwhile included.
    template <class Fn> void ForEachPlayer(Fn&& fn) { m_vPlayer.Walk(fn); }
    template <class Fn> void ForEachChara(Fn&& fn) { m_lstChara.WalkAhead(fn, PrefetchWalked); }
    // fn(index, c) for every live stage character in list order, appended ones included, but for
    // the sleepers of the last step start that nothing has reached since (StepWork::sleep): a walk
    // that would leave a sleeper as it is (it reads and changes only what sleep keeps still: the
    // frame's marks, the drawing of a character off screen without an effect) need not read it.
    template <class Fn> void WalkUnlessAsleep(Fn&& fn);
    template <class Fn> void ForEachItem(Fn&& fn) { m_lstItem.Walk(fn); }
    template <class Fn> void ForEachShot(Fn&& fn) { m_lstShot.Walk(fn); }
    // The live shots of one side (0-7; another side is reported and gives side 0).
    template <class Fn>
    void ForEachShotOfSide(i32 side, Fn&& fn) {
        cObjList<cShot>::WalkScope scope(m_lstShot);
        std::vector<cShot*>& list = SideList(side);
        for (std::size_t i = 0; i < list.size(); ++i)
            if (!list[i]->IsRemoved()) fn(*list[i]);
    }
    // Appends a stage character (entered in the registry, on its layer list); the one in the list.
    cStageChara& AddChara(std::unique_ptr<cStageChara> chara);
    cItem& AddItem(std::unique_ptr<cItem> item);
    // Appends a shot to the live list and to the list of its side (a copy, or the shot itself
    // built in place).
    cShot& AddShot(const cShot& shot);
    cShot& AddShot(std::unique_ptr<cShot> shot);
    // Take an object out (see above). Nothing when it is not in the list.
    void RemoveChara(cStageChara& chara);
    void RemoveItem(cItem& item);
    void EraseShot(cShot& shot);
    // Destroys what was removed, where no walk is running.
    void Sweep();
    // c's boxes or side have been written: its entry in the step's copy (StepWork) follows, and
    // so does its kept entry in the attack sides (or, during the passes, once they end).
    void WalkedChanged(const cStageChara& c);
    // The attack passes begin (the kept sides hold still) or have ended (they catch up).
    void AttackPassesBegin();
    void AttackPassesEnd();
    std::vector<cShot*>& SideList(i32 side);
    // True the first time in this stage that a definition with a side outside the eight makes
    // a shot. A definition is known by its settings: every character carries its own copy of
    // its flows, and one damaged definition of the data is one line in the report.
    bool FirstBadSideOf(const cEdShot& def);

    // ---- Flow hand-over ----
    cChara* FlowObj() const { return m_pFlowObj.Chara(); }
    cFlowRun* FlowRun() const;
    cCmdRun* CmdRun() const;
    void SetFlowObj(cChara* chara);
    // The run (of its owner's run list) being stepped; null clears it and the command run.
    void SetFlowRun(cChara* owner, cFlowRun* run);
    // The command run (of the current flow run) being executed; null clears it.
    void SetCmdRun(cCmdRun* run);
    // SetFlowRun(owner, run), then SetCmdRun(cmd), in one.
    void SetFlowRunAndCmd(cChara* owner, cFlowRun* run, cCmdRun* cmd);
    // The same with the command run's index in the run (as a flow step names each command).
    void SetFlowRunAndCmd(cChara* owner, cFlowRun* run, i32 cmd);
    void ClearFlowPointers();
    // Saves the three on construction, restores them on destruction.
    class FlowPointerScope {
    public:
        explicit FlowPointerScope(cGameScene& s) : m_s(s), m_obj(s.m_pFlowObj), m_run(s.m_pFlowRun), m_cmd(s.m_pCmdRun) {}
        ~FlowPointerScope() {
            m_s.m_pFlowObj = m_obj;
            m_s.m_pFlowRun = m_run;
            m_s.m_pCmdRun = m_cmd;
        }
        FlowPointerScope(const FlowPointerScope&) = delete;
        FlowPointerScope& operator=(const FlowPointerScope&) = delete;

    private:
        cGameScene& m_s;
        cObjHandle m_obj;
        FLOWRUNREF m_run;
        i32 m_cmd;
    };

    // ---- Stage geometry (world pixels) ----
    i32 StageWidthPx() const { return (m_vBlockMap.StageWidth() + 2 * cBlockMap::kMargin) * 32; }
    i32 StageHeightPx() const { return (m_vBlockMap.StageHeight() + 2 * cBlockMap::kMargin) * 32; }
    cPlayer* Player0() { return m_vPlayer.Live(0); }

    // ---- State (in the order of the play scene's data) ----
    i32 m_nSavedState = 0;        // where the pause menu resumes
    i32 m_nSavedSubState = 0;
    i32 m_nEndRequest = 0;        // 1 stage cleared, 2 the player is to be killed
    cScrollAxis m_ScrollX;
    cScrollAxis m_ScrollY;

    // The registry comes before every list: it outlives the objects entered in it.
    cObjRegistry m_Registry;
    cObjList<cPlayer> m_vPlayer{&m_Registry};       // element 0 is the player
    i32 m_nPlayerCount = 0;
    cObjList<cStageChara> m_lstChara{&m_Registry};  // placement order
    cObjList<cItem> m_lstItem{&m_Registry};         // standalone items
    cObjList<cShot> m_lstShot{&m_Registry};         // live shots
    std::array<std::vector<cShot*>, kSideCount> m_vShotList; // live shots by side
    u32 m_nShotSerial = 0;
    std::vector<std::string> m_vBadSideDefs; // the settings, as written, of those reported

    // What the attack passes of a step (play/rules/Hits.cpp) read, per side: the characters with
    // their rectangles as they were when the passes began, and the shots as each pass began.
    // Refilled every step into storage kept for the stage, so a busy step allocates nothing.
    // The characters of the step-start walk are kept from step to step while nothing but their
    // boxes changes (StepWork::bSidesKept): their first nKept entries (the player, then those
    // characters in list order); those added since follow and are taken again each step.
    struct AttackSide {
        std::vector<cChara*> chara;
        std::vector<HITRECT> body;
        std::vector<HITRECT> damage;
        std::vector<cShot*> shots;
        std::size_t nKept = 0;
    };
    std::array<AttackSide, kSideCount> m_AttackSides;

    // The stage characters each later walk of a step has work for, found by the one walk at the
    // step's start that reads every character (ResetFrameFlags), in list order: those with a
    // limited life, those whose timers, contacts or saved position the step start changes, and
    // those that may act in the characters' passes. A character not listed would be passed over
    // by that walk; characters added after the lists were made (from index nSize) are walked in
    // full, and once the list has been swept the walks go over every character again.
    struct StepWork {
        std::vector<cStageChara*> life;
        std::vector<cStageChara*> timers;
        std::vector<cStageChara*> acting;
        // The block characters of acting, in its order: the first pass reads no other character.
        std::vector<cStageChara*> actingBlock;
        std::vector<cStageChara*> wake; // woken after the range walk (see ResetFrameFlags)
        // Every listed character with what the attack passes read of it, kept up to date where
        // those are written (the boxes' update, a character's copy, the removal): the passes
        // take their sides from here rather than from the characters.
        struct Walked {
            cStageChara* chara = nullptr;
            i32 side = 0;
            HITRECT body;
            HITRECT damage;
            u32 out = 0; // taken out of the list
            i32 keptSide = -1; // where it stands in the kept attack sides (-1: in none)
            i32 keptAt = -1;
        };
        // Made by a step-start walk and kept by the later ones while the list stays as it was
        // (its version nWalkedOf): the entries follow their characters between steps too.
        std::vector<Walked> walked;
        u32 nWalkedOf = ~0u;
        u32 nStamp = 0; // the step-start walk that made walked (STEPSLOT::nStamp)
        i32 nSize = 0;
        u32 nSweeps = ~0u;
        // walked (and the lists) stand for m_lstChara's first nSize entries.
        bool Current(const cObjList<cStageChara>& list) const { return nSweeps == list.Sweeps(); }
        // The attack sides hold walked's characters as kept entries (see AttackSide), made from
        // this walked (nStamp) with this player on this side. An entry that changes outside the
        // passes is copied at once; during the passes the sides must stay as the passes began, so
        // the characters changed are noted and copied when the passes end.
        u32 bSidesKept = 0;
        const cChara* pSidesPlayer = nullptr;
        i32 nSidesPlayerSide = -1;
        u32 bInPasses = 0;
        std::vector<const cStageChara*> changedInPasses;
        // WalkedChanged's calls that changed nothing and were passed over (tests), and a switch
        // (tests) that takes every call as a change.
        u32 nPassedOver = 0;
        u32 bEveryChange = 0;
        // Per entry of the list (for the walk's list version nWalkedOf): whether the character was
        // asleep when the walk last took it in full, with what the range test reads of it. Asleep:
        // present without appearance conditions, out of range and off screen, inactive and
        // outside any group, on no list of the step, neither a block character nor riding one,
        // alive. A later walk passes over such a character without reading it while nothing has
        // reached it (cObjRegistry::Reach) and the view, widened by the margin, still misses it:
        // the walk would leave it as it is. bFullWalk (tests) takes every character in full.
        struct Sleep {
            double x = 0, right = 0, y = 0, bottom = 0;
            u32 slot = ~0u;
            u8 asleep = 0, ignoreX = 0, ignoreY = 0;
        };
        std::vector<Sleep> sleep;
        // sleep by runs of kRun entries: which of them sleep, and the box around those that do
        // (the widest range modes of theirs). While none of a run has been reached and the view
        // misses its box, the walk takes only the run's others. Made with sleep.
        static constexpr int kRun = 64;
        struct Run {
            u64 asleep = 0;
            double x = 0, right = 0, y = 0, bottom = 0;
            u8 ignoreX = 0, ignoreY = 0;
        };
        std::vector<Run> runs;
        std::vector<i32> slotIndex; // the list index of a registry slot (-1: none), with sleep
        std::vector<u8> reachedRuns;
        u32 bFullWalk = 0;
        u32 nSkipped = 0; // characters passed over by the last walk (tests)
    };
    StepWork m_StepWork;
    // A stage character with appearance conditions has been in the list since the stage was set
    // up (set as one joins the list or is given another's definition). Conditions read other
    // characters' state, so while none has any, a character wakes in the range walk itself.
    u32 m_bCharaConds = 0;

    // The indexes of the stage characters the draw's walks have work for (PlayDraw.cpp).
    std::vector<i32> m_vDrawCharas;

    // The block characters of m_lstChara, as of its version m_nBlockCharasOf (the block
    // collision rules look them up many times a step).
    std::vector<cStageChara*> m_vBlockCharas;
    u32 m_nBlockCharasOf = ~0u;

    cBlockMap m_vBlockMap;
    std::vector<i32> m_vToggledCell;  // cells a toggling block summon has changed
    std::vector<u32> m_vItemUsed;     // placed items given to characters
    std::vector<u32> m_vStepMark;     // per logic step of a frame
    std::vector<u32> m_vGroupMark = std::vector<u32>(60, 0); // per-step activation groups

    cScreenEffectRun m_ScreenEffect;
    EffectSurfaces m_EffectSurf;      // what the chara and screen effects draw through
    PLAYDRAWTABLES m_DrawTables;      // the picture slots objects are drawn from, by graphic kind
    SCREENCOLOUR m_ScreenColour;
    std::vector<EffectObjPtr> m_lstEffectObj;
    // The effect pictures (two slots per row of the effect list: row i owns 2i - 2 and 2i - 1),
    // filled by the play graphics loading.
    cVector<DDSURFACEDATA> m_vEffectPicture;
    std::vector<MessageWndPtr> m_lstMessageWnd;
    std::vector<PictureParam> m_lstPicture;
    cVector<DDSURFACEDATA> m_vPictureSurface; // PictureParam::nSurface; an empty slot is reused
    // The files that the picture and music commands asked for and could not have, reported once
    // in this stage: a flow may ask for one every frame, and its report would grow without end.
    // Each is still looked for when asked for again, so that a file put back is taken.
    std::set<std::string> m_setReportedMissing;
    u32 m_bItemMessage = 0;           // an item's message continues the previous one

    i32 m_nTimeLeft = 0;
    u32 m_bTimeStopped = 0;
    i32 m_nPlayFrames = 0;
    i32 m_nPlayTime = 0;              // hundredths of a second
    i32 m_nNextId = 0;                // characters and players
    i32 m_nNextItemId = 0;

    i32 m_nNextStageNo = 0;           // set by the stage-clear command
    std::string m_strNextStage;

    // The flow hand-over (see above): use FlowObj/FlowRun/CmdRun and their setters.
    cObjHandle m_pFlowObj;
    FLOWRUNREF m_pFlowRun;
    i32 m_pCmdRun = -1;

    std::atomic<u32> m_bQuit{0};      // the program is closing: every loop ends at once

    // Pause-loop control (set by the commands that hold the game).
    i32 m_nPauseFrames = 0;           // frames still to show without input
    i32 m_bPauseWaitKey = 0;
    i32 m_nPauseCountdown = 0;
    i32 m_nPauseSound = 0;            // 1: sound 12 when the key is taken, else sound 1
    WAITPARAM m_WaitParam;

    i32 m_nStepIndex = 0;             // logic step within the frame, from 1
    i32 m_nStepCount = 0;             // logic steps since the stage started
    i32 m_nIntroA = 0;
    i32 m_nIntroB = 0;
    u32 m_bHeldKeyGuard = 0;
    u32 m_bDeathCheck = 0;            // test the player's HP after a character's flows
    i32 m_bCodeError = 0;             // g_bCodeError: the code statement being run failed
    i32 m_nCmdNesting = 0;            // commands running other commands inside them (get item, flow start)
    u32 m_bRemoveChara = 0;           // off-stage removal switches (stage areas 1-3)
    u32 m_bRemoveBlockChara = 0;
    u32 m_bRemoveItem = 0;
    u32 m_nFrameCounter = 0;          // play frames since the stage started
    i32 m_nTickCounter = 0;           // frames toward the next second of the time limit
    cVector<i32> m_vStageVar = cVector<i32>(kStageVarCount, 0); // stored as u32, read signed
    cLoopExpansions m_LoopExpansions; // the stage's flow command lists, loops expanded once
    cVector<i32> m_vResult = cVector<i32>(5, 0);
    u32 m_bNameEntry = 0;
    u32 m_bNoMessage = 0;
    cVector<cCmd> m_vPauseMenu = cVector<cCmd>(4);
    u32 m_bStatusBar = 0;             // the stage's status-bar switch, for the drawing

    // The clamp bounds are read live from the scroll axes and the block map: InnerBounds and
    // OuterBounds (play/rules/Motion.h).

    // Intro, menus and results.
    i32 m_nMenuCursor = 0;            // row among the enabled entries of the menu shown
    u16 m_wButtons = 0;               // player 1's buttons this frame and the frame before
    u16 m_wButtonsBefore = 0;
    u32 m_bNameEntered = 0;           // the name entry ran for this clear
    cVector<i32> m_vRankValue = cVector<i32>(5, 0); // the five ranking values of this clear
    std::vector<PLAYNOTICE> m_vNotice;
    i32 m_nPrevTimeLeft = -1;         // the time left at the last warning check
    u32 m_bVirtualTarget = 0;         // draw into the virtual back buffer (a screen effect runs)
    u32 m_bDeathHandled = 0;          // the player's death handling ran for this death
    u32 m_bDeathDue = 0;              // the death animation ended: the handling runs after the draw
    i32 m_nNestedDepth = 0;           // nested frame loops running
    u64 m_nNestedFrameStart = 0;      // when the nested loop's frame began (ms)
    i32 m_nViewMargin = 0;            // player 0's view margin and view shape (work surfaces)
    i32 m_nViewShape = 0;

    // Pictures of the play: the three loaders and the view-margin work surfaces.
    PLAYPICTURES m_CharaBmp;
    PLAYPICTURES m_SwordImg;
    cVector<DDPICTUREDEF> m_vEffectPictureDef; // the effect pictures are m_vEffectPicture
    DDSURFACEDATA m_sdViewA;
    DDSURFACEDATA m_sdViewB;

    // Headless runs (tools, tests): the nested loops neither wait for the frame's time nor poll
    // the devices nor present; m_fnNestedInput, when set, gives their input frame by frame
    // (without it the decision button goes down every other frame, so a wait for a key ends).
    bool m_bHeadless = false;
    // The most frames a nested loop runs before it ends as if its wait were over (-1: no limit).
    i32 m_nNestedFrameLimit = -1;
    std::function<void(cInput& in, i32 frame)> m_fnNestedInput;

    // Random numbers of the play: seeded by SetStage (the seed also goes into the replay).
    cCrtRandom m_Rand;
    u32 m_nSeed = 0;
    // A seed that SetStage uses instead of the clock (headless runs and tests); -1 none.
    i64 m_nForcedSeed = -1;

private:
    // The body of SetStage (which turns a failed allocation into the memory error).
    void BuildStage(i32 bLoadStage, i32 x);
    // Its groups of steps (StageSetup.cpp).
    struct StageBuild;
    // Every object of the last set-up goes.
    void ClearStageObjects();
    // Unlinks a stage character and takes it out of its lists.
    void RemoveStageChara(cStageChara& c);
    // The game thread's frame services around one frame of a nested loop: false when the program
    // is closing.
    bool NestedFrameBegin();
    void NestedFrameEnd();
    // The play's states (see the table at the top).
    // A menu box of texts with the cursor on row m_nMenuCursor.
    void DrawMenu(const std::vector<std::string>& texts, i32 left, i32 top);
    void DrawResultTable(DDSURFACEDATA* target, i32 x, i32 y);
    // One step of the update (PlayUpdate.cpp): 0 go on, else the frame ends.
    i32 PlayStep(i32 step);
    i32 CharaPass(bool blockCharas);
    i32 PlayerStep(cPlayer& p);
    void ShotPass(i32 step);
    // The step-start walk's share of the step lists: what the later walks have to do for c.
    // The kept attack-side entry of a walked character follows its entry.
    void KeepSideEntry(const StepWork::Walked& e);
    // WalkedChanged; catchUp: the copy of a character noted during the passes, as they end.
    void TakeWalkedChange(const cStageChara& c, bool catchUp);
    // copy: c joins the copy of the characters' sides and boxes (StepWork::walked).
    // True when c joined the step's timers list.
    bool NoteStepWork(cStageChara& c, bool copy);
    // The parts of the step start (TimersScore.cpp).
    struct StepStart;
    // The step start's take of one character (ResetFrameFlags).
    void StepStartChara(cStageChara& c, i32 index, bool copy, bool wakeHere, double margin);
    // Run k of StepWork::runs made again from StepWork::sleep.
    void MakeSleepRun(std::size_t k);
    // StepWork::sleep and runs stand for the list as it is; reachedRuns then marks the runs with a
    // character reached since the step start took the marks.
    bool SleepCurrent();

    // fn(c) for the listed characters, then for those added since the lists were made, each asked
    // for ahead by the lines its walk reads: the characters' own step reads most of each
    // (PrefetchActing), the timers walk its timers and position (PrefetchTimed), the life walk
    // what the step start reads (PrefetchRanged).
    enum class ListWalk { Life, Timers, Acting };
    template <class Fn> void WalkListed(const std::vector<cStageChara*>& list, Fn&& fn, ListWalk walk);
    void CompactSideLists();
};

// The per-step mark list of a stage: S steps per frame, N marked steps (0: every step).
std::vector<u32> MakeStepMarks(u32 steps, u32 marked);

// Makes the play scene (the scene machine's factory for scene 4).
std::unique_ptr<cScene> MakeGameScene();

template <class Fn>
void cGameScene::WalkUnlessAsleep(Fn&& fn) {
    const StepWork& w = m_StepWork;
    cObjList<cStageChara>::WalkScope scope(m_lstChara);
    i32 from = 0;
    if (SleepCurrent()) {
        constexpr i32 kRun = StepWork::kRun;
        const i32 n = static_cast<i32>(w.sleep.size());
        for (std::size_t k = 0; k < w.runs.size(); ++k) {
            const i32 first = static_cast<i32>(k) * kRun, end = std::min(n, first + kRun);
            for (i32 i = first; i < end; ++i) {
                const StepWork::Sleep& e = w.sleep[static_cast<std::size_t>(i)];
                if (e.asleep && (!w.reachedRuns[k] || !m_Registry.Reached(e.slot))) continue;
                if (cStageChara* c = m_lstChara.Live(i)) fn(i, *c);
            }
        }
        from = n;
    }
    for (i32 i = from; i < m_lstChara.Size(); ++i)
        if (cStageChara* c = m_lstChara.Live(i)) fn(i, *c);
}
