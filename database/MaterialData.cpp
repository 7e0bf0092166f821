#include "database/MaterialData.h"

// The tag is carried by every material record; files before 153 stored garbage there.
static void DropOldTag(const cRecordReader& r, u32& tag) {
    if (!r.Failed() && r.Version() < 153) tag = 0;
}

void cPictureData::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strName);
    if (version >= 151) AddFieldU32(&dwTag);
    AddString(&strFile);
}

void cPictureData::Load(cRecordReader& r) {
    cRecord::Load(r);
    DropOldTag(r, dwTag);
}

void cSoundData::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strName);
    AddString(&strFile);
    if (version >= 151) AddFieldU32(&dwTag);
}

void cSoundData::Load(cRecordReader& r) {
    cRecord::Load(r);
    DropOldTag(r, dwTag);
}

void cBgmData::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strName);
    if (version >= 151) AddFieldU32(&dwTag);
    AddString(&strFile);
    if (version >= 814) AddFieldU32(&nVolume);
}

void cBgmData::Fresh() {
    Clear();
    nVolume = 100;
}

void cBgmData::Load(cRecordReader& r) {
    cRecord::Load(r);
    DropOldTag(r, dwTag);
}

void cBmpCharaExcData::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strName);
    if (version >= 152) AddFieldU32(&dwTag);
    AddString(&strFile);
    if (version >= 172) {
        AddFieldU32(&bOwnSize);
        AddFieldU32(&nSizeUnits);
    }
}

void cBmpCharaExcData::Fresh() {
    Clear();
    bOwnSize = 0;
    nSizeUnits = 2;
}

void cBmpCharaExcData::Load(cRecordReader& r) {
    cRecord::Load(r);
    DropOldTag(r, dwTag);
}

void cSwordPart::RegisterFields(u32 version) {
    ResetFieldLists();
    AddFieldU32(&nOffsetX);
    AddFieldU32(&nOffsetY);
    if (version >= 138) {
        AddFieldU32(&bMirrorX);
        AddFieldU32(&bMirrorY);
    }
    AddFieldU32(&nAnchor);
    AddFieldU32(&nSrcX);
    AddFieldU32(&nSrcY);
    AddFieldU32(&nWidth);
    AddFieldU32(&nHeight);
    AddFieldU32(&nTime);
}

void cSwordPart::Fresh() {
    Clear();
    bMirrorX = 1;
}

void cSwordTypeData::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strName);
    if (version >= 151) AddFieldU32(&dwTag);
    AddString(&strFile);
    AddString(&strFile2);
}

void cSwordTypeData::Fresh() {
    Clear();
    vPart.assign(1, cSwordPart());
    vPart[0].nTime = 1;
}

void cSwordTypeData::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    u32 n = 0;
    if (!r.ReadCount(n, 8)) return;
    vPart.assign(n, cSwordPart());
    for (auto& p : vPart) {
        p.Load(r);
        if (r.Failed()) return;
    }
    DropOldTag(r, dwTag);
}

void cSwordTypeData::Save(cRecordWriter& w) {
    cRecord::Save(w);
    WriteRecordVector(w, vPart);
}
