#include <gtest/gtest.h>

#include <array>

#include "platform/system/Containers.h"
#include "platform/system/WindowMessages.h"
#include "tests/support/ScratchGame.h"

class ContainersTest : public ::testing::Test {
protected:
    void SetUp() override { m_closes = CloseRequestCount(); }
    std::string Report() { return m_game.Report(); }
    u32 Closes() const { return CloseRequestCount() - m_closes; }
    ScratchGame m_game;
    u32 m_closes = 0;
};

struct Row72 {
    std::array<u8, 72> bytes{};
};

TEST_F(ContainersTest, BadVectorIndexReportsClosesAndYieldsElementZero) {
    cVector<Row72> v(3);
    v[0].bytes[0] = 9;
    EXPECT_EQ(v[3].bytes[0], 9);
    EXPECT_EQ(Report(), "err V[3] ( 3 , 72 )\r\n");
    EXPECT_EQ(Closes(), 1u);

    cVector<u32> w(5, 7);
    EXPECT_EQ(w[-1], 7u);
    EXPECT_NE(Report().find("err V[-1] ( 5 , 4 )"), std::string::npos);
    EXPECT_EQ(Closes(), 2u);
    EXPECT_EQ(w[4], 7u); // the in-range path reports nothing
    EXPECT_EQ(Closes(), 2u);

    cVector<u32> empty; // no element zero to fall back on: reported, then thrown
    EXPECT_THROW(empty[0], std::out_of_range);
    EXPECT_NE(Report().find("err V[0] ( 0 , 4 )"), std::string::npos);
    EXPECT_EQ(Closes(), 3u);
}

TEST_F(ContainersTest, BadListIndexYieldsAFreshDefaultElement) {
    struct Big {
        std::array<u8, 300> b{};
    };
    cList<Big> list(2);
    Big& bad = list[2];
    EXPECT_EQ(Report(), "err L[2] ( 2 , 300 )\r\n");
    bad.b[0] = 99; // a caller scribbles on what it got
    EXPECT_EQ(list[-5].b[0], 0) << "the next bad access must not see the scribble";
    for (auto& e : list) EXPECT_EQ(e.b[0], 0);
    EXPECT_EQ(Closes(), 2u);
}

TEST_F(ContainersTest, ListPositionHelpers) {
    cList<int> list{10, 20, 30};
    EXPECT_EQ(ListEraseAt(list, 3), list.end());
    EXPECT_EQ(ListEraseAt(list, -1), list.end());
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(*ListEraseAt(list, 1), 30);
    EXPECT_EQ(*ListIterAt(list, -4), 10);
    EXPECT_EQ(ListIterAt(list, 10), list.end());
    cList<int> one{1};
    ListEraseAt(one, 0);
    EXPECT_TRUE(one.empty());
    EXPECT_EQ(Closes(), 0u);
}
