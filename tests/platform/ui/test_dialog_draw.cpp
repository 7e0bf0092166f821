// The dialog kit's look, as the player sees it: a modeless dialog holding a control of every kind,
// drawn over the game frame by the window as it opens and again after the keys, the pointer and
// the input method have operated it; an edit's caret; the note of a file choice.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

#include "platform/system/AppWindow.h"
#include "platform/system/Clock.h"
#include "platform/system/Input.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Dialog.h"
#include "tests/platform/graphics/GfxTestUtil.h"
#include "tests/support/SdlKeys.h"

namespace {

// At (60, 40), 520 x 400 with its own bars: its client area starts at (60, 60).
class EveryControlDlg : public DLG_CLASS {
public:
    EveryControlDlg() {
        m_nX = 60;
        m_nY = 40;
        m_nW = 520;
        m_nH = 400;
        m_nFrameOption = 3;
        m_ownScroll[0] = {0, true, &down, 0, 49, 10, 0};
        m_ownScroll[1] = {0, false, &across, 0, 9, 3, 0};
        m_strTitle = "すべての部品 Every control";
        Add(DlgMakeControl(DLG_STATIC, 1, 12, 8, 220, 16, "名前とモード Name and mode"));
        Add(DlgMakeControl(DLG_GROUP, 2, 12, 30, 220, 82, "モード"));
        DLGCONTROL easy = DlgMakeControl(DLG_RADIO, 3, 24, 48, 100, 16, "易しい");
        easy.pField = &mode;
        easy.nValue = 0;
        Add(easy);
        DLGCONTROL hard = DlgMakeControl(DLG_RADIO, 4, 24, 68, 100, 16, "難しい");
        hard.pField = &mode;
        hard.nValue = 1;
        Add(hard);
        DLGCONTROL sound = DlgMakeControl(DLG_CHECK, 5, 24, 88, 180, 16, "音を鳴らす");
        sound.pField = &sounds;
        Add(sound);
        DLGCONTROL edit = DlgMakeControl(DLG_EDIT, 6, 250, 30, 180, 22);
        edit.pText = &name;
        edit.nByteLimit = 16;
        Add(edit);
        DLGCONTROL memo = DlgMakeControl(DLG_EDIT, 7, 250, 60, 180, 40);
        memo.pText = &note;
        memo.bMultiLine = true;
        Add(memo);
        DLGCONTROL list = DlgMakeControl(DLG_LIST, 8, 12, 124, 220, 92);
        list.vItem = {"..", "stage1.stg4_1", "ステージ2.stg4_2", "c.stg4_3", "d", "e", "f"};
        list.bMultiSel = true;
        Add(list);
        Add(DlgMakeControl(DLG_SCROLL, 9, 250, 124, 16, 92));
        Add(DlgMakeControl(DLG_SCROLL, 10, 280, 200, 150, 16));
        DLGCONTROL ok = DlgMakeControl(DLG_BUTTON, 11, 300, 300, 90, 26, "決定");
        ok.bDefault = true;
        Add(ok);
        Add(DlgMakeControl(DLG_BUTTON, 12, 400, 300, 90, 26, "キャンセル"));
        TooltipCreate(11, "決定します");
        ScrollAttach({9, true, &speed, 0, 100, 20, 0});
        ScrollAttach({10, false, &volume, 0, 10, 2, 0});
    }
    u32 mode = 0, sounds = 1;
    std::string name = Utf8ToSjis("ボス戦"), note = Utf8ToSjis("1行目\r\nline 2");
    i32 down = 5, across = 2, speed = 40, volume = 0;
};

void PushPointer(Uint32 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = x;
        e.motion.y = y;
    } else {
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = x;
        e.button.y = y;
    }
    SDL_PushEvent(&e);
}

void PushClick(int x, int y) {
    PushPointer(SDL_MOUSEBUTTONDOWN, x, y);
    PushPointer(SDL_MOUSEBUTTONUP, x, y);
}

void PushTyping(Uint32 type, const char* utf8) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_TEXTEDITING) std::snprintf(e.edit.text, sizeof e.edit.text, "%s", utf8);
    else std::snprintf(e.text.text, sizeof e.text.text, "%s", utf8);
    SDL_PushEvent(&e);
}

// The clock the tooltip's delay is read from, stepped by the test.
struct SteppedClock {
    SteppedClock() { SetClock(&clock); }
    ~SteppedClock() { SetClock(nullptr); }
    cStepClock clock{1000};
};

