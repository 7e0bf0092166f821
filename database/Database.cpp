#include "database/Database.h"

#include "database/DataPaths.h"
#include "database/Text.h"
#include "records/DataFile.h"
#include "records/FlowCmd.h"

cDatabase g_Database;

template <class T>
static void FillFresh(cVector<T>& v, int n) {
    v.assign(static_cast<std::size_t>(n), T());
}

void cDatabase::SetDefault() {
    Clear();
    FillFresh(m_vAnimeSet, 1);
    FillFresh(m_vAnime, 2);
    m_vAnime[0].strName = Sj("なし");
    m_vAnime[1].strName = Sj("アクションA");
    FillFresh(m_vBmpCharaExc, 2);
    FillFresh(m_vSwordType, 1);
    FillFresh(m_vEffect, 2);
    FillFresh(m_vCharaEffect, 2);
    FillFresh(m_vScrEffect, 2);
    FillFresh(m_vPicture, 2);
    FillFresh(m_vSound, 2);
    FillFresh(m_vBgm, 2);
    m_vCharaEffectRev.clear();
    m_vScrEffectRev.clear();
}

void cDatabase::ResetNoneRecords() {
    if (m_vCharaEffect.empty()) m_vCharaEffect.push_back(cCharaEffectParam());
    if (m_vScrEffect.empty()) m_vScrEffect.push_back(cScrEffectParam());
    m_vCharaEffect[0].nEffectType = 0;
    m_vScrEffect[0].nEffectType = 0;
}

void cDatabase::BuildReversedEffects() {
    m_vCharaEffectRev = m_vCharaEffect;
    for (auto& rec : m_vCharaEffectRev) ReverseCharaEffect(rec);
    m_vScrEffectRev = m_vScrEffect;
    for (auto& rec : m_vScrEffectRev) ReverseScrEffect(rec);
}

template <class T>
static bool LoadListFile(cVector<T>& list, const std::string& path) {
    auto r = OpenDataFileRead(path);
    if (!r || !LoadDatabaseList(*r, list)) {
        ShowFileVersionError(path);
        return false;
    }
    ReportNotFinite(*r, path);
    return true;
}

u32 LoadDatabases(cDatabase& db) {
    if (!LoadListFile(db.m_vAnimeSet, g_DataPath[DP_ANIMESET])) return 0;
    if (!LoadListFile(db.m_vAnime, g_DataPath[DP_ANIME])) return 0;
    if (!LoadListFile(db.m_vBmpCharaExc, g_DataPath[DP_BMP_CHARAEXC])) return 0;
    if (!LoadListFile(db.m_vSwordType, g_DataPath[DP_SWORDTYPE])) return 0;
    if (!LoadListFile(db.m_vEffect, g_DataPath[DP_EFFECT])) return 0;
    if (!LoadListFile(db.m_vCharaEffect, g_DataPath[DP_CHARAEFFECT])) return 0;
    if (!LoadListFile(db.m_vScrEffect, g_DataPath[DP_SCREFFECT])) return 0;
    if (!LoadListFile(db.m_vPicture, g_DataPath[DP_PICTURE])) return 0;
    if (!LoadListFile(db.m_vSound, g_DataPath[DP_SOUND])) return 0;
    if (!LoadListFile(db.m_vBgm, g_DataPath[DP_BGM])) return 0;
    db.ResetNoneRecords();
    return 1;
}

u32 LoadDatabases() { return LoadDatabases(g_Database); }

bool SaveDatabases(cDatabase& db) {
    return SaveDatabaseList(db.m_vAnimeSet, g_DataPath[DP_ANIMESET]) &&
           SaveDatabaseList(db.m_vAnime, g_DataPath[DP_ANIME]) &&
           SaveDatabaseList(db.m_vBmpCharaExc, g_DataPath[DP_BMP_CHARAEXC]) &&
           SaveDatabaseList(db.m_vSwordType, g_DataPath[DP_SWORDTYPE]) &&
           SaveDatabaseList(db.m_vEffect, g_DataPath[DP_EFFECT]) &&
           SaveDatabaseList(db.m_vCharaEffect, g_DataPath[DP_CHARAEFFECT]) &&
           SaveDatabaseList(db.m_vScrEffect, g_DataPath[DP_SCREFFECT]) &&
           SaveDatabaseList(db.m_vPicture, g_DataPath[DP_PICTURE]) &&
           SaveDatabaseList(db.m_vSound, g_DataPath[DP_SOUND]) && SaveDatabaseList(db.m_vBgm, g_DataPath[DP_BGM]);
}

void PublishDatabaseLimits(const cDatabase& db) {
    UpdateCmdLimits([&db](CMDLIMITS& l) {
        l.nAnime = static_cast<u32>(db.m_vAnime.size());
        l.nAnimeSet = static_cast<u32>(db.m_vAnimeSet.size());
        l.nEffect = static_cast<u32>(db.m_vEffect.size());
        l.nCharaEffect = static_cast<u32>(db.m_vCharaEffect.size());
        l.nScrEffect = static_cast<u32>(db.m_vScrEffect.size());
        l.nPicture = static_cast<u32>(db.m_vPicture.size());
        l.nSound = static_cast<u32>(db.m_vSound.size());
        l.nBgm = static_cast<u32>(db.m_vBgm.size());
        l.nCharaBmp = static_cast<u32>(db.m_vBmpCharaExc.size());
        l.nSwordType = static_cast<u32>(db.m_vSwordType.size());
    });
}

void PrepareDatabase() {
    PublishDatabaseLimits(g_Database);
    g_Database.BuildReversedEffects();
    BuildAnimeSteps();
    BuildEffectSteps();
    InitCharaEffectData(g_vCharaEffectData, g_vCharaEffectData2);
    InitScreenEffectData(g_vScreenEffectData, g_vScreenEffectData2);
}

int StartupSoundCount(const cDatabase& db) {
    const int n = db.m_vSound.Size() + 16;
    return n < 17 ? 17 : n;
}
