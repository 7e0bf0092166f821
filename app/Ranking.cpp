#include "app/Ranking.h"

#include <algorithm>
#include <cstdlib>

#include "app/Game.h"
#include "app/PlayRecord.h"
#include "database/DataPaths.h"
#include "database/SystemData.h"
#include "platform/system/FileError.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Sjis.h"
#include "records/DataFile.h"
#include "records/StageSettings.h"
#include "records/RecordVector.h"
#include "records/Stage.h"
#include "records/StrFormat.h"

cRankingFile g_Ranking;

void cRankEntry::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU32(&bUsed);
    AddFieldU32(&nValue);
    AddString(&strName);
}

void cRanking::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU32(&bHighFirst);
}

void cRanking::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    // An entry is at least its field count, two values and its string count.
    ReadRecordsBounded(vEntry, r, 16);
}

void cRanking::Save(cRecordWriter& w) {
    cRecord::Save(w);
    WriteRecordVector(w, vEntry);
}

int cRanking::FindRank(i32 value) const {
    for (int i = 0; i < vEntry.Size(); ++i) {
        const cRankEntry& e = vEntry[i];
        if (!e.bUsed) return i;
        if (bHighFirst ? value > e.nValue : value < e.nValue) return i;
    }
    return -1;
}

void cRanking::Insert(const std::string& name, i32 value) {
    const int place = FindRank(value);
    cRankEntry e;
    e.bUsed = 1;
    e.strName = name;
    e.nValue = value;
    if (place >= 0) vEntry.insert(vEntry.begin() + place, e);
    else vEntry.push_back(e);
    vEntry.pop_back();
}

void cRankingFile::RegisterFields(u32 /*version*/) { ResetFieldLists(); }

namespace {

cRanking FreshTable(int index) {
    cRanking t;
    t.bHighFirst = index == 3 ? 0 : 1;
    return t;
}

} // namespace

void cRankingFile::Reset() {
    vTable.clear();
    for (int i = 0; i < kRankTables; ++i) vTable.push_back(FreshTable(i));
}

void cRankingFile::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    // A table is at least its record stream (three u32) and its entry count.
    if (!ReadRecordsBounded(vTable, r, 16)) return;
    if (r.Version() < 181) {
        vTable.resize(kRankTables);
        vTable[3].bHighFirst = 1;
        vTable[4].bHighFirst = 1;
    }
    // Every drawing and insertion addresses tables 0..4.
    for (int i = vTable.Size(); i < kRankTables; ++i) vTable.push_back(FreshTable(i));
}

void cRankingFile::Save(cRecordWriter& w) {
    cRecord::Save(w);
    WriteRecordVector(w, vTable);
}

int MakeRankingPath(std::string& out, int kind, const std::string& stage, u32 bVar, u32 varIndex, u32 varValue) {
    if (kind < 0 || kind > 2) return 0;
    std::string name = stage;
    if (kind == 0) MakeStageFileName(name, bVar, varIndex, varValue);
    PathStripDir(name);
    StrFormat(out, "%s%s%s", g_DataPath[DP_RANKING_STORY + kind].c_str(), name.c_str(), g_FileExt[3].c_str());
    return 1;
}

int LoadRanking(cRankingFile& file, int kind, const std::string& stage, u32 bVar, u32 varIndex, u32 varValue) {
    std::string path;
    if (MakeRankingPath(path, kind, stage, bVar, varIndex, varValue) && LoadUserFile(file, path) == LoadResult::Loaded)
        return 1;
    file.Reset();
    return 0;
}

int SaveRanking(cRankingFile& file, int kind, const std::string& stage, u32 bVar, u32 varIndex, u32 varValue) {
    std::string path;
    if (!MakeRankingPath(path, kind, stage, bVar, varIndex, varValue)) {
        SetFileError(0); // no file to tell of
        return 0;
    }
    return SaveUserFile(file, path);
}

void FormatInt(std::string& out, i32 value, int minDigits, int zeroPad) {
    long long v = value;
    const bool negative = v < 0;
    if (negative) v = -v;
    std::string digits;
    int n = 0;
    do {
        std::string next;
        StrFormat(next, "%d%s", static_cast<int>(v % 10), digits.c_str());
        digits = next;
        v /= 10;
        ++n;
    } while (v > 0 || n < minDigits);
    if (!zeroPad)
        for (std::size_t i = 0; i + 1 < digits.size() && digits[i] == '0'; ++i) digits[i] = ' ';
    out = negative ? "-" + digits : digits;
}

