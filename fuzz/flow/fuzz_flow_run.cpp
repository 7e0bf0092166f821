// Runs hostile flows: a flow list read from the input (a u32 data version, then the list as a
// character record holds it) is given to the hero and two stage characters, who target each
// other; every trigger kind fires on each of them, their flows step, their commands also run
// as the hero's item commands, and flows are deleted and changed between frames. Nothing may
// crash, read outside memory or leave a dangling run (the sanitizers watch).
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "database/Database.h"
#include "database/SystemData.h"
#include "flow/FlowEngine.h"
#include "play/GameScene.h"
#include "records/Stage.h"

namespace {

constexpr int kFrames = 12;
constexpr int kMaxFlows = 48;
constexpr int kMaxCmds = 384;

void Prepare() {
    static bool done = false;
    if (done) return;
    done = true;
    g_Database.SetDefault();
    g_SystemData.SetDefault();
    PrepareDatabase();
    g_Stage.Init();
    g_Stage.dwWidth() = 20;
    g_Stage.dwHeight() = 15;
}

cChara& Setup(cChara& c, const cVector<cFlow>& flows, double x) {
    c.m_Def.dwMaxHP = 20;
    c.m_nHP = 20;
    c.m_dX = x;
    c.m_dY = 700;
    c.m_nBoxW = c.m_nBoxH = c.m_nGfxW = c.m_nGfxH = 32;
    SetupFlows(c, flows, 0, -1);
    return c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    u32 version;
    std::memcpy(&version, data, 4);
    if (version > kProgVer) return 0;
    cRecordReader r(std::string(reinterpret_cast<const char*>(data) + 4, size - 4), version);
    cVector<cFlow> flows;
    if (!ReadFlowList(flows, r) || flows.Size() > kMaxFlows) return 0;
    int cmds = 0;
    for (const cFlow& f : flows) cmds += f.cmds.Size();
    if (cmds > kMaxCmds) return 0;
    Prepare();

    auto scene = std::make_unique<cGameScene>();
    // Whatever holds the game (messages, waits) ends at once.
    scene->m_bQuit = 1;
    auto heroPtr = std::make_unique<cPlayer>();
    heroPtr->m_pScene = scene.get();
    cPlayer& hero = scene->m_vPlayer.Add(std::move(heroPtr));
    Setup(hero, flows, 640);
    cStageChara& a = scene->AddChara(std::make_unique<cStageChara>());
    cStageChara& b = scene->AddChara(std::make_unique<cStageChara>());
    Setup(a, flows, 700);
    Setup(b, flows, 760);
    for (cChara* c : {static_cast<cChara*>(&hero), static_cast<cChara*>(&a), static_cast<cChara*>(&b)}) {
        SetTargetSlot(*c, 0, &hero, 1);
        SetTargetSlot(*c, 1, &a, 1);
        SetTargetSlot(*c, 2, &b, 1);
    }
    for (cChara* c : {static_cast<cChara*>(&hero), static_cast<cChara*>(&a), static_cast<cChara*>(&b)}) RunFlowsOf(*c, TRIG_STAGE_START);

    for (int frame = 0; frame < kFrames; ++frame) {
        cChara* all[3] = {&hero, &a, &b};
        for (cChara* c : all) ResetFlowMarks(*c);
        for (int i = 0; i < 3; ++i) {
            cChara& c = *all[i];
            for (u8 kind = 0; kind <= TRIG_NONE + 1; ++kind)
                RunFlows(c, kind, all[(i + 1) % 3], static_cast<i8>(frame % 4));
            StepFlows(c, frame % 5 == 4);
            EndLetters(c);
        }
        // The hero takes the commands of a flow as an item's.
        if (!flows.empty()) {
            cVector<cFlowCmd> item = flows[frame % flows.Size()].cmds;
            for (cFlowCmd& c : item) c.cmdSet = 1;
            ExecItemCmds(hero, item);
        }
        // Flows go while others run.
        if (frame == 5 && a.m_vFlowRun.Size() > 1) DeleteFlow(a, 1);
        if (frame == 7) ChangeFlows(b, static_cast<u8>(frame));
        if (frame == 9) InsertFlows(a, flows, 0);
        scene->Sweep();
    }
    return 0;
}
