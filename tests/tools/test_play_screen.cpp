// What the stage's commands show on the play screen, played through the normal play frame: the
// demo's first stage with only its hero, whose flow runs the command once (a stage variable
// keeps it from running again); frames of the play are laid out as half-size cells of a sheet
// and compared with a golden sheet per drawing mode (Direct3D 32, DirectDraw 32 and 8 bits;
// TOBRELK_UPDATE_GOLDENS=1 writes them, a difference writes the actual sheet beside the build).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

#include "database/Database.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/PathResolver.h"
#include "play/GameScene.h"
#include "records/CharaSettings.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "app/SystemIni.h"
#include "app/Game.h"
#include "app/Services.h"
#include "records/StageLoad.h"
#include "tests/support/DemoGameCopy.h"
#include "tools/DemoCave.h"
#include "tools/DemoFlows.h"
#include "tools/DemoGame.h"
#include "tools/DemoShots.h"
#include "tools/DemoSign.h"
#include "tools/PlaySim.h"
#include "tests/platform/graphics/GfxTestUtil.h"

namespace fs = std::filesystem;

namespace {

enum : u8 { CMD_STATUS_OP = 22, CMD_SCREEN_EFFECT = 31, CMD_PICTURE = 32, CMD_CODE = 37 };
// The stage variable that marks the hero's flow as run.
constexpr i16 kDoneVar = 7;
constexpr const char* kDoneCode = "S7 = 1";

struct MODE {
    bool d3d;
    int bpp;
    const char* name;
};
constexpr MODE kModes[] = {{true, 32, "d3d32"}, {false, 32, "dd32"}, {false, 8, "dd8"}};

cFlowCmd Command(u8 kind, std::initializer_list<i64> params, const std::string& text = {}) {
    cFlowCmd c;
    c.Clear();
    c.cmdKind = kind;
    c.params.assign(CmdTypeRow(0, kind).nParams, 0);
    std::size_t i = 0;
    for (i64 v : params) c.params[i++] = static_cast<u32>(v);
    c.text = text;
    return c;
}

// The picture command: picture, placement, cell x, cell y, offset x, offset y, layer, scale %,
// display mode, tenths, wait, fixed, replace, ID, one frame.
cFlowCmd Picture(std::initializer_list<i64> params) { return Command(CMD_PICTURE, params); }
cFlowCmd ScreenEffect(u16 id) { return Command(CMD_SCREEN_EFFECT, {id, 0, 0}); }
cFlowCmd Code(const std::string& text) { return Command(CMD_CODE, {}, text); }

// What a case changes: the hero's definition and the commands its flow runs once.
struct PLAYCASE {
    std::function<void(cEdChara& hero)> hero;
    std::vector<cFlowCmd> cmds;
};

// Cells of the frame shrunk `step` times (half size by default), `step` cells to a row.
class Sheet {
public:
    explicit Sheet(int cells, int step = 2)
        : m_step(step), m_px(static_cast<std::size_t>(640) * (480 / step) * ((cells + step - 1) / step), 0xFF000000u) {}
    void Put(int cell, const std::vector<u32>& frame) {
        const int w = 640 / m_step, h = 480 / m_step;
        const int ox = cell % m_step * w, oy = cell / m_step * h;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                m_px[static_cast<std::size_t>(oy + y) * 640 + ox + x] =
                    frame[static_cast<std::size_t>(m_step * y) * 640 + m_step * x];
    }
    ::testing::AssertionResult Matches(const std::string& name) const {
        return MatchesGolden(name, m_px, 640, static_cast<int>(m_px.size() / 640));
    }

private:
    int m_step;
    std::vector<u32> m_px;
};

std::vector<u32> Snapshot() {
    std::vector<u32> f;
    i32 w = 0, h = 0;
    DDSnapshotFrame(&f, &w, &h);
    return f;
}

class PlayScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("tobrelk_playscreen_" + std::to_string(::getpid()));
        fs::remove_all(s_dir);
        std::string error;
        ASSERT_TRUE(CopyDemoGame(s_dir, error)) << error;
        // Three signs of 96 x 64: red, blue and green, each with a white frame and a hole of the
        // key colour.
        fs::create_directories(s_dir / "bmp" / "picture");
        const u32 fills[] = {0xFFC03020, 0xFF2040C0, 0xFF20A040};
        for (int i = 0; i < 3; ++i) {
            const cImage img = MakeSign(fills[i]);
            const std::vector<u8> bmp = EncodeBmp(img, 24);
            std::ofstream(s_dir / "bmp" / "picture" / ("Sign" + std::to_string(i + 1) + ".bmp"), std::ios::binary)
                .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
        }
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static cImage MakeSign(u32 fill) {
        cImage img;
        img.width = 96;
        img.height = 64;
        img.argb.resize(96 * 64);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 96; ++x) {
                const bool frame = x < 4 || y < 4 || x >= 92 || y >= 60;
                const bool hole = x >= 40 && x < 56 && y >= 24 && y < 40;
                img.argb[static_cast<std::size_t>(y) * 96 + x] = frame ? 0xFFFFFFFF : hole ? 0xFFFF00FF : fill;
            }
        return img;
    }

    // The first demo stage with only its hero, the case's flow on it, changed by `edit`, saved
    // under `name`.
    static void MakeStage(const std::string& name, const PLAYCASE& c, const std::function<void(cStage&)>& edit = {}) {
        const fs::path old = GetGameRoot();
        SetGameRoot(s_dir);
        cStage st;
        ASSERT_TRUE(LoadFromFile(st, "data\\stg4\\Demo-1.stg4_001"));
        cVector<cEdChara> hero;
        for (const cEdChara& ch : st.vChara)
            if (ch.byOperation == 0) hero.push_back(ch);
        ASSERT_EQ(hero.size(), 1u);
        cEdChara& h = hero[0];
        h.byPaletteKind = 0; // its own flows
        if (c.hero) c.hero(h);
        cFlow f;
        f.trigger = 0;
        cCond once;
        once.kind = 2; // stage variable
        once.index = kDoneVar;
        once.value = 0;
        once.op = 0;
        f.conds.push_back(once);
        for (const cFlowCmd& cmd : c.cmds) f.cmds.push_back(cmd);
        f.cmds.push_back(Code(kDoneCode));
        h.vFlow.push_back(f);
        st.vChara = hero;
        if (edit) edit(st);
        ASSERT_TRUE(SaveToFile(st, "data\\stg4\\" + name + ".stg4_001"));
        SetGameRoot(old);
    }

    // Opens the demo in a mode with the test's effect records and pictures.
    static void Open(playsim::cPlaySim& sim, const MODE& m) {
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), m.d3d, m.bpp}, error)) << error;
        AddData();
    }
    // Starts a stage of the open game: one game plays any number of stages one after another,
    // as a player plays them.
    static void Play(playsim::cPlaySim& sim, const std::string& stage) {
        std::string error;
        ASSERT_TRUE(sim.StartStage("data\\stg4\\" + stage + ".stg4_001", 1, error)) << error;
    }
    // Opens the demo in a mode and starts a stage.
    static void Start(playsim::cPlaySim& sim, const MODE& m, const std::string& stage) {
        ASSERT_NO_FATAL_FAILURE(Open(sim, m));
        ASSERT_NO_FATAL_FAILURE(Play(sim, stage));
    }

    // Screen effects 1.. and pictures 1-3 (record numbers as the cases use them).
    static u16 s_firstEffect;
    static void AddData() {
        s_firstEffect = static_cast<u16>(g_Database.m_vScrEffect.size());
        auto effect = [](u32 type, std::initializer_list<i32> p) {
            cScrEffectParam r;
            r.nEffectType = type;
            int i = 0;
            for (i32 v : p) r.anParam[i++] = v;
            g_Database.m_vScrEffect.push_back(r);
        };
        effect(2, {10, 24, 2});       // +0 shake sideways, 24 dots, two swings over a second
        effect(6, {10, 0, 48, 3, 8}); // +1 waving rows growing to 48 dots over a second
        effect(8, {20, 10});          // +2 blinking every 10 frames for two seconds
        effect(3, {1, 16, 1});        // +3 a tenth of a second of shaking up and down
        // +4.. every kind, 1..13, run over a second with values that show part way.
        effect(1, {10, 0, 0, 160, -80});
        effect(2, {10, 24, 2});
        effect(3, {10, 24, 2});
        effect(4, {10, 0, 40, 12});
        effect(5, {10, 0, 40, 16});
        effect(6, {10, 0, 40, 2, 8});
        effect(7, {10, 0, 40, 2, 10});
        effect(8, {10, 4});
        effect(9, {10, 0, 90});
        effect(10, {10, 400, 60, 8});
        effect(11, {10, 320, 1280});
        effect(12, {10, 600, 100, 0, 0});
        effect(13, {10, 1, 24});
        g_Database.m_vPicture.resize(4);
        for (int i = 1; i <= 3; ++i) g_Database.m_vPicture[i].strFile = "bmp\\picture\\Sign" + std::to_string(i) + ".bmp";
        g_Database.ResetNoneRecords();
        PrepareDatabase();
    }

    static fs::path s_dir;
};
fs::path PlayScreen::s_dir;
u16 PlayScreen::s_firstEffect = 0;

