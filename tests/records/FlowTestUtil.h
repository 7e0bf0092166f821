#pragma once
// Builders of flow records for the tests.
#include <gtest/gtest.h>

#include <string>

#include "records/Flow.h"
#include "records/FlowCmd.h"

namespace flowtest {

// Every test starts and ends with the default limits of the command checks.
class CmdLimitsTest : public ::testing::Test {
protected:
    void SetUp() override { SetCmdLimits(CMDLIMITS{}); }
    void TearDown() override { SetCmdLimits(CMDLIMITS{}); }
};

inline cCond MakeCond(u8 kind, i32 value) {
    cCond c;
    c.Clear();
    c.kind = kind;
    c.value = value;
    return c;
}

// A command of the character set with every owned record and a nested flow.
inline cFlowCmd MakeRichCmd(int seed) {
    cFlowCmd c;
    c.Clear();
    c.cmdKind = 19; // message: 18 parameters
    c.time = static_cast<i16>(-5 - seed);
    c.timeStep = 3;
    c.chain = 1;
    c.sound = 2;
    c.flag96 = 1;
    c.anime = 4;
    c.text = "\x83\x65\x83\x58\x83\x67"; // "テスト" in CP932
    c.params.assign(18, 0);
    for (u32 i = 0; i < 18; ++i) c.params[i] = i * 7 + static_cast<u32>(seed);
    NewEdMove(c.move);
    c.move->wSpeed = static_cast<i16>(25 + seed);
    c.move->dValue31 = 0.5;
    c.move->cTargetSlot = -1;
    NewEdShot(c.shot);
    c.shot->wOfsX = 10;
    c.shot->dwPower = 0xFFFFFF00u;
    c.shot->byOpt64 = 9;
    NewCondList(c.condList);
    c.condList->enabled = 1;
    c.condList->combine = 1;
    c.condList->conds.push_back(MakeCond(3, -9));
    cFlow inner;
    inner.Clear();
    inner.trigger = 22;
    inner.subKind = 2;
    c.flows.push_back(inner);
    return c;
}

inline cFlow MakeRichFlow(int seed) {
    cFlow f;
    f.Clear();
    f.subKind = 1;
    f.idLetter = 3;
    f.combine = 1;
    f.latch = 1;
    f.trigger = 18;
    f.targetOther = 1;
    f.targetSlot = 2;
    f.keyGap = 3;
    f.keyLatch = 1;
    f.conds.push_back(MakeCond(1, 42));
    f.conds.push_back(MakeCond(7, -3));
    cKeyCond k;
    k.Clear();
    k.minFrames = 2;
    k.maxFrames = 300;
    k.keys[10] = 1;
    f.keyConds.push_back(k);
    f.cmds.push_back(MakeRichCmd(seed));
    cFlowCmd bare;
    bare.Clear();
    bare.cmdKind = 1;
    f.cmds.push_back(bare);
    return f;
}

template <class T>
std::string SaveBytes(T& rec) {
    cRecordWriter w;
    rec.Save(w);
    return w.Take();
}

template <class T>
bool LoadBytes(T& rec, const std::string& bytes, u32 version = kProgVer) {
    cRecordReader r(bytes, version);
    rec.Load(r);
    return !r.Failed();
}

} // namespace flowtest
