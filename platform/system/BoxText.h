#pragma once
// The lines of a message box's text. SDL's X11 box sizes itself to its longest line and never
// wraps: a long path (a replay named with 300 letters) made a box wider than the screen, its end
// and its buttons out of sight. The text is broken into lines that fit the screen first.
#include <string>

// How many columns of text fit a box on a screen width pixels wide. A column is the width of
// one character of the box's Latin font, a CJK character takes two (BoxTextColumnsOf).
int BoxTextColumns(int screenWidth);
// The columns a UTF-8 text takes on one line.
int BoxTextColumnsOf(const std::string& utf8);
// Breaks each line of the UTF-8 text that is longer than columns: after its last path separator
// ('\' or '/') or blank that fits, else between two characters (never inside one).
std::string WrapBoxText(const std::string& utf8, int columns);
