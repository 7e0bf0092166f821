#include "database/AnimeData.h"

#include <limits>

#include "database/Database.h"
#include "database/Text.h"

cAnimeSteps g_AnimeSteps;

void cAnimeFrame::RegisterFields(u32) {
    ResetFieldLists();
    AddFieldU32(&nPattern);
    AddFieldU32(&nTime);
    AddFieldU32(&nFlag);
}

void cAnimeFrame::Fresh() {
    Clear();
    nTime = 1;
}

void cAnimeData::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strName);
    if (version >= 55) {
        AddFieldU16(&wParamA);
        AddFieldU8(&byParamB);
        AddFieldU16(&wParamC);
    }
}

void cAnimeData::ClearAnimeRec() {
    Clear();
    vFrame.assign(1, cAnimeFrame());
    byParamB = 1;
}

void cAnimeData::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    u32 n = 0;
    if (!r.ReadCount(n, 8)) return;
    vFrame.assign(n, cAnimeFrame());
    for (auto& f : vFrame) {
        f.Load(r);
        if (r.Failed()) return;
    }
}

void cAnimeData::Save(cRecordWriter& w) {
    cRecord::Save(w);
    WriteRecordVector(w, vFrame);
}

void cAnimeSetData::RegisterFields(u32 version) {
    ResetFieldLists();
    AddString(&strName);
    AddFieldU32(&nPatternAdd1);
    AddFieldU32(&nPatternAdd2);
    if (version >= 119) AddFieldU32(&nPatternAdd3);
}

static void NameBasicMotions(cVector<cAnimeData>& v, int from) {
    static const char* const kNames[4] = {"立ち", "立ち移動", "飛行", "飛行移動"};
    for (int i = from; i < 4 && i < v.Size(); ++i) v[i].strName = Sj(kNames[i]);
}

void cAnimeSetData::Fresh() {
    Clear();
    nPatternAdd1 = 4;
    nPatternAdd2 = 8;
    nPatternAdd3 = 0;
    vAnime.assign(4, cAnimeData());
    NameBasicMotions(vAnime, 0);
}

void cAnimeSetData::Load(cRecordReader& r) {
    const u32 version = r.Version();
    cRecord::Load(r);
    if (r.Failed()) return;
    u32 n = 0;
    if (!r.ReadCount(n, 12)) return; // record stream plus frame count
    vAnime.assign(n, cAnimeData());
    for (auto& a : vAnime) {
        a.Load(r);
        if (r.Failed()) return;
    }
    if (version < 119) vAnime.resize(4);
    if (version < 128) {
        vAnime.resize(4);
        NameBasicMotions(vAnime, 2);
    }
}

void cAnimeSetData::Save(cRecordWriter& w) {
    cRecord::Save(w);
    WriteRecordVector(w, vAnime);
}

i32 TenthsToFrames(u32 tenths) {
    const u64 frames = static_cast<u64>(tenths) * 6u;
    return frames > static_cast<u64>(std::numeric_limits<i32>::max()) ? std::numeric_limits<i32>::max()
                                                                       : static_cast<i32>(frames);
}

cVector<ANIMSTEP> CompileAnimeSteps(const cVector<cAnimeFrame>& frames, bool isRecordZero) {
    cVector<ANIMSTEP> steps;
    steps.reserve(frames.size() + 1);
    bool held = false;
    for (const cAnimeFrame& f : frames) {
        if (isRecordZero) {
            steps.push_back({static_cast<i32>(f.nPattern), 0, 1});
        } else {
            if (f.nFlag) held = true;
            steps.push_back({static_cast<i32>(f.nPattern), TenthsToFrames(f.nTime), held ? 1 : 0});
        }
    }
    steps.push_back(isRecordZero ? ANIMSTEP{ANIM_LOOP, 0, 1} : ANIMSTEP{ANIM_END, 0, 0});
    return steps;
}

void BuildAnimeSteps(const cVector<cAnimeData>& anime, cAnimeSteps& out) {
    out.clear();
    out.reserve(anime.size());
    for (std::size_t i = 0; i < anime.size(); ++i)
        out.push_back(CompileAnimeSteps(anime[static_cast<long long>(i)].vFrame, i == 0));
}

void BuildAnimeSteps() { BuildAnimeSteps(g_Database.m_vAnime, g_AnimeSteps); }
