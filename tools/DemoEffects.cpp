#include "tools/DemoEffects.h"

#include <algorithm>

#include "database/Text.h"
#include "records/FlowCmd.h"

namespace {

// Rows of the item command table: "画面エフェクトの実行" (the character set's 31) and the stage clear.
constexpr u8 kItemCmdScreenEffect = 16;
constexpr u8 kItemCmdClear = 2;

} // namespace

DEMOEFFECTS AddDemoEffects(cDatabase& db) {
    DEMOEFFECTS e;
    // Half a second of the picture bursting into quarters that fly 24 dots apart.
    cCharaEffectParam burst;
    burst.strName = Sj("破裂");
    burst.nEffectType = 1;
    burst.anParam[0] = 5;
    burst.anParam[1] = 0;
    burst.anParam[2] = 24;
    e.defeat = static_cast<u16>(db.m_vCharaEffect.size());
    db.m_vCharaEffect.push_back(burst);
    // One second of the screen waving in rows, growing to 48 dots.
    cScrEffectParam wave;
    wave.strName = Sj("クリアの波");
    wave.nEffectType = 6;
    wave.anParam[0] = 10;
    wave.anParam[1] = 0;
    wave.anParam[2] = 48;
    wave.anParam[3] = 3;
    wave.anParam[4] = 8;
    e.clear = static_cast<u16>(db.m_vScrEffect.size());
    db.m_vScrEffect.push_back(wave);
    // Half a second of the screen jolting up and down 12 dots, three times over, settling.
    cScrEffectParam jolt;
    jolt.strName = Sj("着地の揺れ");
    jolt.nEffectType = 3;
    jolt.anParam[0] = 5;
    jolt.anParam[1] = 12;
    jolt.anParam[2] = 3;
    e.landing = static_cast<u16>(db.m_vScrEffect.size());
    db.m_vScrEffect.push_back(jolt);
    return e;
}

void UseDemoEffects(cCommonPalette& palette, const DEMOEFFECTS& effects) {
    for (cEdChara& c : palette.m_vEdChara) {
        if (c.byOperation != 1 || c.wPicture == 0) continue;
        c.wDeathEffect = effects.defeat;
        c.byGroup14 = 0; // forward
    }
    for (cEdItem& item : palette.m_vEdItem) {
        const bool clears = std::any_of(item.vCmd.begin(), item.vCmd.end(),
                                        [](const cFlowCmd& c) { return c.cmdSet == 1 && c.cmdKind == kItemCmdClear; });
        if (!clears) continue;
        cFlowCmd wave;
        wave.Clear();
        wave.cmdSet = 1;
        wave.cmdKind = kItemCmdScreenEffect;
        wave.params.assign(CmdTypeRow(1, kItemCmdScreenEffect).nParams, 0);
        wave.params[0] = effects.clear; // forward, once
        item.vCmd.insert(item.vCmd.begin(), wave);
    }
}
