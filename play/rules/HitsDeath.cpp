// What a death means: the player's death, the stage's end, the removal of dead characters.
#include "app/Game.h"
#include "database/SystemSwitches.h"
#include "play/rules/Hits.h"

i32 CharaEndResult(cChara& c) {
    if (c.m_nKind == 0) return 2;
    if (c.IsDying()) return 0;
    return c.Kill();
}

i32 CheckCharaEnd(cGameScene& scene, cChara& c) { return scene.Outcome(CharaEndResult(c)); }

void UnlinkSceneObject(cGameScene& scene, cStageChara& c) {
    c.UnlinkTargets();
    scene.RemoveChara(c);
}

i32 CheckPlayerDeath(cGameScene& scene) {
    if (cPlayer* p = scene.Player0(); p && p->m_nHP < 1) return scene.PlayerDies(nullptr);
    // Removal is a mark: the characters stay valid memory until the scene sweeps.
    cObjList<cStageChara>::WalkScope hold(scene.m_lstChara);
    for (int i = 0; i < scene.m_lstChara.Size(); ++i) {
        cStageChara* c = scene.m_lstChara.Live(i);
        if (!c) continue;
        if (c->m_bRemove) {
            UnlinkSceneObject(scene, *c);
            continue;
        }
        // A character already dying is a plain death as well: with delayed removal it sounds
        // again and stays for the sweep; without, it goes at once.
        if (c->m_nHP >= 1) continue;
        const i32 r = CheckCharaEnd(scene, *c);
        if (r != 0) return r;
        if (SysSwitch(SW_DELAYED_REMOVAL)) PlaySE(9);
        else UnlinkSceneObject(scene, *c);
    }
    return 0;
}
