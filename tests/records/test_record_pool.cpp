// The pooled storage of flows, commands, conditions and their parts: every command kind keeps
// its bytes through it, copies stay their own when the memory of others is reused, and records
// made on one thread are freed on another.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "FlowTestUtil.h"
#include "records/EdChara.h"

using namespace flowtest;

namespace {
struct RecordPool : flowtest::CmdLimitsTest {};

// A character holding one flow per command kind of both sets (and a kind past each table),
// each command with its parameters, owned records on every other kind and a nested flow.
cEdChara EveryKindChara() {
    cEdChara c;
    c.wPicture = 2;
    for (u8 set = 0; set < 2; ++set) {
        const int count = set ? kCmdTypeCount2 : kCmdTypeCount;
        for (int kind = 0; kind <= count; ++kind) {
            cFlowCmd cmd;
            cmd.Clear();
            cmd.cmdSet = set;
            cmd.cmdKind = static_cast<u8>(kind == count ? 200 : kind);
            cmd.time = static_cast<i16>(kind);
            const u32 n = CmdTypeRow(set, cmd.cmdKind).nParams;
            for (u32 i = 0; i < n; ++i) cmd.params.push_back(1000u * set + 10u * static_cast<u32>(kind) + i);
            if (kind % 2) {
                NewEdMove(cmd.move);
                cmd.move->wSpeed = static_cast<i16>(kind);
                NewEdShot(cmd.shot);
                cmd.shot->wLife = static_cast<i16>(kind);
                NewCondList(cmd.condList);
                cmd.condList->conds.push_back(MakeCond(2, kind));
            }
            if (kind % 3 == 0) cmd.flows.push_back(MakeRichFlow(kind));
            cFlow f;
            f.Clear();
            f.trigger = static_cast<u8>(kind % kFlowTriggerCount);
            f.subKind = 1;
            f.conds.push_back(MakeCond(1, kind));
            f.cmds.push_back(cmd);
            c.vFlow.push_back(f);
        }
    }
    return c;
}

void ExpectParamsAsMade(const cEdChara& c) {
    ASSERT_EQ(c.vFlow.size(), static_cast<std::size_t>(kCmdTypeCount + kCmdTypeCount2 + 2));
    for (const cFlow& f : c.vFlow) {
        ASSERT_EQ(f.cmds.size(), 1u);
        const cFlowCmd& cmd = f.cmds[0];
        const u32 n = CmdTypeRow(cmd.cmdSet, cmd.cmdKind).nParams;
        ASSERT_EQ(cmd.params.size(), n) << int(cmd.cmdSet) << " " << int(cmd.cmdKind);
        const u32 kind = cmd.cmdKind == 200 ? static_cast<u32>(cmd.cmdSet ? kCmdTypeCount2 : kCmdTypeCount) : cmd.cmdKind;
        for (u32 i = 0; i < n; ++i) EXPECT_EQ(cmd.params[i], 1000u * cmd.cmdSet + 10u * kind + i);
        EXPECT_EQ(cmd.move != nullptr, kind % 2 == 1);
    }
}
} // namespace

TEST_F(RecordPool, EveryCommandKindKeepsItsBytesAndCopiesStayTheirOwn) {
    cEdChara made = EveryKindChara();
    const std::string bytes = SaveBytes(made);
    cEdChara back;
    ASSERT_TRUE(LoadBytes(back, bytes));
    ExpectParamsAsMade(back);
    EXPECT_EQ(SaveBytes(back), bytes);

    // A copy outlives its source, whose memory then goes to new records.
    auto source = std::make_unique<cEdChara>(back);
    cEdChara copy = *source;
    source.reset();
    std::vector<cEdChara> others(20);
    for (cEdChara& o : others) ASSERT_TRUE(LoadBytes(o, bytes));
    ExpectParamsAsMade(copy);
    EXPECT_EQ(SaveBytes(copy), bytes);
    // Lists that grow and shrink (erasure, moves, reallocation) keep their elements whole.
    for (int i = 0; i < 40; ++i) copy.vFlow.push_back(copy.vFlow[i % 10]);
    copy.vFlow.erase(copy.vFlow.begin() + kCmdTypeCount + kCmdTypeCount2 + 2, copy.vFlow.end());
    EXPECT_EQ(SaveBytes(copy), bytes);
}

TEST_F(RecordPool, RecordsReadOnOneThreadAreFreedOnAnother) {
    cEdChara made = EveryKindChara();
    const std::string bytes = SaveBytes(made);
    // A load thread that ends, as a stage load's does; its records are freed here.
    for (int round = 0; round < 10; ++round) {
        std::vector<std::unique_ptr<cEdChara>> read(4);
        std::thread loader([&] {
            for (auto& c : read) {
                c = std::make_unique<cEdChara>();
                EXPECT_TRUE(LoadBytes(*c, bytes));
            }
        });
        loader.join();
        for (auto& c : read) EXPECT_EQ(SaveBytes(*c), bytes);
    }
    // Several threads reading and freeing at once.
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < 20; ++i) {
                cEdChara c;
                EXPECT_TRUE(LoadBytes(c, bytes));
                EXPECT_EQ(SaveBytes(c), bytes);
            }
        });
    for (std::thread& w : workers) w.join();
}

TEST_F(RecordPool, DamagedBytesFailOrReadWithoutHarm) {
    cEdChara made = EveryKindChara();
    const std::string bytes = SaveBytes(made);
    // Every word replaced by a large value, then every tenth byte flipped: the read fails or
    // gives a record that writes itself again (under the sanitizers, with no bad access).
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        std::string b = bytes;
        const u32 big = 0x40000000u + static_cast<u32>(at);
        std::memcpy(&b[at], &big, 4);
        cEdChara c;
        if (LoadBytes(c, b)) SaveBytes(c);
    }
    for (std::size_t at = 0; at < bytes.size(); at += 10) {
        std::string b = bytes;
        b[at] = static_cast<char>(~b[at]);
        cEdChara c;
        if (LoadBytes(c, b)) SaveBytes(c);
    }
}
