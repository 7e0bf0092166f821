#pragma once
// Effect animations, character effects and screen effects of the material database, their
// parameter label tables, the compiled effect steps and the rows prepared for playing each
// effect forwards and backwards.
#include <string>

#include "database/AnimeData.h"

class cEffectFrame : public cRecord {
public:
    cEffectFrame() { Fresh(); }
    void RegisterFields(u32 version) override;
    void Fresh();

    u32 nPattern = 0;
    u32 nTime = 1;
};

// Stored with four fields (three before version 151): dwTag, nWidth, nHeight, bScalable, each
// four bytes. That is the byte layout of the record; a count of five would promise a field
// that has no bytes, so the count written is the number of fields.
class cEffectData : public cRecord {
public:
    cEffectData() { Fresh(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;
    void Fresh();

    std::string strName;
    u32 dwTag = 0;
    std::string strFile;
    u32 nWidth = 32;
    u32 nHeight = 32;
    u32 bScalable = 0;
    cVector<cEffectFrame> vFrame;
};

constexpr int CHARA_EFFECT_TYPES = 17;
constexpr int SCR_EFFECT_TYPES = 14;

// Parameters are signed: screen positions reach -640.
class cEffectParamBase : public cRecord {
public:
    void RegisterFields(u32 version) override;
    void Fresh();

    std::string strName;
    u32 nEffectType = 1;
    i32 anParam[5] = {0, 0, 0, 0, 0};
};

class cCharaEffectParam : public cEffectParamBase {
public:
    cCharaEffectParam() { Fresh(); }
    void Load(cRecordReader& r) override;
};

class cScrEffectParam : public cEffectParamBase {
public:
    cScrEffectParam() { Fresh(); }
    void Load(cRecordReader& r) override;
};

struct EFFECTPARAMLABEL {
    const char* label; // UTF-8; null: the type has no such parameter
    i32 nMin;
    i32 nMax;
    i32 nDefault;
};

// [type][parameter]; one table for the database and the play engine alike.
extern const EFFECTPARAMLABEL g_CharaEffectLabel[CHARA_EFFECT_TYPES][5];
extern const EFFECTPARAMLABEL g_ScrEffectLabel[SCR_EFFECT_TYPES][5];
extern const char* const g_CharaEffectTypeName[CHARA_EFFECT_TYPES];
extern const char* const g_ScrEffectTypeName[SCR_EFFECT_TYPES];
// Per type, the editor's speed note: "Direct3D有効時：..." and "Direct3D無効時：..." on two lines
// (entry 0, no effect, is empty).
extern const char* const g_CharaEffectNote[CHARA_EFFECT_TYPES];
extern const char* const g_ScrEffectNote[SCR_EFFECT_TYPES];

extern cAnimeSteps g_EffectSteps;
cVector<ANIMSTEP> CompileEffectSteps(const cVector<cEffectFrame>& frames, bool isRecordZero);
void BuildEffectSteps(const cVector<cEffectData>& effects, cAnimeSteps& out);
void BuildEffectSteps();

// The start and end values exchanged, so that the record describes the effect played backwards.
void ReverseCharaEffect(cEffectParamBase& rec);
void ReverseScrEffect(cEffectParamBase& rec);

// One prepared row of a character effect: what the play engine copies when the effect starts.
struct cCharaEffectData {
    int nNo = 0;
    cCharaEffectParam rec;
    i32 nTime = 0;  // p0, tenths of a second (at least 1)
    i32 nStart = 0;
    i32 nEnd = 0;
    double dValue = 0.0; // start value
    double dStep = 0.0;  // change per frame, always positive
};

struct cScreenEffectData {
    int nNo = 0;
    cScrEffectParam rec;
    i32 nTime = 0;
    i32 nStartX = 0; // type 1: start point
    i32 nStartY = 0;
    double dValue = 0.0;
    double dStep = 0.0;
};

cCharaEffectData PrepareCharaEffect(int no, const cCharaEffectParam& rec);
cScreenEffectData PrepareScreenEffect(int no, const cScrEffectParam& rec);

extern cVector<cCharaEffectData> g_vCharaEffectData;
extern cVector<cCharaEffectData> g_vCharaEffectData2;
extern cVector<cScreenEffectData> g_vScreenEffectData;
extern cVector<cScreenEffectData> g_vScreenEffectData2;

// Rows from the forward lists and from the reversed lists (see cDatabase::BuildReversedEffects).
void InitCharaEffectData(cVector<cCharaEffectData>& fwd, cVector<cCharaEffectData>& back);
void InitScreenEffectData(cVector<cScreenEffectData>& fwd, cVector<cScreenEffectData>& back);