// Stands the hero on the stage's goal item (the one whose commands clear the stage); false when
// the stage has none.
bool PutTheHeroOnTheGoal(cGameScene& s) {
    const cItem* goal = nullptr;
    s.ForEachItem([&](cItem& it) {
        for (const cFlowCmd& c : it.m_Def.vCmd)
            if (c.cmdSet == 1 && c.cmdKind == 2) goal = &it; // the item set's stage clear
    });
    if (!goal) return false;
    cPlayer& p = *s.Player0();
    p.m_dX = goal->m_dX;
    p.m_dY = goal->m_dBottom - p.m_nBoxH + 1;
    p.m_dSpeedY = 0;
    p.UpdateEdgesX();
    p.UpdateEdgesY();
    p.OnMovedX();
    p.OnMovedY();
    return true;
}

} // namespace

// Screen effects started by the command show over the play and advance with it, leave the
// status bar alone, and end: a sideways shake part way out, waving rows, the blink's hidden phase
// (the background drawn over the play) and a short vertical shake that has ended by then, so
// that its frame is the plain play frame again (and under Direct3D the frame no longer goes
// through the virtual back buffer).
TEST_F(PlayScreen, ScreenEffectsGoldenFrames) {
    struct SHOT {
        u16 effect;
        int frames;
    };
    // Effect numbers relative to the first one the test adds.
    const SHOT shots[] = {{0, 6}, {1, 30}, {2, 4}, {3, 13}};
    MakeStage("Plain", {});
    for (const MODE& m : kModes) {
        SCOPED_TRACE(m.name);
        Sheet sheet(4);
        int cell = 0;
        std::vector<u32> ended;
        playsim::cPlaySim sim;
        ASSERT_NO_FATAL_FAILURE(Open(sim, m));
        for (const SHOT& s : shots) {
            // The effect number is known once the data is open: the stage is written anew then.
            MakeStage("Effect", {nullptr, {ScreenEffect(static_cast<u16>(s_firstEffect + s.effect))}});
            ASSERT_NO_FATAL_FAILURE(Play(sim, "Effect"));
            cGameScene& scene = sim.Scene();
            for (int f = 0; f < s.frames; ++f) sim.Frame();
            if (s.effect == 3) {
                EXPECT_FALSE(scene.m_ScreenEffect.IsRunning());
                if (lpDTCon) {
                    EXPECT_EQ(lpDTCon->bVirtual, 0u);
                }
                ended = Snapshot();
            } else {
                EXPECT_TRUE(scene.m_ScreenEffect.IsRunning());
                if (lpDTCon) {
                    EXPECT_EQ(lpDTCon->bVirtual, 1u);
                }
            }
            sheet.Put(cell++, Snapshot());
        }
        EXPECT_TRUE(sheet.Matches(std::string("play_screen_effects_") + m.name));
        // The ended effect leaves the same frame as a play that never had one.
        ASSERT_NO_FATAL_FAILURE(Play(sim, "Plain"));
        for (int f = 0; f < 13; ++f) sim.Frame();
        EXPECT_TRUE(Snapshot() == ended);
    }
}

