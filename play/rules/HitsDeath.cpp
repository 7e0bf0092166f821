// What a death means: the player's death, the stage's end, the removal of dead characters.
#include "app/Game.h"
#include "database/SystemSwitches.h"
#include "play/rules/Hits.h"

namespace {

void EndStage(cGameScene& scene) {
    scene.StageEnd();
    scene.m_nState = 4;
}

// The player dies of a character's end: sound 8 and its defeat, which may end the stage.
void PlayerDies(cGameScene& scene) {
    PlaySE(8);
    cPlayer* p = scene.Player0();
    if (p && p->Kill() > 0) EndStage(scene);
}

} // namespace

i32 CharaEndResult(cChara& c) {
    if (c.m_nKind == 0) return 2;
    if (c.IsDying()) return 0;
    return c.Kill();
}

i32 CheckCharaEnd(cGameScene& scene, cChara& c) {
    const i32 r = CharaEndResult(c);
    if (r == 1) EndStage(scene);
    else if (r == 2) PlayerDies(scene);
    return r;
}

void UnlinkSceneObject(cGameScene& scene, cStageChara& c) {
    c.UnlinkTargets();
    scene.RemoveChara(c);
}

i32 CheckPlayerDeath(cGameScene& scene) {
    if (cPlayer* p = scene.Player0(); p && p->m_nHP < 1) {
        PlaySE(8);
        if (p->Kill() > 0) {
            EndStage(scene);
            return 1;
        }
        return 2;
    }
    // Removal is a mark: the characters stay valid memory until the scene sweeps.
    cObjList<cStageChara>::WalkScope hold(scene.m_lstChara);
    for (int i = 0; i < scene.m_lstChara.Size(); ++i) {
        cStageChara* c = scene.m_lstChara.Live(i);
        if (!c) continue;
        if (c->m_bRemove) {
            UnlinkSceneObject(scene, *c);
            continue;
        }
        if (c->m_nHP >= 1 || c->IsDying()) continue;
        const i32 r = CheckCharaEnd(scene, *c);
        if (r != 0) return r;
        if (SysSwitch(SW_DELAYED_REMOVAL)) PlaySE(9);
        else UnlinkSceneObject(scene, *c);
    }
    return 0;
}
