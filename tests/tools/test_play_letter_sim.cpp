// The demo game played through playsim's frames, against golden traces (tests/data/play_letter;
// rewritten with TOBRELK_UPDATE_GOLDENS=1): the end of the hero's jump after long holds, the
// hero pushed by foes and shots with an impact, the facing kept from the last step, the stage's
// picture slots released with the play scene, and the block cells as the frame draws them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "app/Game.h"
#include "platform/graphics/Graphics.h"
#include "platform/system/PathResolver.h"
#include "play/GameScene.h"
#include "play/ObjGraphic.h"
#include "records/CharaSettings.h"
#include "records/DataFile.h"
#include "records/EdSettings.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "tests/platform/graphics/GfxTestUtil.h"
#include "tests/support/DemoSimTest.h"
#include "tests/support/GoldenTrace.h"
#include "tools/DemoFlows.h"
#include "tools/PlaySim.h"

namespace fs = std::filesystem;

namespace {

class PlayLetter : public DemoSimTest<PlayLetter> {
public:
    static constexpr const char* kDirPrefix = "tobrelk_letter_";

protected:
    void Start(const std::string& stage) { StartStage(stage); }

    // The script's frames, each() after every frame.
    void Run(const std::string& script, const std::function<void()>& each = {}) {
        std::vector<playsim::SIMKEYS> keys;
        ASSERT_TRUE(playsim::ParseScript(script, keys)) << script;
        for (const playsim::SIMKEYS& k : keys) {
            sim.Frame(k);
            if (each) each();
        }
    }
    // How far the hero rose above where the window began (whole dots).
    int Rise(const std::string& window) {
        const double y0 = Hero().m_dY;
        double top = y0;
        Run(window, [&] { top = std::min(top, Hero().m_dY); });
        return static_cast<int>(y0 - top);
    }

    static cEdChara* HeroRow(cStage& st) {
        const int h = st.FindHero();
        return h < 0 ? nullptr : &st.vChara[h];
    }
};

constexpr const char* kFlat = "data\\stg4\\c01-1.stg4_001";

} // namespace

// Keys held long from a fall, on a moving block character and across the jump command's restart:
// after each, taps and full holds on the ground still lift the hero.
TEST_F(PlayLetter, NoHoldLeavesTheHeroUnableToJump) {
    ASSERT_NO_FATAL_FAILURE(EditStage(kFlat, "data\\stg4\\Fall.stg4_001", [](cStage& st) {
        if (cEdChara* h = HeroRow(st)) h->sPosY = 1;
    }));
    ASSERT_NO_FATAL_FAILURE(EditStage(kFlat, "data\\stg4\\RideHold.stg4_001", [](cStage& st) {
        cEdChara walker = DemoPatroller();
        CharaSettings::Set(walker, eChara::BlockChara, 1);
        walker.sPosX = 4;
        walker.sPosY = 11;
        st.vChara.push_back(walker);
    }));
    std::string trace;
    auto after = [&](const char* what) {
        trace += what;
        for (const char* w : {"J .*59", "J*30 .*70", "J .*59", "J*30 .*70"}) trace += " " + std::to_string(Rise(w));
        trace += '\n';
    };
    // Pressed in the fall and held long after the landing, then let go.
    Start("data\\stg4\\Fall.stg4_001");
    Run(".*2 J*1500 .*30");
    after("held 1500 from a fall:");
    Run("J*1200 .*30");
    after("held 1200 on the ground:");
    // Held from a jump onto the block character and on while it carries the hero to and fro.
    Start("data\\stg4\\RideHold.stg4_001");
    Run(".*10 RJ*30 R*4 .*10 J*600 .*30");
    after("held 600 on a block character:");
    // Pressed again and again while the command still runs, each press a restart of its flow.
    Start(kFlat);
    Run(".*10 J*5 .*3 J*5 .*3 J*5 .*3 J*40 .*2 J*40 .*60");
    after("pressed across restarts:");
    ExpectGoldenTrace("play_letter", "jump_end", trace);
}

