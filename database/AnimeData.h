#pragma once
// Animations and animation sets of the material database, and the step lists the animation
// player runs.
#include <string>

#include "records/Record.h"

class cAnimeFrame : public cRecord {
public:
    cAnimeFrame() { Fresh(); }
    void RegisterFields(u32 version) override;
    void Fresh();

    u32 nPattern = 0;
    u32 nTime = 1; // tenths of a second
    u32 nFlag = 0; // from this frame on the animation may not be interrupted
};

class cAnimeData : public cRecord {
public:
    cAnimeData() { ClearAnimeRec(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;
    // Registered fields cleared, one fresh frame, byParamB 1.
    void ClearAnimeRec();

    std::string strName;
    cVector<cAnimeFrame> vFrame;
    u16 wParamA = 0;
    u8 byParamB = 1;
    u16 wParamC = 0;
};

class cAnimeSetData : public cRecord {
public:
    cAnimeSetData() { Fresh(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;
    void Fresh();

    std::string strName;
    u32 nPatternAdd1 = 4;
    u32 nPatternAdd2 = 8;
    u32 nPatternAdd3 = 0;
    cVector<cAnimeData> vAnime;
};

// Control codes of a step's value.
constexpr i32 ANIM_HOLD = -1;
constexpr i32 ANIM_LOOP = -2;
constexpr i32 ANIM_JUMP = -3;
constexpr i32 ANIM_END = -4;

struct ANIMSTEP {
    i32 nValue;
    i32 nFrames;
    i32 nNoBreak;
    bool operator==(const ANIMSTEP&) const = default;
};
using cAnimeSteps = cVector<cVector<ANIMSTEP>>;

extern cAnimeSteps g_AnimeSteps;

// Compiles one animation. Record 0 plays its patterns one frame each for ever; the others end.
cVector<ANIMSTEP> CompileAnimeSteps(const cVector<cAnimeFrame>& frames, bool isRecordZero);
void BuildAnimeSteps(const cVector<cAnimeData>& anime, cAnimeSteps& out);
void BuildAnimeSteps(); // g_Database -> g_AnimeSteps

// Tenths of a second to frames of 1/60 s; kept within i32 whatever the data says.
i32 TenthsToFrames(u32 tenths);
