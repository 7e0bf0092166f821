#include "tools/DemoSign.h"

#include "records/FlowCmd.h"
#include "tools/DemoCmdKinds.h"
#include "tools/DemoFlows.h"

namespace {

// The picture command's integers, in order.
enum : int { PP_PICTURE = 0, PP_PLACEMENT, PP_OFFSET_X = 4, PP_OFFSET_Y, PP_LAYER, PP_SCALE, PP_DISPLAY_MODE, PP_TIME, PP_ID = 13 };
enum : u32 { PLACE_ON_SELF = 1, LAYER_FRONT = 1, SHOW_TIMED = 2 };
// The board's ID among the shown pictures: a second show takes the first one's place.
constexpr u32 kBoardId = 1;

} // namespace

cEdChara DemoSignPost() {
    cEdChara c = DemoStandingChara(kDemoPicSignPost, "立て札", 1);
    // While the hero is near, the board is shown anew every frame: it stays as long as the hero
    // stands by, and goes as the hero walks on. The game never waits for it.
    cFlow f;
    f.trigger = 0;
    f.conds.push_back(DemoNearHero(kDemoSignReach));
    cFlowCmd show;
    show.Clear();
    show.cmdKind = CMD_PICTURE;
    show.params.assign(CmdTypeRow(0, CMD_PICTURE).nParams, 0);
    show.params[PP_PICTURE] = kDemoSignPicture;
    show.params[PP_PLACEMENT] = PLACE_ON_SELF;
    // Above the post, clear of the hero's head, and over the stage rather than the wall behind.
    show.params[PP_OFFSET_X] = 48;
    show.params[PP_OFFSET_Y] = static_cast<u32>(-72);
    show.params[PP_LAYER] = LAYER_FRONT;
    show.params[PP_SCALE] = 100;
    show.params[PP_DISPLAY_MODE] = SHOW_TIMED;
    show.params[PP_TIME] = kDemoSignLinger;
    show.params[PP_ID] = kBoardId;
    f.cmds.push_back(show);
    c.vFlow.push_back(f);
    return c;
}

int AddDemoSignPost(cCommonPalette& palette) {
    const int index = palette.m_vEdChara.Size();
    palette.m_vEdChara.push_back(DemoSignPost());
    return index;
}

void PlaceDemoSignPost(cStage& stage, const cCommonPalette& palette, int index, i16 x, i16 y) {
    stage.vChara.push_back(PlaceDemoChara(palette, index, x, y));
}
