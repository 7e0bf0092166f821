// The dialog framework (operated by events, as the modal loop does) and the front end's dialogs.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/Dialogs.h"
#include "app/MainWnd.h"
#include "app/Replay.h"
#include "app/Scenes.h"
#include "app/Services.h"
#include "app/SystemIni.h"
#include "database/CommonPalette.h"
#include "database/Database.h"
#include "database/GameData.h"
#include "database/SystemData.h"
#include "database/WorldMap.h"
#include "platform/system/Clock.h"
#include "platform/system/Input.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Dialog.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StageLoad.h"
#include "tests/platform/graphics/GfxTestUtil.h"
#include "tests/support/DemoGameCopy.h"
#include "tests/support/SdlKeys.h"

namespace fs = std::filesystem;

namespace {

APPEVENT Key(u32 vk) {
    APPEVENT e;
    e.kind = APPEVENT::KeyDown;
    e.vk = vk;
    return e;
}

APPEVENT Typed(const std::string& utf8) {
    APPEVENT e;
    e.kind = APPEVENT::Text;
    e.text = utf8;
    return e;
}

class TestDlg : public DLG_CLASS {
public:
    TestDlg() {
        DLGCONTROL a;
        a.nKind = DLG_RADIO;
        a.nId = 1;
        a.pField = &mode;
        a.nValue = 1;
        a.x = 10;
        a.y = 10;
        a.w = 80;
        a.h = 16;
        Add(a);
        a.nId = 2;
        a.nValue = 0;
        a.x = 100;
        Add(a);
        DLGCONTROL edit;
        edit.nKind = DLG_EDIT;
        edit.nId = 3;
        edit.nLimit = 3;
        edit.nByteLimit = 6;
        edit.bSelectAll = true;
        edit.pText = &name;
        edit.x = 10;
        edit.y = 40;
        edit.w = 80;
        edit.h = 20;
        Add(edit);
        DLGCONTROL ok;
        ok.nKind = DLG_BUTTON;
        ok.nId = 10;
        ok.bDefault = true;
        ok.x = 10;
        ok.y = 70;
        ok.w = 60;
        ok.h = 24;
        Add(ok);
        m_nX = 100;
        m_nY = 100;
    }
    u32 mode = 7;
    std::string name = "abc";

protected:
    void OnCommand(u32 id) override {
        if (id == 10) {
            DlgControlsToData();
            DlgEnd(1);
        }
    }
};

TEST(DialogKit, ControlsShowTheFieldsAndAnUncheckedRadioLeavesItsField) {
    TestDlg d;
    d.Open();
    EXPECT_FALSE(d.Control(1)->bChecked);
    EXPECT_FALSE(d.Control(2)->bChecked);
    EXPECT_EQ(d.Control(3)->strEdit, "abc");
    EXPECT_EQ(d.DlgDoModal(), 0) << "already open";
    EXPECT_TRUE(d.HandleEvent(Key(VK_RETURN)));
    EXPECT_TRUE(d.Ended());
    EXPECT_EQ(d.EndCode(), 1);
    EXPECT_EQ(d.mode, 7u);
    d.Close();

    d.Open();
    d.m_bFilling = true;
    d.Control(2)->bChecked = true;
    d.DlgControlsToData();
    EXPECT_EQ(d.mode, 7u) << "nothing is taken while the controls are being filled";
    d.m_bFilling = false;
    d.DlgControlsToData();
    EXPECT_EQ(d.mode, 0u);
}

TEST(DialogKit, KeyboardAndMouseOperateTheControls) {
    TestDlg d;
    d.Open();
    EXPECT_EQ(d.Focus(), 0);
    d.HandleEvent(Key(VK_DOWN)); // next radio, and it is chosen
    EXPECT_TRUE(d.Control(2)->bChecked);
    EXPECT_FALSE(d.Control(1)->bChecked);
    d.HandleEvent(Key(VK_TAB));
    EXPECT_EQ(d.Focus(), 2);
    APPEVENT click;
    click.kind = APPEVENT::MouseDown;
    click.button = 1;
    click.x = 100 + 15;
    click.y = 100 + 20 + 12; // caption, then the first radio
    d.HandleEvent(click);
    EXPECT_TRUE(d.Control(1)->bChecked);
    click.x = 100 + 20;
    click.y = 100 + 20 + 75;
    d.HandleEvent(click);
    EXPECT_EQ(d.EndCode(), 1);
    EXPECT_EQ(d.mode, 1u);
}

// Shift tapped just before the game's last frame still counts as down for that frame's reads,
// which may last as long as a dialog the game waits for; the dialog's Tab goes by Shift as it
// is held, going back only while it is.
TEST(DialogKit, TabGoesBackOnlyWhileShiftIsHeld) {
    KeyStateClearAll();
    auto tabFrom0 = [] {
        TestDlg d;
        d.Open();
        d.HandleEvent(Key(VK_TAB));
        return d.Focus();
    };
    KeyStateSet(VK_SHIFT, true);
    KeyStateSet(VK_SHIFT, false);
    KeyStateNextFrame();
    const int tapped = tabFrom0();
    KeyStateSet(VK_SHIFT, true);
    const int held = tabFrom0();
    KeyStateClearAll();
    EXPECT_EQ(std::to_string(tapped) + " " + std::to_string(held), "1 3");
}

// A key struck in a dialog is the dialog's: the game's next frame does not take it for a tap,
// as it does once no dialog is there.
TEST(DialogKit, AKeyStruckInADialogIsNoTapForTheGame) {
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    KeyStateClearAll();
    std::string trace;
    auto strike = [&] {
        PushKeyStroke(SDL_SCANCODE_Z);
        AppPumpEvents(0);
        KeyStateNextFrame();
        trace += GetAsyncKeyState('Z') < 0 ? "down " : "up ";
    };
    {
        TestDlg d;
        ASSERT_TRUE(d.DlgCreate());
        strike();
    }
    strike();
    AppVideoQuit();
    EXPECT_EQ(trace, "up down ");
}

TEST(DialogKit, EditCountsDoubleByteCharactersAndKeepsToItsLimits) {
    TestDlg d;
    d.Open();
    d.HandleEvent(Key(VK_TAB));
    d.HandleEvent(Key(VK_TAB));
    ASSERT_EQ(d.Focus(), 2);
    d.HandleEvent(Typed("あいうえ"));
    EXPECT_EQ(d.Control(3)->strEdit, Utf8ToSjis("あいう")) << "typing replaced the selected old name";
    d.HandleEvent(Key(VK_BACK));
    EXPECT_EQ(d.Control(3)->strEdit, Utf8ToSjis("あい"));
    d.HandleEvent(Typed("😀"));
    EXPECT_EQ(d.Control(3)->strEdit, Utf8ToSjis("あい")) << "text CP932 cannot hold is refused";
    d.HandleEvent(Typed("xy"));
    EXPECT_EQ(d.Control(3)->strEdit, Utf8ToSjis("あいx"));
    d.HandleEvent(Key(VK_RETURN));
    EXPECT_EQ(d.name, Utf8ToSjis("あいx"));
    EXPECT_LE(d.name.size(), 6u);
}

TEST(DialogKit, EscapeIsTheDialogsAndCloseEndsItWithZero) {
    TestDlg d;
    d.Open();
    EXPECT_TRUE(d.HandleEvent(Key(VK_ESCAPE))) << "Escape never reaches the main window";
    EXPECT_EQ(d.EndCode(), 0);
    EXPECT_EQ(d.name, "abc");
    TestDlg c;
    c.Open();
    APPEVENT close;
    close.kind = APPEVENT::Close;
    EXPECT_FALSE(c.HandleEvent(close)) << "the window's close goes on";
    EXPECT_TRUE(c.Ended());
    EXPECT_EQ(c.EndCode(), 0);
}

TEST(DialogKit, DrawsIntoTheFrame) {
    TestDlg d;
    d.Open();
    std::vector<u32> frame(640 * 480, 0xFF000000u);
    d.Draw(frame);
    EXPECT_EQ(frame[(100 + 150) * 640 + 100 + 150], 0xFFD4D0C8u);
    EXPECT_EQ(frame[10 * 640 + 10], 0xFF000000u);
}

// The dialogs' font library is opened when a dialog first writes text: the caption comes out
// in letters over its bar, and an empty caption leaves the bar plain.
TEST(DialogKit, CaptionIsWrittenInTheDialogFont) {
    if (!std::filesystem::exists("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf") && !std::getenv("TOBRELK_UI_FONT"))
        GTEST_SKIP() << "no dialog font installed";
    auto captionPixels = [](const std::string& caption) {
        TestDlg d;
        d.DlgSetText(caption);
        d.Open();
        std::vector<u32> frame(640 * 480, 0xFF000000u);
        d.Draw(frame);
        int lit = 0;
        for (int y = 102; y < 120; ++y)
            for (int x = 106; x < 206; ++x) lit += frame[static_cast<std::size_t>(y) * 640 + x] != 0xFF0A246Au;
        return lit;
    };
    EXPECT_EQ(captionPixels(""), 0);
    EXPECT_GT(captionPixels("起動設定 Setup"), 40);
}

TEST(DialogKit, FolderListsFoldersFirstAndMatchesExtensions) {
    const fs::path dir = fs::temp_directory_path() / ("tobrelk_dlg_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "data" / "stg4" / "old_ver");
    std::ofstream(dir / "data" / "stg4" / "b.STG4_001") << "x";
    std::ofstream(dir / "data" / "stg4" / "a.stg4_002") << "x";
    std::ofstream(dir / "data" / "stg4" / "r.rpl4_824") << "x";
    std::ofstream(dir / "data" / "stg4" / "noext") << "x";
    SetGameRoot(dir);
    const auto list = DlgListFolder("data\\stg4", {"stg4_*"}, true);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].strName, "..");
    EXPECT_EQ(list[1].strName, "old_ver");
    EXPECT_TRUE(list[1].bFolder);
    EXPECT_EQ(list[2].strName, "a.stg4_002");
    EXPECT_EQ(list[3].strName, "b.STG4_001");
    EXPECT_TRUE(DlgMatchPattern("x.rpl4_824", "*.rpl4_824"));
    EXPECT_FALSE(DlgMatchPattern("x.rpl4_823", "*.rpl4_824"));
    SetGameRoot(fs::current_path());
    fs::remove_all(dir);
}

class FrontDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tobrelk_fd_" + std::to_string(::getpid()));
        fs::create_directories(dir / "user_data");
        SetGameRoot(dir);
        SetDialogAnswers({});
    }
    void TearDown() override {
        SetGameRoot(fs::current_path());
        fs::remove_all(dir);
        g_BootData = cBootData{};
    }
    fs::path dir;
};

TEST_F(FrontDialogs, StartWithoutAChoiceKeepsAnUnknownModeAndSavesBootData) {
    g_BootData.nDrawMode = 5;
    g_BootData.bDoNotAsk = 0;
    EXPECT_EQ(RunStartDialog(), 1) << "headless, the default button (Start) answers";
    cBootData back;
    ASSERT_EQ(LoadFromFile(back, "user_data\\Boot.dat"), 1);
    EXPECT_EQ(back.nDrawMode, 5u);
    SetDialogAnswers({"0"});
    fs::remove(dir / "user_data" / "Boot.dat");
    EXPECT_EQ(RunStartDialog(), 0);
    EXPECT_FALSE(fs::exists(dir / "user_data" / "Boot.dat")) << "Cancel writes nothing";
}

TEST_F(FrontDialogs, NameDialogStoresAtMostSixBytes) {
    std::string name = "aaa";
    EXPECT_EQ(RunNameDialog(&name), 1);
    EXPECT_EQ(name, "aaa");
    SetDialogAnswers({"1:あいうえ", "0:zzz"});
    EXPECT_EQ(RunNameDialog(&name), 1);
    EXPECT_EQ(name, Utf8ToSjis("あいう"));
    EXPECT_EQ(RunNameDialog(&name), 0);
    EXPECT_EQ(name, Utf8ToSjis("あいう"));
    EXPECT_EQ(RunNameDialog(nullptr), 1);
}

