// Input records, key configuration, key repeat, histories, menu cursors and mouse buttons.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/system/AppWindow.h"
#include "platform/system/FirstFrame.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "tests/support/Golden.h"

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        KeyStateClearAll();
        for (u32 n = 0; n < kMaxJoysticks; ++n) JoyStateSet(n, nullptr);
        KeyConfigDefault(g_KeyConfig);
        KeyConfigApply();
        JoyButtonMaskInit(in);
    }
    void TearDown() override {
        KeyStateClearAll();
        for (u32 n = 0; n < kMaxJoysticks; ++n) JoyStateSet(n, nullptr);
        KeyConfigDefault(g_KeyConfig);
        KeyConfigApply();
    }
    cInput in;
};

TEST_F(InputTest, KeyboardOppositeKeysCancelInNumpadButKeepBothBits) {
    KeyStateSet(VK_LEFT, true);
    KeyStateSet(VK_RIGHT, true);
    KeyStateSet('X', true);
    EXPECT_EQ(PollJoystick(in, 0, 3, 60), 1);
    EXPECT_EQ(in.wDirection, 3);
    EXPECT_EQ(in.nNumpad, 5);
    EXPECT_EQ(in.wButtons, 2);

    // Configured mode: left wins over right, up over down.
    g_bMultiJoy = 1;
    KeyStateSet(VK_UP, true);
    KeyStateSet(VK_DOWN, true);
    std::vector<cInput> v(1);
    EXPECT_EQ(PollInput(v, 1, 60), 1);
    EXPECT_EQ(v[0].wDirection, 1 | 4);
    EXPECT_EQ(v[0].nNumpad, 1);
    EXPECT_EQ(v[0].wButtons, 2);
    EXPECT_EQ(PollJoystick(in, 0, 3, 60), 0);
}

TEST_F(InputTest, JoystickThresholdsAndPrecedencePerGroup) {
    JOYSTATE js;
    js.dwXpos = 10001; // neutral
    js.dwYpos = 32768;
    JoyStateSet(0, &js);
    KeyStateSet(VK_UP, true);
    KeyStateSet('Z', true);
    PollJoystick(in, 0, 3, 60);
    EXPECT_EQ(in.wDirection, 4) << "a neutral stick leaves the keyboard's direction";
    EXPECT_EQ(in.wButtons, 1);

    js.dwXpos = 55535; // right
    js.dwButtons = 4;  // button 3
    JoyStateSet(0, &js);
    PollJoystick(in, 0, 3, 60);
    EXPECT_EQ(in.wDirection, 2);
    EXPECT_EQ(in.nNumpad, 6);
    EXPECT_EQ(in.wButtons, 4);
    EXPECT_EQ(in.bJoyOk, 1u);

    js.dwXpos = 10000;
    EXPECT_TRUE(JoyAxisTest(js, 256));
    EXPECT_FALSE(JoyAxisTest(js, 512));
    EXPECT_FALSE(JoyAxisTest(js, 3));
}

TEST_F(InputTest, FailedJoystickReadSkipsTwiceTheRetryCount) {
    PollJoystick(in, 0, 1, 2); // no device
    EXPECT_EQ(in.bJoyOk, 0u);
    EXPECT_EQ(in.nJoySkip, 4);
    JOYSTATE js;
    js.dwXpos = 0;
    JoyStateSet(0, &js);
    for (int i = 0; i < 4; ++i) {
        PollJoystick(in, 0, 1, 2);
        EXPECT_EQ(in.bJoyOk, 0u);
    }
    PollJoystick(in, 0, 1, 2);
    EXPECT_EQ(in.bJoyOk, 1u);
    EXPECT_EQ(in.wDirection, 1);
}

TEST_F(InputTest, ConfiguredJoystickBeyondTheCountIsNeverPressed) {
    g_KeyConfig.aEntry[4] = {3, 1, 0}; // joystick 3, button mask 1
    g_KeyConfig.nJoyCount = 2;
    g_bMultiJoy = 1;
    JOYSTATE js;
    for (u32 n = 0; n < 3; ++n) JoyStateSet(n, &js);
    js.dwButtons = 1;
    JoyStateSet(3, &js);
    std::vector<cInput> v(1);
    PollInput(v, 1, 60);
    EXPECT_EQ(v[0].wButtons, 0);
    g_KeyConfig.nJoyCount = 4;
    PollInput(v, 1, 60);
    EXPECT_EQ(v[0].wButtons, 1);
}

