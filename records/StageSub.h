#pragma once
// The small records a stage file carries besides its palettes and placed entries (background
// layers, names, parameter records), and the field lists of three rows of the play record.
#include <string>

#include "records/EdChara.h"
#include "records/Record.h"

// One background layer of a stage.
class cEdBack : public cRecord {
public:
    // The file form changed twice; dropped words of older forms land in a scratch pair.
    void RegisterFields(u32 version) override;
    // Cleared, then the values of a new layer.
    void Reset();

    u32 bVisible = 1;       // from 62; the background command sets, clears or toggles it
    u32 dwSource = 0;       // 0: the picture is the file strPicture; else no picture file
    u32 dwGroup44 = 16;
    u32 dwGroup48 = 0;
    double dScrollSpeedX = 0.1; // automatic scroll step per frame
    double dScrollSpeedY = 0.1;
    u32 bAutoScrollX = 0;   // from 61
    u32 bAutoScrollY = 0;
    double dScrollX = 0;    // from 62: current offset
    double dScrollY = 0;
    std::string strPicture;

private:
    u32 m_dwDropped[2] = {0, 0};
};

// One name of the stage's name list.
class cNameRec : public cRecord {
public:
    void RegisterFields(u32 version) override;

    std::string strName;
};

// One of the stage's five parameter records.
class cStageParams : public cRecord {
public:
    // dwValue2..4 only from version 125.
    void RegisterFields(u32 version) override;
    void Set(u32 v1, u32 v2, u32 v3, u32 v4, u32 v5, u32 v6, u32 v7, u32 v8);
    // True when any of the first four values is non-zero.
    bool AnyEdge() const { return dwValue1 || dwValue2 || dwValue3 || dwValue4; }

    u32 dwValue1 = 0;
    u32 dwValue2 = 0;
    u32 dwValue3 = 0;
    u32 dwValue4 = 0;
    u32 dwValue5 = 0;
    u32 dwValue6 = 0;
    u32 dwValue7 = 0;
    u32 dwValue8 = 0;
};

// A player's carried status: the five carried values through the record stream, then the
// player's whole character record.
class cCarryStatus : public cRecord {
public:
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;

    cEdChara chara;
    u32 nCarry11 = 0;
    u32 nCarry12 = 0;
    u32 nCarry22 = 0;
    u32 nCarry23 = 0;
    u32 nCarry24 = 0;
};

// The best result of one stage cleared in story play.
class cStageBest : public cRecord {
public:
    // strKey and the three key numbers only from version 759.
    void RegisterFields(u32 version) override;
    // Files older than 759 key the stage by its file name.
    void Load(cRecordReader& r) override;

    std::string strFile;
    std::string strKey;
    u32 nKeyA = 0;
    u32 nKeyB = 0;
    u32 nKeyC = 0;
    u32 nBest = 0;
};

// Two u32 values (a challenge row: cleared flag and best total score; also rows of the system
// and option data).
class cRecInt2 : public cRecord {
public:
    void RegisterFields(u32 version) override;

    u32 nValue1 = 0;
    u32 nValue2 = 0;
};
