// Stored form, round trips, copies and damaged input of the flow records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "FlowTestUtil.h"
#include "records/Cmd.h"

using namespace flowtest;

namespace {
struct FlowRecords : flowtest::CmdLimitsTest {};
} // namespace

TEST_F(FlowRecords, MenuEntriesCountAndPickEnabledOnes) {
    cVector<cCmd> list(4);
    for (int i = 0; i < 4; ++i) list[i].enabled = (i % 2) ? 1 : 0;
    EXPECT_EQ(cCmd::CountEnabled(list), 2);
    EXPECT_EQ(cCmd::GetCmdNum(0, list), 1);
    EXPECT_EQ(cCmd::GetCmdNum(1, list), 3);
    EXPECT_EQ(cCmd::GetCmdNum(2, list), 0);
    EXPECT_EQ(cCmd::GetCmdNum(-1, list), 0);
    cVector<cCmd> empty;
    EXPECT_EQ(cCmd::CountEnabled(empty), 0);
    EXPECT_EQ(cCmd::GetCmdNum(0, empty), 0);
}

TEST_F(FlowRecords, CopiesOwnTheirRecords) {
    cFlowCmd src = MakeRichCmd(0);
    cFlowCmd copy(src);
    ASSERT_TRUE(copy.move && copy.shot && copy.condList);
    EXPECT_NE(copy.move.get(), src.move.get());
    copy.move->wSpeed = 99;
    copy.condList->conds[0].value = 5;
    copy.flows[0].trigger = 1;
    EXPECT_EQ(src.move->wSpeed, 25);
    EXPECT_EQ(src.condList->conds[0].value, -9);
    EXPECT_EQ(src.flows[0].trigger, 22);

    // An empty source record leaves the destination empty, even if it held one.
    cFlowCmd bare;
    bare.Clear();
    copy = bare;
    EXPECT_FALSE(copy.move || copy.shot || copy.condList);

    // A copy saves its own values (its descriptor lists are its own).
    cFlowCmd second(src);
    second.time = 77;
    const std::string b = SaveBytes(second);
    cFlowCmd back;
    ASSERT_TRUE(LoadBytes(back, b));
    EXPECT_EQ(back.time, 77);
    EXPECT_EQ(src.time, -5);

    // Reset drops the owned records and sets flag 96.
    second.Reset();
    EXPECT_FALSE(second.move || second.shot || second.condList);
    EXPECT_EQ(second.flag96, 1);
    EXPECT_EQ(second.chain, 0);
    EXPECT_EQ(second.text, "");
    EXPECT_TRUE(src.move && src.shot && src.condList);
}

TEST_F(FlowRecords, VectorErasureAndAssignmentKeepElementsIndependent) {
    cVector<cFlowCmd> cmds;
    for (int i = 0; i < 3; ++i) cmds.push_back(MakeRichCmd(i));
    cmds.erase(cmds.begin());
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0].move->wSpeed, 26);
    EXPECT_EQ(cmds[1].move->wSpeed, 27);
    EXPECT_NE(cmds[0].shot.get(), cmds[1].shot.get());

    cVector<cCond> five(5, MakeCond(2, 1));
    cVector<cCond> two;
    two.push_back(MakeCond(1, 10));
    two.push_back(MakeCond(3, 20));
    five = two;
    ASSERT_EQ(five.size(), 2u);
    EXPECT_EQ(five[1].value, 20);
    cRecordWriter w;
    five[1].Save(w); // registers the copy's own fields
    cCond back;
    ASSERT_TRUE(LoadBytes(back, w.Bytes()));
    EXPECT_EQ(back.kind, 3);

    cFlow f = MakeRichFlow(0);
    cFlow g;
    g = f;
    g.cmds[0].shot->wOfsX = -1;
    EXPECT_EQ(f.cmds[0].shot->wOfsX, 10);
    cFlow h(f);
    EXPECT_EQ(SaveBytes(f), SaveBytes(h));
}