// Pictures shown by the command, drawn by the object layers of the play frame:
// 1. a sign at the screen centre, a half-size one above the hero, and a timed one at a screen
//    cell (gone once its tenth of a second has run);
// 2. the drawing order kept when a shown ID gets another picture (the green sign takes the red
//    one's place under the blue one), and a doubled sign at a stage cell behind the blocks;
// 3. a sign held until the advance key, on screen while the game waits;
// 4. the frame after the key: the sign has gone with the wait.
TEST_F(PlayScreen, PicturesGoldenFrames) {
    MakeStage("Pictures", {nullptr,
                           {Picture({1, 0, 0, 0, 0, 0, 1, 100, 1}), Picture({2, 2, 0, 0, 0, -48, 1, 50, 1, 0, 0, 0, 0, 1}),
                            Picture({3, 3, 1, 3, 0, 0, 1, 100, 2, 1, 0, 0, 0, 9})}});
    MakeStage("Order", {nullptr,
                        {Picture({1, 3, 8, 5, 0, 0, 1, 100, 1, 0, 0, 1, 0, 1}), Picture({2, 3, 9, 6, 0, 0, 1, 100, 1, 0, 0, 1, 0, 2}),
                         Picture({3, 3, 8, 5, 0, 0, 1, 100, 1, 0, 0, 1, 0, 1}), Picture({1, 4, 2, 9, 0, 0, 0, 200, 1, 0, 0, 0, 0, 3})}});
    MakeStage("Hold", {nullptr, {Picture({2, 0, 0, 0, 0, 0, 1, 100, 0, 0, 1, 0, 0, 5})}});
    for (const MODE& m : kModes) {
        SCOPED_TRACE(m.name);
        Sheet sheet(4);
        playsim::cPlaySim sim;
        ASSERT_NO_FATAL_FAILURE(Open(sim, m));
        {
            ASSERT_NO_FATAL_FAILURE(Play(sim, "Pictures"));
            for (int f = 0; f < 3; ++f) sim.Frame();
            EXPECT_EQ(sim.Scene().m_lstPicture.size(), 3u);
            sheet.Put(0, Snapshot());
            for (int f = 0; f < 5; ++f) sim.Frame();
            EXPECT_EQ(sim.Scene().m_lstPicture.size(), 2u) << "the timed sign has gone";
        }
        {
            ASSERT_NO_FATAL_FAILURE(Play(sim, "Order"));
            for (int f = 0; f < 3; ++f) sim.Frame();
            const std::vector<PictureParam>& shown = sim.Scene().m_lstPicture;
            ASSERT_EQ(shown.size(), 3u);
            EXPECT_EQ(shown[0].id, 3);
            // One surface per picture shown, the replaced one's released.
            int loaded = 0;
            for (DDSURFACEDATA& sd : sim.Scene().m_vPictureSurface) loaded += SurfacePixels(&sd) != nullptr;
            EXPECT_EQ(loaded, 3);
            sheet.Put(1, Snapshot());
        }
        {
            ASSERT_NO_FATAL_FAILURE(Play(sim, "Hold"));
            cGameScene& scene = sim.Scene();
            std::vector<u32> held;
            int heldFrames = 0;
            scene.m_fnNestedInput = [&](cInput& in, i32 frame) {
                if (frame == 12) held = Snapshot();
                in.wButtons = frame == 14 ? 1 : 0;
                heldFrames = frame;
            };
            sim.Frame();
            EXPECT_EQ(heldFrames, 14);
            ASSERT_FALSE(held.empty());
            sheet.Put(2, held);
            EXPECT_TRUE(scene.m_lstPicture.empty());
            sim.Frame();
            sheet.Put(3, Snapshot());
        }
        EXPECT_TRUE(sheet.Matches(std::string("play_screen_pictures_") + m.name));
    }
}

