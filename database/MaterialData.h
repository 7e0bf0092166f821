#pragma once
// Pictures, sounds, music, sword types and character bitmaps of the material database.
#include <string>

#include "records/Record.h"

class cPictureData : public cRecord {
public:
    cPictureData() { Clear(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;

    std::string strName;
    u32 dwTag = 0;
    std::string strFile;
};

class cSoundData : public cRecord {
public:
    cSoundData() { Clear(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;

    std::string strName;
    std::string strFile;
    u32 dwTag = 0;
};

class cBgmData : public cRecord {
public:
    cBgmData() { Fresh(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Fresh();

    std::string strName;
    u32 dwTag = 0;
    std::string strFile;
    u32 nVolume = 100;
};

class cBmpCharaExcData : public cRecord {
public:
    cBmpCharaExcData() { Fresh(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Fresh();

    std::string strName;
    u32 dwTag = 0;
    std::string strFile;
    u32 bOwnSize = 0;
    u32 nSizeUnits = 2;
};

class cSwordPart : public cRecord {
public:
    cSwordPart() { Fresh(); }
    void RegisterFields(u32 version) override;
    void Fresh();

    i32 nOffsetX = 0;
    i32 nOffsetY = 0;
    u32 bMirrorX = 1;
    u32 bMirrorY = 0;
    u32 nAnchor = 0; // 0 front, 1 behind, 2 above, 3 below
    u32 nSrcX = 0;
    u32 nSrcY = 0;
    u32 nWidth = 0;
    u32 nHeight = 0;
    u32 nTime = 0;
};

class cSwordTypeData : public cRecord {
public:
    cSwordTypeData() { Fresh(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;
    void Fresh();

    // A sword type may have no parts at all: it then makes no sword.
    const cSwordPart* FirstPart() const { return vPart.empty() ? nullptr : &vPart.front(); }

    std::string strName;
    u32 dwTag = 0;
    std::string strFile;
    std::string strFile2;
    cVector<cSwordPart> vPart;
};
