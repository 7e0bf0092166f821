#pragma once
// Dialogs drawn by the runtime itself inside its window, over the last game frame (640x480
// logical size), so that they work windowed, full screen and headless alike. A dialog holds
// controls with ids; bound controls exchange data with fields (data to controls when it opens,
// controls to data when asked, never while it is filling the controls). A modal run is a nested
// event loop on the window thread; a modeless dialog lives beside the game, drawn over each
// frame the window presents and operated while it is the active one. Keyboard and mouse operate
// both; text comes from SDL's text input, converted to CP932, and the input method's
// composition is shown in the edit while it is being typed.
#include <functional>
#include <string>
#include <vector>

#include "platform/system/AppWindow.h"
#include "platform/system/Types.h"

enum DlgKind { DLG_STATIC, DLG_GROUP, DLG_BUTTON, DLG_RADIO, DLG_CHECK, DLG_EDIT, DLG_LIST, DLG_SCROLL };

// Scroll requests, as a scroll bar sends them.
constexpr int SB_LINEUP = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_THUMBTRACK = 5;
constexpr int SB_TOP = 6;
constexpr int SB_BOTTOM = 7;

// Ids of the dialog's own scroll bars (frame option bits 0 and 1).
constexpr u32 kDlgOwnVScroll = 0xFFF1;
constexpr u32 kDlgOwnHScroll = 0xFFF2;

// A scroll bar bound to a value: the control (0 with kDlgOwn*: the dialog's own bar), the
// value, its range and page. The value stays within min .. max - page + 1.
struct SCROLLDEF {
    u32 nId = 0;
    bool bVertical = true;
    i32* pValue = nullptr;
    i32 nMin = 0, nMax = 0, nPage = 0;
    i32 nPos = 0; // the value when none is bound
};

struct DLGCONTROL {
    u32 nId = 0;
    DlgKind nKind = DLG_STATIC;
    i32 x = 0, y = 0, w = 0, h = 0; // relative to the dialog's client area
    std::string strText;            // UTF-8 caption
    bool bDefault = false;          // the button Enter presses
    bool bChecked = false;          // radio buttons and check boxes
    std::string strEdit;            // edit text (Shift-JIS)
    i32 nLimit = 0;                 // edit: characters per line (a double-byte one counts once; 0 none)
    i32 nLineLimit = 0;             // edit: lines (0: none)
    i32 nByteLimit = 0;             // edit limit in bytes (0: none)
    bool bMultiLine = false;        // edit: Enter starts a new line ("\r\n")
    bool bSelectAll = false;        // the whole edit text is selected: typing replaces it
    bool bPathText = false;         // edit: a path, whose characters CP932 cannot hold keep their bytes (GameNameOf)
    std::size_t nCaret = 0;         // edit: caret as a byte offset, on a character boundary
    i32 nScrollX = 0;               // edit: pixels of its lines scrolled out at the left, so that the caret shows
    std::vector<std::string> vItem; // list entries (UTF-8)
    i32 nSel = 0, nTop = 0;
    bool bMultiSel = false;         // list: Ctrl+click and Space mark several entries
    std::vector<u8> vMarked;        // list: the marked entries of a multiple choice
    SCROLLDEF scroll;               // scroll bar
    std::string strTooltip;         // UTF-8; empty: no tooltip
    // Bindings (null: not bound).
    u32* pField = nullptr; // radio: set to nValue; check: 0/1
    u32 nValue = 0;
    std::string* pText = nullptr; // edit
};

// A control of a kind at a place of the client area, with its caption.
DLGCONTROL DlgMakeControl(DlgKind kind, u32 id, i32 x, i32 y, i32 w, i32 h, const std::string& utf8Text = {});

class DLG_CLASS {
public:
    DLG_CLASS() = default;
    virtual ~DLG_CLASS();
    DLG_CLASS(const DLG_CLASS&) = delete;
    DLG_CLASS& operator=(const DLG_CLASS&) = delete;

