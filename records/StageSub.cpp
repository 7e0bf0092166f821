#include "records/StageSub.h"

// ---- cEdBack ----------------------------------------------------------------------------------

void cEdBack::RegisterFields(u32 version) {
    ResetFieldLists();
    if (version >= 62) AddFieldU32(&bVisible);
    AddFieldU32(&dwSource);
    AddFieldU32(&dwGroup44);
    AddFieldU32(&dwGroup48);
    if (version >= 61) {
        AddField8(&dScrollSpeedX);
        AddField8(&dScrollSpeedY);
        AddFieldU32(&bAutoScrollX);
        AddFieldU32(&bAutoScrollY);
    }
    if (version >= 62) {
        AddField8(&dScrollX);
        AddField8(&dScrollY);
    } else {
        // Two words that older forms stored and nothing reads.
        AddFieldU32(&m_dwDropped[0]);
        AddFieldU32(&m_dwDropped[1]);
    }
    AddString(&strPicture);
}

void cEdBack::Reset() {
    Clear();
    bVisible = 1;
    dwSource = 0;
    dwGroup44 = 16;
    dwGroup48 = 0;
    dScrollSpeedX = 0.1;
    dScrollSpeedY = 0.1;
    bAutoScrollX = 0;
    bAutoScrollY = 0;
    dScrollX = 0;
    dScrollY = 0;
}

// ---- cNameRec ---------------------------------------------------------------------------------

void cNameRec::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddString(&strName);
}

// ---- cStageParams -----------------------------------------------------------------------------

void cStageParams::RegisterFields(u32 version) {
    ResetFieldLists();
    AddFieldU32(&dwValue1);
    if (version >= 125) {
        AddFieldU32(&dwValue2);
        AddFieldU32(&dwValue3);
        AddFieldU32(&dwValue4);
    }
    AddFieldU32(&dwValue5);
    AddFieldU32(&dwValue6);
    AddFieldU32(&dwValue7);
    AddFieldU32(&dwValue8);
}

void cStageParams::Set(u32 v1, u32 v2, u32 v3, u32 v4, u32 v5, u32 v6, u32 v7, u32 v8) {
    dwValue1 = v1;
    dwValue2 = v2;
    dwValue3 = v3;
    dwValue4 = v4;
    dwValue5 = v5;
    dwValue6 = v6;
    dwValue7 = v7;
    dwValue8 = v8;
}

// ---- Play-record rows -------------------------------------------------------------------------

void cCarryStatus::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU32(&nCarry11);
    AddFieldU32(&nCarry12);
    AddFieldU32(&nCarry22);
    AddFieldU32(&nCarry23);
    AddFieldU32(&nCarry24);
}

void cCarryStatus::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (!r.Failed()) chara.Load(r);
}

void cCarryStatus::Save(cRecordWriter& w) {
    cRecord::Save(w);
    chara.Save(w);
}

void cStageBest::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strFile);
    if (version >= 759) {
        AddString(&strKey);
        AddFieldU32(&nKeyA);
        AddFieldU32(&nKeyB);
        AddFieldU32(&nKeyC);
    }
    AddFieldU32(&nBest);
}

void cStageBest::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (!r.Failed() && r.Version() < 759) {
        strKey = strFile;
        nKeyA = 0;
    }
}

void cRecInt2::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU32(&nValue1);
    AddFieldU32(&nValue2);
}
