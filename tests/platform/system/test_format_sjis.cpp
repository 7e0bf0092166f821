#include <gtest/gtest.h>

#include <thread>

#include "platform/system/Format.h"
#include "platform/system/Random.h"
#include "platform/system/Sjis.h"

TEST(Format, LongResultsAreNotCut) {
    const std::string big(9000, 'x');
    EXPECT_EQ(Format("[%s]", big.c_str()).size(), 9002u);
    EXPECT_EQ(Format("plain"), "plain");
}

TEST(Format, CutUtf8KeepsWholeCharacters) {
    const std::string text = "ab\xE3\x81\x82"; // "ab" + あ
    EXPECT_EQ(CutUtf8(text, 4), "ab");
    EXPECT_EQ(CutUtf8(text, 5), text);
}

TEST(Sjis, DoubleBytesAndCharacterCounts) {
    // 表 is 0x95 0x5C: its trail byte is a backslash.
    EXPECT_TRUE(IsDoubleByte("\x95\x5C"));
    EXPECT_FALSE(IsDoubleByte("a\x95"));
    EXPECT_FALSE(IsDoubleByte("\x95")); // a lead byte before the terminating NUL
    EXPECT_EQ(CountChars("\x82\xA0\x82\xA2\x82\xA4\n"), 3);
    EXPECT_EQ(CountChars("ab"), 2);
    EXPECT_EQ(CountChars(""), 0);
    EXPECT_EQ(CountChars("\x82"), 1); // a trailing lead byte stops at the NUL
    EXPECT_EQ(CutSjis("a\x82\xA0", 2), "a");
}

TEST(Sjis, Cp932ConversionKeepsBackslashAndExtensions) {
    EXPECT_EQ(SjisToUtf8("\x95\x5C"), "表");
    EXPECT_EQ(SjisToUtf8("a\\b"), "a\\b"); // never the yen sign
    EXPECT_EQ(SjisToUtf8("\x87\x40"), "①"); // NEC extension
    EXPECT_EQ(Utf8ToSjis("ゲーム"), "\x83\x51\x81\x5B\x83\x80");
    EXPECT_EQ(SjisToUtf8("a\x82"), "a?"); // a lead byte cut at the end
    EXPECT_EQ(SjisToUtf8("\xFF" "b"), "?b");
}

TEST(Sjis, DisplayTextRepairsMixedLines) {
    EXPECT_EQ(ToDisplayText("エラー"), "エラー");
    // A UTF-8 message that carries a Shift-JIS file name.
    const std::string mixed = std::string("\x95\x5C") + " の読み込み";
    EXPECT_EQ(ToDisplayText(mixed), "表 の読み込み");
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // a surrogate
}

TEST(Random, MatchesTheWindowsRuntimeSequence) {
    CrtSrand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int v : expected) EXPECT_EQ(CrtRand(), v);
}

TEST(Random, EachThreadHasItsOwnState) {
    CrtSrand(1);
    CrtRand();
    int other = 0;
    std::thread t([&] { other = CrtRand(); }); // a new thread starts at seed 1
    t.join();
    EXPECT_EQ(other, 41);
    EXPECT_EQ(CrtRand(), 18467);
}

TEST(Random, AnOwnedGeneratorKeepsTheSequenceApartFromTheThreads) {
    cCrtRandom gen(1);
    CrtSrand(1);
    CrtRand(); // the thread's sequence does not advance the owned one
    const int expected[] = {41, 18467, 6334};
    for (int v : expected) EXPECT_EQ(gen.Next(), v);
    gen.Seed(1);
    // lo + rand % (hi - lo + 1), bounds in either order; 41 % 4 = 1, 18467 % 4 = 3
    EXPECT_EQ(RandRange(gen, 5, 2), 3);
    EXPECT_EQ(RandRange(gen, 2, 5), 5);
    // The full i32 range neither overflows nor leaves the bounds: lo + 6334.
    EXPECT_EQ(RandRange(gen, INT32_MAX, INT32_MIN), INT32_MIN + 6334);
    EXPECT_EQ(RandRange(gen, 7, 7), 7);
}