// Limited sight: the hero's view shape (its background-follow mode) with a sight range set by a
// status operation or by the code language; the darkness follows at once, in the frame of the
// change:
// 1. a round window of 4 half blocks (status operation);
// 2. a square one looking ahead (my.sight = 4);
// 3. a round one looking ahead, 6 half blocks (status operation);
// 4. a round shape with no sight set: all dark but the status bar.
TEST_F(PlayScreen, LimitedSightGoldenFrames) {
    auto shape = [](u32 s) { return [s](cEdChara& h) { CharaSettings::Set(h, eChara::BackFollow, s); }; };
    auto sight = [](i64 v) { return Command(CMD_STATUS_OP, {0, 0, 0, 0, 8, 0, 0, v}); };
    const struct {
        const char* stage;
        PLAYCASE c;
        i32 margin;
    } cases[] = {
        {"SightRound", {shape(1), {sight(4)}}, 64},
        {"SightSquare", {shape(4), {Code("my.sight = 4")}}, 64},
        {"SightAhead", {shape(2), {sight(6)}}, 96},
        {"SightNone", {shape(1), {}}, 0},
    };
    for (const auto& c : cases) MakeStage(c.stage, c.c);
    for (const MODE& m : kModes) {
        SCOPED_TRACE(m.name);
        Sheet sheet(4);
        int cell = 0;
        playsim::cPlaySim sim;
        ASSERT_NO_FATAL_FAILURE(Open(sim, m));
        for (const auto& c : cases) {
            SCOPED_TRACE(c.stage);
            ASSERT_NO_FATAL_FAILURE(Play(sim, c.stage));
            sim.Frame();
            EXPECT_EQ(sim.Scene().m_nViewMargin, c.margin);
            EXPECT_EQ(sim.Scene().m_sdViewA.width, 1280 + 2 * c.margin) << "rebuilt in the frame of the change";
            for (int f = 0; f < 2; ++f) sim.Frame();
            sheet.Put(cell++, Snapshot());
        }
        EXPECT_TRUE(sheet.Matches(std::string("play_screen_sight_") + m.name));
    }
}