TEST_F(FrontDialogs, FileDialogHeadlessChoosesNothing) {
    std::string path = "user_data\\rpl4\\x.rpl4_824";
    EXPECT_EQ(RunFileDialog(0, path), 0);
    EXPECT_EQ(RunFileDialog(2, path), 0);
    EXPECT_EQ(RunFileDialog(7, path), 0);
    SetDialogAnswers({"1:data\\stg4\\a.stg4_001"});
    EXPECT_EQ(RunFileDialog(0, path), 1);
    EXPECT_EQ(path, "data\\stg4\\a.stg4_001");
}

// Asks a question of its own when its button is pressed, as the save dialog does before it
// overwrites a file; the player's next key comes after the answer.
class AskingDlg : public DLG_CLASS {
public:
    AskingDlg() {
        DLGCONTROL b;
        b.nKind = DLG_BUTTON;
        b.nId = 10;
        b.bDefault = true;
        b.w = 60;
        b.h = 24;
        Add(b);
    }
    int answer = 0;

protected:
    void OnCommand(u32 id) override {
        if (id != 10) return;
        answer = DlgYesNo("?", "t");
        PushKeyStroke(SDL_SCANCODE_ESCAPE);
    }
};

TEST(DialogKit, DialogThatAskedAQuestionStillGetsTheKeysAfterwards) {
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    DlgSetInteractiveForTests(true);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 12000 && !done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done.load()) {
            std::fprintf(stderr, "the dialog no longer receives its keys after the question\n");
            std::_Exit(1);
        }
    });
    PushKeyStroke(SDL_SCANCODE_RETURN); // the button: the question opens
    PushKeyStroke(SDL_SCANCODE_ESCAPE); // the question: No
    AskingDlg d;
    const int result = d.DlgDoModal();
    done.store(true);
    watchdog.join();
    DlgSetInteractiveForTests(false);
    AppVideoQuit();
    EXPECT_EQ(d.answer, IDNO);
    EXPECT_EQ(result, 0) << "Escape after the answer ends the dialog that asked";
}

TEST(YesNoBox, HeadlessAnswersYes) { EXPECT_EQ(DlgYesNo("?", "t"), 6); }

