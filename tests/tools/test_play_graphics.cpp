// The play screen draws objects by their graphics, played through playsim on a stage of the demo
// game: a giant drawn from its own bitmap (a cell of two blocks, facing left), characters
// whose change-graphic command chose a block, a shot and an item as their picture, items of three
// sizes in both animation frames, blocks by set and variant, the item's graphic rising over the
// hero once it is taken, and the hero's hit rectangles as the stage settings show them. One
// golden frame per drawing mode (TOBRELK_UPDATE_GOLDENS=1 writes them).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/PathResolver.h"
#include "flow/MessageWnd.h"
#include "play/GameScene.h"
#include "records/CharaSettings.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "tests/support/DemoGameCopy.h"
#include "tools/PlaySim.h"
#include "tests/platform/graphics/GfxTestUtil.h"

namespace fs = std::filesystem;

namespace {

constexpr u8 kCmdChangeGraphic = 26;
constexpr u8 kTriggerAlways = 0;
enum : u8 { RECT_RED = 0, RECT_YELLOW = 3, RECT_RAINBOW = 7 };

// A character of its own record (no palette) standing at (x, y), facing left or right.
cEdChara Standing(i16 x, i16 y, u8 kind, i16 picture, bool right) {
    cEdChara c;
    c.byOperation = 1;
    c.wPicture = picture;
    c.byPictureKind = kind;
    c.dwMaxHP = 5;
    c.nHoldItem = cEdChara::kNoItem;
    CharaSettings::Set(c, eChara::Facing, right ? 1 : 0);
    c.sPosX = x;
    c.sPosY = y;
    return c;
}

// A slime that changes its graphic to (source, number) from its first frame.
cEdChara Changing(i16 x, i16 y, i32 source, i32 number) {
    cEdChara c = Standing(x, y, 1, 11, true);
    cFlowCmd cmd;
    cmd.Clear();
    cmd.cmdKind = kCmdChangeGraphic;
    cmd.params.assign(CmdTypeRow(0, kCmdChangeGraphic).nParams, 0);
    cmd.params[0] = static_cast<u32>(source);
    cmd.params[1] = static_cast<u32>(number);
    cFlow f;
    f.trigger = kTriggerAlways;
    f.cmds.push_back(cmd);
    c.vFlow.push_back(f);
    return c;
}

cEdItem Item(i16 x, i16 y, u16 picture, i8 size, u8 speed) {
    cEdItem i;
    i.wPicture = picture;
    i.bySize = size;
    i.byGroup5 = speed;
    i.sPosX = x;
    i.sPosY = y;
    return i;
}

cEdBlock Block(i16 x, i16 y, u8 set, u16 picture, u16 variant) {
    cEdBlock b;
    b.wPicture = picture;
    b.byPictureKind = set;
    b.wGroup2 = variant;
    b.sPosX = x;
    b.sPosY = y;
    return b;
}

class PlayGraphics : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("tobrelk_playgfx_" + std::to_string(::getpid()));
        fs::remove_all(s_dir);
        std::string error;
        ASSERT_TRUE(CopyDemoGame(s_dir, error)) << error;
        const fs::path old = GetGameRoot();
        SetGameRoot(s_dir);
        cStage st;
        ASSERT_TRUE(LoadFromFile(st, "data\\stg4\\Demo-1.stg4_001"));
        cVector<cEdChara> hero;
        for (const cEdChara& c : st.vChara)
            if (c.byOperation == 0) hero.push_back(c);
        st.vChara = hero;
        st.vItem.clear();
        // The hero's box framed in yellow, its body tinted red, its pick-up rectangle tinted in
        // the rainbow's colour of the frame; its damage rectangle hidden.
        StageSettings::Set(st, eStage::RectShowBox, 2);
        StageSettings::Set(st, eStage::RectColourBox, RECT_YELLOW);
        StageSettings::Set(st, eStage::RectShowBody, 1);
        StageSettings::Set(st, eStage::RectColourBody, RECT_RED);
        StageSettings::Set(st, eStage::RectShowDamage, 0);
        StageSettings::Set(st, eStage::RectColourDamage, RECT_RED);
        StageSettings::Set(st, eStage::RectShowPickup, 1);
        StageSettings::Set(st, eStage::RectColourPickup, RECT_RAINBOW);
        // A giant of twice the size drawn from the boss bitmap (64-dot cells) as it stands, facing
        // left; slimes drawn as a question block, a shot, a heart and the boss bitmap (shrunk to
        // its size, on the bricks) by their change-graphic command.
        cEdChara giant = Standing(6, 11, 4, 1, false);
        CharaSettings::Set(giant, eChara::Scale, 2);
        st.vChara.push_back(giant);
        st.vChara.push_back(Changing(9, 11, 0, 4));
        st.vChara.push_back(Changing(11, 11, 3, 1));
        st.vChara.push_back(Changing(13, 11, 2, 2));
        st.vChara.push_back(Changing(16, 6, 4, 1));
        // A coin under the hero (taken at once, its graphic rises), coins of sizes 1 to 3 on two
        // animation speeds, so that both frames show.
        st.vItem.push_back(Item(3, 11, 1, 1, 6));
        st.vItem.push_back(Item(15, 11, 1, 1, 4));
        st.vItem.push_back(Item(16, 10, 2, 2, 6));
        st.vItem.push_back(Item(18, 9, 1, 3, 4));
        // Blocks of the item set (a heart), of the block set with variant 1 (the stone after
        // the brick) and of the character set (the hero), beside the bricks.
        st.vBlock.push_back(Block(10, 4, 2, 1, 1));
        st.vBlock.push_back(Block(11, 4, 0, 2, 1));
        st.vBlock.push_back(Block(12, 4, 1, 1, 0));
        ASSERT_TRUE(SaveToFile(st, kStage));
        SetGameRoot(old);
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static constexpr const char* kStage = "data\\stg4\\Graphics.stg4_001";
    static fs::path s_dir;
};
fs::path PlayGraphics::s_dir;

} // namespace