void FormatPlayTime(std::string& out, i32 time) {
    std::string m, s, h;
    FormatInt(m, time / 100 / 60, 2, 1);
    FormatInt(s, (time / 100) % 60, 2, 1);
    FormatInt(h, time % 100, 2, 1);
    StrFormat(out, "%s:%s.%s", m.c_str(), s.c_str(), h.c_str());
}

int CountDigits(i32 value) {
    long long v = value;
    int n = v < 0 ? 1 : 0;
    v = std::llabs(v);
    do {
        ++n;
        v /= 10;
    } while (v > 0);
    return std::min(n, 11);
}

RANKLAYOUT LayoutRanking(const cRankingFile& file, int x, int y, int table, int marked) {
    RANKLAYOUT out;
    if (table < 0 || table >= file.vTable.Size()) return out;
    out.boxX = x + 1;
    out.boxY = y + 1;
    out.boxW = 270;
    out.boxH = 350;
    const std::string& category = g_SystemData.Message(table + 5);
    std::string title;
    if (g_bEnglish) StrFormat(title, "Ranking     %s", category.c_str());
    else StrFormat(title, Utf8ToSjis("ランキング    %s").c_str(), category.c_str());
    out.vText.push_back({x, y, title});
    const cRanking& t = file.vTable[table];
    int widest = 1;
    for (const cRankEntry& e : t.vEntry) {
        if (!e.bUsed) break;
        widest = std::max(widest, CountDigits(e.nValue));
    }
    for (int i = 0; i < t.vEntry.Size(); ++i) {
        const cRankEntry& e = t.vEntry[i];
        if (!e.bUsed) break;
        const int top = y + 16 * (i + 1);
        std::string s;
        StrFormat(s, "%d", i + 1);
        out.vText.push_back({x + 16, top, s});
        out.vText.push_back({x + 64, top, e.strName});
        if (table == 2) {
            FormatPlayTime(s, e.nValue);
            out.vText.push_back({x + 144, top, s});
        } else {
            StrFormat(s, "%d", e.nValue);
            // The last digits of every row line up.
            out.vText.push_back({x + 144 + 16 * (widest - CountDigits(e.nValue)), top, s});
        }
    }
    if (marked != -1) out.vMarker.push_back({x, y + 16 * (marked + 1)});
    return out;
}

RANKLAYOUT LayoutResult(int x, int y, const std::vector<int>& places) {
    RANKLAYOUT out;
    const cPlayRecord& rec = g_PlayRecord;
    const u32 values[kRankTables] = {rec.nTotalScore, rec.nTimeLeftSum, rec.nPlayTimeSum, rec.nHpSum, rec.nSpSum};
    const cItemSwitches& kind = g_SystemData.RankingSetting(g_Game.g_nPlayKind);
    bool shown[kRankTables] = {};
    int count = 0;
    for (int c = 0; c < kRankTables; ++c) {
        const bool stage = StageSettings::RankEnabled(g_Stage, c);
        const bool sys = c < kind.vItem.Size() && kind.vItem[c] != 0;
        shown[c] = g_bDirectStart ? stage : stage && sys;
        count += shown[c];
    }
    if (!count) return out;
    int w = 1, d = 1;
    for (int c = 0; c < kRankTables; ++c) {
        if (!shown[c]) continue;
        w = std::max(w, CountChars(g_SystemData.Message(5 + c).c_str()));
        if (c == 2) d = std::max(d, 8);
        else d = std::max(d, CountDigits(static_cast<i32>(values[c])));
    }
    out.boxX = x;
    out.boxY = y;
    out.boxW = (d + 3 + w) * 16;
    out.boxH = 16 * count;
    int row = 0;
    for (int c = 0; c < kRankTables; ++c) {
        if (!shown[c]) continue;
        const int top = y + 16 * row++;
        out.vText.push_back({x + 16, top, g_SystemData.Message(5 + c)});
        std::string s;
        if (c == 2) FormatPlayTime(s, static_cast<i32>(values[c]));
        else StrFormat(s, "%d", static_cast<i32>(values[c]));
        out.vText.push_back({x + 16 + 16 * (w + 1), top, s});
    }
    // Markers stack from the first row, one per ranked category.
    int marker = 0;
    for (int p : places)
        if (p != -1) out.vMarker.push_back({x, y + 16 * marker++});
    return out;
}
