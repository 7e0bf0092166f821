#include "database/EffectData.h"

#include <cstdlib>
#include <utility>

#include "database/Database.h"
#include "platform/system/Report.h"

cAnimeSteps g_EffectSteps;
cVector<cCharaEffectData> g_vCharaEffectData;
cVector<cCharaEffectData> g_vCharaEffectData2;
cVector<cScreenEffectData> g_vScreenEffectData;
cVector<cScreenEffectData> g_vScreenEffectData2;

#define NONE {nullptr, 0, 0, 0}
#define TIME(d) {"実行時間(1/10s)", 1, 9999, d}

const char* const g_CharaEffectTypeName[CHARA_EFFECT_TYPES] = {
    "", "破裂", "分割（横）", "分割（縦）", "波（横）", "波（縦）", "点滅", "回転A", "回転B",
    "回転（奥）", "円", "拡大", "レンズ", "色変化", "半透明", "モザイク", "ぼかし"};

const EFFECTPARAMLABEL g_CharaEffectLabel[CHARA_EFFECT_TYPES][5] = {
    {NONE, NONE, NONE, NONE, NONE},
    {TIME(5), {"開始位置(dot)", 0, 999, 0}, {"終了位置(dot)", 0, 999, 32}, NONE, NONE},
    {TIME(5), {"開始位置(dot)", 0, 999, 0}, {"終了位置(dot)", 0, 999, 32}, {"分割数", 2, 16, 4}, NONE},
    {TIME(5), {"開始位置(dot)", 0, 999, 0}, {"終了位置(dot)", 0, 999, 32}, {"分割数", 2, 16, 4}, NONE},
    {TIME(5), {"開始幅(dot)", 0, 999, 0}, {"終了幅(dot)", 0, 999, 32}, {"波の数", 2, 16, 2},
     {"波の粗さ(dot)", 1, 4, 2}},
    {TIME(5), {"開始幅(dot)", 0, 999, 0}, {"終了幅(dot)", 0, 999, 32}, {"波の数", 2, 16, 2},
     {"波の粗さ(dot)", 1, 4, 2}},
    {TIME(10), {"点滅間隔(1/60s)", 1, 9999, 2}, NONE, NONE, NONE},
    {TIME(10), {"開始角度", 0, 9999, 0}, {"終了角度", 0, 9999, 1440}, NONE, NONE},
    {TIME(10), {"開始角度", 0, 9999, 0}, {"終了角度", 0, 9999, 1440}, NONE, NONE},
    {TIME(10), {"開始位置(dot)", 0, 9999, 0}, {"終了位置(dot)", 0, 9999, 256}, NONE, NONE},
    {TIME(5), {"開始半径(dot)", 0, 32, 32}, {"終了半径(dot)", 0, 32, 0}, {"円の粗さ(dot)", 1, 4, 2}, NONE},
    {TIME(10), {"開始幅(dot)", 0, 320, 32}, {"終了幅(dot)", 0, 320, 64}, NONE, NONE},
    {TIME(10), {"開始距離", 0, 100, 100}, {"終了距離", 0, 100, 5}, {"ズレX(dot)", -16, 16, 0},
     {"ズレY(dot)", -16, 16, 0}},
    {TIME(10), {"開始合成度", 1, 4, 1}, {"終了合成度", 1, 4, 1}, {"色", 16, 207, 16}, NONE},
    {TIME(10), {"点滅間隔(1/60s)", 1, 9999, 9999}, NONE, NONE, NONE},
    {TIME(10), {"開始強度", 1, 16, 1}, {"終了強度", 1, 16, 8}, NONE, NONE},
    {TIME(10), {"開始強度", 1, 4, 1}, {"終了強度", 1, 4, 4}, NONE, NONE},
};

const char* const g_ScrEffectTypeName[SCR_EFFECT_TYPES] = {
    "", "移動", "振動（横）", "振動（縦）", "分割（横）", "分割（縦）", "波（横）", "波（縦）",
    "点滅", "回転", "円", "拡大", "レンズ", "モザイク"};

