#include "app/Replay.h"

#include "app/Game.h"
#include "app/Scenes.h"
#include "database/SystemData.h"
#include "platform/system/Input.h"
#include "platform/system/NameFit.h"
#include "platform/system/PathResolver.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Report.h"
#include "platform/system/Thread.h"
#include "platform/system/WindowMessages.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StrFormat.h"

cReplayData g_ReplayData;
cReplayData g_ReplayPrev;

namespace {

template <class T>
bool ReadList(cRecordReader& r, cVector<T>& v) {
    u32 n = 0;
    if (!r.ReadCount(n, sizeof(T))) return false;
    v.assign(n, 0);
    return n == 0 || r.ReadBytes(v.data(), static_cast<std::size_t>(n) * sizeof(T));
}

template <class T>
void WriteReplayList(cRecordWriter& w, const cVector<T>& v) {
    w.WriteU32(static_cast<u32>(v.size()));
    if (!v.empty()) w.WriteBytes(v.data(), v.size() * sizeof(T));
}

template <class T>
void AddRun(cVector<T>& values, cVector<u32>& counts, T word) {
    if (!values.empty() && values.back() == word && !counts.empty()) {
        ++counts.back();
        return;
    }
    values.push_back(word);
    counts.push_back(1);
}

// One step through a run list. A damaged run of 0 frames lasts one frame.
void Step(u32& pos, u32& held, const cVector<u32>& counts) {
    ++held;
    if (held >= counts[pos]) {
        held = 0;
        ++pos;
    }
}

u32 g_nCoolDown = 0;
constexpr u32 kVkF1 = 0x70;
constexpr u32 kVkF2 = 0x71;

} // namespace

cReplayData& cReplayData::operator=(const cReplayData& src) {
    cRecord::operator=(src);
    nSeed = src.nSeed;
    vDir = src.vDir;
    vButton = src.vButton;
    vDirCount = src.vDirCount;
    vButtonCount = src.vButtonCount;
    nFileVersion = src.nFileVersion;
    return *this;
}

void cReplayData::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU32(&nSeed);
}

void cReplayData::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    if (!ReadList(r, vDir) || !ReadList(r, vButton) || !ReadList(r, vDirCount) || !ReadList(r, vButtonCount)) return;
    nDirPos = nButtonPos = nDirHeld = nButtonHeld = 0;
    nFileVersion = r.Version();
}

void cReplayData::Save(cRecordWriter& w) {
    cRecord::Save(w);
    WriteReplayList(w, vDir);
    WriteReplayList(w, vButton);
    WriteReplayList(w, vDirCount);
    WriteReplayList(w, vButtonCount);
}

void cReplayData::Record(u16 dir, u16 buttons) {
    AddRun(vDir, vDirCount, dir);
    AddRun(vButton, vButtonCount, buttons);
}

int cReplayData::Next(u16& dir, u16& buttons) {
    // A list whose run counts are shorter than its values ends where the counts end.
    if (nDirPos >= vDir.size() || nButtonPos >= vButton.size() || nDirPos >= vDirCount.size() ||
        nButtonPos >= vButtonCount.size())
        return 1;
    dir = vDir[nDirPos];
    Step(nDirPos, nDirHeld, vDirCount);
    buttons = vButton[nButtonPos];
    Step(nButtonPos, nButtonHeld, vButtonCount);
    return 0;
}

void cReplayData::Clear() {
    cRecord::Clear();
    vDir.clear();
    vButton.clear();
    vDirCount.clear();
    vButtonCount.clear();
    nDirPos = nButtonPos = nDirHeld = nButtonHeld = 0;
    nFileVersion = kProgVer;
}