// The frame the window shows over a game frame of one colour.
std::vector<u32> Shown() {
    std::vector<u32> game(640 * 480, 0xFF3A6EA5u);
    AppSubmitFrame(game.data(), 640);
    AppPresent(false);
    std::vector<u32> shown;
    EXPECT_TRUE(AppPresentedFrame(shown));
    return shown;
}

} // namespace

TEST(DialogDraw, EveryKindOfControlBesideTheGameAsItOpensAndOperated) {
    if (!std::filesystem::exists("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf") && !std::getenv("TOBRELK_UI_FONT"))
        GTEST_SKIP() << "no dialog font installed";
    SteppedClock stepped;
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    AppWindowShow(false);
    EveryControlDlg d;
    ASSERT_TRUE(d.DlgCreate());
    const std::vector<u32> opened = Shown();

    // Down picks the hard mode (and moves the own vertical bar), Tab and Space clear the check.
    PushKeyStroke(SDL_SCANCODE_DOWN);
    PushKeyStroke(SDL_SCANCODE_TAB);
    PushKeyStroke(SDL_SCANCODE_SPACE);
    // The list: its third row clicked and marked, the next one too, then the wheel scrolls it.
    PushClick(60 + 12 + 20, 60 + 124 + 1 + 2 * 18 + 5);
    PushKeyStroke(SDL_SCANCODE_SPACE);
    PushKeyStroke(SDL_SCANCODE_DOWN);
    PushKeyStroke(SDL_SCANCODE_SPACE);
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -1;
    SDL_PushEvent(&wheel);
    // The standalone bars: the vertical one's down arrow and track, the horizontal one's thumb
    // dragged to the right.
    PushClick(60 + 250 + 8, 60 + 124 + 92 - 4);
    PushClick(60 + 250 + 8, 60 + 124 + 70);
    PushPointer(SDL_MOUSEBUTTONDOWN, 60 + 280 + 16 + 4, 60 + 200 + 8);
    PushPointer(SDL_MOUSEMOTION, 60 + 280 + 80, 60 + 200 + 8);
    PushPointer(SDL_MOUSEBUTTONUP, 60 + 280 + 80, 60 + 200 + 8);
    // The name: a letter typed at its end, then a word the input method is composing.
    PushClick(60 + 250 + 20, 60 + 30 + 10);
    PushTyping(SDL_TEXTINPUT, "2");
    PushTyping(SDL_TEXTEDITING, "にほ");
    // The pointer rests on the default button until its tooltip shows.
    PushPointer(SDL_MOUSEMOTION, 60 + 300 + 30, 60 + 300 + 10);
    AppPumpEvents(0);
    stepped.clock.Advance(600);
    EXPECT_EQ(d.TooltipShown(), "決定します");
    const std::vector<u32> operated = Shown();

    // The composition committed, the fields take the controls' data; Escape closes the dialog.
    PushTyping(SDL_TEXTINPUT, "日本");
    AppPumpEvents(0);
    d.DlgControlsToData();
    PushKeyStroke(SDL_SCANCODE_ESCAPE);
    AppPumpEvents(0);
    EXPECT_FALSE(d.IsOpen());
    AppVideoQuit();

    EXPECT_EQ(d.mode, 1u);
    EXPECT_EQ(d.sounds, 0u);
    EXPECT_EQ(SjisToUtf8(d.name), "ボス戦2日本");
    EXPECT_EQ(d.Control(8)->nSel, 3);
    EXPECT_EQ(d.Control(8)->vMarked, (std::vector<u8>{0, 0, 1, 1, 0, 0, 0}));
    EXPECT_EQ(d.Control(8)->nTop, 2);
    EXPECT_EQ(std::vector<i32>({d.down, d.across, d.speed, d.volume}), (std::vector<i32>{7, 2, 61, 6}));
    ASSERT_EQ(opened.size(), 640u * 480u);
    ASSERT_EQ(operated.size(), 640u * 480u);
    EXPECT_TRUE(MatchesGolden("dialog_every_control_opened", opened, 640, 480));
    EXPECT_TRUE(MatchesGolden("dialog_every_control_operated", operated, 640, 480));
}

namespace {

// The name box of a file choice: 456 pixels wide at (92, 340) of the frame.
class NameBoxDlg : public DLG_CLASS {
public:
    NameBoxDlg() {
        m_nX = 80;
        m_nY = 50;
        m_nW = 480;
        m_nH = 380;
        DLGCONTROL edit = DlgMakeControl(DLG_EDIT, 1, 12, 270, 456, 22);
        edit.bPathText = true;
        Add(edit);
    }
};

} // namespace