const EFFECTPARAMLABEL g_ScrEffectLabel[SCR_EFFECT_TYPES][5] = {
    {NONE, NONE, NONE, NONE, NONE},
    {TIME(10), {"開始座標X(dot)", -640, 640, 0}, {"開始座標Y(dot)", -480, 480, 0},
     {"終了座標X(dot)", -640, 640, 640}, {"終了座標Y(dot)", -480, 480, 0}},
    {TIME(10), {"振動幅(dot)", 1, 640, 4}, {"振動回数", 1, 9999, 4}, NONE, NONE},
    {TIME(10), {"振動幅(dot)", 1, 480, 4}, {"振動回数", 1, 9999, 4}, NONE, NONE},
    {TIME(10), {"開始位置(dot)", 0, 640, 0}, {"終了位置(dot)", 0, 640, 640}, {"分割数", 2, 240, 15}, NONE},
    {TIME(10), {"開始位置(dot)", 0, 480, 0}, {"終了位置(dot)", 0, 480, 480}, {"分割数", 2, 320, 20}, NONE},
    {TIME(10), {"開始幅(dot)", 0, 640, 0}, {"終了幅(dot)", 0, 640, 640}, {"波の数", 2, 240, 4},
     {"波の粗さ(dot)", 1, 48, 8}},
    {TIME(10), {"開始幅(dot)", 0, 480, 0}, {"終了幅(dot)", 0, 480, 480}, {"波の数", 2, 320, 4},
     {"波の粗さ(dot)", 1, 64, 10}},
    {TIME(10), {"点滅間隔(1/60s)", 1, 9999, 10}, NONE, NONE, NONE},
    {TIME(10), {"開始角度", 0, 9999, 0}, {"終了角度", 0, 9999, 1440}, NONE, NONE},
    {TIME(10), {"開始半径(dot)", 0, 640, 640}, {"終了半径(dot)", 0, 640, 0}, {"円の粗さ(dot)", 1, 48, 8}, NONE},
    {TIME(10), {"開始幅(dot)", 0, 6400, 640}, {"終了幅(dot)", 0, 6400, 1280}, NONE, NONE},
    {TIME(10), {"開始距離", 0, 1500, 1500}, {"終了距離", 0, 1500, 5}, {"ズレX(dot)", -320, 320, 0},
     {"ズレY(dot)", -240, 240, 0}},
    {TIME(10), {"開始強度", 1, 240, 1}, {"終了強度", 1, 240, 60}, NONE, NONE},
};

// The speed notes shown beside each type's choice: how fast it draws with and without Direct3D.
#define NOTE(a, b) "Direct3D有効時：" a "\nDirect3D無効時：" b

const char* const g_CharaEffectNote[CHARA_EFFECT_TYPES] = {
    "",
    NOTE("", ""),
    NOTE("", ""),
    NOTE("", ""),
    NOTE("やや遅い", "やや遅い"),
    NOTE("やや遅い", "やや遅い"),
    NOTE("速い", "速い"),
    NOTE("回転Aと回転Bは同じ", "巨大キャラには実行速度重視"),
    NOTE("回転Aと回転Bは同じ", "やや遅い。巨大キャラには描画精度重視"),
    NOTE("", ""),
    NOTE("やや遅い", "やや遅い"),
    NOTE("", ""),
    NOTE("遅過ぎ", "遅い"),
    NOTE("", "画面が8bit色→精度悪い、16bit色以上→やや遅い"),
    NOTE("", "画面が8bit色→精度悪い、16bit色以上→遅過ぎ"),
    NOTE("遅い", "画面が16bit色以上だと遅い"),
    NOTE("遅い", "画面が16bit色以上でのみ有効。遅い"),
};

const char* const g_ScrEffectNote[SCR_EFFECT_TYPES] = {
    "",
    NOTE("", ""),
    NOTE("", ""),
    NOTE("", ""),
    NOTE("", ""),
    NOTE("", ""),
    NOTE("やや遅い", "やや遅い"),
    NOTE("やや遅い", "やや遅い"),
    NOTE("速い", "速い"),
    NOTE("", "遅い"),
    NOTE("やや遅い", "やや遅い"),
    NOTE("", "やや遅い"),
    NOTE("遅過ぎ", "遅過ぎ"),
    NOTE("遅過ぎ", "画面が16bit色以上だと遅過ぎ"),
};

