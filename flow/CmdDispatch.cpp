#include "flow/CmdDispatch.h"

#include <iterator>
#include <type_traits>

#include "platform/system/Report.h"
#include "play/objects/Player.h"
#include "records/FlowCmd.h"

namespace {

// Character command set, in kind order.
constexpr CMDEXEC kExec[] = {
    CmdNop,                            // 0
    CmdNop,                            // 1 wait
    CmdVoid<CmdMoveLine>,              // 2
    CmdVoid<CmdMoveGroundTurn>,        // 3
    CmdVoid<CmdMoveCircle>,            // 4
    CmdVoid<CmdMoveCharge>,            // 5
    CmdVoid<CmdMoveHoming>,            // 6
    CmdVoid<CmdMoveAvoidScreenOut>,    // 7
    CmdVoid<CmdMoveDisable>,           // 8
    CmdTurn,                           // 9
    CmdJump,                           // 10
    CmdShot,                           // 11
    CmdSword,                          // 12
    CmdSummonBlock,                    // 13
    CmdSummonChara,                    // 14
    CmdSummonItem,                     // 15
    CmdFlowOp,                         // 16
    CmdStageClearRun,                  // 17
    CmdAdapter<CmdGameWait>,           // 18
    CmdAdapter<CmdMessage>,            // 19
    CmdAdapter<CmdWarp>,               // 20
    CmdAdapter<CmdSetTarget>,          // 21
    CmdAdapter<CmdStatusOp>,           // 22
    CmdAdapter<CmdStatusOp2>,          // 23
    CmdAdapter<CmdVanish>,             // 24
    CmdAdapter<CmdGetItem>,            // 25
    CmdAdapter<CmdChangeGraphic>,      // 26
    CmdAdapter<CmdChangeAnimSet>,      // 27
    CmdAdapter<CmdPlayAnim>,           // 28
    CmdAdapter<CmdEffect>,             // 29
    CmdAdapter<CmdCharaEffect>,        // 30
    CmdAdapter<CmdScreenEffect>,       // 31
    CmdAdapter<CmdPicture>,            // 32
    CmdAdapter<CmdScreenColor>,        // 33
    CmdAdapter<CmdBackground>,         // 34
    CmdAdapter<CmdPlaySE>,             // 35
    CmdAdapter<CmdPlayBGM>,            // 36
    CmdAdapter<ExecCodeCmd>,           // 37
    CmdAdapter<CmdArrange>,            // 38
    CmdLoop,                           // 39
};

template <CMDBODY Body>
i32 ItemBody(cPlayer& hero, cFlowCmd& cmd) {
    return Body(hero, cmd);
}

i32 ItemNop(cPlayer&, cFlowCmd&) { return 0; }

// Item command set: kinds 2-24 are character kinds 17-39.
constexpr CMDEXEC2 kExec2[] = {
    ItemNop,                           // 0
    ItemChangeFlow,                    // 1
    ItemBody<CmdStageClear>,           // 2 = 17
    ItemBody<CmdGameWait>,             // 3 = 18
    ItemMessage,                       // 4 = 19
    ItemBody<CmdWarp>,                 // 5 = 20
    ItemBody<CmdSetTarget>,            // 6 = 21
    ItemBody<CmdStatusOp>,             // 7 = 22
    ItemBody<CmdStatusOp2>,            // 8 = 23
    ItemBody<CmdVanish>,               // 9 = 24
    ItemBody<CmdGetItem>,              // 10 = 25
    ItemBody<CmdChangeGraphic>,        // 11 = 26
    ItemBody<CmdChangeAnimSet>,        // 12 = 27
    ItemBody<CmdPlayAnim>,             // 13 = 28
    ItemBody<CmdEffect>,               // 14 = 29
    ItemBody<CmdCharaEffect>,          // 15 = 30
    ItemBody<CmdScreenEffect>,         // 16 = 31
    ItemBody<CmdPicture>,              // 17 = 32
    ItemBody<CmdScreenColor>,          // 18 = 33
    ItemBody<CmdBackground>,           // 19 = 34
    ItemBody<CmdPlaySE>,               // 20 = 35
    ItemBody<CmdPlayBGM>,              // 21 = 36
    ItemBody<ExecCodeCmd>,             // 22 = 37
    ItemBody<CmdArrange>,              // 23 = 38
    ItemNop,                           // 24 = 39, the loop: nothing at run time
};

static_assert(std::size(kExec) == kCmdTypeCount, "one executor per character command kind");
static_assert(std::size(kExec2) == kCmdTypeCount2, "one executor per item command kind");
static_assert(std::extent_v<decltype(g_CmdTypeTable)> == std::size(kExec));
static_assert(std::extent_v<decltype(g_CmdTypeTable2)> == std::size(kExec2));
static_assert(kCmdTypeCount2 - 2 == kCmdTypeCount - 17, "item kinds 2-24 are character kinds 17-39");

} // namespace

i32 ExecCmd(cChara& chara, cCmdRun& run) {
    if (!run.m_pCmd) return 0;
    const i32 kind = static_cast<i8>(run.m_pCmd->cmdKind);
    if (kind < 0 || kind >= kCmdTypeCount) {
        // Once per start of the command, not on each of its frames.
        if (!run.m_bStarted) WriteReport("ExecCmd : command kind %d does not exist", kind);
        run.m_bStarted = 1;
        return 0;
    }
    return kExec[kind](chara, run);
}

i32 ExecCmd2(cPlayer& hero, cFlowCmd& cmd) {
    const i32 kind = static_cast<i8>(cmd.cmdKind);
    if (kind < 0 || kind >= kCmdTypeCount2) {
        WriteReport("ExecCmd2 : item command kind %d does not exist", kind);
        return 0;
    }
    return kExec2[kind](hero, cmd);
}

i32 ExecItemCmd(cPlayer& hero, cFlowCmd& cmd) { return ExecCmd2(hero, cmd); }
