#pragma once
// The executors of the command sets, by family (one source file each in flow/commands).
//
// Executors proper take the running character and its command run and act for one frame. The
// kinds that the item set shares (character kinds 17-38) are written as bodies taking the
// character and the command, because an item command has no run state; the character table
// reaches them through CmdAdapter.
#include "flow/FlowEngine.h"

using CMDEXEC = i32 (*)(cChara& chara, cCmdRun& run);
using CMDBODY = i32 (*)(cChara& chara, cFlowCmd& cmd);
using CMDEXEC2 = i32 (*)(cPlayer& hero, cFlowCmd& cmd);

// Parameter i of a command, 0 past the parameters it has (a damaged game's short command). The
// executor files take them with "using flowcmd::Param;".
namespace flowcmd {
inline i32 Param(const cFlowCmd& cmd, int i) { return i < cmd.params.Size() ? static_cast<i32>(cmd.params[i]) : 0; }
// Parameter i, a time in tenths of a second, as frames (6 a tenth, whatever the stage's speed).
// A time past what a frame count holds (a damaged or hostile stage) is held at the largest
// count, either sign; one short of the lowest, so that counting it down stays a count too.
inline i32 ParamFrames(const cFlowCmd& cmd, int i) {
    const i64 frames = i64{Param(cmd, i)} * 6;
    return static_cast<i32>(frames > INT32_MAX ? INT32_MAX : frames < -INT32_MAX ? -INT32_MAX : frames);
}
} // namespace flowcmd

// Kinds 0 and 1: nothing (a wait is its duration).
i32 CmdNop(cChara& chara, cCmdRun& run);

// Movement (Movement.cpp), kinds 2-8.
void CmdMoveLine(cChara& chara, cCmdRun& run);
void CmdMoveGroundTurn(cChara& chara, cCmdRun& run);
void CmdMoveCircle(cChara& chara, cCmdRun& run);
void CmdMoveCharge(cChara& chara, cCmdRun& run);
void CmdMoveHoming(cChara& chara, cCmdRun& run);
void CmdMoveAvoidScreenOut(cChara& chara, cCmdRun& run);
void CmdMoveDisable(cChara& chara, cCmdRun& run);

// Character commands (CharaCmds.cpp): kinds 9, 10 and the bodies of 20, 21, 23, 24, 25.
i32 CmdTurn(cChara& chara, cCmdRun& run);
i32 CmdJump(cChara& chara, cCmdRun& run);
i32 CmdWarp(cChara& chara, cFlowCmd& cmd);
i32 CmdSetTarget(cChara& chara, cFlowCmd& cmd);
i32 CmdStatusOp2(cChara& chara, cFlowCmd& cmd);
i32 CmdVanish(cChara& chara, cFlowCmd& cmd);
i32 CmdGetItem(cChara& chara, cFlowCmd& cmd);

// Commands that run other commands inside them (an item's commands, a start-up flow) nest at
// most this deep: a damaged game whose item takes itself, or whose flow starts itself, stops
// there with a report line instead of exhausting the stack. The guard is held while the inner
// commands run; Enter() is false (reported) when the limit is reached.
class CmdNestingGuard {
public:
    static constexpr i32 kMaxDepth = 32;
    CmdNestingGuard(cGameScene& scene, const char* what);
    ~CmdNestingGuard();
    CmdNestingGuard(const CmdNestingGuard&) = delete;
    CmdNestingGuard& operator=(const CmdNestingGuard&) = delete;
    bool Enter() const { return m_bEntered; }

private:
    cGameScene& m_scene;
    bool m_bEntered;
};

// The repeating commands (turn, shot, sword, summons) act when the run's repeat counter is 0:
// on their first frame and again each time the counter, counting frames, wraps at the stage's
// repeat period. Their sound plays on those frames (with the command's sound condition only
// while the character is on screen).
void AdvanceRepeat(cCmdRun& run);
void PlayCmdSound(const cChara& c, const cFlowCmd& cmd);

