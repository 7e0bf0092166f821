#pragma once
// Replays: the first player's input of a stage play kept as run-length lists with the random
// seed, saved with the stage as loaded and the play record as it was at the start of the play.
#include <string>

#include "app/PlayRecord.h"
#include "records/Record.h"

class cStage;

class cReplayData : public cRecord {
public:
    cReplayData() { Clear(); }
    cReplayData(const cReplayData&) = default;
    cReplayData& operator=(const cReplayData& src);

    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;

    // Appends one frame: direction bits, then button bits.
    void Record(u16 dir, u16 buttons);
    // The next frame's keys; 1 (nothing written) when either list is used up.
    int Next(u16& dir, u16& buttons);
    // Ready for a new recording: seed 0, lists emptied (storage kept), cursors 0.
    void Clear();

    u32 nSeed = 0;
    cVector<u16> vDir;
    cVector<u16> vButton;
    cVector<u32> vDirCount;
    cVector<u32> vButtonCount;
    u32 nDirPos = 0;
    u32 nButtonPos = 0;
    u32 nDirHeld = 0;
    u32 nButtonHeld = 0;
    // The data version of the file a loaded replay came from; this program's for a recording.
    u32 nFileVersion = kProgVer;
};

extern cReplayData g_ReplayData;
extern cReplayData g_ReplayPrev;

constexpr u32 kReplayRecordVersion = 173; // files from this version carry the play record

// The default name "user_data\rpl4\<key>__YYYY__MM_DD__hh_mm.rpl4_824", numbered " (n)" when
// taken, as an absolute path; empty stage: the current folder. The key is cut at a character's
// start where the name would pass the longest the folder takes. Always 1.
int MakeReplayFileName(std::string& out, const std::string& stageName);
// The same name relative to the game folder (before it is made absolute).
std::string ReplayFileNameRelative(const std::string& stageName);

// 1 written; 0 with the old file intact.
int SaveReplay(cReplayData& replay, const std::string& path, cStage& stage, cStage& stageAtStart, cPlayRecord& record);
// 1 loaded; 0 (nothing changed) when the file is missing, newer, or damaged.
int LoadReplay(cReplayData& replay, const std::string& path, cStage& stage, cStage& stageAtStart, cPlayRecord& record);

// F1/F2 during play: 1 when a save request ran.
int CheckReplayKeys();
