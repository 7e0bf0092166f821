// Message windows: what they look like in each drawing mode, where they go frame by frame, and
// the message command's replace, close and hold rules.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/SceneDraw.h"
#include "app/PlayRecordNames.h"
#include "flow/MessageWnd.h"
#include "flow/commands/Commands.h"
#include "platform/system/Sjis.h"
#include "tests/platform/graphics/GfxTestUtil.h"
#include "tests/flow/FlowTrace.h"

namespace {

// The message font (font 1) with a window frame picture, as start-up makes it.
struct MessageFont {
    DDSURFACEDATA frame;
    MessageFont() {
        SetTestPalette();
        DDSetTransmit(255, 0, 255);
        if (!lpDTCon && g_nBpp == 8) {
            g_dwTransColor = 0;
            DDSetDisplayPalette(g_palCur);
        }
        DDCreateSurface(&frame, 640, 480, 0, 0);
        DDFillSurface(&frame, 5);
        FontCreate(&g_aFont[1], Utf8ToSjis("ＭＳ ゴシック").c_str(), 0, 16, 16, 16, 2, &frame, 2, 1, nullptr, 0);
    }
    ~MessageFont() {
        g_aFont[1].Release();
        DDReleaseSurface(&frame);
    }
};

cMessageWnd& Add(cGameScene& s, MESSAGEARGS a) {
    MessageWndPtr w(new cMessageWnd);
    EXPECT_TRUE(MakeMessage(s, *w, a));
    s.m_lstMessageWnd.push_back(std::move(w));
    return *s.m_lstMessageWnd.back();
}

MESSAGEARGS Text(const char* utf8, i32 placement, i32 x = 0, i32 y = 0) {
    MESSAGEARGS a;
    a.text = Utf8ToSjis(utf8);
    a.placement = placement;
    a.cellX = a.offsetX = x;
    a.cellY = a.offsetY = y;
    a.noOpening = 1;
    a.expand = 1;
    return a;
}

class MessageFrame : public ::testing::TestWithParam<GfxMode> {};

} // namespace

TEST_P(MessageFrame, WindowsWithValuesLineBreaksAndJapanese) {
    const GfxMode m = GetParam();
    playtest::PLAYOPTIONS options;
    options.direct3D = m.direct3D;
    options.bpp = m.bpp;
    flowtest::HeroPlay play(options);
    MessageFont font;
    cGameScene& s = play.s;
    g_CommonVars[1] = 42;
    g_CommonVars[2] = -7;
    s.m_vStageVar[5] = 3;
    cPlayer* hero = &play.hero;
    hero->m_nGfxW = hero->m_nGfxH = 32;

    MESSAGEARGS framed = Text("勇者よ、よく来た。\nHP #C1_4 / 所持金 #C2_5Z円\n\n(空行の次)", MSG_SCREEN_CENTRE);
    framed.frame = 1;
    Add(s, framed);
    Add(s, Text("残り#S5_2P回！", MSG_ABOVE_HERO));
    Add(s, Text("セル(1,2) #C3.個", MSG_SCREEN_CELL, 1, 2));
    MESSAGEARGS top = Text("上端", MSG_SCREEN_CELL, 15, 0);
    top.keepOnScreen = 1;
    Add(s, top);

    DDFillSurface(&g_sdBackBuffer, 16);
    DrawMessageWnds(s, &g_sdBackBuffer, 0);
    std::vector<u32> px;
    i32 w = 0, h = 0;
    DDSnapshotFrame(&px, &w, &h);
    EXPECT_TRUE(MatchesGolden("message_" + ModeName(m), px, w, h));
}

INSTANTIATE_TEST_SUITE_P(Modes, MessageFrame,
                         ::testing::Values(GfxMode{true, 32}, GfxMode{false, 32}, GfxMode{false, 8}),
                         [](const auto& info) { return ModeName(info.param); });