TEST_F(PlayGraphics, GoldenFramesInEveryMode) {
    const struct {
        bool d3d;
        int bpp;
        const char* name;
    } modes[] = {{true, 32, "d3d32"}, {false, 32, "dd32"}, {false, 8, "dd8"}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.name);
        playsim::cPlaySim sim;
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), m.d3d, m.bpp}, error)) << error;
        ASSERT_TRUE(sim.StartStage(kStage, 1, error)) << error;
        for (int f = 0; f < 12; ++f) sim.Frame();
        cGameScene& s = sim.Scene();
        // The coin under the hero was taken, and its graphic is still rising.
        ASSERT_EQ(s.m_lstMessageWnd.size(), 1u);
        EXPECT_EQ(s.m_lstMessageWnd[0]->m_nKind, 2);
        std::vector<u32> frame;
        i32 w = 0, h = 0;
        DDSnapshotFrame(&frame, &w, &h);
        EXPECT_TRUE(MatchesGolden("play_graphics_" + std::string(m.name), frame, w, h));
    }
}

// The first stage's slimes are foes as they look: walking into one costs the hero HP, and two of
// the hero's shots bring it down.
TEST_F(PlayGraphics, DemoSlimesHurtAndFall) {
    playsim::cPlaySim sim;
    std::string error;
    ASSERT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
    ASSERT_TRUE(sim.StartStage("data\\stg4\\Demo-1.stg4_001", 1, error)) << error;
    cGameScene& s = sim.Scene();
    cStageChara* slime = nullptr;
    s.ForEachChara([&](cStageChara& c) {
        if (!slime && c.m_Def.wPicture == 11) slime = &c;
    });
    ASSERT_NE(slime, nullptr);
    const cObjHandle handle(slime);
    cPlayer& hero = *s.Player0();
    // The hero two blocks left of it, walking into it.
    auto heroAt = [&](double x) {
        hero.m_dX = x;
        hero.m_dY = slime->m_dBottom - hero.m_nBoxH + 1;
        hero.m_nDir = 1;
        hero.UpdateEdgesX();
        hero.UpdateEdgesY();
        hero.OnMovedX();
        hero.OnMovedY();
    };
    heroAt(slime->m_dX - 64);
    const i32 hp = hero.m_nHP;
    for (int f = 0; f < 30 && hero.m_nHP == hp; ++f) sim.Frame(playsim::SIMKEYS{2, 0});
    EXPECT_LT(hero.m_nHP, hp);
    // Back off and shoot (button 2) until it is gone.
    heroAt(slime->m_dX - 160);
    for (int f = 0; f < 120 && handle; ++f) {
        heroAt(handle.Chara() ? handle.Chara()->m_dX - 160 : hero.m_dX);
        sim.Frame(f % 10 == 0 ? playsim::SIMKEYS{0, 2} : playsim::SIMKEYS{});
    }
    EXPECT_FALSE(handle);
}
