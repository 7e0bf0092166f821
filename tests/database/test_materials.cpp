// Material database records: version gates, upgrades, compiled steps, list loading.
#include <gtest/gtest.h>

#include "database/DataPaths.h"
#include "database/Database.h"
#include "TestUtil.h"

namespace {

template <class T>
std::string SaveRec(T rec) {
    cRecordWriter w;
    rec.Save(w);
    return w.Take();
}

// Loads one record from `body` as a file of `version` would hold it.
template <class T>
T LoadRec(const std::string& body, u32 version, bool* failed = nullptr) {
    cRecordReader r(body, version);
    T rec;
    rec.Load(r);
    if (failed) *failed = r.Failed();
    return rec;
}

cAnimeFrame Frame(u32 p, u32 t, u32 f) {
    cAnimeFrame a;
    a.nPattern = p;
    a.nTime = t;
    a.nFlag = f;
    return a;
}

} // namespace

TEST(AnimeSteps, CompileHeldFlagsRecordZeroAndEmpty) {
    cVector<cAnimeFrame> frames{Frame(3, 2, 0), Frame(4, 1, 1), Frame(5, 5, 0)};
    EXPECT_EQ(CompileAnimeSteps(frames, false),
              (cVector<ANIMSTEP>{{3, 12, 0}, {4, 6, 1}, {5, 30, 1}, {ANIM_END, 0, 0}}));
    cVector<cAnimeFrame> two{Frame(7, 9, 1), Frame(8, 3, 0)};
    EXPECT_EQ(CompileAnimeSteps(two, true), (cVector<ANIMSTEP>{{7, 0, 1}, {8, 0, 1}, {ANIM_LOOP, 0, 1}}));
    EXPECT_EQ(CompileAnimeSteps({}, false), (cVector<ANIMSTEP>{{ANIM_END, 0, 0}}));
    EXPECT_EQ(CompileAnimeSteps({}, true), (cVector<ANIMSTEP>{{ANIM_LOOP, 0, 1}}));
    // A huge time from a file stays a valid frame count.
    EXPECT_EQ(CompileAnimeSteps({Frame(0, 0xFFFFFFFFu, 0)}, false)[0].nFrames, 0x7FFFFFFF);
}

TEST(EffectRecords, TypesReversalAndSteps) {
    // A type past the routine table becomes "none".
    cCharaEffectParam bad;
    bad.nEffectType = 17;
    EXPECT_EQ(LoadRec<cCharaEffectParam>(SaveRec(bad), 824).nEffectType, 0u);
    cScrEffectParam badS;
    badS.nEffectType = 0xFFFFFFFFu;
    EXPECT_EQ(LoadRec<cScrEffectParam>(SaveRec(badS), 824).nEffectType, 0u);

    cCharaEffectParam rot;
    rot.nEffectType = 7;
    rot.anParam[2] = 1440;
    ReverseCharaEffect(rot);
    EXPECT_EQ(rot.anParam[1], 1440);
    EXPECT_EQ(rot.anParam[2], 0);
    cCharaEffectParam blink;
    blink.nEffectType = 6;
    blink.anParam[1] = 3;
    ReverseCharaEffect(blink);
    EXPECT_EQ(blink.anParam[1], 3);
    cScrEffectParam move;
    move.nEffectType = 1;
    move.anParam[1] = 10, move.anParam[2] = 20, move.anParam[3] = 300, move.anParam[4] = 40;
    ReverseScrEffect(move);
    EXPECT_EQ((std::vector<i32>{move.anParam[1], move.anParam[2], move.anParam[3], move.anParam[4]}),
              (std::vector<i32>{300, 40, 10, 20}));

    cVector<cEffectFrame> frames(2);
    frames[0].nPattern = 1, frames[0].nTime = 1;
    frames[1].nPattern = 2, frames[1].nTime = 3;
    EXPECT_EQ(CompileEffectSteps(frames, false), (cVector<ANIMSTEP>{{1, 6, 0}, {2, 18, 0}, {ANIM_END, 0, 0}}));

    // A zero or negative duration never divides by zero.
    cCharaEffectParam zoom;
    zoom.nEffectType = 11;
    zoom.anParam[0] = 0;
    zoom.anParam[1] = 32;
    zoom.anParam[2] = 64;
    EXPECT_DOUBLE_EQ(PrepareCharaEffect(1, zoom).dStep, 32.0 / 6.0);
    zoom.anParam[2] = 32;
    EXPECT_DOUBLE_EQ(PrepareCharaEffect(1, zoom).dStep, 1.0 / 6.0);
}