#undef NOTE
#undef NONE
#undef TIME

void cEffectFrame::RegisterFields(u32) {
    ResetFieldLists();
    AddFieldU32(&nPattern);
    AddFieldU32(&nTime);
}

void cEffectFrame::Fresh() {
    Clear();
    nTime = 1;
}

void cEffectData::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strName);
    if (version >= 151) AddFieldU32(&dwTag);
    AddString(&strFile);
    AddFieldU32(&nWidth);
    AddFieldU32(&nHeight);
    AddFieldU32(&bScalable);
}

void cEffectData::Fresh() {
    Clear();
    nWidth = 32;
    nHeight = 32;
    bScalable = 0;
    vFrame.assign(1, cEffectFrame());
}

void cEffectData::Load(cRecordReader& r) {
    const u32 version = r.Version();
    cRecord::Load(r);
    if (r.Failed()) return;
    u32 n = 0;
    if (!r.ReadCount(n, 8)) return;
    vFrame.assign(n, cEffectFrame());
    for (auto& f : vFrame) {
        f.Load(r);
        if (r.Failed()) return;
    }
    if (version < 153) dwTag = 0;
}

void cEffectData::Save(cRecordWriter& w) {
    cRecord::Save(w);
    WriteRecordVector(w, vFrame);
}

void cEffectParamBase::RegisterFields(u32) {
    ResetFieldLists();
    AddString(&strName);
    AddFieldU32(&nEffectType);
    AddFieldU32(anParam, 5);
}

void cEffectParamBase::Fresh() {
    Clear();
    nEffectType = 1;
}

void cCharaEffectParam::Load(cRecordReader& r) {
    const u32 version = r.Version();
    cRecord::Load(r);
    if (r.Failed()) return;
    // The type picks a routine from a table: one outside it would call past its end.
    if (nEffectType >= CHARA_EFFECT_TYPES) {
        WriteReport("キャラエフェクトの種類 %u が不正なため「なし」にしました。", nEffectType);
        nEffectType = 0;
    }
    if (version < 511) {
        if (nEffectType == 4 || nEffectType == 5) anParam[4] = g_CharaEffectLabel[nEffectType][4].nDefault;
        if (nEffectType == 10) anParam[3] = g_CharaEffectLabel[10][3].nDefault;
    }
}

void cScrEffectParam::Load(cRecordReader& r) {
    const u32 version = r.Version();
    cRecord::Load(r);
    if (r.Failed()) return;
    if (nEffectType >= SCR_EFFECT_TYPES) {
        WriteReport("画面エフェクトの種類 %u が不正なため「なし」にしました。", nEffectType);
        nEffectType = 0;
    }
    if (version < 511) {
        if (nEffectType == 6 || nEffectType == 7) anParam[4] = g_ScrEffectLabel[nEffectType][4].nDefault;
        if (nEffectType == 10) anParam[3] = g_ScrEffectLabel[10][3].nDefault;
    }
}

cVector<ANIMSTEP> CompileEffectSteps(const cVector<cEffectFrame>& frames, bool isRecordZero) {
    cVector<ANIMSTEP> steps;
    steps.reserve(frames.size() + 1);
    for (const cEffectFrame& f : frames) {
        if (isRecordZero)
            steps.push_back({static_cast<i32>(f.nPattern), 0, 1});
        else
            steps.push_back({static_cast<i32>(f.nPattern), TenthsToFrames(f.nTime), 0});
    }
    steps.push_back(isRecordZero ? ANIMSTEP{ANIM_LOOP, 0, 1} : ANIMSTEP{ANIM_END, 0, 0});
    return steps;
}

void BuildEffectSteps(const cVector<cEffectData>& effects, cAnimeSteps& out) {
    out.clear();
    out.reserve(effects.size());
    for (std::size_t i = 0; i < effects.size(); ++i)
        out.push_back(CompileEffectSteps(effects[static_cast<long long>(i)].vFrame, i == 0));
}

