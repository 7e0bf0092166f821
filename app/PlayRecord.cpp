#include "app/PlayRecord.h"

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "app/Game.h"
#include "database/SystemData.h"
#include "database/WorldMap.h"
#include "app/StorySave.h"
#include "records/DataFile.h"
#include "records/EdChara.h"
#include "records/RecordVector.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "records/StrFormat.h"

cPlayRecord g_PlayRecord;
cPlayRecord g_PlayRecordStart;
cPlayRecord g_PlayRecordPrev;

namespace {

std::mutex g_timeLock;
std::function<SYSTEMTIME()> g_timeSource;

// A u32 list: its count must fit in the bytes left.
bool ReadU32List(cRecordReader& r, cVector<u32>& v) {
    u32 n = 0;
    if (!r.ReadCount(n, 4)) return false;
    v.assign(n, 0);
    return n == 0 || r.ReadBytes(v.data(), static_cast<std::size_t>(n) * 4);
}

bool ReadI32List(cRecordReader& r, cVector<i32>& v) {
    u32 n = 0;
    if (!r.ReadCount(n, 4)) return false;
    v.assign(n, 0);
    return n == 0 || r.ReadBytes(v.data(), static_cast<std::size_t>(n) * 4);
}

template <class T>
void WriteList(cRecordWriter& w, const cVector<T>& v) {
    static_assert(sizeof(T) == 4);
    w.WriteU32(static_cast<u32>(v.size()));
    if (!v.empty()) w.WriteBytes(v.data(), v.size() * 4);
}

// Numbered binary field n (from 1) of a character record.
DATAFIELD CharaField(cEdChara& c, int n) { return c.Field(n - 1); }

void CopyCharaField(cEdChara& dst, cEdChara& src, int n) {
    const DATAFIELD d = CharaField(dst, n);
    const DATAFIELD s = CharaField(src, n);
    if (!d.address || !s.address || d.size != s.size) return;
    std::memcpy(d.address, s.address, static_cast<std::size_t>(d.count) * static_cast<std::size_t>(d.size));
}

void SetCharaField(cEdChara& c, int n, u32 value) {
    const DATAFIELD f = CharaField(c, n);
    if (!f.address) return;
    switch (f.size) {
    case 1: *static_cast<u8*>(f.address) = static_cast<u8>(value); break;
    case 2: *static_cast<u16*>(f.address) = static_cast<u16>(value); break;
    case 4: *static_cast<u32*>(f.address) = value; break;
    default: break;
    }
}

u32 GetCharaField(cEdChara& c, int n) {
    const DATAFIELD f = CharaField(c, n);
    if (!f.address) return 0;
    switch (f.size) {
    case 1: return *static_cast<u8*>(f.address);
    case 2: return *static_cast<u16*>(f.address);
    case 4: return *static_cast<u32*>(f.address);
    default: return 0;
    }
}

// The character-record fields of each carry group; groups 4, 11, 12, 21..24 are special.
const int kGroupFields[kCarryGroups][3] = {
    {14, 13, 15}, {16, 0, 0}, {17, 0, 0}, {18, 0, 0}, {0, 0, 0},  {31, 0, 0}, {30, 0, 0},
    {32, 0, 0},   {35, 0, 0}, {36, 0, 0}, {37, 38, 0}, {0, 0, 0}, {0, 0, 0},  {39, 0, 0},
    {40, 0, 0},   {42, 0, 0}, {43, 0, 0}, {44, 0, 0}, {46, 0, 0}, {47, 0, 0}, {41, 0, 0},
    {0, 0, 0},    {0, 0, 0},  {0, 0, 0},  {0, 0, 0}};

bool CarrySwitch(int group) {
    return group < g_SystemData.vCarryStatus.Size() && g_SystemData.vCarryStatus[group] != 0;
}

} // namespace

void GetLocalTime(SYSTEMTIME& t) {
    {
        std::lock_guard<std::mutex> lock(g_timeLock);
        if (g_timeSource) {
            t = g_timeSource();
            return;
        }
    }
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    t.wYear = static_cast<u16>(tm.tm_year + 1900);
    t.wMonth = static_cast<u16>(tm.tm_mon + 1);
    t.wDayOfWeek = static_cast<u16>(tm.tm_wday);
    t.wDay = static_cast<u16>(tm.tm_mday);
    t.wHour = static_cast<u16>(tm.tm_hour);
    t.wMinute = static_cast<u16>(tm.tm_min);
    t.wSecond = static_cast<u16>(tm.tm_sec);
    t.wMilliseconds = static_cast<u16>(ts.tv_nsec / 1000000);
}

void SetLocalTimeSource(std::function<SYSTEMTIME()> source) {
    std::lock_guard<std::mutex> lock(g_timeLock);
    g_timeSource = std::move(source);
}