    // Runs the dialog modally on the window thread and returns the end code; 0 at once when it
    // is already open.
    int DlgDoModal();
    // Opens the dialog modeless, beside the game: false when it is already open. It becomes
    // the active dialog; DlgEnd closes it.
    bool DlgCreate();
    bool IsModeless() const { return m_bModeless; }
    void DlgEnd(int code);
    void DlgDataToControls();
    void DlgControlsToData();

    DLGCONTROL& Add(const DLGCONTROL& control);
    DLGCONTROL* Control(u32 id);
    void DlgSetText(const std::string& utf8Title) { m_strTitle = utf8Title; }
    // Binds a scroll bar to its value (the dialog's own bars are made here).
    void ScrollAttach(const SCROLLDEF& def);
    // Moves a bar's value by one scroll request, then calls OnScroll.
    void DlgScroll(DLGCONTROL& bar, int code, i32 track = 0);
    // Gives a control its tooltip; an empty text makes none.
    void TooltipCreate(u32 id, const std::string& utf8Text);
    // The tooltip shown at this moment (the pointer rested on its control long enough), or "".
    std::string TooltipShown() const;
    // The input method's text being composed in the focused edit (UTF-8).
    const std::string& Composition() const { return m_strComposition; }
    // With the trace on, every message the dialog handles is written to the debug log (when
    // that is on) under the dialog's trace name, with its window-message name and parameters.
    void DlgSetTrace(bool on, const std::string& name) {
        m_bTrace = on;
        m_strTraceName = name;
    }

    // Operation, used by the modal loop and by tests: true when the event was used.
    bool HandleEvent(const APPEVENT& e);
    // Draws the dialog over a 640x480 ARGB frame; drawing changes nothing of the dialog.
    void Draw(std::vector<u32>& frame) const;
    bool IsOpen() const { return m_bOpen; }
    bool Ended() const { return m_bEnded; }
    i32 EndCode() const { return m_nEndCode; }
    i32 Focus() const { return m_nFocus; }
    bool HasEditControl() const;
    bool Contains(i32 x, i32 y) const { return x >= m_nX && x < m_nX + m_nW && y >= m_nY && y < m_nY + m_nH; }

    // Opens the dialog without a loop (tests drive it with HandleEvent).
    void Open();
    void Close();

    i32 m_nX = 100, m_nY = 100, m_nW = 300, m_nH = 200;
    bool m_bFilling = false;
    // Bit 0: a vertical scroll bar along the right edge, bit 1: a horizontal one along the
    // bottom, bound by Open to the definitions below.
    u32 m_nFrameOption = 0;
    SCROLLDEF m_ownScroll[2]; // vertical, horizontal

protected:
    virtual void OnInit() {}
    virtual void OnCommand(u32 /*id*/) {}
    // The window's close (and Escape) ends the dialog with 0.
    virtual void OnClose() { DlgEnd(0); }
    // What a dialog nobody can see answers: its default button.
    virtual void OnUnattended();
    // A bound scroll bar's value changed.
    virtual void OnScroll(DLGCONTROL& /*bar*/) {}
    void FocusOn(int index) { SetFocus(index); }
    // Replaces an edit's text; the caret goes to its end.
    void SetEditText(DLGCONTROL& c, const std::string& sjis);
    // A control's command (WM_COMMAND with the control's id and its notification code), traced
    // and handed to OnCommand; list choices and edit changes are traced the same way.
    void Command(u32 id, u32 code = 0);
    void Trace(u32 msg, u64 wParam, i64 lParam) const;
    // A list entry was chosen (Enter, or a click on the selected entry).
    virtual void OnListChoose(DLGCONTROL& /*list*/) {}

