// Effects, pictures, graphics, backgrounds and sound.
#include "flow/commands/Commands.h"

i32 CmdChangeGraphic(cChara&, cFlowCmd&) { return 0; }
i32 CmdChangeAnimSet(cChara&, cFlowCmd&) { return 0; }
i32 CmdPlayAnim(cChara&, cFlowCmd&) { return 0; }
i32 CmdEffect(cChara&, cFlowCmd&) { return 0; }
i32 CmdCharaEffect(cChara&, cFlowCmd&) { return 0; }
i32 CmdScreenEffect(cChara&, cFlowCmd&) { return 0; }
i32 CmdPicture(cChara&, cFlowCmd&) { return 0; }
i32 CmdScreenColor(cChara&, cFlowCmd&) { return 0; }
i32 CmdBackground(cChara&, cFlowCmd&) { return 0; }
i32 CmdPlaySE(cChara&, cFlowCmd&) { return 0; }
i32 CmdPlayBGM(cChara&, cFlowCmd&) { return 0; }