// The overwrite question of a replay save shows the whole of a long name: the box widens for a
// line that the usual width would cut, and a line wider than the frame goes on over more lines.
// Each question is taken from the frame that the player sees while it waits for the answer.
TEST(YesNoBox, TheOverwriteQuestionShowsALongNameWhole) {
    if (!fs::exists("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf") && !std::getenv("TOBRELK_UI_FONT"))
        GTEST_SKIP() << "no dialog font installed";
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    DlgSetInteractiveForTests(true);
    std::vector<std::vector<u32>> presented;
    SetAppOverlay([&](std::vector<u32>& f) { presented.push_back(f); });
    // The question over a game frame of one colour, answered No with Escape.
    const auto ask = [&](const std::string& name) {
        std::vector<u32> game(640 * 480, 0xFF3A6EA5u);
        AppSubmitFrame(game.data(), 640);
        AppPresent(false);
        presented.clear();
        PushKeyStroke(SDL_SCANCODE_ESCAPE);
        EXPECT_EQ(DlgYesNo(name + " は既に存在します。\n上書きしますか？", "リプレイファイルの保存"), IDNO);
        return presented.empty() ? std::vector<u32>{} : presented.front();
    };
    const std::vector<u32> wide = ask("ボス戦_Demo-3.stg4_001__2024__05_01__15_23.rpl4_824");
    std::string longName;
    for (int i = 0; i < 12; ++i) longName += "ながいなまえ_long_name_";
    const std::vector<u32> wrapped = ask(longName + ".rpl4_824");
    SetAppOverlay(nullptr);
    DlgSetInteractiveForTests(false);
    AppVideoQuit();
    ASSERT_EQ(wide.size(), 640u * 480u);
    ASSERT_EQ(wrapped.size(), 640u * 480u);
    EXPECT_TRUE(MatchesGolden("question_long_name", wide, 640, 480));
    EXPECT_TRUE(MatchesGolden("question_wrapped_name", wrapped, 640, 480));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The kit's scroll bars, edit limits, tooltips, composition, file choice and modeless dialogs.

namespace {

APPEVENT Mouse(APPEVENT::Kind kind, i32 x, i32 y, int button = 1) {
    APPEVENT e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = button;
    return e;
}

// Own bars on the right (v: 0..99, page 10) and the bottom (h: 0..20, page 5); the dialog sits
// at (100, 100), 300 x 200, so its client area starts at y 120.
class ScrollDlg : public DLG_CLASS {
public:
    ScrollDlg() {
        m_nFrameOption = 3;
        m_ownScroll[0] = {0, true, &v, 0, 99, 10, 0};
        m_ownScroll[1] = {0, false, &h, 0, 20, 5, 0};
    }
    i32 v = 0, h = 0;
    int changes = 0;

protected:
    void OnScroll(DLGCONTROL&) override { ++changes; }
};

class CountingClock {
public:
    CountingClock() { SetClock(&clock); }
    ~CountingClock() { SetClock(nullptr); }
    cStepClock clock{1000};
};

} // namespace

TEST(DialogKit, ScrollBarsMoveTheirValuesByKeysAndByMouse) {
    ScrollDlg d;
    d.Open();
    std::string trace;
    auto step = [&](const APPEVENT& e) {
        const bool used = d.HandleEvent(e);
        trace += std::to_string(d.v) + "," + std::to_string(d.h) + (used ? "" : "!") + " ";
    };
    for (u32 vk : {VK_DOWN, VK_NEXT, VK_UP, VK_PRIOR, VK_PRIOR, VK_RIGHT, VK_END, VK_END, VK_END, VK_END, VK_LEFT, VK_HOME})
        step(Key(vk));
    const i32 barX = 100 + 300 - 8, bottom = 120 + 180 - 16 - 1; // the vertical bar stops above the other
    step(Mouse(APPEVENT::MouseDown, barX, bottom - 3));          // down arrow
    step(Mouse(APPEVENT::MouseDown, barX, bottom - 30));         // track below the thumb: a page
    step(Mouse(APPEVENT::MouseDown, barX, 120 + 35));            // the thumb: dragged to the end
    step(Mouse(APPEVENT::MouseMove, barX, 400));
    step(Mouse(APPEVENT::MouseUp, barX, 400));
    step(Mouse(APPEVENT::MouseDown, barX, 120 + 3));              // up arrow
    step(Mouse(APPEVENT::MouseUp, barX, 200, 2));                 // the right button's release is the bar's
    EXPECT_EQ(trace, "1,0 11,0 10,0 0,0 0,0 0,1 0,6 0,11 0,16 0,16 0,15 0,10 "
                     "1,10 11,10 11,10 90,10 90,10 89,10 89,10 ");
    EXPECT_EQ(d.changes, 16);
}

TEST(DialogKit, EditKeepsToCharactersPerLineAndLinesCountingDoubleBytesOnce) {
    std::string bound = "123456\r\nxy\r\nz";
    DLG_CLASS d;
    DLGCONTROL edit;
    edit.nKind = DLG_EDIT;
    edit.nId = 1;
    edit.bMultiLine = true;
    edit.nLimit = 4;
    edit.nLineLimit = 2;
    edit.pText = &bound;
    edit.w = 100;
    edit.h = 40;
    d.Add(edit);
    d.Open();
    EXPECT_EQ(d.Control(1)->strEdit, "1234\r\nxy") << "a bound text is cut to the limits";
    std::string trace;
    auto step = [&](const APPEVENT& e) {
        d.HandleEvent(e);
        trace += SjisToUtf8(d.Control(1)->strEdit) + "|";
    };
    step(Key(VK_BACK));
    step(Key(VK_BACK));
    step(Key(VK_BACK)); // across the line break: "1234" + "" fits
    step(Key(VK_BACK));
    step(Typed("あいう"));
    step(Key(VK_RETURN));
    step(Typed("ab"));
    step(Key(VK_RETURN)); // a third line is refused
    step(Key(VK_HOME));
    step(Key(VK_BACK)); // "123あ" + "ab" would be 6: the caret only goes up
    step(Key(VK_BACK));
    step(Key(VK_DELETE)); // "123" + "ab" would be 5
    step(Key(VK_BACK));
    step(Key(VK_DELETE)); // "12" + "ab" fits
    d.DlgControlsToData();
    EXPECT_EQ(trace, "1234\r\nx|1234\r\n|1234|123|123あ|123あ\r\n|123あ\r\nab|123あ\r\nab|123あ\r\nab|123あ\r\nab|"
                     "123\r\nab|123\r\nab|12\r\nab|12ab|");
    EXPECT_EQ(bound, "12ab");
}

TEST(DialogKit, TooltipShowsAfterTheDelayAndAnEmptyTextHasNone) {
    CountingClock clock;
    TestDlg d;
    d.TooltipCreate(10, "決定します");
    d.TooltipCreate(1, "");
    d.Open();
    std::vector<u32> frame;
    auto tipPixels = [&] {
        frame.assign(640 * 480, 0xFF000000u);
        d.Draw(frame);
        return std::count(frame.begin(), frame.end(), 0xFFFFFFE1u);
    };
    d.HandleEvent(Mouse(APPEVENT::MouseMove, 120, 200)); // over the OK button
    clock.clock.Advance(499);
    EXPECT_EQ(d.TooltipShown(), "");
    EXPECT_EQ(tipPixels(), 0);
    clock.clock.Advance(1);
    EXPECT_EQ(d.TooltipShown(), "決定します");
    EXPECT_GT(tipPixels(), 200);
    d.HandleEvent(Mouse(APPEVENT::MouseMove, 125, 202)); // moving over the same control keeps it
    EXPECT_EQ(d.TooltipShown(), "決定します");
    d.HandleEvent(Mouse(APPEVENT::MouseMove, 115, 132)); // the first radio: an empty tooltip text
    clock.clock.Advance(800);
    EXPECT_EQ(d.TooltipShown(), "");
    EXPECT_EQ(tipPixels(), 0);
}

TEST(DialogKit, CompositionIsDrawnWhileTypingAndEnterIsTheInputMethods) {
    TestDlg d;
    d.Open();
    d.HandleEvent(Key(VK_TAB));
    d.HandleEvent(Key(VK_TAB));
    d.HandleEvent(Key(VK_BACK)); // the old name goes
    auto editInk = [&] {
        std::vector<u32> frame(640 * 480, 0xFF000000u);
        d.Draw(frame);
        int ink = 0;
        for (int y = 162; y < 178; ++y)
            for (int x = 112; x < 188; ++x) ink += frame[static_cast<std::size_t>(y) * 640 + x] == 0xFF000000u;
        return ink;
    };
    const int empty = editInk();
    APPEVENT ed;
    ed.kind = APPEVENT::Editing;
    ed.text = "にほ";
    d.HandleEvent(ed);
    EXPECT_EQ(d.Composition(), "にほ");
    EXPECT_GT(editInk(), empty + 20) << "the composition shows in the edit";
    d.HandleEvent(Key(VK_RETURN));
    EXPECT_FALSE(d.Ended()) << "Enter commits the composition, not the dialog";
    d.HandleEvent(Typed("日本"));
    EXPECT_EQ(d.Composition(), "");
    EXPECT_EQ(d.Control(3)->strEdit, Utf8ToSjis("日本"));
}

namespace {

// A modal run on the dummy window with the events pushed before it, stopped by a watchdog if
// the dialog never ends.
template <typename Fn>
void RunScripted(Fn&& run) {
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 12000 && !done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done.load()) {
            std::fprintf(stderr, "the scripted dialog never ended\n");
            std::_Exit(1);
        }
    });
    run();
    done.store(true);
    watchdog.join();
}

} // namespace

