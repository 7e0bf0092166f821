// Every record of the stage files, pinned by bytes written from its table in the data format: a
// distinct value in each field, read back by name and written again byte for byte; and each
// version gate read just below and at its cut-over.
#include <gtest/gtest.h>

#include "FlowTestUtil.h"
#include "RecordTables.h"
#include "records/Cmd.h"
#include "records/Stage.h"

using namespace golden;
using namespace rectables;

namespace {

// The tail of a stage file of version v with nothing in its lists.
std::string EmptyStageTail(u32 v) {
    Bytes b;
    b.U32(5).U32(1).U32(1).U32(1).U32(1).U32(1);
    for (int i = 0; i < 5; ++i) b.Raw(Body(kParams, v, Seq(8)));
    for (int i = 0; i < 8; ++i) b.U32(0);
    if (v >= 173) b.U32(kStageTrailer);
    return b.s;
}

template <class T> T Cleared() {
    T rec;
    rec.Clear();
    return rec;
}

template <class T> T ReadOk(const std::string& bytes, u32 v = kProgVer) {
    T rec = Cleared<T>();
    EXPECT_TRUE(ReadWhole(rec, bytes, v)) << "version " << v;
    return rec;
}

// Reads a body of version v followed by `tail` into a record that starts as `start`, and gives
// what the record writes.
template <class T>
std::function<std::string(const std::string&, u32)> Reloader(std::function<std::string(u32)> tail,
                                                             T start = T()) {
    return [tail, start](const std::string& body, u32 v) {
        T rec = start;
        EXPECT_TRUE(ReadWhole(rec, body + (tail ? tail(v) : std::string()), v)) << "version " << v;
        return Written(rec);
    };
}


struct RecordFormats : flowtest::CmdLimitsTest {};

} // namespace

TEST_F(RecordFormats, ConditionsFromTheirTables) {
    const std::vector<i64> vals = Seq(19);
    const std::string body = Body(kCond, kProgVer, vals);
    cCond c = ReadOk<cCond>(body);
    EXPECT_EQ(Vals(c.kind, c.value, c.rangeMin, c.rangeMax, c.subject, c.selector, c.leftKind,
                   c.leftVarScope, c.index, c.source, c.srcSubject, c.srcSelector, c.srcVarScope,
                   c.srcIndex, c.op, c.percent, c.shape),
              Expected(kCond, kProgVer, vals));
    EXPECT_EQ(Written(c), body);
    ExpectGates(kCond, vals, kProgVer, Reloader<cCond>(nullptr, Cleared<cCond>()));

    // A key step with three keys keeps three.
    const std::string keyBody =
        Body(kKeyCond, kProgVer, Seq(5)) + Bytes().U32(3).U8(2).U8(0).U8(1).s;
    cKeyCond k = ReadOk<cKeyCond>(keyBody);
    EXPECT_EQ(Vals(k.mirror, k.minFrames, k.maxFrames, k.anyLength, k.mode),
              Expected(kKeyCond, kProgVer, Seq(5)));
    EXPECT_EQ(k.keys, (cVector<u8>{2, 0, 1}));
    EXPECT_EQ(Written(k), keyBody);

    // A condition list holds its conditions from 766 on.
    const std::string listBody = Body(kCondList, kProgVer, {7, 9}) + Bytes().U32(1).Raw(body).s;
    cCondList l = ReadOk<cCondList>(listBody);
    EXPECT_EQ(Vals(l.enabled, l.combine), (std::vector<i64>{7, 9}));
    ASSERT_EQ(l.conds.size(), 1u);
    EXPECT_EQ(l.conds[0].shape, 19);
    EXPECT_EQ(Written(l), listBody);
    EXPECT_EQ(ReadOk<cCondList>(Body(kCondList, 765, {7, 9}), 765).conds.size(), 0u);
    EXPECT_EQ(ReadOk<cCondList>(listBody, 766).conds.size(), 1u);
}