TEST_F(InputTest, RepeatPassesFirstFrameThenEveryIntervalAfterDelay) {
    InputSetRepeat(in, 20, 5);
    std::vector<int> passed;
    for (int frame = 1; frame <= 31; ++frame) {
        in.wDirection = 8;
        InputRepeat(in);
        if (in.wDirection & 8) passed.push_back(frame);
    }
    EXPECT_EQ(passed, (std::vector<int>{1, 21, 26, 31}));
    // The other axis is independent.
    in.wDirection = 8 | 1;
    InputRepeat(in);
    EXPECT_EQ(in.wDirection, 1);
}

TEST_F(InputTest, LatchLetsEachPressActOnce) {
    in.wButtons = 1;
    InputLatchButtons(in, 3);
    EXPECT_EQ(in.wButtons, 1);
    in.wButtons = 1 | 4;
    InputLatchButtons(in, 3);
    EXPECT_EQ(in.wButtons, 4) << "held button 1 removed; button 3 is outside the mask";
    in.wButtons = 0;
    InputLatchButtons(in, 3);
    in.wButtons = 1;
    InputLatchButtons(in, 3);
    EXPECT_EQ(in.wButtons, 1);
}

TEST_F(InputTest, HistoryRingsCountHoldsAndLookBack) {
    InputHistoryClear(in);
    // 3 frames of left, then 2 of right.
    for (int i = 0; i < 3; ++i) {
        in.wDirection = 1;
        InputHistoryPush(in);
    }
    for (int i = 0; i < 2; ++i) {
        in.wDirection = 2;
        InputHistoryPush(in);
    }
    EXPECT_EQ(InputHistoryGet(in, 0, 0), 2);
    EXPECT_EQ(InputHistoryGet(in, 0, 1), 2);
    EXPECT_EQ(InputHistoryGet(in, 0, 2), 1);
    EXPECT_EQ(InputHistoryGet(in, 0, 4), 1);
    EXPECT_EQ(InputHistoryGet(in, 7, 0), 0) << "a ring that does not exist";
}

TEST_F(InputTest, StateHistoriesKeepTheirLength) {
    for (auto& h : in.vDirState) h.assign(3, KEYHISTORY{});
    for (auto& h : in.vButtonState) h.assign(3, KEYHISTORY{});
    in.wDirection = 4 | 1; // up-left
    in.wButtons = 2;
    InputKeyHistoryUpdate(in);
    EXPECT_EQ(in.vDirState[5].front().pressed, 1u);
    EXPECT_EQ(in.vDirState[5].size(), 3u);
    EXPECT_EQ(in.vDirState[3].front().pressed, 0u) << "exact match for single directions";
    EXPECT_EQ(in.vDirState[9].front().pressed, 1u);
    EXPECT_EQ(in.vButtonState[2].front().pressed, 1u);
    EXPECT_EQ(in.vButtonState[0].front().pressed, 0u);
    InputKeyHistoryUpdate(in);
    EXPECT_EQ(in.vDirState[5].front().frames, 2);
    EXPECT_EQ(FirstPressedKey(in), 5);
    cKeyHistory empty;
    KeyHistoryPush(empty, 1, 1, 1);
    EXPECT_TRUE(empty.empty());
}

TEST_F(InputTest, NumpadFromDirection) {
    in.wDirection = 1 | 2 | 4 | 8;
    EXPECT_EQ(DirToNumpad(in), 1);
    in.wDirection = 2 | 8;
    EXPECT_EQ(DirToNumpad(in), 9);
}

