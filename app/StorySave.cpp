#include "app/StorySave.h"

#include "app/Game.h"
#include "database/DataPaths.h"
#include "database/SystemData.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "records/DataFile.h"
#include "records/StrFormat.h"

cVector<cStorySlotInfo> g_StorySlots(kStorySlots);

void cStorySlotInfo::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU32(&bUsed);
}

void MakeStorySlotName(std::string& out, int slot) { StrFormat(out, "%s%02d.dat", g_DataPath[DP_STORY_SAVE].c_str(), slot + 1); }

void ApplyLivesRule(cPlayRecord& record, int kind) {
    if (g_SystemData.InfiniteLives(kind)) {
        record.nStartLives = kInfiniteLives;
        record.nLives = kInfiniteLives;
    } else if (record.nLives == kInfiniteLives) {
        record.nLives = g_SystemData.StartLives(kind);
    }
}

namespace {

void ReportSaveFailure(const std::string& name) {
    const std::string shown = ToDisplayText(name);
    WriteFailureReport("%s の保存に失敗しました！", shown.c_str());
    ErrorBox("%s の保存に失敗しました！", shown.c_str());
}

} // namespace

int SaveStorySlot(cPlayRecord& record, int slot) {
    if (slot < 0 || slot >= g_StorySlots.Size()) {
        (void)g_StorySlots[slot]; // the container's own report and close
        return 0;
    }
    std::string name;
    MakeStorySlotName(name, slot);
    GetLocalTime(record.tSaved);
    if (!SaveUserFile(record, name)) {
        ReportSaveFailure(name);
        return 0;
    }
    g_StorySlots[slot].bUsed = 1;
    g_StorySlots[slot].bDamaged = 0;
    g_StorySlots[slot].tSaved = record.tSaved;
    return 1;
}

int LoadStorySlot(cPlayRecord& record, int slot) {
    if (slot < 0 || slot >= kStorySlots) return 0;
    std::string name;
    MakeStorySlotName(name, slot);
    const LoadResult result = LoadUserFile(record, name);
    if (result != LoadResult::Loaded) {
        // The slot was listed as used but has gone since.
        if (result == LoadResult::Missing) ReportLoadFailure(name, LoadResult::Unreadable);
        return 0;
    }
    ApplyLivesRule(record, 0);
    return 1;
}

int LoadChallenge(cPlayRecord& record) {
    if (LoadUserFile(record, g_DataPath[DP_CHALLENGE_RESULT]) != LoadResult::Loaded) return 0;
    ApplyLivesRule(record, 1);
    return 1;
}

int SaveChallenge(cPlayRecord& record) {
    if (SaveUserFile(record, g_DataPath[DP_CHALLENGE_RESULT])) return 1;
    ReportSaveFailure(g_DataPath[DP_CHALLENGE_RESULT]);
    return 0;
}

void LoadStorySlotList(cVector<cStorySlotInfo>& slots) {
    for (int i = 0; i < slots.Size(); ++i) {
        std::string name;
        MakeStorySlotName(name, i);
        cPlayRecord scratch;
        const LoadResult result = LoadRecordFile(scratch, name, true);
        const bool damaged = result != LoadResult::Loaded && result != LoadResult::Missing;
        if (damaged && !slots[i].bDamaged) ReportLoadFailure(name, result);
        slots[i].bUsed = result != LoadResult::Missing;
        slots[i].bDamaged = damaged;
        if (result == LoadResult::Loaded) slots[i].tSaved = scratch.tSaved;
    }
}

std::string FormatSaveTime(const cStorySlotInfo& slot) {
    std::string out;
    if (slot.bDamaged) return Utf8ToSjis(g_bEnglish ? "damaged\n" : "破損しています\n");
    if (!slot.bUsed) return out;
    StrFormat(out, "%04d/%02d/%02d %02d:%02d\n", slot.tSaved.wYear, slot.tSaved.wMonth, slot.tSaved.wDay,
              slot.tSaved.wHour, slot.tSaved.wMinute);
    return out;
}