TEST_F(FrontDialogs, MultipleFileChoiceReturnsFullPaths) {
    fs::create_directories(dir / "data" / "stg4");
    for (const char* n : {"a.stg4_1", "b.stg4_2", "c.stg4_3", "notes.txt"}) std::ofstream(dir / "data" / "stg4" / n) << "x";
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    DlgSetInteractiveForTests(true);
    std::vector<std::string> out;
    int count = -1;
    // The list shows "..", a, b, c: mark a and c, then open.
    for (SDL_Scancode sc : {SDL_SCANCODE_DOWN, SDL_SCANCODE_SPACE, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN,
                            SDL_SCANCODE_SPACE, SDL_SCANCODE_RETURN})
        PushKeyStroke(sc);
    RunScripted([&] { count = FileDialogMulti("t", "data\\stg4\\", "StageFile", {"stg4_*"}, out); });
    auto full = [](std::string p) {
        MakeAbsolutePath(p);
        return p;
    };
    EXPECT_EQ(count, 2);
    EXPECT_EQ(out, (std::vector<std::string>{full("data\\stg4\\a.stg4_1"), full("data\\stg4\\c.stg4_3")}));
    EXPECT_NE(out[0], "data\\stg4\\a.stg4_1") << "a full path, as the system's choice gave";
    // One file chosen is one full path.
    for (SDL_Scancode sc : {SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_RETURN}) PushKeyStroke(sc);
    RunScripted([&] { count = FileDialogMulti("t", "data\\stg4", "StageFile", {"stg4_*"}, out); });
    EXPECT_EQ(count, 1);
    EXPECT_EQ(out, std::vector<std::string>{full("data\\stg4\\b.stg4_2")});
    DlgSetInteractiveForTests(false);
    AppVideoQuit();
}

// The file choice starts in the game's folder for the kind and goes anywhere from there: up
// past the game folder and into a folder beside it, where a stage is chosen by its full path.
TEST_F(FrontDialogs, FileChoiceLeavesTheGameFolder) {
    const fs::path game = dir / "game", outside = dir / "outside";
    fs::create_directories(game / "data" / "stg4");
    fs::create_directories(outside);
    std::ofstream(game / "data" / "stg4" / "a.stg4_001") << "x";
    std::ofstream(outside / "x.stg4_001") << "x";
    SetGameRoot(game);
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    DlgSetInteractiveForTests(true);
    // ".." three times (stg4, data, the game folder), then the second folder there, then its file.
    for (SDL_Scancode sc : {SDL_SCANCODE_RETURN, SDL_SCANCODE_RETURN, SDL_SCANCODE_RETURN, SDL_SCANCODE_DOWN,
                            SDL_SCANCODE_DOWN, SDL_SCANCODE_RETURN, SDL_SCANCODE_DOWN, SDL_SCANCODE_RETURN})
        PushKeyStroke(sc);
    std::vector<std::string> out;
    int count = -1;
    RunScripted([&] { count = FileDialogMulti("t", "data\\stg4", "StageFile", {"stg4_*"}, out); });
    DlgSetInteractiveForTests(false);
    AppVideoQuit();
    ASSERT_EQ(count, 1);
    EXPECT_EQ(ResolvePath(out[0]), outside / "x.stg4_001");
}