cPlayRecord::cPlayRecord() { Reset(); }

void cPlayRecord::RegisterFields(u32 version) {
    ResetFieldLists();
    AddFieldU32(&bCarry);
    AddFieldU32(&nMapX);
    AddFieldU32(&nMapY);
    AddFieldU32(&nMapEntry);
    AddFieldU32(&nSpare);
    if (version >= 758) {
        AddFieldU32(&bStageVar);
        AddFieldU32(&nStageVarIndex);
        AddFieldU32(&nStageVarValue);
    }
    AddFieldU32(&nStageNo);
    AddFieldU32(&bStageStarted);
    AddFieldU32(&nStartLives);
    AddFieldU32(&nLives);
    AddFieldU32(&nScore);
    AddFieldU32(&nTotalScore);
    AddFieldU32(&nBestSum);
    AddFieldU32(&nTimeLeftSum);
    AddFieldU32(&nPlayTimeSum);
    if (version >= 182) {
        AddFieldU32(&nHpSum);
        AddFieldU32(&nSpSum);
    }
    AddFieldU32(&bChallengeName);
    AddFieldU32(&nBgmPlaying);
    if (version >= 166) AddFieldU32(&nBgmParam);
    // These four keep their stream order although they came in different versions.
    if (version >= 194) AddFieldU32(&nMapSceneValue);
    if (version >= 190) AddFieldU32(&bMapReturn);
    if (version >= 191) {
        AddFieldU32(&nMapPrevX);
        AddFieldU32(&nMapPrevY);
    }
    AddFieldU32(&nChallengeOpen);
    AddFieldU32(&nSaveSlot);
    if (version >= 169) AddFieldU32(&bAutoSave);
    AddFieldU32(&bShowRanking);
    AddFieldU32(&nRankTable);
    if (version >= 678) {
        AddFieldU32(&nClearParam1);
        AddFieldU32(&nClearParam2);
        AddFieldU32(&nClearParam3);
    }
    if (version >= 679) AddFieldU32(&nClearParam4);
    AddString(&strStageFile);
    if (version >= 724) AddString(&strStageKey);
    AddString(&strRankName);
}

void cPlayRecord::Reset() {
    Clear();
    tSaved = SYSTEMTIME{};
    vCarryFlag.assign(kCarryGroups, 0);
    vCarried.assign(1, cCarryStatus{});
    vSwitch.assign(kSwitchCount, 0);
    vSwitch[0] = 1;
    vVar.assign(kVarCount, 0);
    vStageBest.clear();
    vChallenge.clear();
    vVarAtStart.clear();
    nLivesAtStart = 0;
    nTotalAtStart = 0;
    nChallengeOpen = 1;
    nSaveSlot = -1;
    strRankName = "aaa";
}

void cPlayRecord::Load(cRecordReader& r) {
    const u32 version = r.Version();
    cRecord::Load(r);
    if (r.Failed()) return;
    if (!r.ReadBytes(&tSaved, sizeof tSaved)) return;
    if (version >= 501 && !ReadU32List(r, vCarryFlag)) return;
    // Each body is at least its two counts; a character record follows a carried status.
    if (!ReadRecordsBounded(vCarried, r, 28)) return;
    if (!ReadRecordsBounded(vStageBest, r, 12)) return;
    if (!ReadRecordsBounded(vChallenge, r, 16)) return;
    if (!ReadU32List(r, vSwitch)) return;
    if (!ReadI32List(r, vVar)) return;

    // A file with a short switch list must not make the upgrades below write past it.
    if (vSwitch.Size() < kSwitchCount) vSwitch.resize(kSwitchCount, 0);
    if (version < 824) {
        if (version < 166) nBgmParam = 1;
        if (version < 169) bAutoSave = 0;
        if (version < 182) nHpSum = nSpSum = 0;
        if (version < 190) bMapReturn = 0;
        if (version < 191) nMapPrevX = nMapPrevY = 0;
        if (version < 194) nMapSceneValue = 0;
        if (version < 501) vCarryFlag.assign(kCarryGroups, 1);
        if (version < 754) {
            vVar.resize(1000, 0);
            vVarAtStart.resize(1000, 0);
        }
        if (version < 804) vSwitch[0] = 1;
    }
    // The engines index variables 0..1000, carry groups 0..24 and the first player's status.
    if (vVar.Size() < kVarCount) vVar.resize(kVarCount, 0);
    if (vCarryFlag.Size() < kCarryGroups) vCarryFlag.resize(kCarryGroups, 0);
    if (vCarried.empty()) vCarried.assign(1, cCarryStatus{});
    RepairLoaded();
    Normalize();
}