// No parts stays no parts, and makes no sword.
TEST(MaterialRecords, NoSwordPartIsTakenAsStored) {
    const cSwordTypeData none = LoadRec<cSwordTypeData>(U32(1) + U32(0) + U32(3) + Str("") + Str("") + Str("") + U32(0), 824);
    EXPECT_TRUE(none.vPart.empty());
    EXPECT_EQ(none.FirstPart(), nullptr);
}

TEST(Database, ReversedEffectsAreBuiltOnce) {
    // The prepared rows: reversal happens once however often start-up prepares.
    cDatabase db;
    EXPECT_TRUE(db.m_vCharaEffectRev.empty());
    db.m_vCharaEffect[1].nEffectType = 7;
    db.m_vCharaEffect[1].anParam[2] = 1440;
    db.BuildReversedEffects();
    db.BuildReversedEffects();
    EXPECT_EQ(db.m_vCharaEffectRev[1].anParam[1], 1440);
    EXPECT_EQ(db.m_vCharaEffect[1].anParam[1], 0);
}

TEST(Database, LoadStopsAtTheFirstBadFileWithItsMessage) {
    ScratchGame game;
    std::filesystem::create_directories(game.Dir() / "data" / "database");
    cDatabase src;
    src.m_vAnime[1].strName = "walk";
    src.m_vSound.clear(); // an empty sound list must still give the 17 system rows
    src.m_vCharaEffect.clear();
    src.m_vScrEffect[0].nEffectType = 5;
    ASSERT_TRUE(SaveDatabases(src));

    cDatabase db;
    EXPECT_EQ(LoadDatabases(db), 1u);
    EXPECT_EQ(db.m_vAnime[1].strName, "walk");
    EXPECT_TRUE(db.m_vSound.empty());
    EXPECT_EQ(StartupSoundCount(db), 17);
    ASSERT_EQ(db.m_vCharaEffect.size(), 1u); // one "none" record added
    EXPECT_EQ(db.m_vCharaEffect[0].nEffectType, 0u);
    EXPECT_EQ(db.m_vScrEffect[0].nEffectType, 0u);
    EXPECT_TRUE(game.boxes.empty());

    // ScrEffect.dat missing: lists 1..6 hold the files, the rest their defaults.
    std::filesystem::remove(ResolvePath(g_DataPath[DP_SCREFFECT]));
    cDatabase db2;
    db2.m_vPicture.clear();
    EXPECT_EQ(LoadDatabases(db2), 0u);
    EXPECT_EQ(db2.m_vAnime[1].strName, "walk");
    EXPECT_TRUE(db2.m_vPicture.empty());
    ASSERT_EQ(game.boxes.size(), 1u);
    EXPECT_NE(game.boxes[0].find("ScrEffect.dat の読み込みに失敗しました！"), std::string::npos);
    EXPECT_EQ(game.boxes[0].find("上位"), std::string::npos);

    // Newer than the program.
    game.Write("data/database/ScrEffect.dat", U32(825) + U32(0));
    EXPECT_EQ(LoadDatabases(db2), 0u);
    EXPECT_NE(game.boxes.back().find("上位のバージョン"), std::string::npos);

    // A huge count, a truncated record, a short header: refused, the list untouched, no crash.
    for (const std::string& damaged : {U32(824) + U32(0x7FFFFFFF), U32(824) + U32(2) + U32(2) + U32(0),
                                       U32(824) + std::string("\x01", 1)}) {
        game.Write("data/database/ScrEffect.dat", damaged);
        cDatabase db3;
        EXPECT_EQ(LoadDatabases(db3), 0u);
        EXPECT_EQ(db3.m_vScrEffect.size(), 2u);
    }
}

TEST(Database, MaterialNumbersOutOfRangeMeanNone) {
    cDatabase db;
    db.m_vBgm.clear();
    EXPECT_EQ(FindMaterial(db.m_vBgm, 0), nullptr);
    EXPECT_EQ(FindMaterial(db.m_vAnimeSet, -1), nullptr);
    EXPECT_EQ(FindMaterial(db.m_vAnimeSet, 0), &db.m_vAnimeSet[0]);
}