// Foes and shots with an impact push the hero: a foe walking into it at speed level 10, a flying
// foe at speed level 1, the gunner's shots; each with impact 5. The hero's x, y per frame from
// each hit on (HP falls by one with each).
TEST_F(PlayLetter, FoesAndShotsWithAnImpactPushTheHero) {
    auto near = [](cStage& st, cEdChara c) {
        const cEdChara* h = HeroRow(st);
        c.sPosX = static_cast<i16>(h->sPosX + 5);
        c.sPosY = h->sPosY;
        CharaSettings::Set(c, eChara::Facing, 0);
        CharaSettings::Set(c, eChara::BodyImpact, 5);
        CharaSettings::Set(c, eChara::BodyPower, 1);
        CharaSettings::Set(c, eChara::Side, 1);
        st.vChara.push_back(c);
    };
    ASSERT_NO_FATAL_FAILURE(EditStage(kFlat, "data\\stg4\\Push1.stg4_001", [&](cStage& st) { near(st, DemoPatroller()); }));
    ASSERT_NO_FATAL_FAILURE(EditStage(kFlat, "data\\stg4\\Push2.stg4_001", [&](cStage& st) {
        StageSettings::Set(st, eStage::SpeedLevel, 1);
        cEdChara flyer = DemoPatroller();
        CharaSettings::Set(flyer, eChara::FlyMode, 2);
        cFlowCmd line;
        line.cmdKind = 2;
        line.time = 10;
        NewEdMove(line.move);
        MoveSettings::Set(*line.move, eMove::Speed, 20); // two dots a frame, ahead (to the left)
        flyer.vFlow[0].cmds[0] = line;
        near(st, flyer);
    }));
    ASSERT_NO_FATAL_FAILURE(EditStage(kFlat, "data\\stg4\\Push3.stg4_001", [&](cStage& st) {
        cStage demo2;
        ASSERT_TRUE(LoadFromFile(demo2, "data\\stg4\\Demo-2.stg4_001"));
        for (cEdChara c : demo2.vChara) {
            bool shoots = false;
            for (cFlow& f : c.vFlow)
                for (cFlowCmd& cmd : f.cmds)
                    if (cmd.shot && cmd.cmdKind == 11) {
                        ShotSettings::Set(*cmd.shot, eShot::Impact, 5);
                        shoots = true;
                    }
            if (shoots && c.byOperation == 1) {
                // Its flows on a character of the stage's own (not the palette's).
                cEdChara gunner = DemoPatroller();
                gunner.vFlow = c.vFlow;
                near(st, gunner);
                CharaSettings::Set(st.vChara.back(), eChara::BodyImpact, 0);
                st.vChara.back().sPosX = static_cast<i16>(st.vChara.back().sPosX - 1); // within its range
                break;
            }
        }
    }));
    std::string trace;
    for (const char* stage : {"data\\stg4\\Push1.stg4_001", "data\\stg4\\Push2.stg4_001", "data\\stg4\\Push3.stg4_001"}) {
        Start(stage);
        trace += stage;
        trace += '\n';
        int frame = 0, shown = 0, hits = 0;
        i32 hp = Hero().m_nHP;
        Run(".*400", [&] {
            ++frame;
            if (Hero().m_nHP != hp && hits < 2) shown = 16, ++hits;
            hp = Hero().m_nHP;
            if (shown > 0) {
                --shown;
                char b[96];
                std::snprintf(b, sizeof b, "%d %.3f %.3f hp%d\n", frame, Hero().m_dX, Hero().m_dY, Hero().m_nHP);
                trace += b;
            }
        });
    }
    ExpectGoldenTrace("play_letter", "push", trace);
}

// The facing the hero had at the last step of each frame, beside its facing now, while it turns.
TEST_F(PlayLetter, TheFacingOfTheLastStepIsKept) {
    Start(kFlat);
    std::string trace;
    Run(".*2 L*6 .*2 R*6", [&] { trace += std::to_string(Hero().m_nDir) + std::to_string(Hero().m_nLastDir) + " "; });
    // Every frame turns (if at all) in its first step: the last step's facing is the new one.
    EXPECT_EQ(trace, "11 11 00 00 00 00 00 00 00 00 11 11 11 11 11 11 ");
}

