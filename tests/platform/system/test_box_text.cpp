// A message box's text broken into lines that fit the screen: after a path separator or a blank,
// else between characters, never inside one; CJK characters take two columns.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/system/BoxText.h"

namespace {

TEST(BoxText, LinesBreakAfterSeparatorsElseBetweenCharacters) {
    struct Case {
        const char* text;
        int columns;
        const char* lines;
    } const cases[] = {
        // Short lines and the text's own line breaks stay as they are.
        {"OK\nはい", 10, "OK\nはい"},
        // After the last '\' or '/' that fits.
        {"user_data\\rpl4\\replay.rpy", 16, "user_data\\rpl4\\\nreplay.rpy"},
        {"/home/player/game/user_data", 18, "/home/player/game/\nuser_data"},
        // After a blank, which stays at the end of its line.
        {"the save failed here", 12, "the save \nfailed here"},
        // No separator: between characters.
        {"abcdefghijklmnopqrstuvwxyz", 10, "abcdefghij\nklmnopqrst\nuvwxyz"},
        // Kana take two columns: five a line of ten; a half-width katakana one.
        {"あいうえおかきくけこさ", 10, "あいうえお\nかきくけこ\nさ"},
        {"ｱｲｳｴｵｶｷｸｹｺｻ", 10, "ｱｲｳｴｵｶｷｸｹｺ\nｻ"},
        // A character that does not fit goes whole onto the next line.
        {"abcdefghiあ", 10, "abcdefghi\nあ"},
        // The text of a damaged stage: the last separator that fits wins, a '\\' or a blank.
        {"ステージファイル data\\stg4\\Bad.stg4_001 が破損しています！", 24,
         "ステージファイル data\\\nstg4\\Bad.stg4_001 \nが破損しています！"},
        // A separator too early to leave a line that fits around the next character: broken twice.
        {"/abcdefghiあい", 10, "/\nabcdefghi\nあい"},
    };
    for (const Case& c : cases) EXPECT_EQ(WrapBoxText(c.text, c.columns), c.lines) << c.text;
}

// The save-failure box of a replay named with 300 letters, on a 1280-pixel screen: every line
// fits the screen's columns, the line breaks are the only change, and no character is cut. The
// folder stays on a line of its own, the name is broken where it must be.
TEST(BoxText, ALongNameFitsTheScreen) {
    const std::string text = "user_data\\rpl4\\" + std::string(150, 'r') + "リプレイ" + std::string(142, 'y') +
                             ".rpy の保存に失敗しました！";
    const int columns = BoxTextColumns(1280);
    EXPECT_EQ(columns, 133);
    const std::string wrapped = WrapBoxText(text, columns);
    std::istringstream in(wrapped);
    std::string joined;
    int lines = 0;
    for (std::string line; std::getline(in, line); ++lines) {
        EXPECT_LE(BoxTextColumnsOf(line), columns) << line;
        if (lines == 0) {
            EXPECT_EQ(line, "user_data\\rpl4\\");
        } else if (lines < 3) {
            EXPECT_EQ(BoxTextColumnsOf(line), columns) << line;
        }
        joined += line;
    }
    EXPECT_EQ(lines, 4);
    EXPECT_EQ(joined, text);
    // At 9 pixels a column and 17 for a kana, a line of either is narrower than the screen.
    EXPECT_LE(columns * 9 + 80, 1280);
    // A narrow screen still gives a box a usable line.
    EXPECT_EQ(BoxTextColumns(100), 20);
}

} // namespace