// However long the text, the caret is drawn inside its field, typed at the end, moved left, home
// and back, with text taken away and with the input method composing; nothing of the text is
// drawn outside the field. Each row: the caret's x in the field (its text room is 3 to 452; at
// the line's start the caret stands at 2, before the text) and how far the text is scrolled.
TEST(DialogDraw, AnEditsCaretStaysInItsFieldHoweverLongItsText) {
    if (!std::filesystem::exists("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf") && !std::getenv("TOBRELK_UI_FONT"))
        GTEST_SKIP() << "no dialog font installed";
    constexpr int fx = 92, fy = 340, fw = 456, fh = 22;
    NameBoxDlg d;
    d.Open();
    std::vector<u32> frame(640 * 480, 0xFF3A6EA5u);
    d.Draw(frame);
    const std::vector<u32> empty = frame;
    std::string table;
    int faults = 0;
    // The caret is the one column of ink as tall as the field less 6 pixels.
    auto look = [&](const std::string& what, bool row) {
        frame.assign(640 * 480, 0xFF3A6EA5u);
        d.Draw(frame);
        std::vector<int> carets;
        for (int x = 0; x < 640; ++x) {
            bool ink = true;
            for (int y = fy + 3; y < fy + fh - 3 && ink; ++y) ink = frame[static_cast<std::size_t>(y) * 640 + x] == 0xFF000000u;
            if (ink) carets.push_back(x - fx);
        }
        bool outside = false;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if ((x < fx || x >= fx + fw || y < fy || y >= fy + fh) && frame[static_cast<std::size_t>(y) * 640 + x] != empty[static_cast<std::size_t>(y) * 640 + x])
                    outside = true;
        const bool inside = carets.size() == 1 && carets[0] >= 2 && carets[0] < fw - 3 && !outside;
        if (!inside) ++faults;
        if (!row && inside) return;
        table += what + " | caret";
        for (int x : carets) table += " " + std::to_string(x);
        table += " | scroll " + std::to_string(d.Control(1)->nScrollX) + (outside ? " | DRAWN OUTSIDE" : "") + "\n";
    };
    auto act = [&](APPEVENT::Kind kind, u32 vk, const std::string& text, int times, const std::string& what) {
        APPEVENT e;
        e.kind = kind;
        e.vk = vk;
        e.text = text;
        for (int i = 1; i <= times; ++i) {
            d.HandleEvent(e);
            look(what + " " + std::to_string(i), i == times);
        }
    };
    for (const std::string ch : {"ゲ", "r"}) {
        d.Control(1)->strEdit.clear();
        d.Control(1)->nCaret = 0;
        act(APPEVENT::Text, 0, ch, 40, ch + " typed");
        act(APPEVENT::Text, 0, ch, 60, ch + " typed on");
        act(APPEVENT::KeyDown, VK_LEFT, "", 40, "left");
        act(APPEVENT::KeyDown, VK_HOME, "", 1, "home");
        act(APPEVENT::KeyDown, VK_RIGHT, "", 45, "right");
        act(APPEVENT::KeyDown, VK_END, "", 1, "end");
        act(APPEVENT::Editing, 0, "にほんご", 1, "composing at the end");
        act(APPEVENT::Editing, 0, "", 1, "composition gone");
        act(APPEVENT::KeyDown, VK_BACK, "", 80, "back");
    }
    EXPECT_EQ(faults, 0) << table;
    EXPECT_EQ(table, "ゲ typed 40 | caret 452 | scroll 71\n"
                     "ゲ typed on 60 | caret 452 | scroll 851\n"
                     "left 40 | caret 50 | scroll 733\n"
                     "home 1 | caret 2 | scroll 0\n"
                     "right 45 | caret 452 | scroll 136\n"
                     "end 1 | caret 452 | scroll 851\n"
                     "composing at the end 1 | caret 452 | scroll 903\n"
                     "composition gone 1 | caret 452 | scroll 851\n"
                     "back 80 | caret 263 | scroll 0\n"
                     "r typed 40 | caret 283 | scroll 0\n"
                     "r typed on 60 | caret 452 | scroll 251\n"
                     "left 40 | caret 172 | scroll 251\n"
                     "home 1 | caret 2 | scroll 0\n"
                     "right 45 | caret 318 | scroll 0\n"
                     "end 1 | caret 452 | scroll 251\n"
                     "composing at the end 1 | caret 452 | scroll 303\n"
                     "composition gone 1 | caret 452 | scroll 251\n"
                     "back 80 | caret 143 | scroll 0\n");
}