TEST_F(FlowRecords, DamagedInputFailsWithoutHugeAllocations) {
    cFlow f = MakeRichFlow(0);
    const std::string good = SaveBytes(f);
    // Every truncation fails cleanly.
    for (std::size_t n = 0; n < good.size(); n += 7) {
        cFlow back;
        back.Clear();
        EXPECT_FALSE(LoadBytes(back, good.substr(0, n))) << n;
    }
    // A condition count far past the file.
    std::string huge = good;
    const std::size_t condCount = 22; // after the flow's generic body (empty name)
    u32 big = 0x7FFFFFFF;
    std::memcpy(&huge[condCount], &big, 4);
    cFlow back;
    EXPECT_FALSE(LoadBytes(back, huge));
    // More fields than the version registers.
    std::string extra = good;
    u32 eleven = 11;
    std::memcpy(&extra[0], &eleven, 4);
    EXPECT_FALSE(LoadBytes(back, extra));
}

// Nearly every command body holds every field and an empty text, and takes a shorter read; a
// body of fewer fields (the rest keep their values), with a text, or with a string count other
// than one reads as it always did, and the bytes after the body are read from the same place.
TEST_F(FlowRecords, CommandBodiesOfEveryFormReadAlike) {
    auto body = [](u32 fields, u32 strings, const std::string& text) {
        cRecordWriter w;
        w.WriteU32(fields);
        // set, kind, time -5, step 3, chain, sound 2, flag, anime 4, and a byte for a ninth field
        const u8 bytes[13] = {0, 9, 0xFB, 0xFF, 3, 0, 1, 2, 0, 1, 4, 0, 0};
        std::size_t n = 0;
        for (u32 i = 0; i < fields; ++i) n += (i == 2 || i == 3 || i == 5 || i == 7) ? 2 : 1;
        w.WriteBytes(bytes, n);
        w.WriteU32(strings);
        for (u32 i = 0; i < strings; ++i) w.WriteString(text);
        for (int i = 0; i < 4; ++i) w.WriteU32(0); // move, shot, condition list, flows
        w.WriteU32(1);                              // one parameter (kind 9 has one)
        w.WriteU32(77);
        return w.Take();
    };
    struct Case {
        u32 fields, strings;
        std::string text;
        bool ok;
    };
    for (const Case& c : {Case{8, 1, "", true}, Case{8, 1, "ab", true}, Case{5, 1, "", true}, Case{8, 0, "", true},
                          Case{8, 2, "", false}, Case{9, 1, "", false}}) {
        cFlowCmd cmd;
        cmd.Clear();
        cmd.text = "old";
        cmd.anime = 6;
        const std::string bytes = body(c.fields, c.strings, c.text);
        cRecordReader r(bytes, kProgVer);
        cmd.Load(r);
        ASSERT_EQ(!r.Failed(), c.ok) << c.fields << " " << c.strings;
        if (!c.ok) continue;
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(cmd.cmdSet, 0);
        EXPECT_EQ(cmd.cmdKind, 9);
        EXPECT_EQ(cmd.time, -5);
        EXPECT_EQ(cmd.timeStep, 3);
        EXPECT_EQ(cmd.chain, 1);
        EXPECT_EQ(cmd.sound, c.fields > 5 ? 2 : 0);
        EXPECT_EQ(cmd.anime, c.fields == 8 ? 4 : 6);
        EXPECT_EQ(cmd.text, c.strings ? c.text : "old");
        ASSERT_EQ(cmd.params.size(), 1u);
        EXPECT_EQ(cmd.params[0], 77u);
    }
}

namespace {
// Gives every registered field of rec bytes of its own.
template <class T>
void FillFields(T& rec) {
    u8 b = 1;
    for (int i = 0; i < rec.FieldCount(); ++i) {
        const DATAFIELD f = rec.Field(i);
        u8* p = static_cast<u8*>(f.address);
        for (u32 k = 0; k < f.count * static_cast<u32>(f.size); ++k) p[k] = b++;
    }
}

// The bytes of the first n registered fields, in their stored order.
template <class T>
std::string FieldBytes(T& rec, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        const DATAFIELD f = rec.Field(i);
        s.append(static_cast<const char*>(f.address), f.count * static_cast<u32>(f.size));
    }
    return s;
}

