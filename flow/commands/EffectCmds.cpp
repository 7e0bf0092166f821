// Effects, pictures, graphics, backgrounds and sound.
#include <cmath>

#include "app/Game.h"
#include "app/PlayRecord.h"
#include "database/Database.h"
#include "flow/EffectObj.h"
#include "flow/commands/Commands.h"
#include "play/GameScene.h"
#include "records/Stage.h"

namespace {

i32 Param(const cFlowCmd& cmd, int i) { return i < cmd.params.Size() ? static_cast<i32>(cmd.params[i]) : 0; }

// Anchors of the effect command.
enum : i32 { EFFECT_SCREEN_CENTRE = 0, EFFECT_ON_SELF, EFFECT_ON_HERO, EFFECT_SCREEN_CELL, EFFECT_STAGE_CELL };

// A size times a percentage, rounded half away from zero.
i32 Percent(i32 size, i32 percent) {
    return static_cast<i32>(std::round(static_cast<double>(size) * percent / 100.0));
}

// The centre of a character's graphic in world pixels (its screen rectangle plus the scroll).
void GraphicCentre(const cGameScene& scene, const cChara& c, double& x, double& y) {
    const double sx = scene.m_ScrollX.m_dPos, sy = scene.m_ScrollY.m_dPos;
    x = static_cast<i32>(c.m_dX) - static_cast<i32>(sx) - c.m_nGfxOffX + (c.m_nGfxW >> 1) + sx;
    y = static_cast<i32>(c.m_dY) - static_cast<i32>(sy) - c.m_nGfxOffY + (c.m_nGfxH >> 1) + sy;
}

} // namespace

void PlayUserSE(i32 n) {
    // User sound n is sound record n, played from row n + 16 (after the system sounds).
    if (n <= 0 || n >= g_Database.m_vSound.Size()) return;
    PlaySE(n + 16);
}

i32 CmdChangeGraphic(cChara&, cFlowCmd&) { return 0; }
i32 CmdChangeAnimSet(cChara&, cFlowCmd&) { return 0; }
i32 CmdPlayAnim(cChara&, cFlowCmd&) { return 0; }

i32 CmdEffect(cChara& chara, cFlowCmd& cmd) {
    cGameScene* scene = chara.m_pScene;
    const i32 id = Param(cmd, 0);
    if (!scene || scene->m_nEndRequest || id <= 0 || id >= g_Database.m_vEffect.Size()) return 0;
    const cEffectData& rec = g_Database.m_vEffect[id];
    const i32 w = Percent(static_cast<i32>(rec.nWidth), Param(cmd, 6));
    const i32 h = Percent(static_cast<i32>(rec.nHeight), Param(cmd, 6));
    const i32 cellX = Param(cmd, 2), cellY = Param(cmd, 3), dx = Param(cmd, 4), dy = Param(cmd, 5);
    const double sx = scene->m_ScrollX.m_dPos, sy = scene->m_ScrollY.m_dPos;
    double x = 0, y = 0;
    switch (Param(cmd, 1)) {
    case EFFECT_ON_SELF:
    case EFFECT_ON_HERO: {
        const cChara* c = Param(cmd, 1) == EFFECT_ON_SELF ? &chara : scene->Player0();
        if (!c) return 0;
        GraphicCentre(*scene, *c, x, y);
        x += dx - (w >> 1);
        y += dy - (h >> 1);
        break;
    }
    case EFFECT_SCREEN_CELL:
        x = cellX * 32 + sx + dx;
        y = cellY * 32 + sy + dy;
        break;
    case EFFECT_STAGE_CELL:
        x = ((scene->m_ScrollX.m_nOrigin >> 5) + cellX) * 32 + dx;
        y = ((scene->m_ScrollY.m_nOrigin >> 5) + cellY) * 32 + dy;
        break;
    default:
        x = sx + 320 - (w >> 1) + dx;
        y = sy + 240 - (h >> 1) + dy;
        break;
    }
    EffectObjPtr obj(new cEffectObj);
    obj->Init(static_cast<i16>(id), x, y, w, h, 0);
    const i32 wait = Param(cmd, 7);
    obj->m_bAdvanceWhileHeld = wait != 0;
    scene->m_lstEffectObj.push_back(std::move(obj));
    if (wait) {
        scene->m_WaitParam = WAITPARAM(2, static_cast<u32>(EffectWaitFrames(static_cast<i16>(id))), 0, 0);
        HoldGame(*scene);
    }
    return 0;
}