TEST(DialogKit, ModelessDialogLivesBesideTheGameFrame) {
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    AppWindowShow(false);
    std::vector<APPEVENT> game; // what reaches the game's own hook
    SetAppEventHook([&](const APPEVENT& e) {
        game.push_back(e);
        return false;
    });
    auto frameOf = [](u32 colour) {
        std::vector<u32> f(640 * 480, colour);
        AppSubmitFrame(f.data(), 640);
        AppPresent(false);
        std::vector<u32> shown;
        EXPECT_TRUE(AppPresentedFrame(shown));
        return shown;
    };
    auto at = [](const std::vector<u32>& f, int x, int y) { return f[static_cast<std::size_t>(y) * 640 + x]; };
    TestDlg d;
    ASSERT_TRUE(d.DlgCreate());
    EXPECT_FALSE(d.DlgCreate()) << "already open";
    auto shown = frameOf(0xFF0000FFu);
    EXPECT_EQ(at(shown, 10, 10), 0xFF0000FFu);
    EXPECT_EQ(at(shown, 250, 250), 0xFFD4D0C8u) << "the dialog over the game frame";

    // The active dialog takes the keys and the input method's text; the game keeps running.
    PushKeyStroke(SDL_SCANCODE_TAB);
    PushKeyStroke(SDL_SCANCODE_TAB);
    SDL_Event te{};
    te.type = SDL_TEXTEDITING;
    std::snprintf(te.edit.text, sizeof te.edit.text, "%s", "か");
    SDL_PushEvent(&te);
    AppPumpEvents(0);
    EXPECT_EQ(d.Composition(), "か");
    te.type = SDL_TEXTINPUT;
    std::snprintf(te.text.text, sizeof te.text.text, "%s", "x");
    SDL_PushEvent(&te);
    AppPumpEvents(0);
    EXPECT_EQ(d.Control(3)->strEdit, "x");
    EXPECT_TRUE(game.empty()) << "nothing typed into the dialog reached the game";
    shown = frameOf(0xFF00FF00u);
    EXPECT_EQ(at(shown, 10, 10), 0xFF00FF00u) << "a new game frame, the dialog still on it";
    EXPECT_EQ(at(shown, 250, 250), 0xFFD4D0C8u);

    // A click on the game makes the game active again: its keys no longer go to the dialog.
    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.x = 10;
    click.button.y = 10;
    SDL_PushEvent(&click);
    PushKeyStroke(SDL_SCANCODE_ESCAPE);
    AppPumpEvents(0);
    EXPECT_TRUE(d.IsOpen());
    ASSERT_GE(game.size(), 2u);
    EXPECT_EQ(game[0].kind, APPEVENT::MouseDown);
    EXPECT_EQ(game[1].vk, VK_ESCAPE);

    // Back in the dialog, Escape closes it and the game frame shows alone.
    click.button.x = 250;
    click.button.y = 250;
    SDL_PushEvent(&click);
    PushKeyStroke(SDL_SCANCODE_ESCAPE);
    AppPumpEvents(0);
    EXPECT_FALSE(d.IsOpen());
    EXPECT_EQ(d.EndCode(), 0);
    shown = frameOf(0xFF00FF00u);
    EXPECT_EQ(at(shown, 250, 250), 0xFF00FF00u);
    game.clear();
    PushKeyStroke(SDL_SCANCODE_ESCAPE);
    AppPumpEvents(0);
    EXPECT_EQ(game.size(), 2u) << "the game's own hook is back";
    SetAppEventHook(nullptr);
    AppVideoQuit();
}

// ---------------------------------------------------------------------------------------------
// The file choices where names are odd: a game folder whose path CP932 cannot hold, folders
// starting with '.', paths typed into the name box, and the keys that follow the overwrite
// question. The window thread's requests are served here as the main window serves them.

namespace {

// Pushes a typed text as the input method hands it over (at most 31 bytes an event).
void PushText(const std::string& utf8) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t n = std::min<std::size_t>(31, utf8.size() - i);
        while (n > 1 && i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) --n;
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8.substr(i, n).c_str());
        SDL_PushEvent(&e);
        i += n;
    }
}

class OddNames : public ::testing::Test {
protected:
    void SetUp() override {
        base = fs::temp_directory_path() / ("tobrelk_odd_" + std::to_string(::getpid()));
        fs::remove_all(base);
        game = base / "josé" / "game";
        std::string error;
        ASSERT_TRUE(CopyDemoGame(game, error)) << error;
        SetGameRoot(game);
        SetReportFile((base / "Report_Game.txt").string());
        ASSERT_EQ(LoadGameData(nullptr), 1);
        g_Services = APPSERVICES{};
        SetDialogAnswers({});
        ResetCloseRequestCount();
        g_bQuit.store(0);
        g_bQuitting.store(0);
        WindowQueueOpen(MainWndProc);
        g_hWnd = MainWindowHandle();
        ASSERT_TRUE(AppVideoInit());
        ASSERT_TRUE(AppWindowCreate(640, 480));
        DlgSetInteractiveForTests(true);
    }
    void TearDown() override {
        DlgSetInteractiveForTests(false);
        AppVideoQuit();
        WindowQueueShutdown();
        g_hWnd = nullptr;
        g_Services = APPSERVICES{};
        g_Database.SetDefault();
        g_SystemData.SetDefault();
        g_WorldMap.SetDefault();
        g_CommonPalette = cCommonPalette();
        SetGameRoot(fs::current_path());
        fs::remove_all(base);
    }
    // The request as the game thread sends it, with the keys pushed first.
    int Request(u32 message, std::initializer_list<SDL_Scancode> keys) {
        for (SDL_Scancode sc : keys) PushKeyStroke(sc);
        RunScripted([&] { MainWndProc(g_hWnd, message, 0, 0); });
        EXPECT_EQ(g_bDlgDone.load(), 1u);
        return g_nDlgResult.load();
    }
    fs::path base, game;
};

} // namespace

// The game lives under a folder "josé": the stage chosen from the list loads, and its path is
// kept relative to the game folder as a stage path of the data is.
TEST_F(OddNames, StageChosenUnderAFolderShiftJisCannotHoldLoads) {
    std::vector<std::string> started;
    g_Services.loadStage = [](const std::string& path, int flag) {
        return LoadStageForPlay(path.c_str(), static_cast<u32>(flag), &g_StageAtStart);
    };
    g_Services.stageStarted = [&](const std::string& path) { started.push_back(path); };
    // "..", [old_ver], c01-1, c02-1, c03-1, Demo-1: the sixth row.
    EXPECT_EQ(Request(WM_GAME_STAGEDLG, {SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN, SDL_SCANCODE_DOWN,
                                         SDL_SCANCODE_DOWN, SDL_SCANCODE_RETURN}),
              1);
    EXPECT_EQ(started, std::vector<std::string>{"data\\stg4\\Demo-1.stg4_001"});
    EXPECT_EQ(CloseRequestCount(), 0u);
}

