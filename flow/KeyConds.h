#pragma once
// Key conditions: a flow's key rows matched as a timed sequence of presses that ends now, over
// the per-state press histories of an input record (newest entry first).
//
// A cursor is a point in the past, kept per key state as {entry, frames into that entry}. The
// last row is tested now; each earlier row is tested where the later one began, with up to
// `gap` frames of tolerance between them.
#include <array>
#include <span>

#include "platform/system/Input.h"
#include "records/Cond.h"

constexpr int kKeyDirStates = 10;    // neutral, the eight directions, any direction
constexpr int kKeyButtonStates = 9;  // no button, buttons 1-8
constexpr int kKeyStates = kKeyDirStates + kKeyButtonStates;
constexpr int kKeyHistoryWalk = 32;  // entries of a history that are ever walked

// Key modes of a row's key.
enum : u8 { KEY_IGNORE = 0, KEY_PRESSED = 1, KEY_RELEASED = 2 };

struct KEYCURSOR {
    std::array<i32, kKeyStates> entry{};
    std::array<i32, kKeyStates> frames{};
};

// What a key test needs beside the rows.
struct KEYEVAL {
    const cInput* input = nullptr; // the hero's input record
    bool facingLeft = false;       // the flow's character faces left: facing-relative rows mirror
    bool overlap = false;          // the system switch that lets two rows share their frame
    bool holdFlag = false;         // the flow's key hold flag
    bool heldResult = false;       // the run's last result in hold mode
    u8 gap = 0;                    // frames of tolerance between two rows
};

// The history of key state s (0-9 directions, 10-18 buttons); null when the record has none.
const cKeyHistory* KeyStateHistory(const cInput& input, int s);

// The cursor at the present: every state at its newest entry, its whole duration in.
void KeyCursorInit(const cInput& input, KEYCURSOR& cursor);
// Moves the cursor n frames toward the present (n > 0) or into the past (n <= 0), on every
// state at once, never past the history's real length. Always 1.
i32 StepKeyHistory(const cInput& input, KEYCURSOR& cursor, i32 n);

// One key against its history entry at `frames` into it. entry may be null (no history).
i32 TestKeyHold(const KEYHISTORY* entry, i32 frames, const cKeyCond& row, int mode);
// One row at the cursor. age receives how long ago the row began to hold (the smallest hit's
// frames for "every key", the largest for "one or more", the single hit's for "exactly one").
i32 TestKeyCond(const KEYEVAL& ev, const cKeyCond& row, const KEYCURSOR& cursor, i32& age);
// One row against the newest entries only (no mirror, no frame windows).
i32 TestKeyRowNow(const cInput& input, const cKeyCond& row);

// The rows as a sequence ending now. Empty rows hold.
i32 EvalKeyConds(const KEYEVAL& ev, std::span<const cKeyCond* const> rows);

// The key conditions of a flow with its two latches: in hold mode the result while it holds;
// in edge mode only the first success after a failure. `repeated` is set when edge mode found
// the sequence still holding from before (the caller then keeps the flow's letter busy).
i32 CheckKeyRows(KEYEVAL ev, std::span<const cKeyCond* const> rows, i32& keyHeld, i32& keyBefore,
                 bool& repeated);