// While a picture holds the game: the auto-scrolling background goes on moving (only the pause
// stops it) while the play stands still, and the time limit shows three digits, the field
// centred however many the time needs. Cells: two held frames 6 frames apart, each with the time
// 045. Then the same hold with the frame counter switched on and frames presented as the game
// presents them: the counter is written over every held frame.
TEST_F(PlayScreen, HeldFramesGoldenFrames) {
    auto stage = [](cStage& st) {
        st.vBack[0].bAutoScrollX = 1;
        st.vBack[0].dScrollSpeedX = 3;
        StageSettings::Set(st, eStage::TimeLimitOn, 1);
        StageSettings::Set(st, eStage::TimeLimit, 45);
    };
    MakeStage("Held", {nullptr, {Picture({2, 3, 14, 2, 0, 0, 1, 50, 0, 0, 1, 1, 0, 5})}}, stage);
    const i32 showFps = g_SystemIni.ShowFps;
    g_SystemIni.ShowFps = 0;
    std::vector<u32> uncounted; // DirectDraw 32's frame 12, without the counter
    for (const MODE& m : kModes) {
        SCOPED_TRACE(m.name);
        Sheet sheet(2);
        playsim::cPlaySim sim;
        ASSERT_NO_FATAL_FAILURE(Start(sim, m, "Held"));
        cGameScene& scene = sim.Scene();
        std::vector<u32> at6, at12;
        u64 hash6 = 0;
        scene.m_fnNestedInput = [&](cInput& in, i32 frame) {
            if (frame == 6) at6 = Snapshot(), hash6 = sim.Hash();
            if (frame == 12) {
                at12 = Snapshot();
                EXPECT_EQ(sim.Hash(), hash6) << "the play stands still";
            }
            in.wButtons = frame == 14 ? 1 : 0;
        };
        sim.Frame();
        ASSERT_FALSE(at6.empty());
        ASSERT_FALSE(at12.empty());
        EXPECT_NE(at6, at12) << "the background moved";
        sheet.Put(0, at6);
        sheet.Put(1, at12);
        if (&m == &kModes[1]) uncounted = at12;
        EXPECT_TRUE(sheet.Matches(std::string("play_screen_held_") + m.name));
    }

    // The frame counter (small font, bottom right) over the held frames as they are presented.
    g_SystemIni.ShowFps = 2;
    playsim::cPlaySim sim;
    ASSERT_NO_FATAL_FAILURE(Start(sim, kModes[1], "Held"));
    cGameScene& scene = sim.Scene();
    scene.m_bHeadless = false;
    g_bActive.store(1);
    std::vector<u32> counted;
    scene.m_fnNestedInput = [&](cInput& in, i32 frame) {
        if (frame == 12) counted = Snapshot();
        in.wButtons = frame == 14 ? 1 : 0;
    };
    sim.Frame();
    scene.m_bHeadless = true;
    g_SystemIni.ShowFps = showFps;
    ASSERT_FALSE(counted.empty());
    ASSERT_EQ(counted.size(), uncounted.size());
    int ink = 0;
    for (int y = 469; y < 478; ++y)
        for (int x = 549; x < 609; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * 640 + x;
            ink += counted[i] != uncounted[i];
        }
    EXPECT_GT(ink, 8) << "the frame counter";
}

// The stage-clear banner is drawn over everything of the play: the second demo stage, whose
// coins lie beside the banner, cleared by its goal (the hero put on it). Cells: the banner
// sliding together, and in place over the coins (its "!" over the first coin, both yellow).
TEST_F(PlayScreen, ClearBannerGoldenFrames) {
    for (const MODE& m : kModes) {
        SCOPED_TRACE(m.name);
        Sheet sheet(2);
        playsim::cPlaySim sim;
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), m.d3d, m.bpp}, error)) << error;
        ASSERT_TRUE(sim.StartStage("data\\stg4\\Demo-2.stg4_001", 1, error)) << error;
        cGameScene& s = sim.Scene();
        ASSERT_TRUE(PutTheHeroOnTheGoal(s));
        for (int f = 0; f < 6; ++f) sim.Frame();
        ASSERT_EQ(s.m_nState, 4);
        sheet.Put(0, Snapshot());
        for (int f = 0; f < 40; ++f) sim.Frame();
        ASSERT_EQ(s.m_nState, 4);
        sheet.Put(1, Snapshot());
        EXPECT_TRUE(sheet.Matches(std::string("play_screen_clear_") + m.name));
    }
}

