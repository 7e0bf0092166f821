#include "tools/DemoCave.h"

#include "records/CharaSettings.h"
#include "records/FlowCmd.h"
#include "tools/DemoCmdKinds.h"

namespace {

// The hero's view shape: a round window about it.
constexpr i64 kViewRound = 1;
// A status operation on the character's own status: its sight set to a value.
enum : u32 { OP_STATUS = 0, SUBJECT_SELF = 0, STATUS_SIGHT = 8, OP_SET = 0 };

cFlowCmd Command(u8 kind) {
    cFlowCmd c;
    c.Clear();
    c.cmdKind = kind;
    c.params.assign(CmdTypeRow(0, kind).nParams, 0);
    return c;
}

} // namespace

void DarkenDemoCave(cStage& st) {
    for (cEdChara& hero : st.vChara) {
        if (hero.byOperation != 0) continue;
        // The cave's hero keeps the palette's looks and flows as its own, with the round view.
        hero.byPaletteKind = 0;
        CharaSettings::Set(hero, eChara::BackFollow, kViewRound);
        cFlow f;
        f.trigger = 0;
        cCond once;
        once.kind = 2; // stage variable
        once.index = kDemoCaveVar;
        once.value = 0;
        once.op = 0; // equal
        f.conds.push_back(once);
        cFlowCmd sight = Command(CMD_STATUS_OP);
        sight.params[0] = OP_STATUS;
        sight.params[3] = SUBJECT_SELF;
        sight.params[4] = STATUS_SIGHT;
        sight.params[5] = OP_SET;
        sight.params[7] = static_cast<u32>(kDemoCaveSight);
        cFlowCmd mark = Command(CMD_CODE);
        static_assert(kDemoCaveVar == 4, "the text names the variable");
        mark.text = "S4 = 1";
        f.cmds = {sight, mark};
        hero.vFlow.push_back(f);
    }
}
