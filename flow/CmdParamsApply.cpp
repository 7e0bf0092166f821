// The arrange overrides applied to a command of a running character.
#include "app/PlayRecord.h"
#include "database/Database.h"
#include "flow/FlowEngine.h"
#include "play/GameScene.h"

void ApplyCmdOverrides(cFlowCmd& cmd, cChara& c, CmdOverrideList& overrides) {
    if (overrides.empty()) return;
    CMDVALUESOURCES src;
    src.common = std::span<const i32>(g_PlayRecord.vVar.data(), g_PlayRecord.vVar.size());
    if (c.m_pScene) src.stage = std::span<const i32>(c.m_pScene->m_vStageVar.data(), c.m_pScene->m_vStageVar.size());
    src.chara = std::span<const i32>(c.m_vVar.data(), c.m_vVar.size());
    src.dedicatedPictures = g_Database.m_vBmpCharaExc.Size();
    ApplyCmdOverrideList(cmd, overrides, src);
    overrides.clear();
}
