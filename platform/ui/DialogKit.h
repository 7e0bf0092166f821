#pragma once
// What the files of the dialog kit share among themselves, and nothing outside the kit uses:
// the measures that drawing and pointing agree on, and the few routines one concern of a
// dialog lends another (the edit's text rules to the data exchange and the drawing, the scroll
// bar's arithmetic to the scroll request and the drawing, the modeless list to a dialog's end).
#include <cstddef>
#include <string>
#include <vector>

#include "platform/system/Types.h"
#include "platform/ui/Dialog.h"

namespace dlgkit {

// The frame a dialog is drawn over, its caption's height and a list row's.
constexpr int kW = 640;
constexpr int kH = 480;
constexpr int kCaption = 20;
constexpr int kRow = 18; // list row height

// The controls that take the focus (DialogInput.cpp).
bool Focusable(const DLGCONTROL& c);

// The width of a text in the dialogs' font, 0 without it (DialogDraw.cpp).
int TextWidth(const std::string& utf8);
// The lines of a text as drawn in a width: each of its own lines, broken where the next
// character would pass the width (after the last blank before it, when there is one). A long
// file name thus goes on the next line instead of being cut at the control's edge.
std::vector<std::string> WrapLines(const std::string& utf8, int width);

// An edit's text (DialogEdit.cpp).
std::vector<std::string> SplitLines(const std::string& s);
// The edit's line that holds its caret, as shown (UTF-8), split at the caret.
struct CARETLINE {
    std::string before, after;
};
CARETLINE CaretLine(const DLGCONTROL& c);
// A piece of the edit's Shift-JIS text as shown (a path's names that CP932 cannot hold with
// their own bytes).
std::string EditShown(const DLGCONTROL& c, const std::string& sjis);
std::string FitEdit(const std::string& s, const DLGCONTROL& c);
std::string PathTextOf(const std::string& utf8);
// How far an edit's text is scrolled out at the left (scroll, in pixels) so that its caret,
// caretX pixels from its line's start, stands inside the room the field gives the text: moved
// from the scroll it had only when the caret would leave the room (on the left with a quarter
// of the room of text before the caret in sight), and never leaving room empty at the right
// while text is hidden at the left (lineW: the caret line's width).
int EditScroll(int scroll, int caretX, int lineW, int room);

// A scroll bar's value and its greatest (DialogScroll.cpp).
i32& ScrollValue(DLGCONTROL& c);
i32 ScrollMaxPos(const SCROLLDEF& d);
// Where the parts of a bar lie, along its length: the two arrows, the track between them and
// the thumb in it.
struct BarGeom {
    int len, arrow, track0, trackLen, thumb0, thumbLen;
};
BarGeom Geometry(const DLGCONTROL& c, i32 value);

// Takes a modeless dialog off the list of those beside the game (DialogLoop.cpp).
void ModelessRemove(DLG_CLASS* d);

} // namespace dlgkit