// The gauges over characters, full size: the hero loses 4 of its 10 HP and, its SP emptied,
// gains 12 of 20 by code commands, beside a character flying by its own bitmap (drawn from it in its flight,
// whose one-frame motion has ended). Cells: two frames in, the HP bar with what was lost right of
// its level and the SP bar with what was gained left of it; 70 frames on, the levels alone.
TEST_F(PlayScreen, GaugesGoldenFrames) {
    MakeStage("Gauges", {[](cEdChara& h) { h.dwMaxSP = 20; }, {Code("hp = hp - 4"), Code("sp = 0"), Code("sp = sp + 12")}},
              [](cStage& st) {
                  const cEdChara& hero = st.vChara[0];
                  cEdChara flyer;
                  flyer.byOperation = 1;
                  flyer.byPictureKind = 4; // its own bitmap
                  flyer.wPicture = 1;
                  flyer.dwMaxHP = 5;
                  flyer.nHoldItem = cEdChara::kNoItem;
                  flyer.sPosX = static_cast<i16>(hero.sPosX + 4);
                  flyer.sPosY = static_cast<i16>(hero.sPosY - 4);
                  CharaSettings::Set(flyer, eChara::Scale, 2);
                  CharaSettings::Set(flyer, eChara::FlyMode, 2);
                  st.vChara.push_back(flyer);
              });
    for (const MODE& m : kModes) {
        SCOPED_TRACE(m.name);
        Sheet sheet(2, 1);
        playsim::cPlaySim sim;
        ASSERT_NO_FATAL_FAILURE(Start(sim, m, "Gauges"));
        for (int f = 0; f < 2; ++f) sim.Frame();
        const cPlayer& hero = *sim.Scene().Player0();
        EXPECT_EQ(hero.m_nHP, 6);
        EXPECT_EQ(hero.m_nSP, 12);
        EXPECT_GT(hero.m_HpGauge.nFrames, 60);
        sheet.Put(0, Snapshot());
        for (int f = 0; f < 70; ++f) sim.Frame();
        EXPECT_GT(hero.m_SpGauge.nFrames, 0);
        sheet.Put(1, Snapshot());
        EXPECT_TRUE(sheet.Matches(std::string("play_screen_gauges_") + m.name));
    }
}

// The end of a stage started directly from its file, which runs against no time limit: the
// banner stands over the blocks with its dark edge, the result table leaves out the time left
// (there is none), and the ranking line goes one line above the direct start's caption instead
// of over it. The first stage with its hero put on the goal; the cell is the result shown.
TEST_F(PlayScreen, DirectStartEndScreenGoldenFrames) {
    MakeStage("EndScreen", {});
    const u32 direct = g_bDirectStart;
    const u32 ranking = g_Game.g_bUseRanking;
    for (const MODE& m : kModes) {
        SCOPED_TRACE(m.name);
        Sheet sheet(1, 1);
        playsim::cPlaySim sim;
        ASSERT_NO_FATAL_FAILURE(Start(sim, m, "EndScreen"));
        g_bDirectStart = 1;
        g_Game.g_bUseRanking = 1;
        cGameScene& s = sim.Scene();
        ASSERT_EQ(StageSettings::Get(g_Stage, eStage::TimeLimitOn), 0);
        ASSERT_TRUE(PutTheHeroOnTheGoal(s));
        for (int f = 0; f < 70; ++f) sim.Frame();
        ASSERT_EQ(s.m_nState, 4);
        EXPECT_NE(s.m_vResult[0], -1) << "the score ranks: the ranking line shows";
        EXPECT_EQ(s.m_vResult[1], -1) << "no time left is ranked";
        sheet.Put(0, Snapshot());
        EXPECT_TRUE(sheet.Matches(std::string("play_screen_end_direct_") + m.name));
    }
    g_bDirectStart = direct;
    g_Game.g_bUseRanking = ranking;
}

