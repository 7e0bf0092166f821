#include "database/OptionData.h"

#include <cmath>

#include "platform/system/Report.h"

cOptionData g_OptionData;

static const i32 kSeVolume[OPTION_SE_VOLUME_MAX + 1] = {-10000, -3000, -2000, -1300, -800, -500,
                                                        -300,   -150,  -80,   -30,   0};

cOptionData::cOptionData() {
    Clear();
    bBgm = 1;
    nSeVolume = 7;
    strRankingName = "aaa";
}

void cOptionData::RegisterFields(u32) {
    ResetFieldLists();
    AddFieldU32(&nBlendTable);
    AddFieldU32(&bBgm);
    AddFieldU32(&nSeVolume);
    AddFieldU32(&nRankingMode);
    AddString(&strRankingName);
}

static void ClampOption(u32& value, u32 max, const char* name) {
    if (value <= max) return;
    WriteReport("Option.dat の %s (%u) が範囲外のため %u にしました。", name, value, max);
    value = max;
}

void cOptionData::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    // Each value indexes a table (blend files, volume steps, ranking-mode texts).
    ClampOption(nBlendTable, OPTION_BLEND_MAX, "nBlendTable");
    ClampOption(bBgm, 1, "bBgm");
    ClampOption(nSeVolume, OPTION_SE_VOLUME_MAX, "nSeVolume");
    ClampOption(nRankingMode, OPTION_RANKING_MODE_MAX, "nRankingMode");
}

i32 SeVolumeCentiDb(u32 step) { return kSeVolume[step > OPTION_SE_VOLUME_MAX ? OPTION_SE_VOLUME_MAX : step]; }

double SeVolumeGain(u32 step) { return std::pow(10.0, SeVolumeCentiDb(step) / 2000.0); }