// Frames as the front end runs them (the poll, key repeat, the latch of the first two buttons,
// then two reads of Space as the play's pause probe does), fed through the window's own key
// events between them. A key down and up again between two frames counts for the next frame
// alone, on every read of that frame; held keys, the system's repeats of them, key repeat and the
// latch are as before.
TEST_F(InputTest, ATapBetweenTwoFramesCountsForTheNextFrameOnly) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    ASSERT_TRUE(AppVideoInit());
    InputSetRepeat(in, 3, 2);
    // Before each frame: keys (L R U D, Z X, S for Space) down (+), up (-) or repeated by the
    // system while held (*).
    const char* gaps[] = {"D+D-", "", "Z+", "Z*Z*", "Z-", "Z+Z-Z+", "", "Z-Z+Z-", "", "R+", "R*", "R*",
                          "S+S-", "U+U-", "", "R-X+X-L+L-", "", "X+", "X-"};
    const std::string keys = "LRUDZXS";
    const SDL_Scancode codes[] = {SDL_SCANCODE_LEFT, SDL_SCANCODE_RIGHT, SDL_SCANCODE_UP, SDL_SCANCODE_DOWN,
                                  SDL_SCANCODE_Z,    SDL_SCANCODE_X,     SDL_SCANCODE_SPACE};
    std::string trace;
    for (const char* gap : gaps) {
        for (const char* k = gap; *k; k += 2) {
            SDL_Event e{};
            e.type = k[1] == '-' ? SDL_KEYUP : SDL_KEYDOWN;
            e.key.repeat = k[1] == '*';
            e.key.keysym.scancode = codes[keys.find(k[0])];
            SDL_PushEvent(&e);
        }
        AppPumpEvents(0);
        KeyStateNextFrame();
        PollJoystick(in, 0, 3, 60);
        InputRepeat(in);
        InputLatchButtons(in, 3);
        const int space = (GetAsyncKeyState(VK_SPACE) < 0) + (GetAsyncKeyState(VK_SPACE) < 0);
        std::string dir;
        for (int b = 0; b < 4; ++b)
            if (in.wDirection & (1 << b)) dir += keys[b];
        trace += (dir.empty() ? "." : dir) + std::to_string(in.wButtons) + (space == 2 ? "S" : space ? "s" : "") + ' ';
    }
    AppVideoQuit();
    EXPECT_EQ(trace, "D0 .0 .1 .0 .0 .1 .0 .0 .0 R0 .0 .0 .0S RU0 .0 L2 .0 .2 .0 ");
}

// A press that comes while a frame runs, after its start: the frame's reads that come after it
// see it held, and once let go it is no tap for the next frame (a frame that waited on the
// dialog the press opened would open it again). One let go before the frame reads it is.
TEST_F(InputTest, APressSeenHeldInItsFrameIsNoTapForTheNext) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    ASSERT_TRUE(AppVideoInit());
    auto key = [](bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.scancode = SDL_SCANCODE_F1;
        SDL_PushEvent(&e);
        AppPumpEvents(0);
    };
    auto read = [] { return GetAsyncKeyState(0x70) < 0 ? 'D' : '.'; };
    std::string trace;
    KeyStateNextFrame();
    key(true);
    trace += read();
    key(false);
    trace += read();
    KeyStateNextFrame();
    trace += read();
    key(true);
    key(false);
    trace += read();
    KeyStateNextFrame();
    trace += read();
    KeyStateNextFrame();
    trace += read();
    AppVideoQuit();
    // Seen held, then up for the rest of its frame and the next; let go unseen, a tap next frame.
    EXPECT_EQ(trace, "D...D.");
}

class KeyConfigFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("kc_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        SetGameRoot(dir);
        SetReportFile((dir / "Report_Game.txt").string());
    }
    void TearDown() override {
        SetGameRoot(std::filesystem::current_path());
        std::filesystem::remove_all(dir);
    }
    void Write(const std::string& bytes) {
        std::ofstream(dir / "KeyConfig.dat", std::ios::binary) << bytes;
    }
    std::string Report() const {
        std::ifstream in(dir / "Report_Game.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path dir;
};

TEST_F(KeyConfigFile, TheFileFromItsTableAndOutOfRangeCountsAreClamped) {
    // Twelve entries {u32 device, u16 code, u16 unused}, then count, joysticks, several-joysticks.
    golden::Bytes b;
    for (u32 i = 0; i < 12; ++i) b.U32(i == 0 ? 8 : i).U16(100 + i).U16(200 + i);
    b.U32(11).U32(3).U32(1);
    ASSERT_EQ(b.s.size(), 108u);
    Write(b.s);
    KEYCONFIG got;
    KeyConfigDefault(got);
    ASSERT_EQ(KeyConfigLoad("keyconfig.dat", got), 1);
    EXPECT_EQ(golden::Vals(got.aEntry[0].dwDevice, got.aEntry[0].wCode, got.aEntry[11].dwDevice, got.aEntry[11].wCode,
                           got.aEntry[11].wUnused, got.nCount, got.nJoyCount, got.bMultiJoy),
              (std::vector<i64>{8, 100, 11, 111, 211, 11, 3, 1}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&got), sizeof got), b.s);

    KEYCONFIG c = got;
    c.nCount = 1000;
    c.nJoyCount = 0xFFFFFFFF;
    c.bMultiJoy = 7;
    Write(std::string(reinterpret_cast<const char*>(&c), sizeof c));
    ASSERT_EQ(KeyConfigLoad("keyconfig.dat", got), 1);
    EXPECT_EQ(golden::Vals(got.nCount, got.nJoyCount, got.bMultiJoy), (std::vector<i64>{12, kMaxJoysticks, 1}));
    c.nCount = 0;
    Write(std::string(reinterpret_cast<const char*>(&c), sizeof c));
    ASSERT_EQ(KeyConfigLoad("KeyConfig.dat", got), 1);
    EXPECT_EQ(got.nCount, 4u);
}