    std::vector<DLGCONTROL> m_vControl;
    std::string m_strTitle;

private:
    bool Dispatch(const APPEVENT& e);
    // The steps of Dispatch: a key (outside a composition), an arrow key, the pointer's moves
    // and presses, a click on a list row.
    void KeyDown(DLGCONTROL* focus, u32 vk);
    void ArrowKey(DLGCONTROL* focus, u32 vk);
    bool MouseMove(const APPEVENT& e);
    bool MouseDown(const APPEVENT& e);
    void ListClick(DLGCONTROL& c, i32 row);
    void MoveFocus(int step);
    void SetFocus(int index);
    void Activate(DLGCONTROL& c);
    void TypeText(DLGCONTROL& c, const std::string& sjis);
    bool EditKey(DLGCONTROL& c, u32 vk);
    bool ScrollMouse(DLGCONTROL& bar, const APPEVENT& e);
    void OwnScrollKey(u32 vk);
    int HitTest(i32 x, i32 y, bool any = false) const;
    // Scrolls the edit's lines sideways (DLGCONTROL::nScrollX) as far as keeps its caret, and the
    // end of a composition typed at it, inside the field: wherever its text, its caret, or the
    // composition shown in it changes.
    void FollowCaret(DLGCONTROL& c);
    void DrawEdit(std::vector<u32>& f, const DLGCONTROL& c, int x, int y, bool focused) const;
    void DrawTooltip(std::vector<u32>& f) const;

    bool m_bOpen = false;
    bool m_bEnded = false;
    bool m_bModeless = false;
    i32 m_nEndCode = 0;
    i32 m_nFocus = -1;
    std::string m_strComposition;
    i32 m_nHoverX = -1, m_nHoverY = -1;
    u64 m_nHoverSince = 0;
    bool m_bTipDismissed = false;
    i32 m_nDragBar = -1; // control index of a bar whose thumb is being dragged
    i32 m_nDragGrab = 0;
    bool m_bTrace = false;
    std::string m_strTraceName;
};

// The open modeless dialogs, drawn over a frame in the order they were opened.
void DlgDrawModeless(std::vector<u32>& frame);

// Tests: run the modal loop on a window nobody can see (events are pushed to SDL's queue).
void DlgSetInteractiveForTests(bool on);

// A modal Yes/No box drawn like the dialogs: IDYES (6) or IDNO (7); Escape and close answer No.
int DlgYesNo(const std::string& utf8Text, const std::string& utf8Caption);

// Lists a folder for a file choice: "..", then folders, then files whose extension matches one
// of the patterns ("stg4_*": the text after the last dot starts with "stg4_", in any letter
// case). Every name is listed, those starting with '.' and those CP932 cannot hold included. A
// folder that the system does not let be read lists nothing of its own, and error (when given)
// says why (an errno value; 0 when the folder was read).
struct DLGFILEENTRY {
    std::string strName; // UTF-8, to show
    bool bFolder = false;
    std::string strSjis; // the name in the game's paths (GameNameOf): a path made with it opens
};
std::vector<DLGFILEENTRY> DlgListFolder(const std::string& sjisFolder, const std::vector<std::string>& patterns,
                                        bool withParent, int* error = nullptr);
bool DlgMatchPattern(const std::string& utf8Name, const std::string& pattern);

// The file choices: they start in a folder of the game (a path of the game's form, relative to
// the game folder or absolute) and go anywhere on the file system from there, listing the
// folders and the files that match the patterns. A path typed into the name box is taken as
// typed: absolute, or relative to the folder shown; a folder typed is opened. Open with several
// files: every chosen file as an absolute "folder\name", in list order, into out; a single
// choice is one path. The count, 0 when nothing was chosen. Ctrl+click and Space mark several
// files. Chosen paths open whatever the bytes of their names (GameNameOf).
int FileDialogMulti(const std::string& utf8Title, const std::string& sjisFolder, const std::string& utf8Filter,
                    const std::vector<std::string>& patterns, std::vector<std::string>& out);
// Save: path carries "folder\name" in and the chosen absolute path out. A name that does not
// match the pattern gets ".defaultExt"; an existing file is chosen only after a Yes. Nonzero
// when chosen.
int FileDialog(const std::string& utf8Title, std::string& path, const std::string& utf8Filter,
               const std::string& pattern, const std::string& defaultExt);