// The replay save proposes the game's replay folder, which exists under "josé"; the saved path
// names a file there.
TEST_F(OddNames, ReplaySaveProposesAFolderThatExists) {
    std::vector<std::string> saved;
    g_Services.replayFileName = [] {
        std::string out;
        MakeReplayFileName(out, "data\\stg4\\Demo-1.stg4_001");
        return out;
    };
    g_Services.saveReplay = [&](int, const std::string& path) {
        saved.push_back(path);
        return 1;
    };
    EXPECT_EQ(Request(WM_GAME_REPLAYSAVE, {SDL_SCANCODE_RETURN}), 1);
    ASSERT_EQ(saved.size(), 1u);
    const fs::path file = ResolvePath(saved[0]);
    EXPECT_EQ(file.parent_path(), game / "user_data" / "rpl4");
    EXPECT_EQ(file.filename().string().rfind("Demo-1", 0), 0u) << file;
}

// Return asks whether to overwrite; Escape answers No and a second Escape at once cancels the
// save dialog: it does not reach the main window, whose Escape would close the game. A third
// one comes after the dialog and is nobody's until the main window takes its events again.
TEST_F(OddNames, KeysAfterTheOverwriteQuestionBelongToTheSaveDialog) {
    fs::create_directories(game / "user_data" / "rpl4");
    std::ofstream(game / "user_data" / "rpl4" / "x.rpl4_824") << "old";
    int saves = 0;
    g_Services.replayFileName = [] { return std::string("user_data\\rpl4\\x.rpl4_824"); };
    g_Services.saveReplay = [&](int, const std::string&) { return ++saves; };
    EXPECT_EQ(Request(WM_GAME_REPLAYSAVE, {SDL_SCANCODE_RETURN, SDL_SCANCODE_ESCAPE, SDL_SCANCODE_ESCAPE,
                                           SDL_SCANCODE_ESCAPE}),
              0);
    EXPECT_EQ(saves, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, 0)) << "message " << msg.message << " reached the main window";
    EXPECT_EQ(CloseRequestCount(), 0u);
    // The third Escape waits for the main window's next look at the events.
    AppPumpEvents(0);
    ASSERT_TRUE(PeekMessage(&msg, 0));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, VK_ESCAPE);
}

// A path typed into the name box is taken as typed: an absolute one anywhere, a relative one
// from the folder shown; a folder typed is opened. Names CP932 cannot hold are typed as well.
TEST_F(OddNames, TypedPathsAreTakenAsTyped) {
    const fs::path outside = base / "dé";
    fs::create_directories(outside / "sub");
    std::ofstream(outside / "x.stg4_001") << "x";
    std::ofstream(outside / "sub" / "y.stg4_001") << "y";
    fs::create_directories(game / "user_data" / "rpl4" / "keep");
    std::vector<std::string> out;
    int count = -1;
    // Open: the list has the focus; Tab to the name box.
    PushKeyStroke(SDL_SCANCODE_TAB);
    PushText((outside / "x.stg4_001").string());
    PushKeyStroke(SDL_SCANCODE_RETURN);
    RunScripted([&] { count = FileDialogMulti("t", "data\\stg4", "StageFile", {"stg4_*"}, out); });
    ASSERT_EQ(count, 1);
    EXPECT_EQ(ResolvePath(out[0]), outside / "x.stg4_001");
    // Relative: up out of the game to the folder beside "josé", then a file below it.
    PushKeyStroke(SDL_SCANCODE_TAB);
    PushText("../../../../dé");
    PushKeyStroke(SDL_SCANCODE_RETURN);
    PushText("sub/y.stg4_001");
    PushKeyStroke(SDL_SCANCODE_RETURN);
    RunScripted([&] { count = FileDialogMulti("t", "data\\stg4", "StageFile", {"stg4_*"}, out); });
    ASSERT_EQ(count, 1);
    EXPECT_EQ(ResolvePath(out[0]), outside / "sub" / "y.stg4_001");
    // A name that does not exist is no choice: the dialog stays until Escape.
    PushKeyStroke(SDL_SCANCODE_TAB);
    PushText("none.stg4_001");
    PushKeyStroke(SDL_SCANCODE_RETURN);
    PushKeyStroke(SDL_SCANCODE_ESCAPE);
    RunScripted([&] { count = FileDialogMulti("t", "data\\stg4", "StageFile", {"stg4_*"}, out); });
    EXPECT_EQ(count, 0);
    // Save: relative to the folder shown, and absolute; the extension is added to a bare name.
    std::string path = "user_data\\rpl4\\";
    PushText("keep/a");
    PushKeyStroke(SDL_SCANCODE_RETURN);
    int saved = -1;
    RunScripted([&] { saved = FileDialog("t", path, "Replay", "*.rpl4_824", "rpl4_824"); });
    ASSERT_EQ(saved, 1);
    EXPECT_EQ(ResolvePath(path), game / "user_data" / "rpl4" / "keep" / "a.rpl4_824");
    path = "user_data\\rpl4\\";
    PushText((outside / "sub" / "b").string());
    PushKeyStroke(SDL_SCANCODE_RETURN);
    RunScripted([&] { saved = FileDialog("t", path, "Replay", "*.rpl4_824", "rpl4_824"); });
    ASSERT_EQ(saved, 1);
    EXPECT_EQ(ResolvePath(path), outside / "sub" / "b.rpl4_824");
    // However long: names of 255 bytes in a folder far deeper than 260 bytes, to open and to save.
    const fs::path deep = outside / std::string(255, 'd') / std::string(255, 'e');
    fs::create_directories(deep);
    const std::string longName = std::string(246, 'l') + ".stg4_001";
    std::ofstream(deep / longName) << "l";
    PushKeyStroke(SDL_SCANCODE_TAB);
    PushText((deep / longName).string());
    PushKeyStroke(SDL_SCANCODE_RETURN);
    RunScripted([&] { count = FileDialogMulti("t", "data\\stg4", "StageFile", {"stg4_*"}, out); });
    ASSERT_EQ(count, 1);
    EXPECT_EQ(ResolvePath(out[0]), deep / longName);
    path = "user_data\\rpl4\\";
    PushText((deep / std::string(246, 'r')).string());
    PushKeyStroke(SDL_SCANCODE_RETURN);
    RunScripted([&] { saved = FileDialog("t", path, "Replay", "*.rpl4_824", "rpl4_824"); });
    ASSERT_EQ(saved, 1);
    EXPECT_EQ(ResolvePath(path), deep / (std::string(246, 'r') + ".rpl4_824"));
}