// Effect number, mode (0 forward, 1 reversed, 2 there and back), loop: the character's own run.
i32 CmdCharaEffect(cChara& chara, cFlowCmd& cmd) {
    chara.m_CharaEffect.Set(Param(cmd, 0), Param(cmd, 1), Param(cmd, 2));
    return 0;
}

// The same three on the play's screen effect.
i32 CmdScreenEffect(cChara& chara, cFlowCmd& cmd) {
    if (chara.m_pScene) chara.m_pScene->m_ScreenEffect.Set(Param(cmd, 0), Param(cmd, 1), Param(cmd, 2));
    return 0;
}
i32 CmdPicture(cChara&, cFlowCmd&) { return 0; }

i32 CmdScreenColor(cChara& chara, cFlowCmd& cmd) {
    cGameScene* scene = chara.m_pScene;
    if (!scene) return 0;
    SCREENCOLOUR& s = scene->m_ScreenColour;
    const i32 direction = Param(cmd, 4);
    // A fade back needs a colour on screen to come back from.
    if (direction == 1 && (lpDTCon ? !s.bActive : !s.bShown)) return 0;
    for (int i = 0; i < 3; ++i) s.byColour2[i] = s.byColour[i];
    s.nStrength2 = s.nStrength;
    s.nLevel2 = s.nLevel;
    s.bActive = 1;
    s.nFrame = 0;
    s.nRepeatsDone = 0;
    s.nDirection = direction;
    s.nDuration = Param(cmd, 5) * 6;
    s.nFlashMode = Param(cmd, 6);
    s.nRepeat = Param(cmd, 7);
    if (direction == 0) {
        for (int i = 0; i < 3; ++i) s.byColour[i] = static_cast<u8>(Param(cmd, i));
        s.nStrength = Param(cmd, 3);
        s.nLevel = 0;
        s.bShown = 1;
    }
    return 0;
}

i32 CmdBackground(cChara&, cFlowCmd& cmd) {
    // Backgrounds are numbered from 1.
    const i64 row = static_cast<i64>(Param(cmd, 0)) - 1;
    if (row < 0 || row >= g_Stage.vBack.Size()) return 0;
    u32& visible = g_Stage.vBack[row].bVisible;
    switch (Param(cmd, 1)) {
    case 0: visible = 1; break;
    case 1: visible = 0; break;
    case 2: visible = visible ? 0 : 1; break;
    default: break;
    }
    return 0;
}

i32 CmdPlaySE(cChara& chara, cFlowCmd& cmd) {
    // With the command's sound condition the sound plays only while the character is on screen.
    if (cmd.flag96 && !chara.m_bOnScreen) return 0;
    PlayUserSE(Param(cmd, 0));
    return 0;
}

i32 CmdPlayBGM(cChara&, cFlowCmd& cmd) {
    const i32 number = Param(cmd, 0), mode = Param(cmd, 1);
    if (number < 0 || number >= g_Database.m_vBgm.Size()) return 0;
    // The stage music: kept in the play record with its mode (1 keeps a piece already playing).
    g_PlayRecord.nBgmPlaying = static_cast<u32>(number);
    g_PlayRecord.nBgmParam = static_cast<u32>(mode);
    g_Game.RequestBgm(number, static_cast<u32>(mode), 4);
    return 0;
}