// Positions per frame while the view scrolls, the game is held and windows time out.
TEST(MessageWnd, LayoutTrace) {
    flowtest::HeroPlay play;
    MessageFont font;
    cGameScene& s = play.s;
    cPlayer* hero = &play.hero;
    hero->m_nGfxW = hero->m_nGfxH = 32;
    g_CommonVars[4] = 1;

    struct ROW {
        const char* name;
        MESSAGEARGS a;
    };
    std::vector<ROW> rows;
    auto row = [&](const char* name, MESSAGEARGS a, const std::function<void(MESSAGEARGS&)>& edit = {}) {
        if (edit) edit(a);
        rows.push_back({name, a});
    };
    row("centre", Text("a", MSG_SCREEN_CENTRE));
    row("centre fixed", Text("a", MSG_SCREEN_CENTRE), [](MESSAGEARGS& a) { a.fixed = 1; });
    row("stage cell", Text("a", MSG_STAGE_CELL, 3, 4));
    row("above hero", Text("a", MSG_ABOVE_HERO));
    row("below hero fixed", Text("a", MSG_BELOW_HERO), [](MESSAGEARGS& a) { a.fixed = 1; });
    row("kept on screen", Text("a", MSG_SCREEN_CELL, 19, 0), [](MESSAGEARGS& a) { a.keepOnScreen = a.fixed = 1, a.offsetX = 40; });
    auto timed = [](MESSAGEARGS& a) { a.fixed = 1, a.displayMode = MSG_TIMED, a.frames = 2; };
    row("timed", Text("a", MSG_SCREEN_CELL, 0, 5), timed);
    row("timed, counts held", Text("a", MSG_SCREEN_CELL, 0, 5), [&](MESSAGEARGS& a) { timed(a), a.countWhileHeld = 1; });
    row("refresh 2", Text("#C4", MSG_SCREEN_CELL, 0, 6), [](MESSAGEARGS& a) { a.fixed = a.refresh = 1, a.refreshInterval = 2; });
    // A speaker that leaves after the third frame: its window ends.
    auto npc = std::make_unique<cStageChara>();
    npc->m_nId = 77;
    npc->m_dX = 500;
    npc->m_dY = 300;
    npc->m_nGfxW = npc->m_nGfxH = 32;
    cStageChara& speaker = s.AddChara(std::move(npc));
    MESSAGEARGS onNpc = Text("a", MSG_ON_SELF);
    onNpc.speakerId = 77;
    row("on npc", onNpc);
    for (ROW& r : rows) Add(s, r.a);

    std::ostringstream trace;
    // The hero's graphic stands at its position, the top of its start cell (row 13).
    hero->m_nGfxOffX = hero->m_nGfxOffY = 0;
    hero->m_dY = (13 + 10) * 32.0;
    // Frame: scroll x, held, hero x, then each window's position (or "-" once it ended).
    const struct {
        double scrollX;
        i32 held;
        double heroX;
    } frames[] = {{320, 0, 400}, {330.6, 1, 400}, {340, 1, 420}, {340, 0, 420}, {350, 0, 420}};
    std::vector<cMessageWnd*> live;
    for (auto& w : s.m_lstMessageWnd) live.push_back(w.get());
    int n = 0;
    for (const auto& f : frames) {
        if (n++ == 3) s.RemoveChara(speaker);
        s.m_ScrollX.m_dPos = f.scrollX;
        hero->m_dX = f.heroX;
        ++s.m_nFrameCounter;
        ++g_CommonVars[4];
        trace << "scroll " << f.scrollX << (f.held ? " held" : "") << ":";
        DrawMessageWnds(s, &g_sdBackBuffer, f.held);
        for (std::size_t i = 0; i < live.size(); ++i) {
            bool shown = false;
            for (auto& w : s.m_lstMessageWnd) shown |= w.get() == live[i];
            trace << " | " << rows[i].name << " ";
            if (!shown) trace << "-";
            else trace << live[i]->m_nDrawX << "," << live[i]->m_nDrawY;
            if (shown && std::string(rows[i].name) == "refresh 2") trace << " '" << live[i]->m_strText << "'";
        }
        trace << "\n";
    }
    const char* const kTrace =
        "scroll 320: | centre 311,231 | centre fixed 311,231 | stage cell 99,132 | above hero 87,398 | below hero fixed "
        "87,448 | kept on screen 622,20 | timed 0,165 | timed, counts held 0,165 | refresh 2 0,198 '1' | on npc 187,-13\n"
        "scroll 330.6 held: | centre 300,231 | centre fixed 311,231 | stage cell 89,132 | above hero 77,398 | below hero "
        "fixed 87,448 | kept on screen 622,20 | timed 0,165 | timed, counts held 0,165 | refresh 2 0,198 '3' | on npc "
        "177,-13\n"
        "scroll 340 held: | centre 291,231 | centre fixed 311,231 | stage cell 79,132 | above hero 87,398 | below hero "
        "fixed 87,448 | kept on screen 622,20 | timed 0,165 | timed, counts held - | refresh 2 0,198 '3' | on npc 167,-13\n"
        "scroll 340: | centre 291,231 | centre fixed 311,231 | stage cell 79,132 | above hero 87,398 | below hero fixed "
        "87,448 | kept on screen 622,20 | timed 0,165 | timed, counts held - | refresh 2 0,198 '5' | on npc -\n"
        "scroll 350: | centre 281,231 | centre fixed 311,231 | stage cell 69,132 | above hero 77,398 | below hero fixed "
        "87,448 | kept on screen 622,20 | timed - | timed, counts held - | refresh 2 0,198 '5' | on npc -\n";
    EXPECT_EQ(trace.str(), kTrace);
}

