#include "flow/KeyConds.h"

#include <algorithm>
#include <climits>

namespace {

int HistoryLength(const cKeyHistory* h) {
    return h ? std::min(static_cast<int>(h->size()), kKeyHistoryWalk) : 0;
}

// A facing-relative row written for a character facing right reads the mirrored direction
// when it faces left.
int MirrorState(int s) {
    switch (s) {
    case 1: return 2;
    case 2: return 1;
    case 5: return 7;
    case 7: return 5;
    case 6: return 8;
    case 8: return 6;
    default: return s;
    }
}

int RowKeys(const cKeyCond& row) { return std::min(row.keys.Size(), kKeyStates); }

} // namespace

const cKeyHistory* KeyStateHistory(const cInput& input, int s) {
    if (s >= 0 && s < kKeyDirStates)
        return s < static_cast<int>(input.vDirState.size()) ? &input.vDirState[s] : nullptr;
    const int b = s - kKeyDirStates;
    if (b >= 0 && b < kKeyButtonStates)
        return b < static_cast<int>(input.vButtonState.size()) ? &input.vButtonState[b] : nullptr;
    return nullptr;
}

void KeyCursorInit(const cInput& input, KEYCURSOR& cursor) {
    for (int s = 0; s < kKeyStates; ++s) {
        const cKeyHistory* h = KeyStateHistory(input, s);
        cursor.entry[s] = 0;
        cursor.frames[s] = HistoryLength(h) > 0 ? (*h)[0].frames : 0;
    }
}

i32 StepKeyHistory(const cInput& input, KEYCURSOR& cursor, i32 n) {
    for (int s = 0; s < kKeyStates; ++s) {
        const cKeyHistory* h = KeyStateHistory(input, s);
        const int len = HistoryLength(h);
        if (len == 0) continue;
        i32& e = cursor.entry[s];
        e = std::clamp(e, 0, len - 1);
        i64 f = static_cast<i64>(cursor.frames[s]) + n;
        if (n > 0) {
            while (e > 0 && f > (*h)[e].frames) {
                f -= (*h)[e].frames;
                --e;
            }
        } else {
            // A cursor on the very start of an entry stands at the end of the older one.
            while (f <= 0 && e + 1 < len) {
                ++e;
                f += (*h)[e].frames;
            }
            if (f < 0) f = 0;
        }
        cursor.frames[s] = static_cast<i32>(std::clamp<i64>(f, INT_MIN, INT_MAX));
    }
    return 1;
}

i32 TestKeyHold(const KEYHISTORY* entry, i32 frames, const cKeyCond& row, int mode) {
    if (!entry) return 0;
    if (mode == KEY_PRESSED) {
        if (!entry->pressed) return 0;
        return (frames >= row.minFrames && frames <= row.maxFrames) || (row.anyLength && frames >= 1);
    }
    if (mode == KEY_RELEASED) return !entry->pressed && frames >= 1;
    return 0;
}

i32 TestKeyCond(const KEYEVAL& ev, const cKeyCond& row, const KEYCURSOR& cursor, i32& age) {
    int hits = 0, misses = 0;
    i32 low = INT_MAX, high = INT_MIN;
    const bool mirror = row.mirror && ev.facingLeft;
    for (int k = 0; k < RowKeys(row); ++k) {
        const int mode = row.keys[k];
        if (mode == KEY_IGNORE) continue;
        const int s = mirror && k < kKeyDirStates ? MirrorState(k) : k;
        const cKeyHistory* h = KeyStateHistory(*ev.input, s);
        const int e = cursor.entry[s];
        const KEYHISTORY* entry = e >= 0 && e < HistoryLength(h) ? &(*h)[e] : nullptr;
        const i32 f = cursor.frames[s];
        if (TestKeyHold(entry, f, row, mode)) {
            ++hits;
            low = std::min(low, f);
            high = std::max(high, f);
        } else {
            ++misses;
        }
    }
    switch (row.mode) {
    case 0:
        age = hits ? low : 0;
        return misses == 0;
    case 1:
        age = hits ? high : 0;
        return hits >= 1;
    case 2:
        age = hits == 1 ? low : 0;
        return hits == 1;
    default:
        age = 0;
        return 0;
    }
}

i32 TestKeyRowNow(const cInput& input, const cKeyCond& row) {
    int hits = 0, misses = 0;
    for (int k = 0; k < RowKeys(row); ++k) {
        const int mode = row.keys[k];
        if (mode == KEY_IGNORE) continue;
        const cKeyHistory* h = KeyStateHistory(input, k);
        bool hit = false;
        if (HistoryLength(h) > 0) {
            const bool pressed = (*h)[0].pressed != 0;
            hit = mode == KEY_PRESSED ? pressed : mode == KEY_RELEASED && !pressed;
        }
        if (hit) {
            ++hits;
            if (row.mode == 1) break;
        } else {
            ++misses;
        }
    }
    switch (row.mode) {
    case 0: return misses == 0;
    case 1: return hits >= 1;
    case 2: return hits == 1;
    default: return 0;
    }
}

i32 EvalKeyConds(const KEYEVAL& ev, std::span<const cKeyCond* const> rows) {
    if (rows.empty()) return 1;
    if (!ev.input) return 0;
    KEYCURSOR cursor;
    KeyCursorInit(*ev.input, cursor);
    int i = static_cast<int>(rows.size()) - 1;
    i32 age = 0;
    if (!TestKeyCond(ev, *rows[i], cursor, age)) return 0;
    if (ev.holdFlag && ev.heldResult) return 1;
    for (;;) {
        if (i == 0) return 1;
        StepKeyHistory(*ev.input, cursor, -age);
        --i;
        if (TestKeyCond(ev, *rows[i], cursor, age)) continue;
        if (ev.gap == 0) return 0;
        int steps = 0;
        bool hit = false;
        while (steps < ev.gap && !hit) {
            StepKeyHistory(*ev.input, cursor, -1);
            ++steps;
            hit = TestKeyCond(ev, *rows[i], cursor, age);
        }
        if (hit) continue;
        // No press began within the gap: the row may instead share its last frame with the
        // later row's first one.
        StepKeyHistory(*ev.input, cursor, steps);
        StepKeyHistory(*ev.input, cursor, 1);
        if (!TestKeyCond(ev, *rows[i], cursor, age)) return 0;
        i32 laterAge = 0;
        if (!ev.overlap && TestKeyCond(ev, *rows[i + 1], cursor, laterAge)) return 0;
    }
}

i32 CheckKeyRows(KEYEVAL ev, std::span<const cKeyCond* const> rows, i32& keyHeld, i32& keyBefore,
                 bool& repeated) {
    repeated = false;
    if (rows.empty()) return 1;
    if (ev.holdFlag) {
        ev.heldResult = keyHeld != 0;
        const i32 result = EvalKeyConds(ev, rows);
        keyHeld = result != 0;
        return result;
    }
    keyHeld = 0;
    ev.heldResult = false;
    const i32 result = EvalKeyConds(ev, rows);
    if (!result) {
        keyBefore = 0;
        return 0;
    }
    const bool before = keyBefore == 1;
    keyBefore = 1;
    if (before) {
        repeated = true;
        return 0;
    }
    return result;
}
