// Stage set-up: everything a stage needs at run time, built from g_Stage.
#include <algorithm>

#include "platform/system/Clock.h"
#include "platform/system/Report.h"
#include "app/SystemIni.h"
#include "play/GameScene.h"
#include "play/effects/CharaDraw.h"
#include "records/Stage.h"
#include "records/StageSettings.h"

namespace {

i32 Setting(eStage s) { return static_cast<i32>(StageSettings::Get(g_Stage, s)); }

} // namespace

void cGameScene::SetStage(i32 bLoadStage, i32 /*x*/) {
    DebugLog("In SetStage");
    // Every object of the previous set-up goes first.
    for (auto& set : m_vLayerList) set.assign(kLayerCount, {});
    m_lstShot.Clear();
    for (auto& list : m_vShotList) list.clear();
    m_lstChara.Clear();
    m_lstItem.Clear();
    m_vPlayer.Clear();
    m_lstEffectObj.clear();
    m_lstMessageWnd.clear();
    m_lstPicture.clear();
    ClearFlowPointers();
    // No screen effect carries over; the effects draw through the picture slots' work surfaces.
    m_ScreenEffect.Clear();
    SelectEffectSurfaces(m_EffectSurf, g_SystemIni.DD_VideoStretch != 0);

    if (bLoadStage) {
        g_Stage.CopyHeader(g_StageAtStart);
        g_Stage.vBack = g_StageAtStart.vBack;
        g_Stage.vName = g_StageAtStart.vName;
        g_Stage.aParams = g_StageAtStart.aParams;
        g_Stage.vRankSwitch = g_StageAtStart.vRankSwitch;
    }

    m_nSeed = m_nForcedSeed >= 0 ? static_cast<u32>(m_nForcedSeed) : static_cast<u32>(timeGetTime());
    m_Rand.Seed(m_nSeed);

    m_nNextId = m_nNextItemId = m_nNextId3 = 0;
    g_Stage.SetSpeed(Setting(eStage::SpeedLevel));
    const double unit = SpeedUnit();

    m_ScrollX.Setup(0, Setting(eStage::Width), Setting(eStage::ViewExtendX));
    m_ScrollX.SetSpeed(static_cast<u32>(Setting(eStage::AutoScrollOnX)), Setting(eStage::AutoScrollSpeedX), unit);
    m_ScrollX.SetBounds(Setting(eStage::ScrollLimitCellX1), Setting(eStage::ScrollLimitCellX2),
                        static_cast<u32>(Setting(eStage::ScrollLimitOnX1)), static_cast<u32>(Setting(eStage::ScrollLimitOnX2)));
    m_ScrollY.Setup(1, Setting(eStage::Height), Setting(eStage::ViewExtendY));
    m_ScrollY.SetSpeed(static_cast<u32>(Setting(eStage::AutoScrollOnY)), Setting(eStage::AutoScrollSpeedY), unit);
    m_ScrollY.SetBounds(Setting(eStage::ScrollLimitCellY1), Setting(eStage::ScrollLimitCellY2),
                        static_cast<u32>(Setting(eStage::ScrollLimitOnY1)), static_cast<u32>(Setting(eStage::ScrollLimitOnY2)));

    if (!m_vBlockMap.Build(g_Stage.dwWidth(), g_Stage.dwHeight())) {
        WriteReport("SetStage : block map %u x %u", g_Stage.dwWidth(), g_Stage.dwHeight());
        return;
    }
    for (const cEdBlock& b : g_Stage.vBlock) {
        const i32 index = m_vBlockMap.StageIndex(b.sPosX, b.sPosY);
        if (!m_vBlockMap.SetBlock(index, b)) continue;
        m_vBlockMap.Find(index)->bExists = b.wPicture != 0 ? 1 : 0;
    }

    // The player: the hero row's cell (its set-up proper belongs to the player's code).
    m_nPlayerCount = 1;
    const int hero = g_Stage.FindHero();
    auto player = std::make_unique<cPlayer>();
    player->m_pScene = this;
    player->m_nId = static_cast<u32>(m_nNextId++);
    if (hero >= 0) {
        const cEdChara& row = g_Stage.vChara[hero];
        player->m_Def = row;
        player->m_nCellX = row.sPosX;
        player->m_nCellY = row.sPosY;
        player->Init(player->m_nId, 0, 0, 0, 0, nullptr, 0, 0, 0, 32, 32, 32, 32, 1, 0, 0);
        player->m_dX = (row.sPosX + cBlockMap::kMargin) * 32.0;
        player->m_dY = (row.sPosY + cBlockMap::kMargin) * 32.0;
        player->UpdateEdgesX();
        player->UpdateEdgesY();
    }
    cPlayer& p0 = m_vPlayer.Add(std::move(player));
    m_vLayerList[0][static_cast<std::size_t>(std::clamp(p0.m_nLayer, 0, kLayerCount - 1))].push_back(p0.Handle());
    m_ScrollX.m_dPos = p0.m_dX - 320 + p0.m_nBoxW / 2;
    m_ScrollY.m_dPos = p0.m_dY - 240 + p0.m_nBoxH / 2;
    m_ScrollX.Clamp();
    m_ScrollY.Clamp();

    m_vStageVar.assign(kStageVarCount, 0);
    m_vItemUsed.assign(g_Stage.vItem.size(), 0);
    m_vToggledCell.clear();
    m_bRemoveChara = StageSettings::AreaOn(g_Stage, 1) ? 1 : 0;
    m_bRemoveBlockChara = StageSettings::AreaOn(g_Stage, 2) ? 1 : 0;
    m_bRemoveItem = StageSettings::AreaOn(g_Stage, 3) ? 1 : 0;

    m_nEndRequest = 0;
    m_nIntroA = m_nIntroB = 0;
    if (Setting(eStage::TimeLimitOn)) {
        m_nTimeLeft = std::min(Setting(eStage::TimeLimit), 999);
        m_bTimeStopped = 0;
    } else {
        m_nTimeLeft = 999;
        m_bTimeStopped = 1;
    }
    m_nPlayFrames = m_nPlayTime = 0;
    std::fill(m_vGroupMark.begin(), m_vGroupMark.end(), 0u);
    m_nStepIndex = m_nStepCount = 0;
    m_nFrameCounter = 0;
    m_bStatusBar = static_cast<u32>(Setting(eStage::StatusBar));
    DebugLog("Out SetStage");
}
