// Key conditions over scripted input: one golden trace of several flows' key rows, frame by
// frame, in hold and edge mode, with gaps, overlap and facing-relative rows.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "flow/KeyConds.h"

namespace {

enum : int { DOWN = 4, LEFT = 1, RIGHT = 2, B1 = 11, B2 = 12 };

cKeyCond Row(std::initializer_list<std::pair<int, u8>> keys, u16 lo, u16 hi, u8 anyLength = 0,
             u8 mode = 0, u8 mirror = 0) {
    cKeyCond row;
    for (auto [state, m] : keys) row.keys[state] = m;
    row.minFrames = lo;
    row.maxFrames = hi;
    row.anyLength = anyLength;
    row.mode = mode;
    row.mirror = mirror;
    return row;
}

struct Flow {
    const char* name;
    std::vector<cKeyCond> rows;
    u8 gap = 0;
    bool hold = false;
    bool facingLeft = false;
    bool overlap = false;
    i32 held = 0, before = 0;

    char Test(const cInput& input) {
        std::vector<const cKeyCond*> ptrs;
        for (const cKeyCond& r : rows) ptrs.push_back(&r);
        KEYEVAL ev;
        ev.input = &input;
        ev.facingLeft = facingLeft;
        ev.overlap = overlap;
        ev.holdFlag = hold;
        ev.gap = gap;
        bool repeated = false;
        const i32 r = CheckKeyRows(ev, ptrs, held, before, repeated);
        return r ? '1' : repeated ? 'r' : '.';
    }
};

} // namespace

TEST(KeyConds, ScriptedInputGoldenTrace) {
    cInput input;
    input.vDirState.assign(kKeyDirStates, cKeyHistory(32));
    input.vButtonState.assign(kKeyButtonStates, cKeyHistory(32));

    std::vector<Flow> flows;
    flows.push_back({"edge", {Row({{B1, KEY_PRESSED}}, 1, 999)}});
    flows.push_back({"hold", {Row({{B1, KEY_PRESSED}}, 1, 999)}, 0, true});
    // down for 3-10 frames, then button 1 on the frame it ends
    const cKeyCond downRow = Row({{DOWN, KEY_PRESSED}}, 3, 10);
    const cKeyCond b1Row = Row({{B1, KEY_PRESSED}}, 1, 1);
    flows.push_back({"gap0", {downRow, b1Row}, 0});
    flows.push_back({"gap3", {downRow, b1Row}, 3});
    flows.push_back({"gap3o", {downRow, b1Row}, 3, false, false, true});
    // "forward" is right for a character facing right, left for one facing left
    flows.push_back({"fwdL", {Row({{RIGHT, KEY_PRESSED}}, 0, 0, 1, 0, 1)}, 0, true, true});
    flows.push_back({"fwdR", {Row({{RIGHT, KEY_PRESSED}}, 0, 0, 1, 0, 1)}, 0, true, false});
    // one or more / exactly one of two buttons; released
    flows.push_back({"any", {Row({{B1, KEY_PRESSED}, {B2, KEY_PRESSED}}, 1, 999, 0, 1)}, 0, true});
    flows.push_back({"one", {Row({{B1, KEY_PRESSED}, {B2, KEY_PRESSED}}, 1, 999, 0, 2)}, 0, true});
    // a row that finds nothing within the gap may share its last frame with the next row's
    // first, which must then not hold there too unless the overlap switch is on
    const cKeyCond b1Long = Row({{B1, KEY_PRESSED}}, 1, 5);
    flows.push_back({"ovl", {downRow, b1Long}, 1});
    flows.push_back({"ovlO", {downRow, b1Long}, 1, false, false, true});
    flows.push_back({"rel", {Row({{B2, KEY_RELEASED}}, 0, 0)}, 0, true});

    // direction word, button word per frame
    const std::pair<u16, u16> script[] = {
        {0, 0}, {8, 0}, {8, 0}, {8, 0}, {8, 0}, {0, 1}, {0, 1}, {0, 0},     // down 4, then B1
        {8, 0}, {8, 0}, {8, 0}, {0, 0}, {0, 0}, {0, 1}, {0, 0},             // pause of 2
        {8, 0}, {8, 0}, {8, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 1},     // pause of 4
        {8, 0}, {8, 0}, {8, 0}, {8, 1}, {0, 0},                             // B1 while down
        {8, 0}, {8, 0}, {8, 0}, {8, 0}, {8, 0}, {8, 0}, {8, 0}, {8, 0}, {8, 0}, {8, 0}, {8, 0},
        {0, 1}, {0, 0},                                                     // down 11: too long
        {1, 0}, {2, 0}, {0, 3}, {0, 2}, {0, 0},
        {8, 0}, {8, 0}, {8, 1}, {0, 0},                                     // B1 on down's 3rd
    };
    std::string trace = "dir/btn ";
    for (const Flow& f : flows) trace += f.name[0];
    trace += "\n";
    for (auto [dir, buttons] : script) {
        input.wDirection = dir;
        input.wButtons = buttons;
        InputKeyHistoryUpdate(input);
        trace += std::to_string(dir) + "/" + std::to_string(buttons) + " ";
        for (Flow& f : flows) trace += f.Test(input);
        trace += "\n";
    }
    // Columns: the flows above in order; 1 holds, r edge mode still holding from before.
    const char* expected = R"(dir/btn ehgggffaooor
0/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
0/1 11111..11111
0/1 r1.....11rr1
0/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
0/0 ...........1
0/0 ...........1
0/1 11.11..11..1
0/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
0/0 ...........1
0/0 ...........1
0/0 ...........1
0/0 ...........1
0/1 11.....11..1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/1 11111..11111
0/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
8/0 ...........1
0/1 11.11..11111
0/0 ...........1
1/0 .....1.....1
2/0 ......1....1
0/3 11.....1....
0/2 .......11...
0/0 ...........1
8/0 ...........1
8/0 ...........1
8/1 11..1..11.11
0/0 ...........1
)";
    EXPECT_EQ(trace, expected) << trace;
}

TEST(KeyConds, HistoriesAreWalkedOnlyToTheirLength) {
    cInput input;
    input.vDirState.assign(kKeyDirStates, cKeyHistory(2));
    input.vButtonState.assign(kKeyButtonStates, cKeyHistory(0)); // no button history at all
    for (int i = 0; i < 5; ++i) {
        input.wDirection = i % 2 ? 8 : 0;
        InputKeyHistoryUpdate(input);
    }
    KEYCURSOR cursor;
    KeyCursorInit(input, cursor);
    StepKeyHistory(input, cursor, -100);
    EXPECT_EQ(cursor.entry[DOWN], 1);
    EXPECT_EQ(cursor.frames[DOWN], 0);
    StepKeyHistory(input, cursor, 100);
    EXPECT_EQ(cursor.entry[DOWN], 0);
    const cKeyCond b1 = Row({{B1, KEY_RELEASED}}, 0, 0);
    KEYEVAL ev;
    ev.input = &input;
    i32 age = 0;
    EXPECT_EQ(TestKeyCond(ev, b1, cursor, age), 0);
    EXPECT_EQ(TestKeyRowNow(input, b1), 0);
    EXPECT_EQ(TestKeyRowNow(input, Row({{0, KEY_PRESSED}}, 0, 0)), 1); // neutral now
}