// Replace, close and hold rules of the message command.
TEST(MessageWnd, CommandReplacesClosesAndHolds) {
    flowtest::HeroPlay play;
    MessageFont font;
    cGameScene& s = play.s;
    cPlayer* hero = &play.hero;

    cFlowCmd cmd = flowtest::Cmd(19);
    cmd.text = "hello";
    auto set = [&](std::initializer_list<std::pair<int, i32>> values) {
        for (auto [i, v] : values) cmd.params[i] = static_cast<u32>(v);
    };

    // Closing a message that is not shown does nothing.
    set({{12, 1}, {13, 7}, {15, 1}});
    CmdMessage(*hero, cmd);
    EXPECT_TRUE(s.m_lstMessageWnd.empty());
    // Shown with ID 7, then shown again: reused as it stands.
    set({{15, 0}, {7, 2}, {6, MSG_TIMED}});
    CmdMessage(*hero, cmd);
    ASSERT_EQ(s.m_lstMessageWnd.size(), 1u);
    cMessageWnd* first = s.m_lstMessageWnd[0].get();
    EXPECT_EQ(first->m_nFramesLeft, 12);
    cmd.text = "changed";
    CmdMessage(*hero, cmd);
    ASSERT_EQ(s.m_lstMessageWnd.size(), 1u);
    EXPECT_EQ(s.m_lstMessageWnd[0].get(), first);
    // Another message of no replace flag with the same ID is replaced by a new one.
    s.m_lstMessageWnd[0]->m_nCaller[0] = 0;
    set({{17, 1}});
    CmdMessage(*hero, cmd);
    ASSERT_EQ(s.m_lstMessageWnd.size(), 1u);
    EXPECT_EQ(s.m_lstMessageWnd[0]->m_strText, "changed");
    EXPECT_EQ(s.m_lstMessageWnd[0]->m_nFramesLeft, 1);
    // Close.
    set({{15, 1}});
    CmdMessage(*hero, cmd);
    EXPECT_TRUE(s.m_lstMessageWnd.empty());

    // Holding: a timed wait counts its frames; a key wait starts after 10 frames, or at once after
    // a waiting message; "until the stage ends" leaves the last wait block as it was. The loop
    // ends at once, leaving the block as the command set it.
    s.m_nNestedFrameLimit = 0;
    set({{12, 0}, {15, 0}, {17, 0}, {8, 1}, {6, MSG_TIMED}, {7, 3}});
    CmdMessage(*hero, cmd);
    EXPECT_EQ(s.m_bPauseWaitKey, 0);
    EXPECT_EQ(s.m_nPauseCountdown, 18);
    set({{6, 0}});
    CmdMessage(*hero, cmd);
    EXPECT_EQ(s.m_bPauseWaitKey, 1);
    EXPECT_EQ(s.m_nPauseFrames, 10);
    EXPECT_EQ(s.m_lstMessageWnd.size(), 1u); // the key closed the key-wait message
    set({{6, 1}});
    s.m_nPauseFrames = -1;
    CmdMessage(*hero, cmd);
    EXPECT_EQ(s.m_nPauseFrames, 10);
    // Nothing starts once the stage has ended.
    s.m_nEndRequest = 1;
    CmdMessage(*hero, cmd);
    EXPECT_EQ(s.m_lstMessageWnd.size(), 2u);
}