TEST_F(RecordFormats, FlowFromItsTable) {
    const std::vector<i64> vals = Seq(11);
    // The name is not kept: a flow read from a file always has none.
    const std::string counts = Bytes().U32(0).U32(0).U32(0).s;
    const std::string bytes = Body(kFlow, kProgVer, vals, {{10, ""}}) + counts;
    cFlow f = ReadOk<cFlow>(Body(kFlow, kProgVer, vals) + counts);
    EXPECT_EQ(Vals(f.subKind, f.idLetter, f.editorOnly, f.combine, f.latch, f.trigger,
                   f.targetOther, f.targetSlot, f.keyGap, f.keyLatch),
              Expected(kFlow, kProgVer, vals));
    EXPECT_EQ(f.name, "");
    EXPECT_EQ(Written(f), bytes);
    // Trigger 0 is never renumbered and keeps the mark.
    std::vector<i64> still = vals;
    still[5] = 0;
    ExpectGates(kFlow, still, kProgVer,
                Reloader<cFlow>([&](u32) { return counts; }, Cleared<cFlow>()),
                [](u32, int i) { return i == 10; });
}

TEST_F(RecordFormats, MenuEntryFromItsTable) {
    const std::string bytes = Bytes().U32(1).U32(7).U32(1).Str("ab").s;
    cCmd c = ReadOk<cCmd>(bytes);
    EXPECT_EQ(Vals(c.enabled), (std::vector<i64>{7}));
    EXPECT_EQ(c.text, "ab");
    EXPECT_EQ(Written(c), bytes);
}

