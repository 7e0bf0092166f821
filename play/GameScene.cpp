#include "play/GameScene.h"

#include <algorithm>

#include "app/SceneDraw.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/Report.h"

cGameScene::cGameScene() {
    SetHandlers({[this] { Intro(); }, [this] { UpdatePlay(); }, [this] { Pause(); }, [this] { StageClear(); },
                 [this] { MissMenu(); }, [this] { GameOver(); }});
    m_nState = -1;
    for (auto& set : m_vLayerList) set.assign(kLayerCount, {});
    // The side lists hold raw pointers into the live shot list: they drop a shot before it is
    // destroyed. The layer lists hold handles; they drop the ones that no longer resolve.
    m_lstShot.SetSweepHook([this] { CompactSideLists(); });
    m_lstChara.SetSweepHook([this] { CompactLayerLists(); });
}

cGameScene::~cGameScene() {
    // Objects go before the registry and the lists that point at them.
    m_lstEffectObj.clear();
    m_lstMessageWnd.clear();
    m_lstShot.Clear();
    m_lstItem.Clear();
    m_lstChara.Clear();
    m_vPlayer.Clear();
}

std::unique_ptr<cScene> MakeGameScene() { return std::make_unique<cGameScene>(); }

// ---- States ----

void cGameScene::Run() {
    cScene::Run();
    Sweep();
}

void cGameScene::Init() {
    m_vResult.assign(5, 0);
    m_vResult2.assign(5, 0);
    SetStage(g_Game.g_nGameMode == 4 ? 1 : 0, 1);
    m_nSubState = 0;
}

void cGameScene::FadeIn() {
    Draw(0, 1, 0, 1);
    if (SceneFade(true)) m_nState = 1;
}

void cGameScene::Intro() {
    Draw(0, 1, 0, 1);
    m_nIntroA = 0;
    m_nState = 2;
}

void cGameScene::Pause() { Draw(0, 1, 0, 1); }

void cGameScene::StageClear() { Draw(0, 1, 0, 1); }

void cGameScene::MissMenu() { Draw(0, 1, 0, 1); }

void cGameScene::GameOver() { Draw(0, 1, 0, 1); }

void cGameScene::FadeOut() {
    if (!SceneFade(false)) return;
    g_Game.g_nFrameRate = 60;
    g_Game.g_nScene = g_Game.g_nNextScene;
    g_Game.g_nPrevScene = SCENE_PLAY;
    m_nState = -1;
}

i32 cGameScene::PauseLoop() { return m_bQuit.load() ? 0 : 1; }

i32 cGameScene::RankingLoop() { return m_bQuit.load() ? 0 : 1; }

// ---- Lists ----

cStageChara& cGameScene::AddChara(std::unique_ptr<cStageChara> chara) {
    chara->m_pScene = this;
    cStageChara& c = m_lstChara.Add(std::move(chara));
    const i32 layer = std::clamp(c.m_nLayer, 0, kLayerCount - 1);
    m_vLayerList[0][static_cast<std::size_t>(layer)].push_back(c.Handle());
    return c;
}

cItem& cGameScene::AddItem(std::unique_ptr<cItem> item) {
    item->m_pScene = this;
    return m_lstItem.Add(std::move(item));
}

std::vector<cShot*>& cGameScene::SideList(i32 side) {
    if (side < 0 || side >= kSideCount) {
        ReportBadIndex('V', side, kSideCount, 12);
        side = 0;
    }
    return m_vShotList[static_cast<std::size_t>(side)];
}

cShot& cGameScene::AddShot(const cShot& shot) { return AddShot(std::make_unique<cShot>(shot)); }

cShot& cGameScene::AddShot(std::unique_ptr<cShot> shot) {
    shot->m_pScene = this;
    cShot& s = m_lstShot.Add(std::move(shot));
    SideList(s.m_nSide).push_back(&s);
    ++m_nShotSerial;
    return s;
}

void cGameScene::RemoveChara(cStageChara& chara) { m_lstChara.Remove(chara); }

void cGameScene::RemoveItem(cItem& item) { m_lstItem.Remove(item); }

void cGameScene::EraseShot(cShot& shot) { m_lstShot.Remove(shot); }

void cGameScene::Sweep() {
    m_vPlayer.Sweep();
    m_lstChara.Sweep();
    m_lstItem.Sweep();
    m_lstShot.Sweep();
}

void cGameScene::CompactSideLists() {
    for (auto& list : m_vShotList)
        list.erase(std::remove_if(list.begin(), list.end(), [](const cShot* s) { return s->IsRemoved(); }), list.end());
}

void cGameScene::CompactLayerLists() {
    for (auto& set : m_vLayerList)
        for (auto& list : set)
            list.erase(std::remove_if(list.begin(), list.end(), [](const cObjHandle& h) { return !h; }), list.end());
}

// ---- Flow hand-over ----

cFlowRun* cGameScene::FlowRun() const {
    cChara* owner = m_pFlowRun.owner.Chara();
    if (!owner) return nullptr;
    cVector<cFlowRun>& runs = owner->m_vFlowRun;
    const i32 i = m_pFlowRun.run;
    if (i >= 0 && i < runs.Size() && runs[i].m_nRunNo == m_pFlowRun.runNo) return &runs[i];
    for (cFlowRun& run : runs)
        if (run.m_nRunNo == m_pFlowRun.runNo) return &run;
    return nullptr;
}

cCmdRun* cGameScene::CmdRun() const {
    cFlowRun* run = FlowRun();
    if (!run || m_pCmdRun < 0 || m_pCmdRun >= run->m_vCmdRun.Size()) return nullptr;
    return &run->m_vCmdRun[m_pCmdRun];
}

void cGameScene::SetFlowObj(cChara* chara) { m_pFlowObj = cObjHandle(chara); }

void cGameScene::SetFlowRun(cChara* owner, cFlowRun* run) {
    m_pFlowRun = FLOWRUNREF{};
    m_pCmdRun = -1;
    if (!owner || !run) return;
    const cVector<cFlowRun>& v = owner->m_vFlowRun;
    if (v.empty() || run < v.data() || run >= v.data() + v.size()) return;
    m_pFlowRun = FLOWRUNREF{cObjHandle(owner), static_cast<i32>(run - v.data()), run->m_nRunNo};
}

void cGameScene::SetCmdRun(cCmdRun* cmd) {
    m_pCmdRun = -1;
    cFlowRun* run = FlowRun();
    if (!run || !cmd) return;
    const cVector<cCmdRun>& v = run->m_vCmdRun;
    if (v.empty() || cmd < v.data() || cmd >= v.data() + v.size()) return;
    m_pCmdRun = static_cast<i32>(cmd - v.data());
}

void cGameScene::ClearFlowPointers() {
    m_pFlowObj.Reset();
    m_pFlowRun = FLOWRUNREF{};
    m_pCmdRun = -1;
}
