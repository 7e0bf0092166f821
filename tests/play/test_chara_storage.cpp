// Where the stage characters lie: one after the other, in the order the stage makes them, so that
// the walks of a step go through memory at one stride.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/play/PlayFixture.h"

namespace {

// The distances between the characters of the list, in list order, as the stage made them.
std::vector<std::intptr_t> CharaStrides(cGameScene& s) {
    std::vector<std::intptr_t> strides;
    const cStageChara* last = nullptr;
    for (int i = 0; i < s.m_lstChara.Size(); ++i) {
        const cStageChara* c = s.m_lstChara.Live(i);
        if (last) strides.push_back(reinterpret_cast<std::intptr_t>(c) - reinterpret_cast<std::intptr_t>(last));
        last = c;
    }
    return strides;
}

} // namespace

TEST(StageCharaStorage, CharactersLieOneAfterAnotherInTheOrderTheyAreMade) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's build takes each character from the heap, to check it";
#endif
    cStage st = playtest::MakeStage(60, 15);
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    enemy.sPosY = 12;
    for (i16 i = 0; i < 40; ++i) {
        enemy.sPosX = static_cast<i16>(4 + i);
        st.vChara.push_back(enemy);
    }
    st.Prepare();
    playtest::PlayFixture play(st);
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    const std::vector<std::intptr_t> one(static_cast<std::size_t>(s.m_lstChara.Size() - 1),
                                         static_cast<std::intptr_t>(sizeof(cStageChara)));
    ASSERT_GE(one.size(), 39u);
    EXPECT_EQ(CharaStrides(s), one);
    // A restart makes them again from the first slot: the same stride, in the same order.
    play.Steps(5);
    s.SetStage(1, 0);
    play.Steps(5);
    EXPECT_EQ(CharaStrides(s), one);
}
