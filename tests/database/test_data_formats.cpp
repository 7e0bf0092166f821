// The material records, System.dat, the world map, the common palette and the option data,
// pinned by bytes written from their tables in the data format: a distinct value in each field,
// read back by name and written again byte for byte; and each version gate read just below and
// at its cut-over.
#include <gtest/gtest.h>

#include <algorithm>

#include "database/CommonPalette.h"
#include "database/Database.h"
#include "database/OptionData.h"
#include "database/SystemData.h"
#include "database/Text.h"
#include "database/WorldMap.h"
#include "tests/records/RecordTables.h"

using namespace golden;

namespace {

// clang-format off
const Table kAnimeFrame = {F(4), F(4), F(4)};
const Table kAnime = {Text(), F(2, 55, 0), F(1, 55, 1), F(2, 55, 0)};
const Table kAnimeSet = {Text(), F(4), F(4), F(4, 119, 0)};
const Table kEffectFrame = {F(4), F(4)};
const Table kEffect = {Text(), F(4, 151, 0), Text(), F(4), F(4), F(4)};
const Table kEffectParam = {Text(), F(4), F(4), Elem(F(4)), Elem(F(4)), Elem(F(4)), Elem(F(4))};
const Table kPicture = {Text(), F(4, 151, 0), Text()};
const Table kSound = {Text(), Text(), F(4, 151, 0)};
const Table kBgm = {Text(), F(4, 151, 0), Text(), F(4, 814, 100)};
const Table kBmp = {Text(), F(4, 152, 0), Text(), F(4, 172, 0), F(4, 172, 2)};
const Table kSword = {Text(), F(4, 151, 0), Text(), Text()};
const Table kSwordPart = {F(4), F(4), F(4, 138, 1), F(4, 138, 0), F(4), F(4), F(4), F(4), F(4), F(4)};

// System.dat: the 67 numbers (three colour bytes; one word of 221..259 only) and the title.
// bCompat289 and bCompat637 take values that depend on more than their gate (tested below).
const Table kSys = {
    F(4, 185, 1), F(4), F(4), F(4), F(4, 205, 60), F(4, 170, 0), F(4, 113, 0), F(4, 184, 1),     // 1-8
    F(4, 157, 0), F(4, 821, 0), F(4), F(4, 191, 0), F(4, 191, 0), F(4), F(4), F(4, 167, 1),     // 9-16
    F(4, 167, 1), F(4, 188, 1), F(4, 224, 0), F(4, 167, 1), F(4, 167, 1), F(4, 188, 1),         // 17-22
    F(4, 224, 0), F(4, 188, 1), F(4, 192, 1), F(4, 187, 0), F(1, 187, 0), F(1, 187, 177),       // 23-28
    F(1, 187, 0), F(4, 214, 1), Fld{4, 221, 260}, F(4, 261, 1), F(4, 272, 0), F(4, 287, 0),     // 29-34
    F(4, 515, 16), F(4, 289), F(4, 757, 0), F(4, 525, 1), F(4, 555, 1), F(4, 637),              // 35-40
    F(4, 669, 1), F(4, 677, 1), F(4, 695, 1), F(4, 696, 1), F(4, 697, 1), F(4, 721, 1),         // 41-46
    F(4, 728, 1), F(4, 733, 1), F(4, 744, 1), F(4, 749, 1), F(4, 752, 1), F(4, 763, 1),         // 47-52
    F(4, 763, 1), F(4, 768, 1), F(4, 773, 1), F(4, 781, 1), F(4, 782, 1), F(4, 783, 1),         // 53-58
    F(4, 793, 1), F(4, 805, 1), F(4, 808, 1), F(4, 818, 1), F(4, 818, 1), F(4, 819, 1),         // 59-64
    F(4, 822, 1), F(4, 670, 0), F(4, 670, 2), Text()};                                          // 65-67
const Table kStatusRow = {F(4), F(4), F(4), F(4, 204, 1), F(4, 587, 0), F(4, 587, 0), Text()};
const Table kMap = {F(4), F(4), F(4), F(4), F(4), F(4), F(4), F(4), Text(), Text()};
const Table kChip = {F(4), F(4), F(4), Text(), Text()};
const Table kEntry = {F(4), F(4), Text()};
const Table kMapItem = {F(4), F(4), F(4), F(4), F(4), F(4), F(4), F(4), F(4), F(4), F(4, 209, 0),
                        F(4, 758, 0), F(4, 758, 1), F(4, 758, 0), Text(), Text()};
const Table kOption = {F(4), F(4), F(4), F(4), Text()};
// clang-format on

std::string Name(const char* prefix, int i) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%d", prefix, i);
    return text;
}

