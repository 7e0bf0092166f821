#pragma once
// The state of a play that outlives one stage: the stage being played and the key its results
// are filed under, lives, score and result totals, common variables and switches, the carried
// player status, the world-map position, story bests, challenge results, the save slot and the
// ranking name. The same record is the body of a story save, of Challenge.dat and the last part
// of a replay file.
#include <functional>
#include <string>

#include "records/Record.h"
#include "records/StageSub.h"

class cEdChara;

// A Windows SYSTEMTIME as stored in the files: eight u16, day of week with Sunday = 0.
struct SYSTEMTIME {
    u16 wYear = 0;
    u16 wMonth = 0;
    u16 wDayOfWeek = 0;
    u16 wDay = 0;
    u16 wHour = 0;
    u16 wMinute = 0;
    u16 wSecond = 0;
    u16 wMilliseconds = 0;
};
static_assert(sizeof(SYSTEMTIME) == 16);

void GetLocalTime(SYSTEMTIME& t);
// Test seam: a fixed local time (null restores the real clock).
void SetLocalTimeSource(std::function<SYSTEMTIME()> source);

constexpr int kCarryGroups = 25;
constexpr int kSwitchCount = 1000;
constexpr int kVarCount = 1001; // the common variables are indexed 0..1000
constexpr u32 kInfiniteLives = 999999;
// The challenge-stage count of the system data, bounded: it sizes the challenge results, and a
// damaged System.dat must not make that an allocation of gigabytes.
constexpr u32 kMaxChallengeStages = 999;
u32 ChallengeStageCount();

class cPlayRecord : public cRecord {
public:
    cPlayRecord();
    cPlayRecord(const cPlayRecord&) = default;
    cPlayRecord& operator=(const cPlayRecord&) = default;
    ~cPlayRecord() override = default;

    void RegisterFields(u32 version) override;
    // The file form read back, grown where later code indexes, upgraded, then normalised.
    void Load(cRecordReader& r) override;
    // Normalises first (the live record changes), then the file form.
    void Save(cRecordWriter& w) override;

    // A new game: every field 0 and string empty, then the documented starting values.
    void Reset();
    void SetStageFile(const std::string& name, u32 bVar, u32 varIndex, u32 varValue);
    void UpdateStageEntry(const std::string& file, const std::string& key, u32 keyA, u32 keyB, u32 keyC, u32 total);
    u32 GetStageValue(const std::string& key) const;
    // nBestSum := the bests of the stages that lie on the world map.
    void SumStageValues();
    void SaveStageStart();
    // bAll 0 follows the restart switch of the current play kind.
    void RestoreStageStart(u32 bAll);
    void ClearTotals();
    void ResetMapProgress();
    void Normalize();
    // The values of a loaded file outside their range, set right with a report line naming the
    // file (Load calls it before Normalize).
    void RepairLoaded();

    void StoreCarriedStatus(int player, cEdChara& chara, u32 valA, u32 valB, u32 grp4a, u32 grp4b, u32 grp4c,
                            u32 valC, u32 valD, u32 valE);
    void ApplyCarriedStatus(int player, cEdChara& chara);
    void GetCarriedValues(int player, u32& outA, u32& outB) const;
    void ClearCarryFlags();

    // Registered fields, in stream order.
    u32 bCarry = 0;
    i32 nMapX = 0;
    i32 nMapY = 0;
    u32 nMapEntry = 0; // (entry index + 1) * 65536 + item index of the item the stage was started from; 0 none
    u32 nSpare = 0;
    u32 bStageVar = 0;
    u32 nStageVarIndex = 0;
    u32 nStageVarValue = 0;
    u32 nStageNo = 0;
    u32 bStageStarted = 0;
    u32 nStartLives = 0;
    u32 nLives = 0;
    u32 nScore = 0;
    u32 nTotalScore = 0;
    u32 nBestSum = 0;
    u32 nTimeLeftSum = 0;
    u32 nPlayTimeSum = 0;
    u32 nHpSum = 0;
    u32 nSpSum = 0;
    u32 bChallengeName = 0;
    u32 nBgmPlaying = 0;
    u32 nBgmParam = 0;
    u32 nMapSceneValue = 0;
    u32 bMapReturn = 0;
    i32 nMapPrevX = 0;
    i32 nMapPrevY = 0;
    u32 nChallengeOpen = 0;
    i32 nSaveSlot = 0;
    u32 bAutoSave = 0;
    u32 bShowRanking = 0;
    i32 nRankTable = 0;
    u32 nClearParam1 = 0;
    u32 nClearParam2 = 0;
    u32 nClearParam3 = 0;
    u32 nClearParam4 = 0;
    std::string strStageFile;
    std::string strStageKey;
    std::string strRankName;

    SYSTEMTIME tSaved;
    cVector<u32> vCarryFlag;
    cVector<cCarryStatus> vCarried;
    cVector<cStageBest> vStageBest;
    cVector<cRecInt2> vChallenge;
    cVector<u32> vSwitch;
    cVector<i32> vVar;

    // The stage-start snapshot; not saved.
    cVector<i32> vVarAtStart;
    u32 nLivesAtStart = 0;
    u32 nTotalAtStart = 0;
};

// Extends a stage key by its stage variable: "Name." with (1, 7, 2) gives "Name_c007_2.".
void MakeStageFileName(std::string& key, u32 bVar, u32 varIndex, u32 varValue);

extern cPlayRecord g_PlayRecord;
extern cPlayRecord g_PlayRecordStart;
extern cPlayRecord g_PlayRecordPrev;
