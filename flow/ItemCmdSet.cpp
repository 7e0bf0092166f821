// The item command set: what taking an item runs for the hero, all in one frame, and the set's
// own command, the flow change.
#include "app/Game.h"
#include "flow/FlowInternal.h"
#include "flow/commands/Commands.h"
#include "play/GameScene.h"

namespace {

constexpr u8 kItemMessage = 4;
constexpr u8 kItemArrange = 23;
enum : i32 { CHANGE_ADD = 0, CHANGE_REPLACE = 1, CHANGE_DELETE = 2 };

void PlayUserSound(u32 n) {
    if (n != 0) PlaySE(static_cast<int>(n) + 16);
}

// The run of an item's list, whatever holds it: count() is its length (read again after every
// command), cmdAt(i, changed) command i, as the entry's own when an override is about to
// change it.
template <class COUNT, class CMDAT>
u32 RunItemCmds(cPlayer& hero, COUNT count, CMDAT cmdAt) {
    cGameScene* scene = hero.m_pScene;
    for (i32 i = 0; i < count(); ++i) {
        const bool arrange = cmdAt(i, false).cmdKind == kItemArrange;
        cFlowCmd& cmd = cmdAt(i, !arrange && !hero.m_lstOverride.empty());
        if (!arrange) {
            ApplyCmdOverrides(cmd, hero, hero.m_lstOverride);
            hero.m_lstOverride.clear();
        }
        const i32 r = ExecItemCmd(hero, cmd);
        // A second message of the list continues the first one's window.
        if (cmd.cmdKind == kItemMessage && scene) scene->m_bItemMessage = 1;
        if (hero.m_nHP < 1) return 2;
        if (r) return static_cast<u32>(r);
    }
    return hero.m_nHP < 1 ? 2 : 0;
}

// No command of the item set's runs as the scene's command run.
void BeginItemCmds(cPlayer& hero) {
    if (cGameScene* scene = hero.m_pScene) {
        scene->SetCmdRun(nullptr);
        scene->m_bItemMessage = 0;
    }
}

} // namespace

u32 ExecItemCmds(cPlayer& hero, std::shared_ptr<cCmdList>& cmds) {
    BeginItemCmds(hero);
    if (!cmds) return 0;
    const auto count = [&] { return cmds ? cmds->Size() : 0; };
    return RunItemCmds(hero, count, [&](i32 i, bool changed) -> cFlowCmd& {
        if (!changed) return (*cmds)[i];
        // The list may be shared with other items: overrides change this owner's own copy, and
        // in it the entry's own command (the runs of a loop's body name one command).
        if (cmds.use_count() > 1) cmds = std::make_shared<cCmdList>(*cmds);
        return cmds->Own(i);
    });
}

u32 ExecItemCmds(cPlayer& hero, cVector<cFlowCmd>& cmds) {
    // The caller owns the list: no other owner can see its overrides.
    BeginItemCmds(hero);
    return RunItemCmds(hero, [&] { return cmds.Size(); }, [&](i32 i, bool) -> cFlowCmd& { return cmds[i]; });
}

u32 ApplyItem(cGameScene& scene, cItem* item, cPlayer& hero) {
    (void)scene;
    if (!item || item->m_nMark == 0 || item->m_Def.byPickup == 2 || !item->m_bPresent) return 0;
    // The item's change-graphic flag: its graphic (kind, number and pattern) shows over the hero.
    const cEdItem& def = item->m_Def;
    if (def.byGroup10) hero.ChangeGraphic(def.byPictureKind, def.wPicture, def.wGroup4);
    PlayUserSound(item->m_Def.wSound);
    if (item->m_pCmds) return ExecItemCmds(hero, item->m_pCmds);
    return ExecItemCmds(hero, item->m_Def.vCmd);
}

i32 CmdChangeFlow(cChara& chara, cFlowCmd& cmd, i32 deferred) {
    // While the hero's own flows are scanned or stepped its flow list must not change: the
    // change is taken along and made after the hero's flow pass.
    cPlayer* hero = chara.AsPlayer();
    if (!deferred && hero && chara.m_pScene && chara.m_pScene->FlowObj() == &chara) {
        hero->m_vTakenCmd.push_back(cmd);
        return 0;
    }
    const i32 op = cmd.params.Size() > 0 ? static_cast<i32>(cmd.params[0]) : 0;
    const u8 id = static_cast<u8>(cmd.params.Size() > 1 ? cmd.params[1] : 0);
    switch (op) {
    case CHANGE_ADD: InsertFlows(chara, cmd.flows, -1); break;
    case CHANGE_REPLACE: {
        // The new flows take the place of the first one removed (all of them for ID 0); with no
        // flow of that ID there is nothing to take the place of, and they are added at the end.
        InsertFlows(chara, cmd.flows, ChangeFlows(chara, id));
        break;
    }
    case CHANGE_DELETE: ChangeFlows(chara, id); break;
    default: break;
    }
    return 0;
}

void RunTakenFlowChanges(cPlayer& hero) {
    // Changes taken while these run are themselves made at once (deferred 1).
    cVector<cFlowCmd> taken;
    taken.swap(hero.m_vTakenCmd);
    for (cFlowCmd& cmd : taken) CmdChangeFlow(hero, cmd, 1);
}
