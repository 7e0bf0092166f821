#pragma once
// Message texts: the "#" escapes that show a common or stage variable.
//
// Escape grammar: "#", then in any order "C"/"c" (common variable) or "S"/"s" (stage
// variable; common wins when both are given) and the variable's number; then optionally "_"
// followed by "Z"/"z" (keep leading zeros), "P"/"p" (a plus sign before values of 0 or more)
// and one digit, the field width. A "." right after an escape belongs to it, so "#C12.5"
// shows variable 12 followed by 5. Escapes that do not parse, or name variable 0 or one past
// the variables there are, stay in the text as written.
#include <span>
#include <string>

#include "platform/system/Types.h"

struct MESSAGEVARS {
    std::span<const i32> common;
    std::span<const i32> stage;
};

// The text with every valid escape replaced by its value; cut to the message buffer's size.
std::string ExpandMessageVars(const std::string& text, const MESSAGEVARS& vars);