// Records of the database lists start as the class's fresh record.
template <class T>
T ReadFresh(const std::string& bytes, u32 v = 824) {
    T rec;
    EXPECT_TRUE(ReadWhole(rec, bytes, v)) << "version " << v;
    return rec;
}

template <class T>
std::function<std::string(const std::string&, u32)> Reload(std::function<std::string(u32)> tail = nullptr) {
    return [tail](const std::string& body, u32 v) {
        T rec = ReadFresh<T>(body + (tail ? tail(v) : std::string()), v);
        return Written(rec);
    };
}

// The lists of a System.dat of version v, each entry distinct; `carry` fills the carry list.
std::string SysLists(u32 v, u8 carry = 0) {
    Bytes b;
    b.U32(25).Raw(std::string(25, static_cast<char>(carry)));
    if (v >= 501) {
        b.U32(25);
        for (int i = 0; i < 25; ++i) b.U8(26 + i);
    }
    b.U32(5);
    for (int r = 0; r < 5; ++r) b.Raw(Body(kStatusRow, v, Seq(7, 10 * r + 1), {{6, Name("row", r)}}));
    b.U32(4).U32(5).U32(6).U32(7).U32(8);
    if (v >= 191) b.U32(4).U32(9).U32(10).U32(11).U32(12);
    if (v >= 186) {
        b.U32(4);
        for (int r = 0; r < 4; ++r) b.U32(1).U32(20 + r).U32(0).U32(5).U8(r).U8(1).U8(0).U8(1).U8(r);
    }
    b.U32(29);
    for (int i = 0; i < 29; ++i) b.Str(Name("m", i));
    b.U32(17);
    for (int i = 0; i < 17; ++i) b.Str(Name("e", i));
    b.U32(4).U32(1).U32(2).U32(3).U32(4);
    if (v >= 202) b.U32(4).U8(5).U8(6).U8(7).U8(8);
    for (auto [n, prefix] : {std::pair{7, "t"}, {4, "p"}, {6, "o"}}) {
        b.U32(static_cast<u32>(n));
        for (int i = 0; i < n; ++i) b.U32(1).U32(static_cast<u32>(i % 2)).U32(1).Str(Name(prefix, i));
    }
    if (v >= 674) {
        b.U32(4);
        for (int i = 0; i < 4; ++i) b.Str(Name("r", i));
    }
    b.U32(10);
    for (int i = 0; i < 10; ++i) b.U32(2).U32(static_cast<u32>(i % 2)).U32(100 + i).U32(2).Str(Name("k", i)).Str(Name("v", i));
    return b.s;
}

// A record with nothing after its body: read by name through `fields`, written back byte for
// byte, and read at every gate (the tag before 153 is dropped).
template <class T, class Fields>
void Pin(const Table& t, const std::vector<i64>& vals, int tag, Fields fields, const std::vector<i64>& expected) {
    const std::string bytes = Body(t, 824, vals);
    T rec = ReadFresh<T>(bytes);
    EXPECT_EQ(fields(rec), expected);
    EXPECT_EQ(Written(rec), bytes);
    ExpectGates(t, vals, 824, Reload<T>(), [tag](u32 v, int i) { return v < 153 && i == tag; });
}