void cPlayRecord::RepairLoaded() {
    // A slot number past the slots would close the program at the next save.
    if (nSaveSlot < -1 || nSaveSlot >= kStorySlots) {
        ReportRepair("nSaveSlot", nSaveSlot, -1);
        nSaveSlot = -1;
    }
    // Normalize puts these right; the file's damage is reported here.
    if (g_WorldMap.nWidth > 0 && g_WorldMap.nHeight > 0) {
        if (static_cast<u32>(nMapX) >= static_cast<u32>(g_WorldMap.nWidth)) ReportRepair("nMapX", nMapX, g_WorldMap.nStartX);
        if (static_cast<u32>(nMapY) >= static_cast<u32>(g_WorldMap.nHeight)) ReportRepair("nMapY", nMapY, g_WorldMap.nStartY);
    }
    // Switches are only ever set on (1) or off; anything else is damage.
    for (int i = 0; i < vSwitch.Size(); ++i) {
        if (vSwitch[i] <= 1) continue;
        char field[24];
        std::snprintf(field, sizeof field, "vSwitch[%d]", i);
        ReportRepair(field, vSwitch[i], 1);
        vSwitch[i] = 1;
    }
    const u32 count = ChallengeStageCount();
    // One open stage is every new record's, whatever the game has.
    if (nChallengeOpen > std::max<u32>(count, 1)) ReportRepair("nChallengeOpen", nChallengeOpen, count);
}

void cPlayRecord::Save(cRecordWriter& w) {
    Normalize();
    cRecord::Save(w);
    w.WriteBytes(&tSaved, sizeof tSaved);
    WriteList(w, vCarryFlag);
    WriteRecordVector(w, vCarried);
    WriteRecordVector(w, vStageBest);
    WriteRecordVector(w, vChallenge);
    WriteList(w, vSwitch);
    WriteList(w, vVar);
}

void MakeStageFileName(std::string& key, u32 bVar, u32 varIndex, u32 varValue) {
    if (!bVar) return;
    const bool dot = !key.empty() && key.back() == '.';
    if (dot) key.pop_back();
    StrAppendF(key, "_c%03u_%u", varIndex, varValue);
    if (dot) key += '.';
}

void cPlayRecord::SetStageFile(const std::string& name, u32 bVar, u32 varIndex, u32 varValue) {
    strStageFile = name;
    bStageVar = bVar;
    nStageVarIndex = varIndex;
    nStageVarValue = varValue;
    bChallengeName = 0;
    // The "-1" marker is looked for over the whole path; stored keys depend on that.
    bool found = false;
    for (std::size_t i = strStageFile.size(); i >= 2; --i) {
        if (strStageFile[i - 2] == '-' && strStageFile[i - 1] == '1') {
            bChallengeName = 1;
            strStageFile.resize(i - 1);
            strStageFile[i - 2] = '.';
            found = true;
            break;
        }
    }
    if (!found) {
        const std::size_t dot = strStageFile.rfind('.');
        strStageFile.resize(dot == std::string::npos ? 0 : dot + 1);
    }
    strStageKey = strStageFile;
    MakeStageFileName(strStageKey, bStageVar, nStageVarIndex, nStageVarValue);
}

void cPlayRecord::UpdateStageEntry(const std::string& file, const std::string& key, u32 keyA, u32 keyB, u32 keyC,
                                   u32 total) {
    for (cStageBest& e : vStageBest) {
        if (e.strKey != key) continue;
        if (total > e.nBest) {
            nBestSum += total - e.nBest;
            e.nBest = total;
        }
        return;
    }
    cStageBest e;
    e.strFile = file;
    e.strKey = key;
    e.nKeyA = keyA;
    e.nKeyB = keyB;
    e.nKeyC = keyC;
    e.nBest = total;
    vStageBest.push_back(e);
    nBestSum += total;
}

u32 cPlayRecord::GetStageValue(const std::string& key) const {
    for (const cStageBest& e : vStageBest)
        if (e.strKey == key) return e.nBest;
    return 0;
}

void cPlayRecord::SumStageValues() {
    nBestSum = 0;
    for (const cStageBest& e : vStageBest)
        if (g_WorldMap.HasStage(e.strFile, e.nKeyA, e.nKeyB, e.nKeyC)) nBestSum += e.nBest;
}

void cPlayRecord::SaveStageStart() {
    vVarAtStart = vVar;
    nLivesAtStart = nLives;
    nTotalAtStart = nTotalScore;
}