// A body holding rec's first n fields and m empty strings.
template <class T>
std::string BodyOf(T& rec, u32 n, u32 m) {
    cRecordWriter w;
    w.WriteU32(n);
    const std::string fields = FieldBytes(rec, static_cast<int>(std::min<u32>(n, rec.FieldCount())));
    w.WriteBytes(fields.data(), fields.size());
    if (n > static_cast<u32>(rec.FieldCount())) w.WriteU8(7);
    w.WriteU32(m);
    for (u32 i = 0; i < m; ++i) w.WriteString("");
    return w.Take();
}

// Movements and shots in the form a stage holds them by the thousand are read in one look;
// every other form goes the general way. Both must give the same record.
template <class T>
void CheckBodyForms(T& src) {
    FillFields(src);
    const int all = src.FieldCount();
    const T fresh = BlankRecord<T>();
    {
        T back = fresh;
        const std::string bytes = BodyOf(src, static_cast<u32>(all), 0);
        cRecordReader r(bytes, kProgVer);
        back.Load(r);
        ASSERT_FALSE(r.Failed());
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(FieldBytes(back, all), FieldBytes(src, all));
    }
    {
        // One field short: the last keeps its fresh value.
        T back = fresh;
        T def = fresh;
        const std::string bytes = BodyOf(src, static_cast<u32>(all - 1), 0);
        cRecordReader r(bytes, kProgVer);
        back.Load(r);
        ASSERT_FALSE(r.Failed());
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(FieldBytes(back, all - 1), FieldBytes(src, all - 1));
        EXPECT_EQ(FieldBytes(back, all).substr(FieldBytes(back, all - 1).size()),
                  FieldBytes(def, all).substr(FieldBytes(def, all - 1).size()));
    }
    for (const auto& [n, m] : {std::pair<u32, u32>{static_cast<u32>(all), 1}, {static_cast<u32>(all + 1), 0}}) {
        // A string the record does not have, or a field more than it has: a damaged file.
        T back = fresh;
        const std::string bytes = BodyOf(src, n, m);
        cRecordReader r(bytes, kProgVer);
        back.Load(r);
        EXPECT_TRUE(r.Failed()) << n << " " << m;
    }
    {
        // Cut short inside the body.
        T back = fresh;
        const std::string bytes = BodyOf(src, static_cast<u32>(all), 0);
        cRecordReader r(bytes.substr(0, bytes.size() - 6), kProgVer);
        back.Load(r);
        EXPECT_TRUE(r.Failed());
    }
}
} // namespace

TEST_F(FlowRecords, MovementAndShotBodiesOfEveryFormReadAlike) {
    cEdMove move;
    CheckBodyForms(move);
    cEdShot shot;
    CheckBodyForms(shot);

    // Inside a command, a movement in a short form leaves the rest of the command in place.
    cFlowCmd cmd = MakeRichCmd(1);
    cRecordWriter w;
    cmd.cRecord::Save(w);
    w.WriteU32(1);
    const std::string shortMove = BodyOf(*cmd.move, static_cast<u32>(cmd.move->FieldCount() - 2), 0);
    w.WriteBytes(shortMove.data(), shortMove.size());
    w.WriteU32(1);
    cmd.shot->Save(w);
    for (int i = 0; i < 2; ++i) w.WriteU32(0); // condition list, flows
    w.WriteU32(18);
    w.WriteBytes(cmd.params.data(), 18 * 4);
    cFlowCmd back;
    ASSERT_TRUE(LoadBytes(back, w.Take()));
    ASSERT_TRUE(back.move && back.shot);
    EXPECT_EQ(back.move->wSpeed, cmd.move->wSpeed);
    EXPECT_EQ(back.shot->byOpt64, 9);
    EXPECT_EQ(back.params[17], cmd.params[17]);
}

// A movement or shot that made its descriptor lists is destroyed with its command (under the
// leak checker, lists left behind would show); one that never did is only given back.
TEST_F(FlowRecords, OwnedRecordsHoldingFieldListsAreFreedWhole) {
    for (int round = 0; round < 2; ++round) {
        cFlowCmd cmd = MakeRichCmd(round);
        if (round == 0) {
            EXPECT_GT(cmd.move->FieldCount(), 30);
            EXPECT_GT(cmd.shot->FieldCount(), 60);
            EXPECT_TRUE(record_holders::Any(cmd.move.get()));
            EXPECT_TRUE(record_holders::Any(cmd.shot.get()));
        }
        cFlowCmd copy(cmd);
        copy.move.reset();
        cmd.move.reset();
        cmd.shot.reset();
        EXPECT_EQ(copy.shot->byOpt64, 9);
    }
}