cSystemData SysAt(u32 v, u8 carry = 0) {
    cSystemData s;
    EXPECT_TRUE(ReadWhole(s, Body(kSys, v, Seq(68)) + SysLists(v, carry), v)) << "version " << v;
    return s;
}

class DataFormats : public ::testing::Test {
protected:
    // The scene music numbers 1..4 of the lists must name music.
    void SetUp() override { g_Database.m_vBgm.resize(8); }
    void TearDown() override { g_Database.SetDefault(); }
};

} // namespace

TEST_F(DataFormats, AnimationsFromTheirTables) {
    const std::string frame = Body(kAnimeFrame, 824, {1, 2, 3});
    const std::string anime = Body(kAnime, 824, {0, 4, 5, 6}) + Bytes().U32(1).Raw(frame).s;
    const std::string set = Body(kAnimeSet, 824, {0, 7, 8, 9}) + Bytes().U32(1).Raw(anime).s;
    cAnimeSetData s = ReadFresh<cAnimeSetData>(set);
    EXPECT_EQ(Vals(s.nPatternAdd1, s.nPatternAdd2, s.nPatternAdd3), (std::vector<i64>{7, 8, 9}));
    ASSERT_EQ(s.vAnime.size(), 1u);
    const cAnimeData& a = s.vAnime[0];
    EXPECT_EQ(Vals(a.wParamA, a.byParamB, a.wParamC), (std::vector<i64>{4, 5, 6}));
    ASSERT_EQ(a.vFrame.size(), 1u);
    EXPECT_EQ(Vals(a.vFrame[0].nPattern, a.vFrame[0].nTime, a.vFrame[0].nFlag), (std::vector<i64>{1, 2, 3}));
    EXPECT_EQ(Vals(s.strName == StrOf(0), a.strName == StrOf(0)), (std::vector<i64>{1, 1}));
    EXPECT_EQ(Written(s), set);

    // A list file: the count, then the records.
    cVector<cAnimeSetData> list;
    cRecordReader r(Bytes().U32(2).Raw(set).Raw(set).s, 824);
    ASSERT_TRUE(LoadDatabaseList(r, list));
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(list.size(), 2u);

    ExpectGates(kAnime, {0, 4, 5, 6}, 824, Reload<cAnimeData>([](u32) { return Bytes().U32(0).s; }));
    ExpectGates(kAnimeSet, {0, 7, 8, 9}, 824, Reload<cAnimeSetData>([](u32) { return Bytes().U32(4).s + std::string(4 * 12, '\0'); }));
    // Sets from before 128 have exactly the four basic motions.
    const std::string two = Body(kAnimeSet, 127, {0, 7, 8, 9}) + Bytes().U32(2).Raw(anime).Raw(anime).s;
    const cAnimeSetData s127 = ReadFresh<cAnimeSetData>(two, 127);
    ASSERT_EQ(s127.vAnime.size(), 4u);
    EXPECT_EQ(s127.vAnime[1].strName + s127.vAnime[2].strName + s127.vAnime[3].strName, StrOf(0) + Sj("飛行") + Sj("飛行移動"));
    EXPECT_EQ(ReadFresh<cAnimeSetData>(two, 128).vAnime.size(), 2u);
}

