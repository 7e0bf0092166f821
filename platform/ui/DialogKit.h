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

// An edit's text (DialogEdit.cpp).
std::vector<std::string> SplitLines(const std::string& s);
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
