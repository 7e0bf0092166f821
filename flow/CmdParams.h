#pragma once
// The arrangeable parameters of every command kind, the arrange command's overrides and the
// loop expansion of command lists.
//
// An arrange command (kind 38, item kind 23) queues a copy of its five integers; the next
// non-arrange command that starts applies every queued override in order and the queue is
// emptied. The queued override (CMDOVERRIDE) is declared with the run state that holds it, in
// play/objects/CmdOverride.h. The parameter table (g_CmdParams, reached through CmdParams()) is
// built once at start-up and only read afterwards.
#include <span>
#include <string>
#include <vector>

#include "play/objects/CmdOverride.h"
#include "records/FlowCmd.h"

// One arrangeable parameter: its display name and the range every arranged value is kept in.
struct cCmdParam {
    std::string name;
    i32 min = 0;
    i32 max = 0;
};

// One row of the kind-specific ranges of the shot's formation and movement-type parameters.
struct CMDSUBPARAM {
    const char* name; // "" where the formation or movement type has no such parameter
    i16 min;
    i16 max;
};

constexpr int kFormationCount = 6;
constexpr int kShotMoveTypeCount = 10;
// Three rows per formation / movement type.
extern const CMDSUBPARAM kFormationParams[kFormationCount * 3];
extern const CMDSUBPARAM kShotMoveTypeParams[kShotMoveTypeCount * 3];

// Builds the parameter table (start-up; later calls change nothing).
void InitCmdParams();
// g_CmdParams: 40 rows indexed by the character set's command kind; empty rows for kinds that
// have nothing to arrange. Builds it on first use.
const std::vector<std::vector<cCmdParam>>& CmdParams();

// The row of the character set that a command uses: its own kind, or kind + 15 for the item
// set's kinds 2 to 24. -1 when the command has no row.
int CmdParamKind(const cFlowCmd& cmd);
// Parameter i of the command's row: false (and nothing read or written) when the command has
// no such parameter or lacks the record that holds it. Set narrows to the field's width.
bool CmdParamGet(const cFlowCmd& cmd, int i, i32& value);
bool CmdParamSet(cFlowCmd& cmd, int i, i32 value);

// The arrange command's integers as an override (missing integers are 0).
CMDOVERRIDE MakeCmdOverride(const cFlowCmd& arrange);

// Where an override's operand and the dedicated-picture bound come from.
struct CMDVALUESOURCES {
    std::span<const i32> common;    // index 0 is never used
    std::span<const i32> stage;     // index 0 is never used
    std::span<const i32> chara;     // the running character's variables
    int dedicatedPictures = 0;      // records of the character-specific bitmap list
};

// Applies one override to one command; returns true when it changed the parameter's value
// or stored it again (the override matched). Values are computed in 64 bits and then kept in
// the parameter's range, so no operand can overflow or divide by zero.
bool ApplyCmdOverride(cFlowCmd& cmd, const CMDOVERRIDE& ov, const CMDVALUESOURCES& src);
// Applies a queue in order (the caller empties it afterwards).
void ApplyCmdOverrideList(cFlowCmd& cmd, const CmdOverrideList& list, const CMDVALUESOURCES& src);

// True for the loop command of either command set.
bool IsLoopCmd(const cFlowCmd& cmd);
// The most commands one expanded list holds. It guards memory only (an entry of a list takes 4
// bytes, and a command run's state in every character that steps it: some 200 MB for a full
// list), far above what a game's loops make (999 runs of a body of a thousand commands), so
// that a stored game's loops run as often as they say; only nested loops of absurd counts
// reach it. The stage's lists as a whole have a bound of their own (cLoopExpansions).
constexpr int kMaxExpandedCmds = 1000000;
// Expands the first loop command of cmds (its body copied count - 1 more times right after it,
// the loop command itself removed) and returns 1; 0 when no loop is left. Repeated until it
// returns 0, nested loops multiply; the list never grows past kMaxExpandedCmds. (The lists the
// flows and items run are cCmdList, which name the body's commands instead of copying them.)
int ExpandLoopCmd(cVector<cFlowCmd>& cmds);
// Runs ExpandLoopCmd until no loop is left; once the bound is reached, the loops still left
// are removed without copying their bodies, with a report line. (A test may give a lower bound.)
void ExpandLoopCmds(cVector<cFlowCmd>& cmds, i64 bound = kMaxExpandedCmds);
// ExpandLoopCmds without the report line: 0, or the runs kept by the loop the bound cut short.
i64 ExpandLoopCmdsQuiet(cVector<cFlowCmd>& cmds, i64 bound = kMaxExpandedCmds);
// The report line of a list cut at bound, its loop kept to that many runs.
void ReportLoopCut(i64 kept, i64 bound);