// Shots and summons (ShotCmds.cpp): kinds 11-15.
i32 CmdShot(cChara& chara, cCmdRun& run);
i32 CmdSword(cChara& chara, cCmdRun& run);
i32 CmdSummonBlock(cChara& chara, cCmdRun& run);
i32 CmdSummonChara(cChara& chara, cCmdRun& run);
i32 CmdSummonItem(cChara& chara, cCmdRun& run);

// Flow control (FlowCmds.cpp): kind 16, the bodies of 17 and 38, kind 39; the item set's
// change-flow command.
i32 CmdFlowOp(cChara& chara, cCmdRun& run);
// The stage clear: the next stage and the start position after it; 1 (the stage ends), 0 for a
// mode past the list. The character table's entry stores the 1 in the scene's end request.
i32 CmdStageClear(cChara& chara, cFlowCmd& cmd);
i32 CmdStageClearRun(cChara& chara, cCmdRun& run);
i32 CmdArrange(cChara& chara, cFlowCmd& cmd);
i32 CmdLoop(cChara& chara, cCmdRun& run);
i32 CmdChangeFlow(cChara& chara, cFlowCmd& cmd, i32 deferred);

// Holds the game: sets the scene's pause-loop control from its wait block (mode 1: the advance
// key after `step` frames, mode 2: `count` frames; anything else ends at once) and runs the
// nested frame loop inline. Its result is the loop's (0 when the program is closing).
i32 HoldGame(cGameScene& scene);

// Messages and the game wait (MessageCmds.cpp): the bodies of 18 and 19. A message follows a
// waiting one (no opening, no key sound, its wait starting at once) when msgWait is set: the
// flow run's message-wait flag for a flow's message, the scene's item-message flag for an item's
// (ItemMessage).
i32 CmdGameWait(cChara& chara, cFlowCmd& cmd);
i32 CmdMessage(cChara& chara, cFlowCmd& cmd);
i32 CmdMessage(cChara& chara, cFlowCmd& cmd, i32 msgWait);
i32 ItemMessage(cPlayer& hero, cFlowCmd& cmd);

// Effects, pictures, graphics and sound (EffectCmds.cpp): the bodies of 26-36.
// Plays user sound n (sound record n); 0 and numbers past the sound list play nothing.
void PlayUserSE(i32 n);
i32 CmdChangeGraphic(cChara& chara, cFlowCmd& cmd);
i32 CmdChangeAnimSet(cChara& chara, cFlowCmd& cmd);
i32 CmdPlayAnim(cChara& chara, cFlowCmd& cmd);
i32 CmdEffect(cChara& chara, cFlowCmd& cmd);
i32 CmdCharaEffect(cChara& chara, cFlowCmd& cmd);
i32 CmdScreenEffect(cChara& chara, cFlowCmd& cmd);
i32 CmdPicture(cChara& chara, cFlowCmd& cmd);
i32 CmdScreenColor(cChara& chara, cFlowCmd& cmd);
i32 CmdBackground(cChara& chara, cFlowCmd& cmd);
i32 CmdPlaySE(cChara& chara, cFlowCmd& cmd);
i32 CmdPlayBGM(cChara& chara, cFlowCmd& cmd);

// Variables, statuses and code (CodeCmds.cpp): the bodies of 22 and 37.
i32 CmdStatusOp(cChara& chara, cFlowCmd& cmd);
i32 ExecCodeCmd(cChara& chara, cFlowCmd& cmd);

// Item set only (ItemCmds.cpp): kind 1 of the item table.
i32 ItemChangeFlow(cPlayer& hero, cFlowCmd& cmd);

// A character-table entry that runs a shared body with the run's command.
template <CMDBODY Body>
i32 CmdAdapter(cChara& chara, cCmdRun& run) {
    return run.m_pCmd ? Body(chara, *run.m_pCmd) : 0;
}
// A character-table entry for an executor that gives no result.
template <void (*Exec)(cChara&, cCmdRun&)>
i32 CmdVoid(cChara& chara, cCmdRun& run) {
    Exec(chara, run);
    return 0;
}
