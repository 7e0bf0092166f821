// The game object classes: scale and its hooks, the centre setters, copies, rectangles.
#include <gtest/gtest.h>

#include "database/SystemData.h"
#include "flow/FlowEngine.h"
#include "play/objects/Item.h"
#include "play/objects/Player.h"
#include "play/objects/StageChara.h"

namespace {

// A character with distinct unscaled sizes: graphic offset (4, 8), box 24 x 28, graphic 32 x 40.
template <class T>
T MakeObj() {
    T o;
    o.Init(7, 1, 0, 0, 1, nullptr, 0, 4, 8, 24, 28, 32, 40, 1, FLY_WALK, 0);
    o.m_dX = 1000.0;
    o.m_dY = 600.0;
    return o;
}

struct ScaleTrace {
    double x, y;
    i32 gfxOffY, gfxH, boxW, boxH;
    bool operator==(const ScaleTrace&) const = default;
};
ScaleTrace Trace(const cObj& o) { return {o.m_dX, o.m_dY, o.m_nGfxOffY, o.m_nGfxH, o.m_nBoxW, o.m_nBoxH}; }

} // namespace

TEST(Objects, HitRectsTouchingCount) {
    const HITRECT a{0, 0, 10, 10};
    EXPECT_TRUE(IsHitRect(a, HITRECT{10, 10, 20, 20}));  // a corner
    EXPECT_TRUE(IsHitRect(a, HITRECT{-5, 10, 0, 12}));   // an edge
    EXPECT_FALSE(IsHitRect(a, HITRECT{10.5, 0, 20, 10}));
    EXPECT_FALSE(IsHitRect(a, HITRECT{0, -3, 10, -0.5}));
}

TEST(Objects, ScaleKeepsCentreAndFeet) {
    cStageChara same = MakeObj<cStageChara>();
    const cStageChara before = same;
    EXPECT_EQ(same.SetScale(3, 3), 3);
    EXPECT_EQ(Trace(same), Trace(before));

    // From the graphic: y -= graphic height x d, then += graphic offset y x d; x keeps the box
    // centre (x -= box width / 2 x d).
    g_SystemData.SetDefault();
    cStageChara c = MakeObj<cStageChara>();
    c.SetScale(2, 1);
    EXPECT_EQ(Trace(c), (ScaleTrace{1000.0 - 12, 600.0 - 40 + 8, 16, 80, 48, 56}));
    c.SetScale(1, 2);
    EXPECT_EQ(Trace(c), (ScaleTrace{1000.0, 600.0, 8, 40, 24, 28}));

    // An item keeps its feet from its box and graphic offset.
    cItem item = MakeObj<cItem>();
    item.SetScale(3, 1);
    EXPECT_EQ(item.m_dY, 600.0 - (28 + 8) * 2);
    EXPECT_EQ(item.m_dX, 1000.0 - 12 * 2);

    // The player's rectangles follow the scale.
    cPlayer p = MakeObj<cPlayer>();
    p.m_rcBody.base = BOXRECT{2, 3, 10, 12};
    p.m_rcPickup.base = BOXRECT{1, 1, 30, 30};
    p.SetScale(2, 1);
    EXPECT_EQ(p.m_rcBody.cur, (BOXRECT{4, 6, 20, 24}));
    EXPECT_EQ(p.m_rcPickup.cur, (BOXRECT{2, 2, 60, 60}));
    p.m_dX = 100.7;
    p.UpdateBoxesX();
    EXPECT_EQ(p.m_rcBody.rc.left, 104.0);
    EXPECT_EQ(p.m_rcBody.rc.right, 123.0);
}

TEST(Objects, CentreSettersAndHitRect) {
    cStageChara c = MakeObj<cStageChara>();
    c.m_rcScreen = SCREENRECT{100, 50, 131, 89};
    c.SetCentre(200, 40);
    // centre x = 100 + 32 / 2 = 116, centre y = 50 + 40 / 2 = 70.
    EXPECT_EQ(c.m_dX, 1000.0 + 84);
    EXPECT_EQ(c.m_dY, 600.0 - 30);
    cObj plain;
    plain.SetCentre(5, 5); // no centre setters below the characters
    EXPECT_EQ(plain.m_dX, 0.0);
    // An 8-pixel body, bottom-aligned, with graphic offset 0 starts 24 pixels below the cell top.
    cStageChara d;
    d.SetHitRect(1, 10, 8);
    EXPECT_EQ(d.m_rcBody.cur, (BOXRECT{11, 24, 10, 8}));
    d.SetHitRect(0, 10, 8);
    EXPECT_EQ(d.m_rcBody.cur.y, 12);
    EXPECT_EQ(d.m_rcBody.base, d.m_rcBody.cur);
}