std::string ReplayFileNameRelative(const std::string& stageName) {
    if (stageName.empty()) return std::string();
    std::string key = stageName;
    PathStripDir(key);
    MakeStageFileName(key, g_PlayRecord.bStageVar, g_PlayRecord.nStageVarIndex, g_PlayRecord.nStageVarValue);
    if (!key.empty() && key.back() == '.') key.pop_back();
    SYSTEMTIME t;
    GetLocalTime(t);
    std::string date;
    StrFormat(date, "__%04d__%02d_%02d__%02d_%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    std::string ext;
    StrFormat(ext, ".rpl4_%u", g_nProgVer);
    // The name is proposed to be saved as it stands: with a long stage name the date and the
    // extension would pass what the folder takes, so the stage's part gives way, and a numbered
    // name is fitted by itself.
    const std::string folder = "user_data\\rpl4";
    const std::size_t max = NameMax(ResolvePath(folder));
    auto proposal = [&](const std::string& copy) { return folder + "\\" + FittedGameName(key, date + copy + ext, max); };
    std::string name = proposal({});
    if (FileExists(name)) {
        std::string numbered;
        for (int n = 2; n <= 999; ++n) {
            numbered = proposal(" (" + std::to_string(n) + ")");
            if (!FileExists(numbered)) break;
        }
        // After 999 the last name tried stands; the save dialog asks before overwriting.
        name = numbered;
    }
    return name;
}

int MakeReplayFileName(std::string& out, const std::string& stageName) {
    out = ReplayFileNameRelative(stageName);
    MakeAbsolutePath(out);
    return 1;
}

int SaveReplay(cReplayData& replay, const std::string& path, cStage& stage, cStage& stageAtStart, cPlayRecord& record) {
    cRecordWriter w = OpenDataFileWrite();
    stage.WriteSnapshot(w, stageAtStart);
    replay.Save(w);
    record.Save(w);
    if (CloseDataFile(w, path)) return 1;
    WriteFailureReport("%s の保存に失敗しました！", path.c_str());
    return 0;
}

int LoadReplay(cReplayData& replay, const std::string& path, cStage& stage, cStage& stageAtStart, cPlayRecord& record) {
    LoadResult why = LoadResult::Loaded;
    auto r = OpenDataFileRead(path, &why);
    if (!r) {
        ReportLoadFailure(path, why);
        return 0;
    }
    cStage loaded;
    cReplayData data;
    if (ReadStagedStage(*r, stage, loaded)) data.Load(*r);
    cPlayRecord rec(record);
    const bool withRecord = r->Version() >= kReplayRecordVersion;
    if (!r->Failed() && withRecord) {
        LoadingFileScope scope(path);
        rec.Load(*r);
        // The record ends the file: anything after it is damage.
        if (!r->AtEnd()) r->Fail();
    }
    if (r->Failed()) {
        ReportLoadFailure(path, LoadResult::Damaged);
        return 0;
    }
    ReportNotFinite(*r, path);
    AdoptStagedStage(stage, loaded);
    stage.bLoaded = 1;
    stageAtStart.CopyHeader(stage);
    stageAtStart.aParams = stage.aParams;
    stageAtStart.vRankSwitch = stage.vRankSwitch;
    stageAtStart.vBack = stage.vBack;
    stageAtStart.vName = stage.vName;
    stageAtStart.vBlockPalette.clear();
    stageAtStart.vCharaPalette.clear();
    stageAtStart.vItemPalette.clear();
    stageAtStart.vBlock.clear();
    stageAtStart.vChara.clear();
    stageAtStart.vItem.clear();
    replay = data;
    replay.nDirPos = replay.nButtonPos = replay.nDirHeld = replay.nButtonHeld = 0;
    if (withRecord) record = rec;
    return 1;
}

int CheckReplayKeys() {
    if (g_Game.g_nGameMode == 4 || !g_SystemData.bReplaySave) return 0;
    if (g_nCoolDown > 0) --g_nCoolDown;
    int which;
    if (GetAsyncKeyState(kVkF1) < 0) which = 0;
    else if (GetAsyncKeyState(kVkF2) < 0) which = 1;
    else return 0;
    const cReplayData& sel = which == 0 ? g_ReplayData : g_ReplayPrev;
    if (sel.vDir.empty()) {
        if (g_nCoolDown == 0) {
            PlaySE(3);
            g_nCoolDown = 60;
        }
        return 0;
    }
    PlaySE(1);
    g_bDlgDone.store(0);
    SendMessage(g_hWnd, WM_GAME_REPLAYSAVE, static_cast<WPARAM>(which), 0);
    while (!g_bDlgDone.load())
        if (SleepMs(1)) break; // closing: the request will not be answered
    return 1;
}