// A list of commands frees each element's holdings, whichever one it holds: the plain ones give
// theirs back without their destructor, the others run it (a leak check sees a missed one).
TEST_F(FlowRecords, CommandListsFreeWhatEachCommandHolds) {
    for (int kind = 0; kind < 6; ++kind) {
        cVector<cFlowCmd> cmds;
        for (int i = 0; i < 4; ++i) {
            cFlowCmd c;
            c.cmdKind = 19;
            c.params.assign(18, static_cast<u32>(i));
            if (i == 1) NewEdMove(c.move);
            if (i == 2) NewEdShot(c.shot);
            if (i == 3) {
                switch (kind) {
                case 0: c.text.assign(40, 'x'); break;
                case 1: c.flows.push_back(MakeRichFlow(2)); break;
                case 2: NewCondList(c.condList); break;
                case 3: EXPECT_EQ(c.FieldCount(), 8); break;
                case 4: c.params.assign(400, 1); break; // past the pooled sizes
                default: c.params.clear(); break;
                }
            }
            cmds.push_back(std::move(c));
        }
        if (kind == 3) {
            EXPECT_GT(cmds[1].move->FieldCount(), 30);
        }
        cmds.erase(cmds.begin() + 1);
        ASSERT_EQ(cmds.size(), 3u);
        EXPECT_TRUE(cmds[1].shot);
        EXPECT_EQ(cmds[2].params.size(), kind == 4 ? 400u : kind == 5 ? 0u : 18u);
    }
    // Conditions: only one that made its field lists holds something.
    cVector<cCond> conds(3, MakeCond(2, 1));
    EXPECT_GT(conds[1].FieldCount(), 10);
    conds.erase(conds.begin());
    EXPECT_EQ(conds.size(), 2u);
}

namespace {
// A flow whose single command hands over a flow, depth times.
std::string NestedFlowBytes(int depth) {
    cRecordWriter tail;
    // The innermost flow: no conditions, keys or commands.
    cFlow leaf;
    leaf.Clear();
    leaf.Save(tail);
    std::string body = tail.Take();
    for (int d = 1; d < depth; ++d) {
        cFlow f;
        f.Clear();
        cRecordWriter w;
        f.cRecord::Save(w);
        w.WriteU32(0); // conditions
        w.WriteU32(0); // key rows
        w.WriteU32(1); // one command
        cFlowCmd c;
        c.Clear();
        c.cRecord::Save(w);
        w.WriteU32(0); // move
        w.WriteU32(0); // shot
        w.WriteU32(0); // condition list
        w.WriteU32(1); // one flow
        w.WriteBytes(body.data(), body.size());
        w.WriteU32(0); // parameters
        body = w.Take();
    }
    return body;
}
} // namespace

TEST_F(FlowRecords, NestingDeeperThan32IsADamagedFile) {
    cFlow f;
    EXPECT_TRUE(LoadBytes(f, NestedFlowBytes(kMaxFlowNesting)));
    EXPECT_FALSE(LoadBytes(f, NestedFlowBytes(kMaxFlowNesting + 1)));
    // A bomb far deeper than the stack could take fails the same way.
    EXPECT_FALSE(LoadBytes(f, NestedFlowBytes(2000)));
    // The depth count is back to zero afterwards.
    EXPECT_TRUE(LoadBytes(f, NestedFlowBytes(kMaxFlowNesting)));
}

namespace {
template <class T>
std::string StoredBytes(T& rec) {
    cRecordWriter w;
    rec.Save(w);
    return w.Take();
}

template <class T>
void ExpectFreshIsCleared() {
    static_assert(kFreshIsCleared<T>);
    T fresh;
    T cleared;
    cleared.Clear();
    EXPECT_EQ(StoredBytes(fresh), StoredBytes(cleared));
}
} // namespace

// Record lists skip the clear of a fresh element for these classes.
TEST_F(FlowRecords, ListElementsOfFlowsStartCleared) {
    ExpectFreshIsCleared<cCond>();
    ExpectFreshIsCleared<cFlow>();
    ExpectFreshIsCleared<cFlowCmd>();
}