TEST(Objects, CopiesAndTheCarriedItem) {
    cStageChara a = MakeObj<cStageChara>();
    a.m_nHP = 33;
    a.m_Item.m_nMark = 4;
    cFlow f;
    f.cmds.resize(3);
    f.keyConds.resize(2);
    a.m_vFlow.push_back(f);
    a.m_vFlow.push_back(f);
    BindFlows(a);

    // A copy's runs point into its own flows.
    cStageChara b = a;
    ASSERT_EQ(b.m_vFlowRun.Size(), 2);
    EXPECT_EQ(b.m_vFlowRun[1].m_pFlow, &b.m_vFlow[1]);
    EXPECT_EQ(b.m_vFlowRun[1].m_vCmdRun[2].m_pCmd, &b.m_vFlow[1].cmds[2]);
    EXPECT_EQ(b.m_vFlowRun[0].m_vKeyRow[1], &b.m_vFlow[0].keyConds[1]);
    EXPECT_EQ(b.m_Item.m_nMark, 4u);

    // CopyFrom takes the base only; Assign the whole character.
    cStageChara c;
    c.CopyFrom(a);
    EXPECT_EQ(c.m_dX, a.m_dX);
    EXPECT_EQ(c.m_nHP, 0);
    EXPECT_TRUE(c.m_vFlow.empty());
    c.Assign(a);
    EXPECT_EQ(c.m_nHP, 33);
    EXPECT_EQ(c.m_vFlowRun[0].m_pFlow, &c.m_vFlow[0]);

    // A stage character always answers its embedded item; others carry none.
    EXPECT_EQ(c.GetItem(), &c.m_Item);
    cPlayer p;
    EXPECT_EQ(p.GetItem(), nullptr);
}

// An object takes what it is handed and asks nothing of a scene it does not have: the activity
// range of the view it is given (a character of no scene is in no range), an item's frame of the
// play's frame count, its look of its own definition.
TEST(Objects, WithoutASceneTheyTakeWhatTheyAreGiven) {
    cStageChara c = MakeObj<cStageChara>(); // box 1000..1023 x 600..627
    c.UpdateEdgesX();
    c.UpdateEdgesY();
    c.m_bGroup = 1;
    c.m_nGroup = 2;
    std::vector<u32> marks(4, 0);
    EXPECT_EQ(c.IsInActivityRange(marks), 0);
    EXPECT_EQ(c.m_bInRange, 0u);
    EXPECT_EQ(marks, std::vector<u32>(4, 0));
    auto range = [&](double margin, double sx, double sy) {
        std::fill(marks.begin(), marks.end(), 0u);
        const i32 r = c.IsInActivityRange(marks, margin, sx, sy);
        EXPECT_EQ(c.m_bInRange, static_cast<u32>(r));
        EXPECT_EQ(marks[2], static_cast<u32>(r));
        return r;
    };
    EXPECT_EQ(range(0, 360, 120), 1);   // the view's right and bottom edges just reach it
    EXPECT_EQ(range(0, 359, 120), 0);
    EXPECT_EQ(range(0, 360, 119), 0);
    EXPECT_EQ(range(1, 359, 119), 1);   // the margin widens the view on every side
    EXPECT_EQ(range(0, 1024, 120), 0);  // past its right edge
    EXPECT_EQ(range(0, 1023, 627), 1);
    c.m_bIgnoreRangeX = 1;
    EXPECT_EQ(range(0, -5000, 120), 1); // the range ignores an axis its mode does not watch
    EXPECT_EQ(range(0, -5000, 628), 0);

    cItem it;
    it.m_Def.wPicture = 3;
    it.m_Def.byGroup5 = 0;
    std::string frames;
    for (u32 n = 0; n < 7; ++n) frames += static_cast<char>('0' + it.AnimFrame(n));
    EXPECT_EQ(frames, "0000000"); // speed 0: no animation
    it.m_Def.byGroup5 = 3;
    frames.clear();
    for (u32 n = 0; n < 7; ++n) frames += static_cast<char>('0' + it.AnimFrame(n));
    EXPECT_EQ(frames, "0001110");
    EXPECT_TRUE(it.IsShown());
    it.m_Def.bHidden = 1;
    EXPECT_FALSE(it.IsShown());
    it.m_Def.bHidden = 0;
    it.m_Def.wPicture = 0;
    EXPECT_FALSE(it.IsShown());
}