TEST_F(KeyConfigFile, ShortOrMissingFileIsNotALoad) {
    KEYCONFIG c;
    KeyConfigDefault(c);
    c.aEntry[0].wCode = 65;
    Write(std::string(reinterpret_cast<const char*>(&c), 100));
    KEYCONFIG got;
    KeyConfigDefault(got);
    EXPECT_EQ(KeyConfigLoad("KeyConfig.dat", got), 0);
    EXPECT_EQ(got.aEntry[0].wCode, 37) << "defaults stay";
    EXPECT_EQ(KeyConfigLoad("none.dat", got), 0);
}

// Any size but 108 bytes is a damaged file, however long: the defaults stay, with its line.
TEST_F(KeyConfigFile, AFileOfAnyOtherSizeIsDamaged) {
    std::string table;
    for (const std::size_t size : {0, 107, 109, 65537}) {
        Write(std::string(size, '\x08'));
        KEYCONFIG got;
        KeyConfigDefault(got);
        const int loaded = KeyConfigLoad("KeyConfig.dat", got);
        table += std::to_string(size) + ": " + std::to_string(loaded) + (got.aEntry[0].wCode == 37 ? " defaults\n" : " changed\n");
    }
    EXPECT_EQ(table, "0: 0 defaults\n107: 0 defaults\n109: 0 defaults\n65537: 0 defaults\n");
    const std::string damaged = "KeyConfig.dat が破損しています！\r\n";
    EXPECT_EQ(Report(), damaged + damaged + damaged + damaged);
}

// Device 8 is the keyboard, whose codes are keys below 256, and no joystick: an entry of it with
// a code past the keys takes its default with a report line, as one naming no device does. The
// last key code and a joystick's axis code (256) stay.
TEST_F(KeyConfigFile, AKeyboardEntryWithACodePastTheKeysIsSetRight) {
    golden::Bytes b;
    b.U32(8).U16(255).U16(0);    // left: the last key
    b.U32(8).U16(256).U16(0);    // right: no key
    b.U32(3).U16(256).U16(0);    // up: joystick 3's X low
    b.U32(8).U16(0xFFFF).U16(7); // down: no key
    b.U32(16).U16(90).U16(0);    // button 1: no device
    for (u32 i = 5; i < 12; ++i) b.U32(8).U16(static_cast<u16>(60 + i)).U16(0);
    b.U32(12).U32(4).U32(1);
    ASSERT_EQ(b.s.size(), 108u);
    Write(b.s);
    KEYCONFIG got;
    KeyConfigDefault(got);
    ASSERT_EQ(KeyConfigLoad("KeyConfig.dat", got), 1);
    std::vector<i64> entries;
    for (int i = 0; i < 6; ++i) entries.insert(entries.end(), {got.aEntry[i].dwDevice, got.aEntry[i].wCode, got.aEntry[i].wUnused});
    EXPECT_EQ(entries, (std::vector<i64>{8, 255, 0, 8, 39, 0, 3, 256, 0, 8, 40, 0, 8, 90, 0, 8, 65, 0}));
    EXPECT_EQ(Report(), "KeyConfig.dat の aEntry[1].wCode (256) が範囲外のため 39 にしました。\r\n"
                        "KeyConfig.dat の aEntry[3].wCode (65535) が範囲外のため 40 にしました。\r\n"
                        "KeyConfig.dat の aEntry[4] (16) が範囲外のため 8 にしました。\r\n");
}

