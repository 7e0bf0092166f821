#pragma once
// The player's own settings (user_data\Option.dat).
#include <string>

#include "records/Record.h"

class cOptionData : public cRecord {
public:
    cOptionData();
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;

    u32 nBlendTable = 0;  // 0..23
    u32 bBgm = 1;         // 0..1
    u32 nSeVolume = 7;    // 0..10
    u32 nRankingMode = 0; // 0..3
    std::string strRankingName = "aaa";
};

extern cOptionData g_OptionData;

constexpr u32 OPTION_BLEND_MAX = 23;
constexpr u32 OPTION_SE_VOLUME_MAX = 10;
constexpr u32 OPTION_RANKING_MODE_MAX = 3;

// Attenuation of a volume step in 1/100 dB (step clamped into 0..10).
i32 SeVolumeCentiDb(u32 step);
// The same as a linear gain for the mixer.
double SeVolumeGain(u32 step);
