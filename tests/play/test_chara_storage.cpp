// Where the stage characters lie: one after the other, in the order the stage makes them, so that
// the walks of a step go through memory at one stride.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
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

// The address sanitizer's build takes each character from the heap, to check it: there the
// characters lie wherever the heap puts them.
#if defined(__SANITIZE_ADDRESS__)
#define TOBRELK_SKIP_UNDER_ASAN() GTEST_SKIP() << "the address sanitizer's build takes each character from the heap"
#else
#define TOBRELK_SKIP_UNDER_ASAN() (void)0
#endif

// A small stage with forty enemies in a row on its floor.
cStage FortyEnemies() {
    cStage st = playtest::MakeStage(60, 15);
    cEdChara enemy = st.vChara[0];
    enemy.byOperation = 1;
    enemy.sPosY = 12;
    for (i16 i = 0; i < 40; ++i) {
        enemy.sPosX = static_cast<i16>(4 + i);
        st.vChara.push_back(enemy);
    }
    st.Prepare();
    return st;
}

} // namespace

TEST(StageCharaStorage, CharactersLieOneAfterAnotherInTheOrderTheyAreMade) {
    TOBRELK_SKIP_UNDER_ASAN();
    playtest::PlayFixture play(FortyEnemies());
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

// The slab the stage's characters come from is one huge page of the processor, aligned to it:
// the first character starts it, and the forty of a small stage lie inside it.
TEST(StageCharaStorage, TheCharactersOfASlabLieInOneHugePage) {
    TOBRELK_SKIP_UNDER_ASAN();
    playtest::PlayFixture play(FortyEnemies());
    ASSERT_TRUE(play.RunUntilPlay());
    cGameScene& s = play.Scene();
    ASSERT_GE(s.m_lstChara.Size(), 40);
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    const auto first = reinterpret_cast<std::uintptr_t>(s.m_lstChara.Live(0));
    EXPECT_EQ(first % kHuge, 0u);
    for (int i = 0; i < s.m_lstChara.Size(); ++i) {
        const auto at = reinterpret_cast<std::uintptr_t>(s.m_lstChara.Live(i));
        EXPECT_EQ(at / kHuge, first / kHuge) << i;
        EXPECT_LE(at + sizeof(cStageChara), first + kHuge) << i;
    }
}

namespace {

std::ptrdiff_t At(const cStageChara& c, const void* field) {
    return static_cast<const char*>(field) - reinterpret_cast<const char*>(&c);
}

} // namespace

// What a character's step reads lies in the lines the acting walk asks for ahead of it: before
// its links, or in the first line of the stage character's own fields; what only flow changes
// and targets read lies between.
TEST(StageCharaStorage, WhatAStepReadsLiesInTheLinesAskedForAhead) {
    const auto c = std::make_unique<cStageChara>();
    const std::ptrdiff_t coldFrom = At(*c, &c->m_aTarget), stageFrom = At(*c, &c->m_bHasItem) & ~std::ptrdiff_t{63};
    const std::pair<const char*, const void*> read[] = {
        {"m_dX", &c->m_dX},
        {"m_Self", &c->m_Self},
        {"m_vFlowRun", &c->m_vFlowRun},
        {"m_rcDamage", &c->m_rcDamage.rc},
        {"m_bLetterEnded", &c->m_bLetterEnded},
        {"m_bPendingDelete", &c->m_bPendingDelete},
        {"m_dVMotion", &c->m_dVMotion},
        {"m_dKnockX", &c->m_dKnockX},
        {"m_nNoFloorFrames", &c->m_nNoFloorFrames},
        {"m_nFloorCell", &c->m_nFloorCell},
        {"m_bMovedByCmd", &c->m_bMovedByCmd},
        {"m_bFixedFacing", &c->m_bFixedFacing},
        {"m_dCmdAccum", &c->m_dCmdAccum[1]},
        {"m_nLastSide", &c->m_nLastSide},
        {"m_FloorObj", &c->m_FloorObj},
        {"m_bOnFloor", &c->m_bOnFloor},
        {"m_nJumpFlags", &c->m_nJumpFlags},
        {"m_nSide", &c->m_nSide},
        {"m_rcBody", &c->m_rcBody.rc},
    };
    for (const auto& [name, field] : read) EXPECT_LT(At(*c, field), coldFrom) << name;
    // The stage character's fields that a step reads: one line, the one asked for.
    const std::pair<const char*, std::pair<const void*, std::size_t>> stage[] = {
        {"m_nLife", {&c->m_nLife, sizeof c->m_nLife}},
        {"m_bIgnoreRangeX", {&c->m_bIgnoreRangeX, sizeof c->m_bIgnoreRangeX}},
        {"m_nActivityRule", {&c->m_nActivityRule, sizeof c->m_nActivityRule}},
        {"m_bActive", {&c->m_bActive, sizeof c->m_bActive}},
        {"m_bInRange", {&c->m_bInRange, sizeof c->m_bInRange}},
        {"m_nGroup", {&c->m_nGroup, sizeof c->m_nGroup}},
        {"m_bBlockChara", {&c->m_bBlockChara, sizeof c->m_bBlockChara}},
        {"m_nHoldOff", {&c->m_nHoldOff, sizeof c->m_nHoldOff}},
        {"m_StepSlot", {&c->m_StepSlot, sizeof c->m_StepSlot}}};
    EXPECT_EQ(At(*c, &c->m_bHasItem), stageFrom);
    for (const auto& [name, field] : stage) {
        EXPECT_GE(At(*c, field.first), stageFrom) << name;
        EXPECT_LE(At(*c, field.first) + static_cast<std::ptrdiff_t>(field.second), stageFrom + 64) << name;
    }
    // What only the drawing, the set-up and a few commands read lies after it.
    for (const void* later : {static_cast<const void*>(&c->m_nItemBlink), static_cast<const void*>(&c->m_dHomeX),
                              static_cast<const void*>(&c->m_byBehaviour), static_cast<const void*>(&c->m_Item)})
        EXPECT_GE(At(*c, later), stageFrom + 64);
    // The lines asked for: the front of the character and that line, under two fifths of it.
    EXPECT_LE(coldFrom + 64, static_cast<std::ptrdiff_t>(sizeof(cStageChara)) * 2 / 5);
    for (const void* cold : {static_cast<const void*>(&c->m_Def), static_cast<const void*>(&c->m_vLink),
                             static_cast<const void*>(&c->m_vFlow), static_cast<const void*>(&c->m_vChild)})
        EXPECT_GE(At(*c, cold), coldFrom);
    // What a step reads only now and then (recent attackers, riding, a shot's overlap, drawing).
    const std::pair<const char*, const void*> seldom[] = {
        {"m_vHitBy", &c->m_vHitBy},   {"m_dRideX", &c->m_dRideX},   {"m_dRideY", &c->m_dRideY},
        {"m_nLayer", &c->m_nLayer},   {"m_dCarryX", &c->m_dCarryX}, {"m_dCarryY", &c->m_dCarryY},
        {"m_nInvincibleKind", &c->m_nInvincibleKind}};
    for (const auto& [name, field] : seldom) EXPECT_GE(At(*c, field), coldFrom) << name;
}

// The timers walk of a step reads the position, the registry place, the contacts, the timers and
// the saved position of each character it lists: two lines, the ones it asks for ahead.
TEST(StageCharaStorage, WhatTheTimersWalkReadsLiesInTwoLines) {
    const auto c = std::make_unique<cStageChara>();
    const std::ptrdiff_t first = At(*c, &c->m_dX) & ~std::ptrdiff_t{63}, second = At(*c, &c->m_dSaved) & ~std::ptrdiff_t{63};
    EXPECT_NE(first, second);
    struct Field {
        const char* name;
        const void* at;
        std::size_t size;
    };
    const Field read[] = {
        {"m_dX", &c->m_dX, sizeof c->m_dX},
        {"m_dY", &c->m_dY, sizeof c->m_dY},
        {"m_dRight", &c->m_dRight, sizeof c->m_dRight},
        {"m_dBottom", &c->m_dBottom, sizeof c->m_dBottom},
        {"m_Self", &c->m_Self, sizeof c->m_Self},
        {"m_bDying", &c->m_bDying, sizeof c->m_bDying},
        {"m_bContactL", &c->m_bContactL, sizeof c->m_bContactL},
        {"m_bContactB", &c->m_bContactB, sizeof c->m_bContactB},
        {"m_nInvincible", &c->m_nInvincible, sizeof c->m_nInvincible},
        {"m_nHitByCount", &c->m_nHitByCount, sizeof c->m_nHitByCount},
        {"m_dSaved", &c->m_dSaved, sizeof c->m_dSaved},
    };
    for (const Field& f : read) {
        const std::ptrdiff_t from = At(*c, f.at), last = from + static_cast<std::ptrdiff_t>(f.size) - 1;
        const std::ptrdiff_t line = from & ~std::ptrdiff_t{63};
        EXPECT_TRUE(line == first || line == second) << f.name;
        EXPECT_EQ(line, last & ~std::ptrdiff_t{63}) << f.name;
    }
}

namespace {

struct Field {
    const char* name;
    const void* at;
    std::size_t size;
};
#define STORAGE_FIELD(c, f) Field{#f, &(c).f, sizeof (c).f}

// The lines of c the fields lie in, each field checked to lie in one line.
std::vector<std::ptrdiff_t> LinesOf(const cStageChara& c, const std::vector<Field>& fields) {
    std::vector<std::ptrdiff_t> lines;
    for (const Field& f : fields) {
        const std::ptrdiff_t from = At(c, f.at), line = from & ~std::ptrdiff_t{63};
        EXPECT_EQ(line, (from + static_cast<std::ptrdiff_t>(f.size) - 1) & ~std::ptrdiff_t{63}) << f.name;
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

// The step start's walk over every character reads four lines of each that wakes: its presence
// and screen place, its position with its registry place, its contacts, timers and saved position,
// and the stage character's range and wake flags.
TEST(StageCharaStorage, WhatTheStepStartReadsLiesInFourLines) {
    const auto p = std::make_unique<cStageChara>();
    const cStageChara& c = *p;
    const std::vector<std::ptrdiff_t> lines = LinesOf(c, {
        STORAGE_FIELD(c, m_rcScreen), STORAGE_FIELD(c, m_nGfxOffX), STORAGE_FIELD(c, m_nGfxOffY),
        STORAGE_FIELD(c, m_nGfxW), STORAGE_FIELD(c, m_nGfxH), STORAGE_FIELD(c, m_bScrollSync),
        STORAGE_FIELD(c, m_bShownHeld), STORAGE_FIELD(c, m_bFly), STORAGE_FIELD(c, m_bPresent),
        STORAGE_FIELD(c, m_bOnScreen), STORAGE_FIELD(c, m_pScene),
        STORAGE_FIELD(c, m_dX), STORAGE_FIELD(c, m_dY), STORAGE_FIELD(c, m_dRight), STORAGE_FIELD(c, m_dBottom),
        STORAGE_FIELD(c, m_Self),
        STORAGE_FIELD(c, m_bDying), STORAGE_FIELD(c, m_bHasConds), STORAGE_FIELD(c, m_bContactL),
        STORAGE_FIELD(c, m_bContactR), STORAGE_FIELD(c, m_bContactT), STORAGE_FIELD(c, m_bContactB),
        STORAGE_FIELD(c, m_nInvincible), STORAGE_FIELD(c, m_nHitByCount), STORAGE_FIELD(c, m_dSaved),
        STORAGE_FIELD(c, m_nLife), STORAGE_FIELD(c, m_bIgnoreRangeX), STORAGE_FIELD(c, m_bIgnoreRangeY),
        STORAGE_FIELD(c, m_bWoken), STORAGE_FIELD(c, m_bStayAwake), STORAGE_FIELD(c, m_bKeepAwake),
        STORAGE_FIELD(c, m_nActivityRule), STORAGE_FIELD(c, m_bActive), STORAGE_FIELD(c, m_bInRange),
        STORAGE_FIELD(c, m_bGroup), STORAGE_FIELD(c, m_nGroup), STORAGE_FIELD(c, m_bBlockChara),
    });
    EXPECT_EQ(lines.size(), 4u);
    // The acting walk asks for the front of the character up to its links: eleven lines.
    EXPECT_LE(At(c, &c.m_aTarget), 11 * 64);
}

// The scan and the step of a running flow read the front of its run state, which the acting walk
// asks for ahead: under half of it. What starting the flow or a command reads lies after it.
TEST(StageCharaStorage, WhatARunningFlowReadsLiesInTheFrontOfItsRun) {
    const cFlowRun r;
    const char* const base = reinterpret_cast<const char*>(&r);
    const auto at = [&](const void* field) { return static_cast<const char*>(field) - base; };
    const std::ptrdiff_t startFrom = at(&r.m_pCmdList);
    struct Field {
        const char* name;
        const void* at;
        std::size_t size;
    };
    const Field step[] = {
        {"m_nIndex", &r.m_nIndex, sizeof r.m_nIndex},       {"m_nRunNo", &r.m_nRunNo, sizeof r.m_nRunNo},
        {"m_pFlow", &r.m_pFlow, sizeof r.m_pFlow},          {"m_nTrigger", &r.m_nTrigger, sizeof r.m_nTrigger},
        {"m_bRunning", &r.m_bRunning, sizeof r.m_bRunning}, {"m_vCmdRun", &r.m_vCmdRun, sizeof r.m_vCmdRun},
        {"m_bPaused", &r.m_bPaused, sizeof r.m_bPaused},    {"m_bStopped", &r.m_bStopped, sizeof r.m_bStopped},
        {"m_bPendingDelete", &r.m_bPendingDelete, sizeof r.m_bPendingDelete},
        {"m_nCurrent", &r.m_nCurrent, sizeof r.m_nCurrent}, {"m_nFrames", &r.m_nFrames, sizeof r.m_nFrames},
        {"m_bPassMark", &r.m_bPassMark, sizeof r.m_bPassMark}, {"m_bBusy", &r.m_bBusy, sizeof r.m_bBusy},
        {"m_bMsgWait", &r.m_bMsgWait, sizeof r.m_bMsgWait}, {"m_bStopRequest", &r.m_bStopRequest, sizeof r.m_bStopRequest},
    };
    for (const Field& f : step) EXPECT_LE(at(f.at) + static_cast<std::ptrdiff_t>(f.size), startFrom) << f.name;
    const std::pair<const char*, const void*> start[] = {
        {"m_bCondLatch", &r.m_bCondLatch}, {"m_vKeyRow", &r.m_vKeyRow},         {"m_bKeyHeld", &r.m_bKeyHeld},
        {"m_bKeyBefore", &r.m_bKeyBefore}, {"m_vExtra", &r.m_vExtra},           {"m_nInputSlot", &r.m_nInputSlot},
        {"m_lstOverride", &r.m_lstOverride}};
    for (const auto& [name, field] : start) EXPECT_GT(at(field), startFrom) << name;
    EXPECT_LE(startFrom * 2, static_cast<std::ptrdiff_t>(sizeof(cFlowRun)));
}

// Asking ahead reads a character's run list, first run and animation only where they have what
// is asked for: a character without programs or runs, a program or step out of range, a current
// command past the run's commands (the address sanitizer's build checks every read).
TEST(StageCharaStorage, AskingAheadReadsOnlyWhatACharacterHas) {
    const auto p = std::make_unique<cStageChara>();
    cStageChara& c = *p;
    const auto ask = [&] {
        PrefetchActing(c);
        PrefetchFlowRuns(c);
        PrefetchStepState(c);
    };
    ask();
    c.m_Anim.vProgram.assign(2, cVector<ANIMSTEP>(1));
    c.m_Anim.vProgram[1].clear();
    int asked = 0;
    for (const i32 program : {-1, 0, 1, 2, 1000})
        for (const i32 step : {-1, 0, 1, 5}) {
            c.m_Anim.nProgram = program;
            c.m_Anim.nStep = step;
            ask();
            ++asked;
        }
    c.m_vFlowRun.resize(1);
    c.m_vFlowRun[0].m_vCmdRun.Rebind(nullptr, nullptr, 2);
    c.m_vFlowRun[0].m_vCmdRun[1].m_nFramesLeft = 1;
    for (const i32 current : {-1, 0, 1, 2, 100}) {
        c.m_vFlowRun[0].m_nCurrent = current;
        ask();
        ++asked;
    }
    c.m_vFlowRun[0].m_vCmdRun.Rebind(nullptr, nullptr, 0);
    c.m_vFlowRun[0].m_nCurrent = 0;
    ask();
    EXPECT_EQ(asked, 25);
}
