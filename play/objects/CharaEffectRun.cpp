#include "play/objects/CharaEffectRun.h"

#include <algorithm>

namespace {
// The editor keeps every parameter within 4 digits; data beyond a million is damaged, and bounding
// it keeps every coordinate the routines compute from it inside an i32.
constexpr i32 kParamBound = 1000000;
i32 Bound(i32 v) { return std::clamp(v, -kParamBound, kParamBound); }
} // namespace

void cCharaEffectRun::Set(i32 id, i32 mode, i32 loop) {
    // A number from data beyond the prepared rows would trip the checked accessor and close the
    // program: no effect instead.
    if (id < 0 || id >= g_vCharaEffectData.Size() || id >= g_vCharaEffectData2.Size()) id = 0;
    m_nId = static_cast<i16>(id);
    m_nMode = mode;
    m_bLoop = loop;
    m_bReversed = mode == EFFECT_REVERSED ? 1 : 0;
    if (g_vCharaEffectData.empty() || g_vCharaEffectData2.empty()) {
        Load(cCharaEffectData());
        return;
    }
    Load(m_bReversed ? g_vCharaEffectData2[id] : g_vCharaEffectData[id]);
}

void cCharaEffectRun::Load(const cCharaEffectData& row) {
    m_nType = row.rec.nEffectType;
    for (int i = 0; i < 5; ++i) m_anParam[i] = Bound(row.rec.anParam[i]);
    m_nStart = Bound(row.nStart);
    m_nEnd = Bound(row.nEnd);
    m_dValue = std::clamp(row.dValue, -static_cast<double>(kParamBound), static_cast<double>(kParamBound));
    m_dDelta = row.dStep;
    m_dTimer = 0.0;
    m_nLimit = row.nTime < 1 ? 1 : row.nTime;
    m_nCounter = 0;
    m_nToggle = 0;
}

void cCharaEffectRun::Restart() {
    if (m_nMode == EFFECT_THERE_AND_BACK) m_bReversed = m_bReversed ? 0 : 1;
    const i32 id = m_nId;
    if (id < 0 || id >= g_vCharaEffectData.Size() || id >= g_vCharaEffectData2.Size()) {
        Load(cCharaEffectData());
        return;
    }
    Load(m_bReversed ? g_vCharaEffectData2[id] : g_vCharaEffectData[id]);
}

i32 cCharaEffectRun::Step() {
    // The raw value is compared (not its whole part), so a pass of n tenths lasts 6n frames
    // plus the frame on which the value passes the end.
    if (m_nStart > m_nEnd) {
        m_dValue -= m_dDelta;
        if (m_dValue >= m_nEnd) return 0;
    } else if (m_nStart < m_nEnd) {
        m_dValue += m_dDelta;
        if (m_dValue <= m_nEnd) return 0;
    } else {
        m_dTimer += m_dDelta;
        if (m_dTimer <= m_nLimit) return 0;
    }
    if (!m_bLoop && (m_nMode != EFFECT_THERE_AND_BACK || m_bReversed)) return 1;
    Restart();
    return 0;
}