namespace {

// A box of one line and a box of two, with a button to take the focus away from both.
class LineStartDlg : public DLG_CLASS {
public:
    LineStartDlg() {
        m_nX = 80;
        m_nY = 50;
        m_nW = 300;
        m_nH = 160;
        Add(DlgMakeControl(DLG_EDIT, 1, 12, 20, 200, 22));
        DLGCONTROL memo = DlgMakeControl(DLG_EDIT, 2, 12, 60, 200, 40);
        memo.bMultiLine = true;
        Add(memo);
        Add(DlgMakeControl(DLG_BUTTON, 3, 12, 110, 80, 24, "OK"));
    }
    void Focus(int index) { FocusOn(index); }
};

} // namespace

// At the start of a line the caret stands before the line's first character, never on it: its
// column is none of the character's ink, whose glyph ('d', 'W' and '/' are inked from their
// first column on) is drawn whole. Each row: where the caret went, the caret's column in the
// field (from the field's left edge) and how many of the text's inked pixels it covers, taken
// from the frame with the focus on the button (no caret).
TEST(DialogDraw, AtALinesStartTheCaretLeavesTheFirstCharacterWhole) {
    if (!std::filesystem::exists("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf") && !std::getenv("TOBRELK_UI_FONT"))
        GTEST_SKIP() << "no dialog font installed";
    LineStartDlg d;
    d.Open();
    const auto send = [&](APPEVENT::Kind kind, u32 vk, const std::string& text) {
        APPEVENT e;
        e.kind = kind;
        e.vk = vk;
        e.text = text;
        d.HandleEvent(e);
    };
    d.Focus(0);
    send(APPEVENT::Text, 0, "dW/a");
    d.Focus(1);
    send(APPEVENT::Text, 0, "Wa");
    send(APPEVENT::KeyDown, VK_RETURN, "");
    send(APPEVENT::Text, 0, "/dW");
    const auto frame = [&] {
        std::vector<u32> f(640 * 480, 0xFF3A6EA5u);
        d.Draw(f);
        return f;
    };
    d.Focus(2);
    const std::vector<u32> still = frame();
    std::string trace;
    // The field of the focused box: the pixels that differ from the frame without a caret.
    const auto caret = [&](const std::string& what, int fx, int fy, int fw, int fh) {
        const std::vector<u32> shown = frame();
        std::set<int> columns;
        int covered = 0;
        for (int y = fy; y < fy + fh; ++y)
            for (int x = fx; x < fx + fw; ++x) {
                const std::size_t at = static_cast<std::size_t>(y) * 640 + x;
                if (shown[at] == still[at]) continue;
                columns.insert(x - fx);
                covered += still[at] != 0xFFFFFFFFu;
            }
        trace += what + ": column";
        for (int x : columns) trace += " " + std::to_string(x);
        trace += ", " + std::to_string(covered) + " inked pixels covered\n";
    };
    d.Focus(0);
    send(APPEVENT::KeyDown, VK_HOME, "");
    caret("one line, home", 80 + 12, 50 + 20 + 20, 200, 22);
    d.Focus(1);
    send(APPEVENT::KeyDown, VK_HOME, "");
    caret("second line, home", 80 + 12, 50 + 20 + 60, 200, 40);
    send(APPEVENT::KeyDown, VK_UP, "");
    caret("first line, up", 80 + 12, 50 + 20 + 60, 200, 40);
    EXPECT_EQ(trace, "one line, home: column 2, 0 inked pixels covered\n"
                     "second line, home: column 2, 0 inked pixels covered\n"
                     "first line, up: column 2, 0 inked pixels covered\n");
}

namespace {

// A typed text as the input method hands it over (at most 31 bytes an event).
void PushText(const std::string& utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t n = std::min<std::size_t>(31, utf8.size() - i);
        while (n > 1 && i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) --n;
        PushTyping(SDL_TEXTINPUT, utf8.substr(i, n).c_str());
        i += n;
    }
}

} // namespace

