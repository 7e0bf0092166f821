#pragma once
// Dialogs drawn by the runtime itself inside its window, over the last game frame (640x480
// logical size), so that they work windowed, full screen and headless alike. A dialog holds
// controls with ids; bound controls exchange data with fields (data to controls when it opens,
// controls to data when asked, never while it is filling the controls). A modal run is a nested
// event loop on the window thread; keyboard and mouse operate it, and text comes from SDL's text
// input, converted to CP932.
#include <functional>
#include <string>
#include <vector>

#include "platform/system/AppWindow.h"
#include "platform/system/Types.h"

enum DlgKind { DLG_STATIC, DLG_GROUP, DLG_BUTTON, DLG_RADIO, DLG_CHECK, DLG_EDIT, DLG_LIST };

struct DLGCONTROL {
    u32 nId = 0;
    DlgKind nKind = DLG_STATIC;
    i32 x = 0, y = 0, w = 0, h = 0; // relative to the dialog's client area
    std::string strText;            // UTF-8 caption
    bool bDefault = false;          // the button Enter presses
    bool bChecked = false;          // radio buttons and check boxes
    std::string strEdit;            // edit text (Shift-JIS)
    i32 nLimit = 0;                 // edit limit in characters (a double-byte one counts once)
    i32 nByteLimit = 0;             // edit limit in bytes (0: none)
    bool bSelectAll = false;        // the whole edit text is selected: typing replaces it
    std::vector<std::string> vItem; // list entries (UTF-8)
    i32 nSel = 0, nTop = 0;
    // Bindings (null: not bound).
    u32* pField = nullptr; // radio: set to nValue; check: 0/1
    u32 nValue = 0;
    std::string* pText = nullptr; // edit
};

class DLG_CLASS {
public:
    DLG_CLASS() = default;
    virtual ~DLG_CLASS();
    DLG_CLASS(const DLG_CLASS&) = delete;
    DLG_CLASS& operator=(const DLG_CLASS&) = delete;

    // Runs the dialog modally on the window thread and returns the end code; 0 at once when it
    // is already open.
    int DlgDoModal();
    void DlgEnd(int code);
    void DlgDataToControls();
    void DlgControlsToData();

    DLGCONTROL& Add(const DLGCONTROL& control);
    DLGCONTROL* Control(u32 id);
    void DlgSetText(const std::string& utf8Title) { m_strTitle = utf8Title; }

    // Operation, used by the modal loop and by tests: true when the event was used.
    bool HandleEvent(const APPEVENT& e);
    // Draws the dialog over a 640x480 ARGB frame.
    void Draw(std::vector<u32>& frame);
    bool IsOpen() const { return m_bOpen; }
    bool Ended() const { return m_bEnded; }
    i32 EndCode() const { return m_nEndCode; }
    i32 Focus() const { return m_nFocus; }

    // Opens the dialog without a loop (tests drive it with HandleEvent).
    void Open();
    void Close();

    i32 m_nX = 100, m_nY = 100, m_nW = 300, m_nH = 200;
    bool m_bFilling = false;

protected:
    virtual void OnInit() {}
    virtual void OnCommand(u32 /*id*/) {}
    // The window's close (and Escape) ends the dialog with 0.
    virtual void OnClose() { DlgEnd(0); }
    // What a dialog nobody can see answers: its default button.
    virtual void OnUnattended();
    void FocusOn(int index) { m_nFocus = index; }
    // A list entry was chosen (Enter, or a click on the selected entry).
    virtual void OnListChoose(DLGCONTROL& /*list*/) {}

    std::vector<DLGCONTROL> m_vControl;
    std::string m_strTitle;

private:
    void MoveFocus(int step);
    void Activate(DLGCONTROL& c);
    void TypeText(DLGCONTROL& c, const std::string& sjis);
    int HitTest(i32 x, i32 y) const;

    bool m_bOpen = false;
    bool m_bEnded = false;
    i32 m_nEndCode = 0;
    i32 m_nFocus = -1;
};

// Tests: run the modal loop on a window nobody can see (events are pushed to SDL's queue).
void DlgSetInteractiveForTests(bool on);

// A modal Yes/No box drawn like the dialogs: IDYES (6) or IDNO (7); Escape and close answer No.
int DlgYesNo(const std::string& utf8Text, const std::string& utf8Caption);

// Lists a folder of the game for a file choice: "..", then folders, then files whose extension
// matches one of the patterns ("stg4_*": the text after the last dot starts with "stg4_", in
// any letter case). Names are given in UTF-8; names CP932 cannot hold are left out.
struct DLGFILEENTRY {
    std::string strName; // UTF-8
    bool bFolder = false;
};
std::vector<DLGFILEENTRY> DlgListFolder(const std::string& sjisFolder, const std::vector<std::string>& patterns,
                                        bool withParent);
bool DlgMatchPattern(const std::string& utf8Name, const std::string& pattern);