TEST(InputScript, ParsesAndAppliesByPoll) {
    KeyStateClearAll();
    EXPECT_FALSE(InputScriptLoad("3:40"));
    EXPECT_FALSE(InputScriptLoad("x:40+"));
    EXPECT_FALSE(InputScriptLoad("3:300+"));
    ASSERT_TRUE(InputScriptLoad("2:40+, 3:40- 3:90+"));
    InputScriptStep();
    EXPECT_EQ(GetAsyncKeyState(VK_DOWN), 0);
    InputScriptStep();
    EXPECT_LT(GetAsyncKeyState(VK_DOWN), 0);
    InputScriptStep();
    EXPECT_EQ(GetAsyncKeyState(VK_DOWN), 0);
    EXPECT_LT(GetAsyncKeyState('Z'), 0);
    EXPECT_EQ(InputPollCount(), 3u);
    InputScriptReset();
    KeyStateClearAll();
}

TEST(MenuCursor, GridWrapsAndEmptyAxisStaysAtZero) {
    cMenuCursor c;
    MoveCursor(c, 2, 0, 0, 10, 20, 3, 1);
    MoveCursor(c, 2, 0, 0, 10, 20, 3, 1);
    EXPECT_EQ(c.Cur().col, 2);
    MoveCursor(c, 2, 5, 7, 10, 20, 3, 1);
    EXPECT_EQ(c.Cur().col, 0);
    EXPECT_EQ(c.Cur().x, 5);
    MoveCursor(c, 1, 5, 7, 10, 20, 3, 1);
    EXPECT_EQ(c.Cur().col, 2);
    MoveCursor(c, 4, 5, 7, 10, 20, 3, 4);
    EXPECT_EQ(c.Cur().row, 3);
    EXPECT_EQ(c.Cur().y, 67);
    MoveCursor(c, 4 | 1, 0, 0, 10, 20, 0, 0);
    EXPECT_EQ(c.Cur().row, 0);
    EXPECT_EQ(c.Cur().col, 0);
}

TEST(MenuCursor, ListScrollsAndPages) {
    cMenuCursor c;
    i32 first = 0;
    c.Cur().row = 3;
    MenuCursorMoveList(c, 8, true, first, 100, 16, 50, 4, 10, true);
    EXPECT_EQ(c.Cur().row, 4);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(c.Cur().y, 100 + 3 * 16);
    EXPECT_EQ(c.Cur().x, 50);
    first = 6;
    c.Cur().row = 7;
    MenuCursorMoveList(c, 2, true, first, 0, 16, 0, 4, 10, true);
    EXPECT_EQ(c.Cur().row, 9);
    first = 0;
    c.Cur().row = 2;
    MenuCursorMoveList(c, 1, true, first, 0, 16, 0, 4, 10, true);
    EXPECT_EQ(c.Cur().row, 0);
    // An empty list keeps the index at 0.
    MenuCursorMoveList(c, 4, true, first, 0, 16, 0, 4, 0, true);
    EXPECT_EQ(c.Cur().row, 0);
    EXPECT_EQ(first, 0);
}

TEST(MenuCursor, StackBuildAndShift) {
    cMenuCursor c;
    c.Cur().row = 2;
    c.Build(0);
    EXPECT_EQ(c.Cur().row, 0);
    ASSERT_NE(c.Below(), nullptr);
    c.Cur().row = 5;
    c.Shift(1);
    EXPECT_EQ(c.Cur().row, 2);
    c.Build(1);
    EXPECT_EQ(c.Cur().row, 2);
    c.Cur().row = 6;
    c.Shift(2);
    EXPECT_EQ(c.Cur().row, 6);
    EXPECT_EQ(c.Depth(), 1u);
    c.Shift(2);
    EXPECT_EQ(c.Cur().row, 6);
    EXPECT_EQ(c.Below(), nullptr);
}

TEST(MouseButtonsTest, PressedAndReleasedOnce) {
    MouseButtonsReset();
    int pressed = 0, released = 0;
    const bool held[] = {false, true, true, true, false, false};
    for (bool h : held) {
        MouseStateSet(h, false, 0, 0);
        MouseButtons(7);
        pressed += g_MouseButtons.bLeftPressed;
        released += g_MouseButtons.bLeftReleased;
    }
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(released, 1);
    MouseStateSet(false, false, 0, 0);
    MouseButtonsReset();
}

} // namespace

// The pads are looked for once the first frame is on the screen, not while the program starts.
TEST(AppPads, PadsAreLookedForOnceTheFirstFrameIsShown) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    ASSERT_TRUE(AppVideoInit());
    if (!FirstFrameWasShown()) {
        AppPumpEvents(0);
        EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u) << "the pads were looked for before the first frame";
        FirstFrameShown();
    }
    AppPumpEvents(0);
    EXPECT_NE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
    AppVideoQuit();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
}
