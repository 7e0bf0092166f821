// The "#" escapes of message texts and the size of a text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flow/MessageText.h"

TEST(MessageText, EscapesExpand) {
    std::vector<i32> common(1001), stage(1000);
    common[3] = 33;
    common[12] = 7;
    common[13] = -42;
    common[14] = 12345;
    common[15] = 0;
    common[16] = INT32_MIN;
    common[1000] = 5;
    stage[3] = 9;
    const MESSAGEVARS vars{common, stage};
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"#C12", "7"},        {"#C12_3", "  7"},     {"#C12_3Z", "007"},     {"#C12_P", "+7"},
        {"#C12_3ZP", "+007"}, {"#C12.5", "75"},      {"#c12_p3z.", "+007"},  {"#C13_4", "-  42"},
        {"#C13_4Z", "-0042"}, {"#C14_1", "12345"},   {"#C15_3", "  0"},      {"#C15_3P", "+  0"},
        {"#C16", "-2147483648"}, {"#C0", "#C0"},     {"#C1001", "#C1001"},   {"#C", "#C"},
        {"#X5", "#X5"},       {"#s3", "9"},          {"#C3S", "33"},         {"#", "#"},
        {"a#", "a#"},         {"#_3C12", "#_3C12"},  {"#12C", "7"},          {"#C1000", "5"},
        {"#S1000", "0"}, {"#S999", "0"},        {"#C12_39", "        7"},
        {"##C12#C3", "#733"}, {"x#C12_2yz", "x 7yz"}, {"#C0012", "7"},       {"#C99999999999999", "#C99999999999999"},
        {"\x82\xa0#C12\x82\xa0", "\x82\xa0" "7\x82\xa0"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandMessageVars(c.in, vars), c.out) << c.in;
}

TEST(MessageText, BuffersAreBoundedAtACharacterBoundary) {
    std::vector<i32> common(20, 1234567);
    const MESSAGEVARS vars{common, {}};
    // Expansion grows the text; the result is cut to 5,119 bytes, never inside a pair.
    std::string text;
    while (text.size() < 5000) text += "#C1_9";
    EXPECT_EQ(ExpandMessageVars(text, vars).size(), 5119u);
    std::string pairs = "a";
    while (pairs.size() < 6000) pairs += "\x82\xa0";
    const std::string cut = ExpandMessageVars(pairs, vars);
    EXPECT_EQ(cut.size(), 5119u);
    EXPECT_EQ(cut.substr(5117), "\x82\xa0");
    // An escape cut by the bound reads nothing past it: "#C12" cut after "#C1" shows C1.
    common[12] = 5;
    std::string edge(5116, 'a');
    edge += "#C12";
    EXPECT_TRUE(ExpandMessageVars(edge, vars) == std::string(5116, 'a') + "123");
}