TEST_F(RecordFormats, MovementShotAndCommandFromTheirTables) {
    const std::vector<i64> mv = Seq(33);
    const std::string moveBody = Body(kMove, kProgVer, mv);
    cEdMove m = ReadOk<cEdMove>(moveBody);
    EXPECT_EQ(Vals(m.byMode1, m.byOpt2, m.wAngle, m.wAngleInc, m.bySwitch5, m.bySwitch6,
                   m.bySwitch7, m.wTargetXBl, m.wTargetYBl, m.wTargetXDot, m.wTargetYDot, m.byOpt12,
                   m.bySwitch13, m.byHoldX, m.byHoldY, m.bySwitch16, m.byOpt17, m.byTurnWithChara,
                   m.byOpt19, m.byOpt20, m.byOpt21, m.wSpeed, m.wSpeedInc, m.wValue24, m.wValue25,
                   m.byDistUnit, m.wHoming, m.wHomingInc, m.bySecondSpeed, m.wSecondSpeed,
                   m.dValue31, m.byPlayAnime, m.cTargetSlot),
              Expected(kMove, kProgVer, mv));
    EXPECT_EQ(Written(m), moveBody);
    // Read over a new movement, as a command reads one: a switch an older file lacks is off.
    std::shared_ptr<cEdMove> newMove;
    NewEdMove(newMove);
    ExpectGates(kMove, mv, kProgVer, Reloader<cEdMove>(nullptr, *newMove));

    const std::vector<i64> sv = Seq(68);
    const std::string shotBody = Body(kShot, kProgVer, sv);
    cEdShot s = ReadOk<cEdShot>(shotBody);
    EXPECT_EQ(Vals(s.cShotNum, s.byFormation, s.wFormation[0], s.wFormation[1], s.wFormation[2],
                   s.byOpt4, s.cDirection, s.byOpt6, s.cTargetSlotA, s.wAngle, s.wAngleInc,
                   s.byAngleMirror, s.wSpread, s.byOpt12, s.cClones, s.wOfsX, s.wOfsXInc, s.wOfsY,
                   s.wOfsYInc, s.byMirrorX, s.byMirrorY, s.wGraphic, s.cZ, s.byOpt22, s.byOpt23,
                   s.cFaction, s.byOpt25, s.bySize, s.byOpt27, s.byMoveType, s.wMoveType[0],
                   s.wMoveType[1], s.wMoveType[2], s.cTargetSlotB, s.byHoming, s.wSpeed,
                   s.wSpeedInc, s.byOpt34, s.wAccel, s.wAccelInc, s.wDistance, s.byOpt38,
                   s.wDistanceInc, s.byOpt40, s.byOpt41, s.wLife, s.wLifeInc, s.byOpt44, s.byOpt45,
                   s.byOpt46, s.byOpt47, s.cVanish, s.dwPower, s.wValue50, s.cImpact, s.wEffect,
                   s.byOpt53, s.wValue54, s.byBlockMode, s.byOpt56, s.byOpt57, s.bySummonPalette,
                   s.wSummonIndex, s.byOpt60, s.byOpt61, s.byOpt62, s.byOpt63, s.byOpt64),
              Expected(kShot, kProgVer, sv));
    EXPECT_EQ(Written(s), shotBody);
    // Homing comes from the movement type until 212 (its own rule, below).
    std::shared_ptr<cEdShot> newShot;
    NewEdShot(newShot);
    ExpectGates(kShot, sv, kProgVer, Reloader<cEdShot>(nullptr, *newShot),
                [](u32 v, int i) { return v < 212 && i == kShotHoming; });

    // A command of the item set's stage clear (nine parameters) owning all three records and a
    // flow; the owned records are present from their presence words, the condition list from 764.
    const std::vector<i64> cv = {1, 2, -3, 4, 5, 6, 7, 8};
    const std::string flowBody =
        Body(kFlow, kProgVer, {1, 2, 0, 4, 5, 6, 7, 8, 9, 10}, {{10, ""}}) +
        Bytes().U32(0).U32(0).U32(0).s;
    const std::string condList = Body(kCondList, kProgVer, {1, 0}) + Bytes().U32(0).s;
    Bytes params;
    params.U32(9);
    for (u32 i = 0; i < 9; ++i) params.U32(100 + i);
    const std::string cmdBytes = Body(kCmd, kProgVer, cv, {{8, "text"}}) +
        Bytes().U32(1).Raw(moveBody).U32(1).Raw(shotBody).U32(1).Raw(condList).U32(1).Raw(flowBody).Raw(params.s).s;
    cFlowCmd cmd = ReadOk<cFlowCmd>(cmdBytes);
    EXPECT_EQ(Vals(cmd.cmdSet, cmd.cmdKind, cmd.time, cmd.timeStep, cmd.chain, cmd.sound,
                   cmd.flag96, cmd.anime),
              (std::vector<i64>{1, 2, -3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(cmd.text, "text");
    ASSERT_TRUE(cmd.move && cmd.shot && cmd.condList);
    EXPECT_EQ(cmd.move->dValue31, 31.0);
    EXPECT_EQ(cmd.shot->byOpt64, 68);
    EXPECT_EQ(cmd.condList->enabled, 1);
    ASSERT_EQ(cmd.flows.size(), 1u);
    EXPECT_EQ(cmd.flows[0].keyLatch, 10);
    EXPECT_EQ(cmd.params[8], 108u);
    EXPECT_EQ(Written(cmd), cmdBytes);

    // Absent records are a presence word 0; before 764 there is no condition-list word at all.
    const std::string bare =
        Body(kCmd, 763, cv, {{8, "text"}}) + Bytes().U32(0).U32(0).U32(0).Raw(params.s).s;
    cFlowCmd old = ReadOk<cFlowCmd>(bare, 763);
    EXPECT_FALSE(old.move || old.shot || old.condList);
    EXPECT_EQ(old.params.size(), 9u);
    const std::string bare764 =
        Body(kCmd, 764, cv, {{8, "text"}}) + Bytes().U32(0).U32(0).U32(0).U32(0).Raw(params.s).s;
    EXPECT_EQ(Written(old), bare764);
    EXPECT_EQ(ReadOk<cFlowCmd>(bare764, 764).params[8], 108u);
}

TEST_F(RecordFormats, CharaBlockAndItemFromTheirTables) {
    // From 3 on: palette kind 3 names no palette, so nothing is inherited or reset.
    const std::vector<i64> cv = Seq(54, 3);
    const std::string chara = Body(kChara, kProgVer, cv) + CharaTail(-5, 6, 0xFFFFFFFFu);
    cEdChara c = ReadOk<cEdChara>(chara);
    EXPECT_EQ(Vals(c.byPaletteKind, c.wPaletteIndex, c.byGroup4a, c.byGroup4b, c.byGroup5,
                   c.byGroup6, c.sOffsetX, c.sOffsetStepX, c.sOffsetY, c.sOffsetStepY,
                   c.bFlipOffsetX, c.bFlipOffsetY, c.wPicture, c.byPictureKind, c.wGroup9,
                   c.wAnimeSet, c.byGroup11, c.byGroup12, c.wCharaEffectA, c.byGroup13a,
                   c.byGroup13b, c.wDeathEffect, c.byGroup14, c.byGroup15, c.wGroup15,
                   c.byOperation, c.byGroup1, c.byGroup2, c.byGroup3, c.byFlyMode, c.byGroup16,
                   c.byGroup18a, c.byGroup18b, c.byGroup19, c.byGroup20, c.byGroup21, c.byGroup22a,
                   c.byGroup22b, c.dwMaxHP, c.dwMaxSP, c.wGroup31, c.byHitArea, c.dwGroup26,
                   c.byImpact, c.wEffect, c.dwGroup29, c.byGroup30, c.dwScore, c.byGroup35,
                   c.byGroup33, c.wGroup33, c.byGroup32a, c.byGroup32b),
              Expected(kChara, kProgVer, cv));
    EXPECT_EQ(Vals(c.sPosX, c.sPosY, c.nHoldItem, c.vInherit.size()),
              (std::vector<i64>{-5, 6, 0xFFFFFFFF, 37}));
    EXPECT_EQ(c.strName, StrOf(53));
    EXPECT_EQ(Written(c), chara);
    // Hit areas of 2 and up move by one below 206 (their own rule, below).
    ExpectGates(kChara, cv, kProgVer, Reloader<cEdChara>([](u32) { return CharaTail(0, 0, 0); }),
                [](u32 v, int i) { return v < 206 && i == kCharaHitArea; });

    const std::vector<i64> bv = Seq(19, 3);
    const std::string block = Body(kBlock, kProgVer, bv) + BlockTail(7, -8);
    cEdBlock b = ReadOk<cEdBlock>(block);
    EXPECT_EQ(Vals(b.byPaletteKind, b.wPaletteIndex, b.byGroup1a, b.byGroup1b, b.wPicture,
                   b.byPictureKind, b.wGroup2, b.byLayer, b.bHidden, b.bShowMark, b.wMark,
                   b.bySolid, b.byOpenSide, b.byGroup8, b.dwGroup8, b.byItemKind, b.wItemIndex,
                   b.byGroup10),
              Expected(kBlock, kProgVer, bv));
    EXPECT_EQ(Vals(b.sPosX, b.sPosY, b.InheritCount()), (std::vector<i64>{7, -8, 11}));
    EXPECT_EQ(Written(b), block);

    const std::vector<i64> iv = Seq(18, 3);
    const std::string item = Body(kItem, kProgVer, iv) + ItemTail(9, 10);
    cEdItem it = ReadOk<cEdItem>(item);
    EXPECT_EQ(Vals(it.byPaletteKind, it.wPaletteIndex, it.byGroup1a, it.byGroup1b, it.wGroup2,
                   it.wGroup3, it.wPicture, it.byPictureKind, it.wGroup4, it.byGroup5, it.bHidden,
                   it.bShowMark, it.wMark, it.byGroup10, it.byPickup, it.bySize, it.wSound),
              Expected(kItem, kProgVer, iv));
    EXPECT_EQ(it.strName, StrOf(17));
    EXPECT_EQ(Written(it), item);
}

TEST_F(RecordFormats, StageSubRecordsFromTheirTables) {
    const std::vector<i64> lv = Seq(13, 2);
    const std::string layer = Body(kBack, kProgVer, lv);
    cEdBack l = ReadOk<cEdBack>(layer);
    EXPECT_EQ(Vals(l.bVisible, l.dwSource, l.dwGroup44, l.dwGroup48, l.dScrollSpeedX,
                   l.dScrollSpeedY, l.bAutoScrollX, l.bAutoScrollY, l.dScrollX, l.dScrollY),
              Expected(kBack, kProgVer, lv));
    EXPECT_EQ(l.strPicture, StrOf(12));
    EXPECT_EQ(Written(l), layer);
    cEdBack reset;
    reset.Reset();
    ExpectGates(kBack, lv, kProgVer, Reloader<cEdBack>(nullptr, reset));
    // Fields absent from an older layer keep the reset layer's scroll speeds.
    cEdBack old = reset;
    ASSERT_TRUE(ReadWhole(old, Body(kBack, 60, lv), 60));
    EXPECT_EQ(old.dScrollSpeedX, 0.1);
    EXPECT_EQ(old.dScrollSpeedY, 0.1);

    cStageParams p = ReadOk<cStageParams>(Body(kParams, kProgVer, Seq(8)));
    EXPECT_EQ(Vals(p.dwValue1, p.dwValue2, p.dwValue3, p.dwValue4, p.dwValue5, p.dwValue6,
                   p.dwValue7, p.dwValue8),
              Seq(8));
    EXPECT_EQ(Written(p), Body(kParams, kProgVer, Seq(8)));
    ExpectGates(kParams, Seq(8), kProgVer,
                Reloader<cStageParams>(nullptr, Cleared<cStageParams>()));

    cNameRec n = ReadOk<cNameRec>(Bytes().U32(0).U32(1).Str("name").s);
    EXPECT_EQ(n.strName, "name");
}

TEST_F(RecordFormats, StageFileFromItsTable) {
    const Table header = StageHeader();
    const std::vector<i64> hv = StageValues();
    Bytes file;
    file.Raw(Body(header, kProgVer, hv, {{98, "stage"}}));
    file.U32(5).U32(11).U32(12).U32(13).U32(14).U32(15);
    for (int i = 0; i < 5; ++i) file.Raw(Body(kParams, kProgVer, Seq(8, 10 * i)));
    // Palettes: the none entry and one more; placed lists behind their always-zero word.
    file.U32(2).Raw(ResetBlock()).Raw(Body(kBlock, kProgVer, Seq(19, 3)) + BlockTail(1, 2));
    file.U32(2).Raw(ResetChara()).Raw(Body(kChara, kProgVer, Seq(54, 3)) + CharaTail(3, 4, 0xFFFFFFFFu));
    file.U32(2).Raw(ResetItem()).Raw(Body(kItem, kProgVer, Seq(18, 3)) + ItemTail(5, 6));
    file.U32(1).U32(0).Raw(Body(kBlock, kProgVer, Seq(19, 4)) + BlockTail(7, 8));
    file.U32(1).U32(0).Raw(Body(kChara, kProgVer, Seq(54, 4)) + CharaTail(9, 10, 0));
    file.U32(1).U32(0).Raw(Body(kItem, kProgVer, Seq(18, 4)) + ItemTail(11, 12));
    file.U32(1).Raw(Body(kBack, kProgVer, Seq(13, 2)));
    file.U32(2).U32(0).U32(1).Str("").U32(0).U32(1).Str("n1");
    file.U32(0x075BCD15);

    cStage st;
    StagePaletteScope scope(st);
    ASSERT_TRUE(ReadWhole(st, file.s, kProgVer));
    std::vector<i64> h;
    for (int n = 1; n <= 98; ++n) h.push_back(cStage::IsDoubleField(n) ? static_cast<i64>(st.FieldF(n)) : st.Field(n));
    EXPECT_EQ(h, Expected(header, kProgVer, hv));
    EXPECT_EQ(Vals(st.dwWidth(), st.dwHeight(), st.dwSpeedLevel(), st.dwBgm(), st.dSpeedBase(),
                   st.dSpeedRatio()),
              (std::vector<i64>{500, 300, 22, 24, 132, 6}));
    EXPECT_EQ(st.strStage, "stage");
    EXPECT_EQ(st.vRankSwitch, (cVector<u32>{11, 12, 13, 14, 15}));
    EXPECT_EQ(Vals(st.aParams[0].dwValue1, st.aParams[4].dwValue8), (std::vector<i64>{0, 47}));
    EXPECT_EQ(Vals(st.vBlockPalette[1].wPicture, st.vCharaPalette[1].sPosY, st.vItemPalette[1].wSound),
              (std::vector<i64>{7, 4, 19}));
    EXPECT_EQ(Vals(st.vBlock[0].byGroup10, st.vChara[0].nHoldItem, st.vItem[0].sPosY,
                   st.vBack[0].dwGroup48),
              (std::vector<i64>{21, 0, 12, 5}));
    EXPECT_EQ(st.vName[1].strName, "n1");
    EXPECT_EQ(Written(st), file.s);

    // Every header gate read over a stage whose numbers are all 77: what an older file lacks is
    // what its upgrade gives, not what was there before.
    cStage filled;
    for (int n = 1; n <= 98; ++n) if (!cStage::IsDoubleField(n)) filled.Field(n) = 77;
    ExpectGates(header, hv, kProgVer, Reloader<cStage>(EmptyStageTail, filled));
}