// A stage started directly from its numbered file is played again from that very file when its
// end has faded out, though a file of its name with a higher number was saved while it played
// (its hero placed three blocks further right): the hero stands where the played file puts it.
TEST_F(PlayScreen, ADirectStartPlaysTheSameFileAgainThoughAHigherNumberCameMeanwhile) {
    MakeStage("Again", {});
    const u32 direct = g_bDirectStart;
    const APPSERVICES services = g_Services;
    std::vector<std::string> loaded;
    // The stage load as the program wires it.
    g_Services.loadStage = [&](const std::string& path, int flag) {
        loaded.push_back(path);
        return LoadStageForPlay(path.c_str(), static_cast<u32>(flag), &g_StageAtStart);
    };
    {
        playsim::cPlaySim sim;
        ASSERT_NO_FATAL_FAILURE(Start(sim, kModes[1], "Again"));
        g_bDirectStart = 1;
        cGameScene& s = sim.Scene();
        const double startX = s.Player0()->m_dX;
        cStage later;
        ASSERT_TRUE(LoadFromFile(later, "data\\stg4\\Again.stg4_001"));
        later.vChara[0].sPosX = static_cast<i16>(later.vChara[0].sPosX + 3);
        ASSERT_TRUE(SaveToFile(later, "data\\stg4\\Again.stg4_002"));
        ASSERT_TRUE(PutTheHeroOnTheGoal(s));
        for (int f = 0; f < 70 && s.m_nState != 4; ++f) sim.Frame();
        ASSERT_EQ(s.m_nState, 4);
        // Decide at the result; the fade-out loads the stage again and the play starts over.
        for (int f = 0; f < 300 && s.m_nState != 7; ++f) sim.Frame({0, static_cast<u16>(f % 2)});
        ASSERT_EQ(s.m_nState, 7);
        for (int f = 0; f < 300 && s.m_nState != 2; ++f) sim.Frame();
        ASSERT_EQ(s.m_nState, 2);
        EXPECT_EQ(loaded, std::vector<std::string>{"data\\stg4\\Again.stg4_001"});
        EXPECT_EQ(g_strStageFile, "data\\stg4\\Again.stg4_001");
        EXPECT_EQ(s.Player0()->m_dX, startX);
    }
    fs::remove(s_dir / "data" / "stg4" / "Again.stg4_002");
    g_Services = services;
    g_bDirectStart = direct;
}

// Every screen-effect kind started by the command in play, a quarter of a second in: shift,
// shakes, splits, waves, blink, rotate, circle, zoom, lens and mosaic, each a quarter-size cell
// in kind order (the status bar above each untouched).
TEST_F(PlayScreen, EveryScreenEffectKindInPlay) {
    for (const MODE& m : kModes) {
        SCOPED_TRACE(m.name);
        Sheet sheet(13, 4);
        playsim::cPlaySim sim;
        ASSERT_NO_FATAL_FAILURE(Open(sim, m));
        for (u16 kind = 1; kind <= 13; ++kind) {
            SCOPED_TRACE(kind);
            MakeStage("Kind", {nullptr, {ScreenEffect(static_cast<u16>(s_firstEffect + 3 + kind))}});
            ASSERT_NO_FATAL_FAILURE(Play(sim, "Kind"));
            for (int f = 0; f < 15; ++f) sim.Frame();
            EXPECT_TRUE(sim.Scene().m_ScreenEffect.IsRunning());
            EXPECT_EQ(sim.Scene().m_ScreenEffect.Type(), kind);
            sheet.Put(kind - 1, Snapshot());
        }
        EXPECT_TRUE(sheet.Matches(std::string("play_screen_effect_kinds_") + m.name));
    }
}