TEST_F(DataFormats, EffectsFromTheirTables) {
    const std::string effect = Body(kEffect, 824, {0, 1, 0, 2, 3, 4}) + Bytes().U32(1).Raw(Body(kEffectFrame, 824, {5, 6})).s;
    cEffectData e = ReadFresh<cEffectData>(effect);
    EXPECT_EQ(Vals(e.dwTag, e.nWidth, e.nHeight, e.bScalable, e.vFrame[0].nPattern, e.vFrame[0].nTime),
              (std::vector<i64>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(e.strName + e.strFile, StrOf(0) + StrOf(2));
    EXPECT_EQ(Written(e), effect);
    const auto oldTag = [](u32 v, int i) { return v < 153 && i == 1; };
    ExpectGates(kEffect, {0, 1, 0, 2, 3, 4}, 824, Reload<cEffectData>([](u32) { return Bytes().U32(0).s; }), oldTag);

    const std::vector<i64> pv = {0, 7, 1, 2, 3, 4, 5};
    const std::string param = Body(kEffectParam, 824, pv);
    cCharaEffectParam c = ReadFresh<cCharaEffectParam>(param);
    EXPECT_EQ(Vals(c.nEffectType, c.anParam[0], c.anParam[1], c.anParam[2], c.anParam[3], c.anParam[4]),
              (std::vector<i64>{7, 1, 2, 3, 4, 5}));
    EXPECT_EQ(c.strName, StrOf(0));
    EXPECT_EQ(Written(c), param);
    cScrEffectParam sc = ReadFresh<cScrEffectParam>(param);
    EXPECT_EQ(Written(sc), param);
    // The rough-wave and rough-circle parameters files before 511 did not have.
    struct Case { bool chara; u32 type; int p; i64 fresh; };
    for (const Case& k : {Case{true, 4, 4, 2}, Case{true, 5, 4, 2}, Case{true, 10, 3, 2}, Case{false, 6, 4, 8},
                          Case{false, 7, 4, 10}, Case{false, 10, 3, 8}}) {
        const std::string b = Body(kEffectParam, 824, {0, k.type, 1, 2, 3, 40, 50});
        for (u32 v : {510u, 511u}) {
            const i32 got = k.chara ? ReadFresh<cCharaEffectParam>(b, v).anParam[k.p] : ReadFresh<cScrEffectParam>(b, v).anParam[k.p];
            EXPECT_EQ(got, v == 510 ? k.fresh : 10 * (k.p + 1)) << k.type << " at " << v;
        }
    }
}

TEST_F(DataFormats, PictureSoundMusicSwordAndBitmapFromTheirTables) {
    const auto oldTag = [](int tag) { return [tag](u32 v, int i) { return v < 153 && i == tag; }; };
    const std::string pic = Body(kPicture, 824, {0, 5, 0}), sound = Body(kSound, 824, {0, 0, 6});
    // Read by name (the strings as the entries they stand at), written back, gates swept.
    Pin<cPictureData>(kPicture, {0, 5, 0}, 1, [](const cPictureData& r) {
        return Vals(r.dwTag, r.strName == StrOf(0), r.strFile == StrOf(2));
    }, {5, 1, 1});
    Pin<cSoundData>(kSound, {0, 0, 6}, 2, [](const cSoundData& r) {
        return Vals(r.dwTag, r.strName == StrOf(0), r.strFile == StrOf(1));
    }, {6, 1, 1});
    Pin<cBgmData>(kBgm, {0, 7, 0, 8}, 1, [](const cBgmData& r) {
        return Vals(r.dwTag, r.nVolume, r.strName == StrOf(0), r.strFile == StrOf(2));
    }, {7, 8, 1, 1});
    Pin<cBmpCharaExcData>(kBmp, {0, 9, 0, 10, 11}, 1, [](const cBmpCharaExcData& r) {
        return Vals(r.dwTag, r.bOwnSize, r.nSizeUnits, r.strName == StrOf(0), r.strFile == StrOf(2));
    }, {9, 10, 11, 1, 1});

    const std::vector<i64> partVals = Seq(10, 20);
    const std::string part = Body(kSwordPart, 824, partVals);
    const std::string sword = Body(kSword, 824, {0, 12, 0, 0}) + Bytes().U32(1).Raw(part).s;
    cSwordTypeData sw = ReadFresh<cSwordTypeData>(sword);
    EXPECT_EQ(sw.dwTag, 12u);
    EXPECT_EQ(sw.strName + sw.strFile + sw.strFile2, StrOf(0) + StrOf(2) + StrOf(3));
    const cSwordPart& sp = sw.vPart[0];
    EXPECT_EQ(Vals(sp.nOffsetX, sp.nOffsetY, sp.bMirrorX, sp.bMirrorY, sp.nAnchor, sp.nSrcX, sp.nSrcY, sp.nWidth,
                   sp.nHeight, sp.nTime),
              partVals);
    EXPECT_EQ(Written(sw), sword);
    ExpectGates(kSword, {0, 12, 0, 0}, 824, Reload<cSwordTypeData>([](u32) { return Bytes().U32(0).s; }), oldTag(1));
    ExpectGates(kSwordPart, partVals, 824, Reload<cSwordPart>());

    // A tag stored before 153 is dropped.
    for (u32 v : {152u, 153u}) {
        const i64 kept = v == 153 ? 1 : 0;
        EXPECT_EQ(Vals(ReadFresh<cPictureData>(pic, v).dwTag, ReadFresh<cSoundData>(sound, v).dwTag,
                       ReadFresh<cBgmData>(Body(kBgm, v, {0, 7, 0, 8}), v).dwTag, ReadFresh<cBmpCharaExcData>(Body(kBmp, v, {0, 9, 0, 10, 11}), v).dwTag,
                       ReadFresh<cSwordTypeData>(sword, v).dwTag, ReadFresh<cEffectData>(Body(kEffect, v, {0, 1, 0, 2, 3, 4}) + Bytes().U32(0).s, v).dwTag),
                  (std::vector<i64>{5 * kept, 6 * kept, 7 * kept, 9 * kept, 12 * kept, kept}))
            << v;
    }
}

TEST_F(DataFormats, SystemDataFromItsTables) {
    const std::vector<i64> vals = Seq(68);
    const std::string file = Body(kSys, 824, vals, {{67, "title"}}) + SysLists(824);
    cSystemData s;
    ASSERT_TRUE(ReadWhole(s, file, 824));
    EXPECT_EQ(Vals(s.bExtraLife, s.nExtraLifeScore, s.bPauseOverlay, s.nMenuFontA, s.nFontFace, s.nMenuFontB,
                   s.bSwitch113, s.bReplaySave, s.bSwitch157, s.bSwitch821, s.bMapSwitch, s.bMissMenu, s.bMapLives,
                   s.nChallengeValue, s.bChallengeSwitch, s.bSwitch167A, s.bSwitch167B, s.bRestartStory,
                   s.bPauseSwitch224A, s.bSwitch167C, s.bSwitch167D, s.bRestartChallenge, s.bPauseSwitch224B,
                   s.bRestartFree, s.bRestartDirect, s.bTransColor, s.byTransR, s.byTransG, s.byTransB, s.bCompat214,
                   s.bCompat261, s.bSwitch272, s.bSwitch287, s.nCycleColor, s.bCompat289, s.bPauseSwitch757,
                   s.g_bFlowNoMark, s.bCompat555, s.bCompat637, s.bCompat669, s.bCompat677, s.bCompat695,
                   s.bCompat696, s.bCompat697, s.bCompat721, s.bCompat728, s.bCompat733, s.g_bFlowMarkEarly,
                   s.bCompat749, s.bCompat752, s.bCompat763A, s.bCompat763B, s.bCompat768, s.bCompat773,
                   s.bCompat781, s.bCompat782, s.bCompat783, s.bCompat793, s.bCompat805, s.bCompat808,
                   s.bCompat818A, s.bCompat818B, s.bCompat819, s.bCompat822, s.nDepthD3D, s.nDepthDD),
              Expected(kSys, 824, vals));
    EXPECT_EQ(s.strTitle, "title");
    EXPECT_EQ(Vals(s.vCarryClear[24], s.vStartLives[3], s.vInfiniteLives[0], s.vSceneBgm[3], s.vSceneBgmFlag[0]),
              (std::vector<i64>{50, 8, 9, 4, 5}));
    const cStatusRow& row = s.vStatusRow[4];
    EXPECT_EQ(Vals(row.bShow, row.bSymbol, row.nDigits, row.bGaugeNumber, row.nWarnLevel, row.bWarnPercent),
              Seq(6, 41));
    EXPECT_EQ(row.strName, "row4");
    EXPECT_EQ(Vals(s.vRankingSetting[3].bRanking, s.vRankingSetting[3].vItem[0], s.vRankingSetting[3].vItem[4]),
              (std::vector<i64>{23, 3, 3}));
    EXPECT_EQ(s.vMessage[28] + s.vSeFile[16] + s.vTitleMenu[6].text + s.vMapMenu[3].text + s.vOptionMenu[5].text +
                  s.vRankingMode[3],
              "m28e16t6p3o5r3");
    EXPECT_EQ(Vals(s.vTitleMenu[1].enabled, s.vIniKey[9].nKind, s.vIniKey[9].nValue), (std::vector<i64>{1, 1, 109}));
    EXPECT_EQ(s.vIniKey[9].strKey + s.vIniKey[9].strValue, "k9v9");
    EXPECT_EQ(Written(s), file);

    // The numbers at every gate, read after the lists of their version.
    ExpectGates(kSys, vals, 824, [](const std::string& body, u32 v) {
        cSystemData back;
        EXPECT_TRUE(ReadWhole(back, body + SysLists(v), v)) << "version " << v;
        return Written(back);
    });
    EXPECT_EQ(Vals(SysAt(288).bCompat289, SysAt(289).bCompat289, SysAt(186).bCompat289), (std::vector<i64>{0, 36, 1}));
    EXPECT_EQ(Vals(SysAt(616).bCompat637, SysAt(617).bCompat637, SysAt(636).bCompat637, SysAt(637).bCompat637),
              (std::vector<i64>{1, 0, 0, 40}));
    ExpectGates(kStatusRow, Seq(7), 824, Reload<cStatusRow>());
}

TEST_F(DataFormats, SystemDataListsByVersion) {
    // Version 100 runs every step, one building on the other.
    const cSystemData s = SysAt(100);
    EXPECT_EQ(Vals(s.bExtraLife, s.byTransG, s.bSwitch157, s.bSwitch821, s.bCompat214, s.bCompat637, s.bCompat822,
                   s.bCompat289, s.bMissMenu, s.vStatusRow[2].nWarnLevel, s.vStatusRow[0].bGaugeNumber),
              (std::vector<i64>{1, 177, 0, 0, 1, 1, 1, 1, 0, 33, 1}));
    EXPECT_EQ(s.vMessage[14] + s.vMessage[22] + s.vMessage[23] + s.vMessage[24] + s.vMapMenu[1].text,
              Sj("オートセーブＯＮ") + Sj("マップへ戻る") + Sj("リトライ") + Sj("マップへ戻る") + Sj("オートセーブ"));
    EXPECT_EQ(s.vIniKey[0].strKey + s.vIniKey[4].strKey + s.vIniKey[5].strKey + s.vIniKey[9].strKey,
              "Direct3DD3D_FontCacheDD_FontCacheEnglish");

    // Lists the file holds from their version on; below it they keep the defaults or what an
    // upgrade gives.
    EXPECT_EQ(SysAt(500).vCarryClear, cVector<u8>(25, 0));
    EXPECT_EQ(SysAt(501).vCarryClear[0], 26);
    EXPECT_EQ(SysAt(190).vInfiniteLives, (cVector<u32>{0, 0, 0, 1}));
    EXPECT_EQ(SysAt(191).vInfiniteLives[0], 9u);
    EXPECT_EQ(SysAt(185).vRankingSetting[3].bRanking, 0u);
    EXPECT_EQ(SysAt(186).vRankingSetting[3].bRanking, 23u);
    EXPECT_EQ(SysAt(201).vSceneBgmFlag, cVector<u8>(4, 1));
    EXPECT_EQ(SysAt(202).vSceneBgmFlag[0], 5);
    EXPECT_EQ(SysAt(673).vRankingMode[0], cSystemData().vRankingMode[0]);
    EXPECT_EQ(SysAt(674).vRankingMode[0], "r0");
    // Status rows of 204 on hold the gauge number; of 587 on the warning (rows 2 and 3 get
    // level 33 in percent from older files).
    EXPECT_EQ(Vals(SysAt(586).vStatusRow[2].nWarnLevel, SysAt(586).vStatusRow[3].bWarnPercent,
                   SysAt(587).vStatusRow[2].nWarnLevel),
              (std::vector<i64>{33, 1, 25}));

    // The list steps, each at its cut-over and just below. Carry list: a 1 inserted at 16
    // below 168, zeros at 14 below 201 and at 9 below 210 (each moving what follows).
    auto ones = [](const cSystemData& s) { return std::count(s.vCarryStatus.begin(), s.vCarryStatus.end(), 1); };
    EXPECT_EQ(Vals(ones(SysAt(167)), ones(SysAt(168)), SysAt(167).vCarryStatus[18]), (std::vector<i64>{1, 0, 1}));
    EXPECT_EQ(Vals(ones(SysAt(200, 1)), ones(SysAt(201, 1)), ones(SysAt(209, 1)), ones(SysAt(210, 1))),
              (std::vector<i64>{23, 24, 24, 25}));
    EXPECT_EQ(SysAt(200, 1).vCarryStatus[15], 0);
    // Map menu and messages below 169; messages below 181, 193 and 756.
    EXPECT_EQ(SysAt(168).vMapMenu[1].text, Sj("オートセーブ"));
    EXPECT_EQ(SysAt(169).vMapMenu[1].text, "p1");
    EXPECT_EQ(SysAt(168).vMessage[14], Sj("オートセーブＯＮ")); // moved by the two insertions below 181
    EXPECT_EQ(SysAt(169).vMessage[14], "m12");
    EXPECT_EQ(SysAt(180).vMessage[8] + SysAt(180).vMessage[9], Sj("残りHP") + Sj("残りSP"));
    EXPECT_EQ(SysAt(181).vMessage[8], "m8");
    EXPECT_EQ(SysAt(192).vMessage[23], Sj("リトライ"));
    EXPECT_EQ(SysAt(193).vMessage[23], "m22");
    EXPECT_EQ(SysAt(755).vMessage[22], Sj("マップへ戻る"));
    EXPECT_EQ(SysAt(756).vMessage[22], "m22");
    // System.ini keys: Direct3D first below 286 (and VSync above 2 brought back to 2), the
    // video stretch key at 4 below 567, both font-cache keys at 4 below 568, English below 672.
    const cSystemData k285 = SysAt(285);
    EXPECT_EQ(Vals(k285.vIniKey[0].strKey == "Direct3D", k285.vIniKey[0].nValue, k285.vIniKey[3].nValue),
              (std::vector<i64>{1, 1, 2}));
    EXPECT_EQ(SysAt(286).vIniKey[0].strKey, "k0");
    EXPECT_EQ(SysAt(566).vIniKey[6].strKey, "DD_VideoStretch");
    EXPECT_EQ(SysAt(567).vIniKey[6].strKey, "k4");
    EXPECT_EQ(SysAt(567).vIniKey[4].strKey + SysAt(567).vIniKey[5].strKey, "D3D_FontCacheDD_FontCache");
    EXPECT_EQ(SysAt(568).vIniKey[4].strKey, "k4");
    EXPECT_EQ(SysAt(671).vIniKey[9].strKey, "English");
    EXPECT_EQ(SysAt(672).vIniKey[9].strKey, "k9");
}

TEST_F(DataFormats, WorldMapFromItsTables) {
    const std::vector<i64> item = Seq(16, 30);
    Bytes b;
    b.Raw(Body(kMap, 824, {5, 3, 8, 3, 4, 2, 7, 1, 0, 0}));
    b.U32(2).Raw(Body(kChip, 824, {11, 12, 13, 0, 0})).Raw(Body(kChip, 824, {21, 22, 23, 0, 0}));
    b.U32(24);
    for (u32 i = 0; i < 24; ++i) b.U32(i % 2);
    b.U32(1).Raw(Body(kEntry, 824, {4, 2, 0})).U32(2).Raw(Body(kMapItem, 824, item)).Raw(Body(kMapItem, 824, Seq(16, 50)));
    b.U32(1).Raw(Body(kEntry, 824, {9, 9, 0})).U32(0);
    cWorldMapData m;
    ASSERT_TRUE(ReadWhole(m, b.s, 824));
    EXPECT_EQ(Vals(m.nWidth, m.nHeight, m.nPitch, m.nPitch_Shift, m.nStartX, m.nStartY, m.nBackColor, m.bBackPicture),
              (std::vector<i64>{5, 3, 8, 3, 4, 2, 7, 1}));
    EXPECT_EQ(m.strTitle + m.strExtra, StrOf(8) + StrOf(9));
    const cWorldMapChip& c = m.m_vChip[1];
    EXPECT_EQ(Vals(c.nData, c.bImpassable, c.nPicture), (std::vector<i64>{21, 22, 23}));
    EXPECT_EQ(c.strName + c.strNote, StrOf(3) + StrOf(4));
    EXPECT_EQ(Vals(m.Cell(1, 0), m.Cell(0, 1), m.m_vEntry[0].nX, m.m_vEntry[0].nY, m.m_vEntry2[0].nX),
              (std::vector<i64>{1, 0, 4, 2, 9}));
    const cWorldMapEntryItem& it = m.m_vEntry[0].m_vItem[0];
    EXPECT_EQ(Vals(it.nKind, it.nPicture, it.nDoneSwitch, it.bManualEnter, it.bReenter, it.nData, it.nShowSwitch,
                   it.nCondVar, it.nCondValue, it.nCondOp, it.nNeedTotal, it.nStageArg0, it.nStageArg1,
                   it.nStageArg2),
              Expected(kMapItem, 824, item));
    EXPECT_EQ(it.strCaption + it.strStageFile, StrOf(14) + StrOf(15));
    EXPECT_EQ(Written(m), b.s);

    cWorldMapEntryItem fresh;
    fresh.SetDefault();
    ExpectGates(kMapItem, item, 824, [fresh](const std::string& body, u32 v) {
        cWorldMapEntryItem rec = fresh;
        EXPECT_TRUE(ReadWhole(rec, body, v));
        return Written(rec);
    });
}

TEST_F(DataFormats, CommonPaletteFromItsTables) {
    using namespace rectables;
    Bytes b;
    b.U32(0).U32(0);
    b.U32(2).Raw(ResetBlock()).Raw(Body(kBlock, 824, Seq(19, 3)) + BlockTail(1, 2));
    b.U32(2).Raw(ResetChara()).Raw(Body(kChara, 824, Seq(54, 3)) + CharaTail(3, 4, 5));
    b.U32(2).Raw(ResetItem()).Raw(Body(kItem, 824, Seq(18, 3)) + ItemTail(5, 6));
    cCommonPalette p;
    ASSERT_TRUE(ReadWhole(p, b.s, 824));
    EXPECT_EQ(Vals(p.m_vEdBlock[1].byGroup10, p.m_vEdChara[1].byGroup32b, p.m_vEdChara[1].nHoldItem, p.m_vEdItem[1].wSound),
              (std::vector<i64>{20, 55, 5, 19}));
    EXPECT_EQ(Written(p), b.s);
}

TEST_F(DataFormats, OptionDataFromItsTable) {
    const std::string bytes = Body(kOption, 824, {5, 0, 9, 2, 0}, {{4, "nm"}});
    cOptionData o;
    ASSERT_TRUE(ReadWhole(o, bytes, 824));
    EXPECT_EQ(Vals(o.nBlendTable, o.bBgm, o.nSeVolume, o.nRankingMode), (std::vector<i64>{5, 0, 9, 2}));
    EXPECT_EQ(o.strRankingName, "nm");
    EXPECT_EQ(Written(o), bytes);
}