// A play scene that goes releases the stage's picture slots 2 to 65 and leaves the others; a
// replay started after it loads them again.
TEST_F(PlayLetter, ThePlayScenesPicturesGoWithIt) {
    Start(kFlat);
    Run(".*5");
    ASSERT_TRUE(sim.SaveReplay((s_dir / "letter.rep").string()));
    DDSURFACEDATA* pics = g_DDGraphics.pictures;
    ASSERT_NE(pics, nullptr);
    auto loaded = [&] {
        std::string s;
        for (i32 k = 0; k < g_DDGraphics.pictureCount; ++k) s += SurfacePixels(&pics[k]) ? '1' : '0';
        return s;
    };
    const std::string before = loaded();
    {
        cGameScene other;
        other.m_bHeadless = true;
        g_pGameScene = &other;
        for (int i = 0; i < 400 && other.m_nState != 2; ++i) other.Run();
        EXPECT_EQ(other.m_nState, 2);
    }
    g_pGameScene = &S();
    const std::string after = loaded();
    std::string want = before;
    for (std::size_t k = 2; k <= 65 && k < want.size(); ++k) want[k] = '0';
    EXPECT_EQ(after, want);
    std::string error;
    ASSERT_TRUE(sim.StartReplay((s_dir / "letter.rep").string(), error)) << error;
    EXPECT_EQ(loaded(), before);
}

// Block cells as the frame draws them: a block's picture from its cell of the block sheet, and a
// block's mark over its picture.
TEST_F(PlayLetter, BlockCellsAsTheFrameDrawsThem) {
    ASSERT_NO_FATAL_FAILURE(EditStage(kFlat, "data\\stg4\\Cells.stg4_001", [](cStage& st) {
        const cEdChara* h = HeroRow(st);
        cEdBlock a;
        a.sPosX = static_cast<i16>(h->sPosX + 3);
        a.sPosY = static_cast<i16>(h->sPosY - 3);
        a.wPicture = 3; // the stone
        cEdBlock b = a;
        b.sPosX = static_cast<i16>(a.sPosX + 2);
        b.wPicture = 4; // the question block, marked
        b.bShowMark = 1;
        b.wMark = 15; // the mark sheet's second column, fifteen to a column
        st.vBlock.push_back(a);
        st.vBlock.push_back(b);
    }));
    Start("data\\stg4\\Cells.stg4_001");
    Run(".*2");
    cGameScene& s = S();
    i32 compared = 0, differ = 0;
    auto check = [&](const cEdBlock& blk, i32 kind, i32 number) {
        GFXCELL cell;
        ASSERT_TRUE(ObjGraphicCell(&s, kind, number, 0, false, cell)) << kind << " " << number;
        const i32 sx = (blk.sPosX + 10) * 32 - static_cast<i32>(s.m_ScrollX.m_dPos);
        const i32 sy = (blk.sPosY + 10) * 32 - static_cast<i32>(s.m_ScrollY.m_dPos);
        // Cell 0 of both sheets is empty: its corner holds the colour key as the sheet keeps it.
        const u32 key = PixelAt(cell.pPicture, 0, 0) & 0xFFFFFF;
        for (i32 y = 0; y < 32; ++y)
            for (i32 x = 0; x < 32; ++x) {
                const u32 src = PixelAt(cell.pPicture, cell.sx + x, cell.sy + y) & 0xFFFFFF;
                if (src == key) continue;
                ++compared;
                if ((PixelAt(&g_sdBackBuffer, sx + x, sy + y) & 0xFFFFFF) != src) ++differ;
            }
    };
    const cEdBlock* a = nullptr;
    for (const cEdBlock& blk : g_Stage.vBlock)
        if (blk.bShowMark) a = &blk;
    ASSERT_NE(a, nullptr);
    cEdBlock stone = *a;
    stone.sPosX = static_cast<i16>(stone.sPosX - 2);
    check(stone, 0, 3);
    check(*a, GFX_MARK, 15);
    EXPECT_GT(compared, 200);
    EXPECT_EQ(differ, 0) << compared;
}