// What the demo's own stages show where a player meets it, played by script through the play
// frame. Cells:
// 1. the first stage at its start: the sign post behind the hero, its board of buttons above it;
// 2. the last stage: the boss come down onto its place, the screen jolting as it lands;
// 3. the dark cave at its start: only a round patch about the hero is lit;
// 4. the cave further on, the hero by the stone step, the coins on the ledge in the light.
TEST_F(PlayScreen, DemoStagesShowSignLandingAndDarkCave) {
    auto run = [](playsim::cPlaySim& sim, const std::string& script) {
        std::vector<playsim::SIMKEYS> keys;
        ASSERT_TRUE(playsim::ParseScript(script, keys)) << script;
        for (const playsim::SIMKEYS& k : keys) sim.Frame(k);
    };
    // The demo as it is made: its own pictures and effects, none of the test's.
    auto start = [](playsim::cPlaySim& sim, const MODE& m, const std::string& stage) {
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), m.d3d, m.bpp}, error)) << error;
        ASSERT_TRUE(sim.StartStage("data\\stg4\\" + stage + ".stg4_001", 1, error)) << error;
    };
    for (const MODE& m : kModes) {
        SCOPED_TRACE(m.name);
        Sheet sheet(4);
        {
            playsim::cPlaySim sim;
            ASSERT_NO_FATAL_FAILURE(start(sim, m, "Demo-1"));
            ASSERT_NO_FATAL_FAILURE(run(sim, ".*10"));
            const std::vector<PictureParam>& shown = sim.Scene().m_lstPicture;
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].id, kDemoSignPicture);
            EXPECT_EQ(shown[0].nPlacement, 1) << "over the post";
            sheet.Put(0, Snapshot());
            // Walking on: the board goes before the villager further on talks (his message holds
            // the game, and would hold the board with it).
            cGameScene& s = sim.Scene();
            int gone = -1;
            std::size_t heldWith = 99;
            s.m_fnNestedInput = [&](cInput&, i32) { heldWith = std::min(heldWith, s.m_lstPicture.size()); };
            for (int f = 0; f < 60 && s.m_vStageVar[kDemoTalkVar] == 0; ++f) {
                sim.Frame({2, 0});
                if (gone < 0 && s.m_lstPicture.empty()) gone = f;
            }
            EXPECT_GE(gone, 0);
            EXPECT_EQ(s.m_vStageVar[kDemoTalkVar], 1) << "the villager talked";
            EXPECT_EQ(heldWith, 0u) << "no board while he talks";
        }
        {
            playsim::cPlaySim sim;
            ASSERT_NO_FATAL_FAILURE(start(sim, m, "Demo-3"));
            cGameScene& s = sim.Scene();
            const auto bossY = [&] {
                double y = 0;
                s.ForEachChara([&](cStageChara& c) {
                    if (c.m_nScale == 2) y = c.m_dY;
                });
                return y;
            };
            const double high = bossY();
            // The way up the ledges as the stage's clear goes, until the boss lands.
            std::vector<playsim::SIMKEYS> keys;
            ASSERT_TRUE(playsim::ParseScript(".*5 R*36 RJ*26 R*3 .*20 R*10 RJ*26 R*4 .*20 R*26 RJ*30 R*5 .*20 R*10 RJ*30", keys));
            std::size_t f = 0;
            for (; f < keys.size() && !s.m_ScreenEffect.IsRunning(); ++f) sim.Frame(keys[f]);
            ASSERT_TRUE(s.m_ScreenEffect.IsRunning()) << "the boss has landed";
            EXPECT_EQ(s.m_ScreenEffect.Type(), 3);
            EXPECT_GT(f, 150u) << "not before the hero has come near";
            EXPECT_EQ(s.m_vStageVar[kDemoBossLandedVar], 1);
            EXPECT_NEAR(bossY() - high, kDemoBossDescentRows * 32, 1) << "come down onto its place";
            // Nothing stands directly over the landed boss: the last ledge starts past it. Its
            // picture, 32 dots a cell at twice the size, is centred on its body.
            double left = 0, right = 0, top = 0;
            s.ForEachChara([&](cStageChara& c) {
                if (c.m_nScale != 2) return;
                const double centre = (c.m_rcBody.rc.left + c.m_rcBody.rc.right + 1) / 2;
                left = centre - 16 * c.m_nScale;
                right = centre + 16 * c.m_nScale - 1;
                top = c.m_rcBody.rc.top;
            });
            ASSERT_GT(right, left);
            int over = 0;
            for (double x = left; x <= right; x += 4)
                for (double y = 0; y < top; y += 4) over += s.m_vBlockMap.AtPixel(x, y).bExists != 0;
            EXPECT_EQ(over, 0) << "blocks over the boss, drawn from x " << left << " to " << right;
            for (int k = 0; k < 3; ++k) sim.Frame(keys[f + k]);
            sheet.Put(1, Snapshot());
        }
        {
            playsim::cPlaySim sim;
            ASSERT_NO_FATAL_FAILURE(start(sim, m, "Demo-4"));
            ASSERT_NO_FATAL_FAILURE(run(sim, ".*5 R*90"));
            EXPECT_EQ(sim.Scene().m_nViewMargin, kDemoCaveSight * 16);
            sheet.Put(2, Snapshot());
            ASSERT_NO_FATAL_FAILURE(run(sim, "R*135 RJ*20"));
            sheet.Put(3, Snapshot());
        }
        EXPECT_TRUE(sheet.Matches(std::string("play_screen_demo_") + m.name));
    }
}