void BuildEffectSteps() { BuildEffectSteps(g_Database.m_vEffect, g_EffectSteps); }

void ReverseCharaEffect(cEffectParamBase& rec) {
    const u32 t = rec.nEffectType;
    if ((t >= 1 && t <= 5) || (t >= 7 && t <= 13) || t == 15 || t == 16) std::swap(rec.anParam[1], rec.anParam[2]);
}

void ReverseScrEffect(cEffectParamBase& rec) {
    const u32 t = rec.nEffectType;
    if (t == 1) {
        std::swap(rec.anParam[1], rec.anParam[3]);
        std::swap(rec.anParam[2], rec.anParam[4]);
    } else if ((t >= 4 && t <= 7) || (t >= 9 && t <= 13)) {
        std::swap(rec.anParam[1], rec.anParam[2]);
    }
}

// A duration below one tenth would divide by zero; it is taken as one tenth.
static double StepPerFrame(i32 start, i32 end, i32 time) {
    const double frames = static_cast<double>(time < 1 ? 1 : time) * 6.0;
    const double diff = static_cast<double>(end) - static_cast<double>(start);
    return (diff < 0 ? -diff : diff) / frames;
}

cCharaEffectData PrepareCharaEffect(int no, const cCharaEffectParam& rec) {
    cCharaEffectData d;
    d.nNo = no;
    d.rec = rec;
    d.nTime = rec.anParam[0] < 1 ? 1 : rec.anParam[0];
    const u32 t = rec.nEffectType;
    if (t == 0) return d;
    if (t == 6 || t == 14) {
        d.nStart = 0;
        d.nEnd = d.nTime;
        d.dValue = 0.0;
        d.dStep = 1.0 / 6.0;
        return d;
    }
    d.nStart = rec.anParam[1];
    d.nEnd = rec.anParam[2];
    d.dValue = d.nStart;
    d.dStep = d.nStart == d.nEnd ? 1.0 / 6.0 : StepPerFrame(d.nStart, d.nEnd, d.nTime);
    return d;
}

cScreenEffectData PrepareScreenEffect(int no, const cScrEffectParam& rec) {
    cScreenEffectData d;
    d.nNo = no;
    d.rec = rec;
    d.nTime = rec.anParam[0] < 1 ? 1 : rec.anParam[0];
    const u32 t = rec.nEffectType;
    if (t == 1) {
        d.nStartX = rec.anParam[1];
        d.nStartY = rec.anParam[2];
        d.dStep = 1.0 / 6.0;
    } else if ((t >= 4 && t <= 7) || (t >= 9 && t <= 13)) {
        d.dValue = rec.anParam[1];
        d.dStep = rec.anParam[1] == rec.anParam[2] ? 1.0 / 6.0
                                                   : StepPerFrame(rec.anParam[1], rec.anParam[2], d.nTime);
    } else if (t != 0) {
        d.dStep = 1.0 / 6.0;
    }
    return d;
}

void InitCharaEffectData(cVector<cCharaEffectData>& fwd, cVector<cCharaEffectData>& back) {
    const cVector<cCharaEffectParam>& f = g_Database.m_vCharaEffect;
    const cVector<cCharaEffectParam>& b = g_Database.m_vCharaEffectRev;
    fwd.clear();
    back.clear();
    for (int i = 0; i < f.Size(); ++i) {
        fwd.push_back(PrepareCharaEffect(i, f[i]));
        // The reversed list is a copy of the forward one; a missing row plays forwards.
        back.push_back(PrepareCharaEffect(i, i < b.Size() ? b[i] : f[i]));
    }
}

void InitScreenEffectData(cVector<cScreenEffectData>& fwd, cVector<cScreenEffectData>& back) {
    const cVector<cScrEffectParam>& f = g_Database.m_vScrEffect;
    const cVector<cScrEffectParam>& b = g_Database.m_vScrEffectRev;
    fwd.clear();
    back.clear();
    for (int i = 0; i < f.Size(); ++i) {
        fwd.push_back(PrepareScreenEffect(i, f[i]));
        back.push_back(PrepareScreenEffect(i, i < b.Size() ? b[i] : f[i]));
    }
}