// A name that the system refuses, typed into a file choice, is told with the system's cause, and
// the note under the name box goes on over as many lines as it needs: a name longer than the
// system takes (to open, and to save under), and a name below a file as if it were a folder.
// Golden: each choice from its list down, as the player sees it once the name is refused, one
// under the other.
TEST(DialogDraw, AFileChoiceTellsWhyTheSystemRefusesANameInAWrappedNote) {
    if (!std::filesystem::exists("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf") && !std::getenv("TOBRELK_UI_FONT"))
        GTEST_SKIP() << "no dialog font installed";
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("tobrelk_refused_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "stages");
    std::ofstream(dir / "stages" / "a.stg4_001") << "a";
    std::ofstream(dir / "stages" / "flat") << "not a folder";
    SetGameRoot(dir);
    ASSERT_TRUE(AppVideoInit());
    ASSERT_TRUE(AppWindowCreate(640, 480));
    DlgSetInteractiveForTests(true);
    // The choices open over a game frame of one colour.
    std::vector<u32> game(640 * 480, 0xFF3A6EA5u);
    AppSubmitFrame(game.data(), 640);
    AppPresent(false);
    // The frame shown once every key pushed before a choice has been handled is kept, and Escape
    // then ends the choice.
    std::vector<u32> kept;
    bool escaped = false;
    SetAppOverlay([&](std::vector<u32>& f) {
        if (escaped || SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_TEXTINPUT) > 0) return;
        kept = f;
        escaped = true;
        PushKeyStroke(SDL_SCANCODE_ESCAPE);
    });
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 6000 && !done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done.load()) {
            std::fprintf(stderr, "a file choice never ended\n");
            std::_Exit(1);
        }
    });
    std::vector<u32> lower;
    const auto refused = [&](const std::string& typed, bool save) {
        kept.clear();
        escaped = false;
        if (!save) PushKeyStroke(SDL_SCANCODE_TAB); // from the list to the name box
        PushText(typed);
        PushKeyStroke(SDL_SCANCODE_RETURN);
        std::vector<std::string> out;
        std::string path = "stages\\";
        const int chosen = save ? FileDialog("t", path, "Replay", "*.rpl4_824", "rpl4_824")
                                : FileDialogMulti("t", "stages", "StageFile", {"stg4_*"}, out);
        EXPECT_EQ(chosen, 0) << typed;
        ASSERT_EQ(kept.size(), 640u * 480u) << typed;
        // From the first row below the dialog's folder line (the caption's top found first: a
        // longer note moves the dialog up) to the frame's bottom.
        int top = 0;
        while (top < 480 && kept[static_cast<std::size_t>(top) * 640 + 82] != 0xFF0A246Au) ++top;
        for (int y = top - 2 + 20 + 28; y < 480; ++y)
            lower.insert(lower.end(), kept.begin() + y * 640 + 80, kept.begin() + y * 640 + 560);
    };
    const std::string overlong = "ステージ_" + std::string(280, 'n') + ".stg4_001";
    refused(overlong, false);
    refused(std::string(300, 'r'), true);
    refused("flat/a.stg4_001", false);
    done.store(true);
    watchdog.join();
    SetAppOverlay(nullptr);
    DlgSetInteractiveForTests(false);
    AppVideoQuit();
    SetGameRoot(fs::current_path());
    fs::remove_all(dir);
    ASSERT_EQ(lower.size() % 480, 0u);
    EXPECT_TRUE(MatchesGolden("file_choice_refused_names", lower, 480, static_cast<int>(lower.size() / 480)));
}

// An edit's scroll follows its caret as its text, its caret and the composition typed at it
// change, before anything is drawn; drawing only reads it: drawn twice, the dialog gives the same
// frame and keeps its scroll. Each step: the scroll after it, as nothing has been drawn yet.
TEST(DialogDraw, AnEditScrollsAsItChangesAndDrawingChangesNothing) {
    if (!std::filesystem::exists("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf") && !std::getenv("TOBRELK_UI_FONT"))
        GTEST_SKIP() << "no dialog font installed";
    NameBoxDlg d;
    d.Open();
    std::string trace;
    const auto step = [&](const std::string& what, APPEVENT::Kind kind, u32 vk, const std::string& text) {
        APPEVENT e;
        e.kind = kind;
        e.vk = vk;
        e.text = text;
        d.HandleEvent(e);
        trace += what + " " + std::to_string(d.Control(1)->nScrollX) + "\n";
    };
    step("typed", APPEVENT::Text, 0, std::string(100, 'r'));
    step("home", APPEVENT::KeyDown, VK_HOME, "");
    step("end", APPEVENT::KeyDown, VK_END, "");
    step("composing", APPEVENT::Editing, 0, "にほんご");
    std::vector<u32> first(640 * 480, 0xFF3A6EA5u), second = first;
    d.Draw(first);
    d.Draw(second);
    trace += std::string(first == second ? "the same frame" : "another frame") + ", scroll " +
             std::to_string(d.Control(1)->nScrollX) + "\n";
    EXPECT_EQ(trace, "typed 251\nhome 0\nend 251\ncomposing 303\nthe same frame, scroll 303\n");
}
