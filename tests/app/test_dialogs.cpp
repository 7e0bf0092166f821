// The dialog framework (operated by events, as the modal loop does) and the front end's dialogs.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/Dialogs.h"
#include "app/SystemIni.h"
#include "platform/system/Input.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Dialog.h"
#include "records/DataFile.h"

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

void PushKey(SDL_Scancode sc) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = sc;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
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
        PushKey(SDL_SCANCODE_ESCAPE);
    }
};

TEST(DialogKit, DialogThatAskedAQuestionStillGetsTheKeysAfterwards) {
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    DlgSetInteractiveForTests(true);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 500 && !done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done.load()) {
            std::fprintf(stderr, "the dialog no longer receives its keys after the question\n");
            std::_Exit(1);
        }
    });
    PushKey(SDL_SCANCODE_RETURN); // the button: the question opens
    PushKey(SDL_SCANCODE_ESCAPE); // the question: No
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

} // namespace
