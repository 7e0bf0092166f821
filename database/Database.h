#pragma once
// The material database: ten lists read once at start-up from data\database, addressed by
// record number everywhere else in the game.
#include <string>

#include "database/AnimeData.h"
#include "database/EffectData.h"
#include "database/MaterialData.h"
#include "records/DataFile.h"

class cDatabase : public cRecord {
public:
    cDatabase() { SetDefault(); }
    void RegisterFields(u32) override { ResetFieldLists(); }
    void SetDefault();
    // Record 0 of both effect lists is "no effect". A list read empty gets one such record,
    // so that record 0 exists whatever the file held.
    void ResetNoneRecords();
    // Fills the two reversed lists from the forward ones and exchanges their start and end
    // values. It rebuilds them from the forward lists each time, so the exchange is never
    // applied twice to one record.
    void BuildReversedEffects();

    cVector<cAnimeSetData> m_vAnimeSet;
    cVector<cAnimeData> m_vAnime;
    cVector<cBmpCharaExcData> m_vBmpCharaExc;
    cVector<cSwordTypeData> m_vSwordType;
    cVector<cEffectData> m_vEffect;
    cVector<cCharaEffectParam> m_vCharaEffect;
    cVector<cScrEffectParam> m_vScrEffect;
    cVector<cPictureData> m_vPicture;
    cVector<cSoundData> m_vSound;
    cVector<cBgmData> m_vBgm;
    cVector<cCharaEffectParam> m_vCharaEffectRev;
    cVector<cScrEffectParam> m_vScrEffectRev;
};

extern cDatabase g_Database;

// Reads one list from a file positioned after its version word: u32 count, then the records.
// The list is replaced only when every record was read; false for a damaged file.
// Like ReadRecordVector, but each record starts as the class's fresh record (not a cleared
// one), so that fields an old file does not store keep their fresh values.
template <class T>
bool ReadFreshVector(cRecordReader& r, cVector<T>& v) {
    return ReadRecordVectorFrom(r, v, T());
}

template <class T>
bool LoadDatabaseList(cRecordReader& r, cVector<T>& list) {
    cVector<T> loaded;
    if (!ReadFreshVector(r, loaded)) return false;
    if (g_bFixStrings)
        for (auto& rec : loaded) rec.FixStrings();
    list.swap(loaded);
    return true;
}

// Writes one list as a database file (version, count, records).
template <class T>
bool SaveDatabaseList(cVector<T>& list, const std::string& path) {
    cRecordWriter w = OpenDataFileWrite();
    WriteRecordVector(w, list);
    return CloseDataFile(w, path);
}

// Reads the ten files in their fixed order. 1 when all were read; 0 after reporting the file
// that was missing, newer than the program or damaged (lists before it keep what they read,
// later ones their defaults).
u32 LoadDatabases();
u32 LoadDatabases(cDatabase& db);
// Writes the ten files (the demo-game maker and tests use it; the runtime does not).
bool SaveDatabases(cDatabase& db);
// Hands the list sizes to the command checks of the flow records.
void PublishDatabaseLimits(const cDatabase& db);
// What start-up does after loading: the reversed effect lists, the animation and effect steps,
// the prepared effect rows.
void PrepareDatabase();

// A material number from data that names no record means "none": null.
template <class T>
const T* FindMaterial(const cVector<T>& list, long long n) {
    return n >= 0 && static_cast<unsigned long long>(n) < list.size() ? &list.data()[n] : nullptr;
}

// Rows of the start-up sound table: the 17 system sounds, then record n at 16 + n.
int StartupSoundCount(const cDatabase& db);
