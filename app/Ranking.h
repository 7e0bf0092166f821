#pragma once
// Rankings: per stage and play kind (story, challenge, free) one file of five tables, one per
// result category (total score, time left, play time, HP, SP), 20 places each.
#include <string>
#include <vector>

#include "records/Record.h"

constexpr int kRankTables = 5;
constexpr int kRankPlaces = 20;

class cRankEntry : public cRecord {
public:
    cRankEntry() { Clear(); }
    void RegisterFields(u32 version) override;

    u32 bUsed = 0;
    i32 nValue = 0;
    std::string strName;
};

class cRanking : public cRecord {
public:
    cRanking() : vEntry(kRankPlaces) { bHighFirst = 0; }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;

    // The place the value enters at, or -1; an equal value ranks after the stored one.
    int FindRank(i32 value) const;
    void Insert(const std::string& name, i32 value);

    u32 bHighFirst = 0;
    cVector<cRankEntry> vEntry;
};

class cRankingFile : public cRecord {
public:
    cRankingFile() { Reset(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;
    // Five empty tables, high-first 1, 1, 1, 0, 1.
    void Reset();

    cVector<cRanking> vTable;
};

extern cRankingFile g_Ranking;

// 0 for a kind without ranking (replay).
int MakeRankingPath(std::string& out, int kind, const std::string& stage, u32 bVar, u32 varIndex, u32 varValue);
// 1 loaded; 0 with the five empty tables (missing, unreadable, newer or damaged file; all but a
// missing one with a report line).
int LoadRanking(cRankingFile& file, int kind, const std::string& stage, u32 bVar, u32 varIndex, u32 varValue);
// 1 saved; 0 with the old file intact. A file in its place that does not load is kept aside
// first, so that the rankings it held are not lost without trace.
int SaveRanking(cRankingFile& file, int kind, const std::string& stage, u32 bVar, u32 varIndex, u32 varValue);

void FormatPlayTime(std::string& out, i32 time);
int CountDigits(i32 value);
void FormatInt(std::string& out, i32 value, int minDigits, int zeroPad);

// What a ranking panel or a result table shows: texts (Shift-JIS) at their places, the frame
// box and the markers. The scenes draw it; tests read it.
struct RANKTEXT {
    int x = 0;
    int y = 0;
    std::string text;
};
struct RANKLAYOUT {
    int boxX = 0, boxY = 0, boxW = 0, boxH = 0;
    std::vector<RANKTEXT> vText;
    std::vector<std::pair<int, int>> vMarker; // 16 x 16 markers
};

// The panel of one table: nothing for a table the file does not hold.
RANKLAYOUT LayoutRanking(const cRankingFile& file, int x, int y, int table, int marked);
// The result table of a stage clear; places: the ranked place per category (-1 none).
RANKLAYOUT LayoutResult(int x, int y, const std::vector<int>& places);