void cPlayRecord::RestoreStageStart(u32 bAll) {
    // A snapshot never taken leaves the variables as they are rather than emptying them.
    const bool taken = !vVarAtStart.empty();
    if (bAll) {
        if (taken) vVar = vVarAtStart;
        nTotalScore = nTotalAtStart;
        nLives = nLivesAtStart;
    } else {
        u32 restart = 1;
        if (g_bDirectStart) restart = g_SystemData.bRestartDirect;
        else if (g_Game.g_nPlayKind == 0) restart = g_SystemData.bRestartStory;
        else if (g_Game.g_nPlayKind == 1) restart = g_SystemData.bRestartChallenge;
        else if (g_Game.g_nPlayKind == 2) restart = g_SystemData.bRestartFree;
        if (restart && taken) vVar = vVarAtStart;
        nTotalScore = nTotalAtStart;
    }
    // A snapshot of an old file's 1000 variables: the engines index 0..1000.
    if (vVar.Size() < kVarCount) vVar.resize(kVarCount, 0);
}

void cPlayRecord::ClearTotals() { nTotalScore = nTimeLeftSum = nPlayTimeSum = nHpSum = nSpSum = 0; }

void cPlayRecord::ResetMapProgress() {
    FillU32(vSwitch, 0);
    if (vSwitch.empty()) vSwitch.assign(kSwitchCount, 0);
    vSwitch[0] = 1;
    nMapX = g_WorldMap.nStartX;
    nMapY = g_WorldMap.nStartY;
}

u32 ChallengeStageCount() { return std::min(g_SystemData.nChallengeValue, kMaxChallengeStages); }

void cPlayRecord::Normalize() {
    // Compared as the stored u32: a negative place is off the map too.
    if (static_cast<u32>(nMapX) >= static_cast<u32>(g_WorldMap.nWidth)) nMapX = g_WorldMap.nStartX;
    if (static_cast<u32>(nMapY) >= static_cast<u32>(g_WorldMap.nHeight)) nMapY = g_WorldMap.nStartY;
    const u32 count = ChallengeStageCount();
    vChallenge.resize(count);
    if (nChallengeOpen > count) nChallengeOpen = count;
}

void cPlayRecord::StoreCarriedStatus(int player, cEdChara& chara, u32 valA, u32 valB, u32 grp4a, u32 grp4b, u32 grp4c,
                                     u32 valC, u32 valD, u32 valE) {
    bCarry = 1;
    cCarryStatus& st = vCarried[player];
    for (int g = 0; g < kCarryGroups; ++g) {
        if (!CarrySwitch(g)) continue;
        switch (g) {
        case 4:
            SetCharaField(st.chara, 19, grp4a);
            SetCharaField(st.chara, 20, grp4b);
            SetCharaField(st.chara, 21, grp4c);
            break;
        case 11: st.nCarry11 = valA; break;
        case 12: st.nCarry12 = valB; break;
        case 21: st.chara.vFlow = chara.vFlow; break;
        case 22: st.nCarry22 = valC; break;
        case 23: st.nCarry23 = valD; break;
        case 24: st.nCarry24 = valE; break;
        default:
            for (int n : kGroupFields[g])
                if (n) CopyCharaField(st.chara, chara, n);
            break;
        }
        vCarryFlag[g] = 1;
    }
}

void cPlayRecord::ApplyCarriedStatus(int player, cEdChara& chara) {
    if (!bCarry) return;
    cCarryStatus& st = vCarried[player];
    for (int g = 0; g < kCarryGroups; ++g) {
        if (!CarrySwitch(g) || g >= vCarryFlag.Size() || !vCarryFlag[g]) continue;
        switch (g) {
        case 4:
            for (int n : {19, 20, 21}) CopyCharaField(chara, st.chara, n);
            break;
        case 11:
        case 12: break; // read through GetCarriedValues
        case 21: chara.vFlow = st.chara.vFlow; break;
        case 22: StageSettings::Set(g_Stage, eStage::TimeLimit, st.nCarry22); break;
        case 23: nLives = st.nCarry23; break;
        case 24: g_Stage.dwBgm() = st.nCarry24; break;
        case 0:
            CopyCharaField(chara, st.chara, 14);
            SetCharaField(chara, 13, GetCharaField(st.chara, 13) ? GetCharaField(st.chara, 13) : 1);
            CopyCharaField(chara, st.chara, 15);
            break;
        default:
            for (int n : kGroupFields[g])
                if (n) CopyCharaField(chara, st.chara, n);
            break;
        }
    }
}

void cPlayRecord::GetCarriedValues(int player, u32& outA, u32& outB) const {
    if (!bCarry) return;
    const cCarryStatus& st = vCarried[player];
    auto flagged = [&](int g) { return CarrySwitch(g) && g < vCarryFlag.Size() && vCarryFlag[g]; };
    if (flagged(11)) outA = st.nCarry11;
    if (flagged(12)) outB = st.nCarry12;
}

void cPlayRecord::ClearCarryFlags() {
    for (int k = 0; k < vCarryFlag.Size() && k < g_SystemData.vCarryClear.Size(); ++k)
        if (g_SystemData.vCarryClear[k]) vCarryFlag[k] = 0;
}