// Every name is listed, those starting with '.' and those CP932 cannot hold included, and each
// listed name makes a path that opens its own file.
TEST_F(FrontDialogs, FolderListsEveryNameAndEachOpens) {
    const fs::path stg = dir / "data" / "stg4";
    const std::vector<std::string> folders = {".cache", "josé", "〜wave"};
    const std::vector<std::string> files = {".x.stg4_001", "ā.stg4_001", "a\\b.stg4_001", "\xFF\xFE.stg4_001",
                                            "表示.stg4_001", "z.stg4_001"};
    for (const auto& f : folders) fs::create_directories(stg / f);
    for (const auto& f : files) std::ofstream(stg / f) << f;
    std::ofstream(stg / ".hidden.txt") << "x";
    const auto list = DlgListFolder("data\\stg4", {"stg4_*"}, true);
    std::string shown;
    for (const auto& e : list) shown += (e.bFolder ? "[" + e.strName + "]" : e.strName) + "|";
    EXPECT_EQ(shown, "[..]|[.cache]|[josé]|[〜wave]|.x.stg4_001|a\\b.stg4_001|z.stg4_001|ā.stg4_001|表示.stg4_001|"
                     "\xEF\xBF\xBD\xEF\xBF\xBD.stg4_001|");
    for (const auto& e : list) {
        if (e.strSjis == "..") continue;
        const fs::path p = ResolvePath("data\\stg4\\" + e.strSjis);
        EXPECT_TRUE(e.bFolder ? fs::is_directory(p) : fs::is_regular_file(p)) << e.strName;
        if (!e.bFolder) {
            std::ifstream in(p);
            std::string content;
            std::getline(in, content);
            EXPECT_EQ(GameNameOf(content), e.strSjis) << "the file of its own name: " << e.strName;
        }
    }
}

// With the trace on, the dialog writes each message it handles to the debug log: the opening,
// the keys with their releases, a typed letter and the edit's update, a click and the command
// it makes, the end. Off, the same run writes nothing.
TEST(DialogKit, TraceWritesEveryMessageToTheDebugLog) {
    const fs::path log = fs::temp_directory_path() / ("tobrelk_trace_" + std::to_string(::getpid()) + ".txt");
    auto run = [&](bool trace) {
        fs::remove(log);
        SetDebugLog(true, log.string());
        ASSERT_TRUE(AppVideoInit());
        ASSERT_TRUE(AppWindowCreate(640, 480));
        DlgSetInteractiveForTests(true);
        PushKeyStroke(SDL_SCANCODE_DOWN); // the second radio
        PushKeyStroke(SDL_SCANCODE_TAB); // the edit
        PushText("x");
        SDL_Event click{};
        click.type = SDL_MOUSEBUTTONDOWN;
        click.button.button = SDL_BUTTON_LEFT;
        click.button.x = 120; // OK, at (10, 70) of the client area
        click.button.y = 195;
        SDL_PushEvent(&click);
        TestDlg d;
        d.DlgSetTrace(trace, "TestDlg");
        int result = -1;
        RunScripted([&] { result = d.DlgDoModal(); });
        DlgSetInteractiveForTests(false);
        AppVideoQuit();
        SetDebugLog(false, "");
        EXPECT_EQ(result, 1);
        EXPECT_EQ(d.name, "x");
    };
    auto lines = [&] {
        std::ifstream in(log);
        std::string all, line;
        while (std::getline(in, line)) all += line.substr(0, line.find('\r')) + "\n";
        return all;
    };
    run(true);
    EXPECT_EQ(lines(), "TestDlg | msg:WM_INITDIALOG | wp:0(0,0) | lp:0(0,0)\n"
                       "TestDlg | msg:WM_KEYDOWN | wp:40(0,40) | lp:1(0,1)\n"
                       "TestDlg | msg:WM_COMMAND | wp:2(0,2) | lp:0(0,0)\n"
                       "TestDlg | msg:WM_KEYUP | wp:40(0,40) | lp:-1073741823(49152,1)\n"
                       "TestDlg | msg:WM_KEYDOWN | wp:9(0,9) | lp:1(0,1)\n"
                       "TestDlg | msg:WM_KEYUP | wp:9(0,9) | lp:-1073741823(49152,1)\n"
                       "TestDlg | msg:WM_CHAR | wp:120(0,120) | lp:1(0,1)\n"
                       "TestDlg | msg:WM_COMMAND | wp:67108867(1024,3) | lp:0(0,0)\n"
                       "TestDlg | msg:WM_LBUTTONDOWN | wp:1(0,1) | lp:4915220(75,20)\n"
                       "TestDlg | msg:WM_COMMAND | wp:10(0,10) | lp:0(0,0)\n"
                       "TestDlg | msg:WM_DESTROY | wp:0(0,0) | lp:0(0,0)\n");
    run(false);
    EXPECT_EQ(lines(), "");
}
