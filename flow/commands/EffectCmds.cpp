// Effects, pictures, graphics, backgrounds and sound.
#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "app/Game.h"
#include "app/PlayRecord.h"
#include "platform/graphics/Image.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "database/AnimeData.h"
#include "database/Database.h"
#include "flow/EffectObj.h"
#include "flow/commands/Commands.h"
#include "play/GameScene.h"
#include "records/Stage.h"

namespace {

using flowcmd::Param;
using flowcmd::ParamFrames;

// Anchors of the effect command.
enum : i32 { EFFECT_SCREEN_CENTRE = 0, EFFECT_ON_SELF, EFFECT_ON_HERO, EFFECT_SCREEN_CELL, EFFECT_STAGE_CELL };

// A size times a percentage, rounded half away from zero.
i32 PercentRounded(i32 size, i32 percent) {
    return static_cast<i32>(std::round(static_cast<double>(size) * percent / 100.0));
}

// The centre of a character's graphic in world pixels (its screen rectangle plus the scroll).
void GraphicCentre(const cGameScene& scene, const cChara& c, double& x, double& y) {
    const double sx = scene.m_ScrollX.m_dPos, sy = scene.m_ScrollY.m_dPos;
    x = Trunc32(c.m_dX) - Trunc32(sx) - c.m_nGfxOffX + (c.m_nGfxW >> 1) + sx;
    y = Trunc32(c.m_dY) - Trunc32(sy) - c.m_nGfxOffY + (c.m_nGfxH >> 1) + sy;
}

} // namespace

void PlayUserSE(i32 n) {
    // User sound n is sound record n, played from row n + 16 (after the system sounds).
    if (n <= 0 || n >= g_Database.m_vSound.Size()) return;
    PlaySE(n + 16);
}

i32 CmdChangeGraphic(cChara& chara, cFlowCmd& cmd) {
    // Sources: 0 block, 1 character, 2 item, 3 shot, 4 the character bitmaps. The character is
    // drawn from them the next time it is drawn.
    const i32 source = Param(cmd, 0);
    if (source < 0 || source > 4) return 0;
    chara.m_Def.byPictureKind = static_cast<u8>(source);
    chara.m_Def.wPicture = static_cast<i16>(std::clamp(Param(cmd, 1), -32768, 32767));
    chara.m_nPictureShift = Param(cmd, 2);
    return 0;
}

i32 CmdChangeAnimSet(cChara& chara, cFlowCmd& cmd) {
    // A set past the table is the character's to report (it takes the first set).
    chara.SetAnimSet(Param(cmd, 0), 0);
    return 0;
}
i32 CmdPlayAnim(cChara& chara, cFlowCmd& cmd) {
    const i32 n = Param(cmd, 0);
    if (n <= 0 || n >= g_AnimeSteps.Size()) return 0;
    OVERLAYANIM e;
    AnimeMergePatterns(e.anim, {&g_AnimeSteps[n]});
    AnimeSetPattern(e.anim, 0, 1);
    const cGameScene* scene = chara.m_pScene;
    const cFlowRun* run = scene ? scene->FlowRun() : nullptr;
    const cCmdRun* cmdRun = scene ? scene->CmdRun() : nullptr;
    e.nRunNo = run ? run->m_nRunNo : -1;
    // A command with a duration shows the animation for that long (in drawn frames); an item's
    // command, or one of no duration, until the animation ends.
    if (cmdRun && cmdRun->m_nDuration > 0) {
        const i32 unit = std::max(1, static_cast<i32>(SpeedUnit()));
        e.bTimed = 1;
        e.nCount = (cmdRun->m_nDuration + unit - 1) / unit;
    }
    chara.m_vOverlayAnim.push_back(std::move(e));
    if (!chara.m_Anim.vProgram.empty()) AnimeSetPattern(chara.m_Anim, chara.m_Anim.nProgram, 1);
    return 0;
}

i32 CmdEffect(cChara& chara, cFlowCmd& cmd) {
    cGameScene* scene = chara.m_pScene;
    const i32 id = Param(cmd, 0);
    if (!scene || scene->m_nEndRequest || id <= 0 || id >= g_Database.m_vEffect.Size()) return 0;
    const cEffectData& rec = g_Database.m_vEffect[id];
    const i32 w = PercentRounded(static_cast<i32>(rec.nWidth), Param(cmd, 6));
    const i32 h = PercentRounded(static_cast<i32>(rec.nHeight), Param(cmd, 6));
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
    cGameScene* scene = chara.m_pScene;
    if (!scene) return 0;
    scene->m_ScreenEffect.Set(Param(cmd, 0), Param(cmd, 1), Param(cmd, 2));
    // With no screen effect left, drawing goes back to the real back buffer.
    if (scene->m_ScreenEffect.m_nId == 0 && lpDTCon && lpDTCon->bVirtual) DDSetRenderToVirtual(0);
    return 0;
}

namespace {

// The picture command's integers.
enum : int {
    PP_PICTURE = 0, PP_PLACEMENT, PP_CELL_X, PP_CELL_Y, PP_OFFSET_X, PP_OFFSET_Y, PP_LAYER, PP_SCALE,
    PP_DISPLAY_MODE, PP_TIME, PP_WAIT, PP_FIXED, PP_REPLACE, PP_ID, PP_ONE_FRAME,
};

// The shown picture of an ID (its second passed-through value), or -1.
i64 FindPicture(const cGameScene& scene, i32 id) {
    for (std::size_t i = 0; i < scene.m_lstPicture.size(); ++i)
        if (scene.m_lstPicture[i].nPass[2] == id) return static_cast<i64>(i);
    return -1;
}

// The surface slot of picture `number`: the one a shown picture already has loaded, else a free
// slot loaded from the picture file; -1 when the file cannot be loaded. A file already reported
// in this stage is checked first, which says nothing, and loaded only when it reads again.
i32 LoadPictureSurface(cGameScene& scene, i32 number) {
    cVector<DDSURFACEDATA>& v = scene.m_vPictureSurface;
    for (const PictureParam& p : scene.m_lstPicture)
        if (p.id == number && p.nSurface >= 0 && p.nSurface < v.Size() && SurfacePixels(&v[p.nSurface])) return p.nSurface;
    const std::string& file = g_Database.m_vPicture[number].strFile;
    const bool reported = scene.m_setReportedMissing.contains(file);
    if (reported) {
        cImage header;
        std::string error;
        if (!CheckImageFile(file, &header, &error)) return -1;
    }
    i32 slot = 0;
    while (slot < v.Size() && SurfacePixels(&v[slot])) ++slot;
    if (slot == v.Size()) v.emplace_back();
    if (!DDCheckResult(DDCreateSurfaceFromFile(&v[slot], file.c_str(), 1, g_nBpp, 0, 0, 0, 0, 0, 0, 0))) {
        DDReleaseSurface(&v[slot]);
        if (!reported) WriteReport("%s 読み込み失敗！", file.c_str());
        scene.m_setReportedMissing.insert(file);
        return -1;
    }
    scene.m_setReportedMissing.erase(file);
    return slot;
}

// Releases a surface slot that no shown picture uses any more.
void ReleaseUnusedSurface(cGameScene& scene, i32 slot) {
    if (slot < 0 || slot >= scene.m_vPictureSurface.Size()) return;
    for (const PictureParam& p : scene.m_lstPicture)
        if (p.nSurface == slot) return;
    DDReleaseSurface(&scene.m_vPictureSurface[slot]);
}

} // namespace

void ErasePicture(cGameScene& scene, std::size_t i) {
    if (i >= scene.m_lstPicture.size()) return;
    const i32 slot = scene.m_lstPicture[i].nSurface;
    scene.m_lstPicture.erase(scene.m_lstPicture.begin() + static_cast<std::ptrdiff_t>(i));
    ReleaseUnusedSurface(scene, slot);
}

DDSURFACEDATA* PictureSurface(cGameScene& scene, const PictureParam& block) {
    if (block.nSurface < 0 || block.nSurface >= scene.m_vPictureSurface.Size()) return nullptr;
    DDSURFACEDATA* sd = &scene.m_vPictureSurface[block.nSurface];
    return SurfacePixels(sd) ? sd : nullptr;
}

i32 CmdPicture(cChara& chara, cFlowCmd& cmd) {
    cGameScene* scene = chara.m_pScene;
    if (!scene || scene->m_nEndRequest) return 0;
    const i32 number = Param(cmd, PP_PICTURE), id = Param(cmd, PP_ID);
    if (number == 0) {
        // No picture: with the replace flag, the shown picture of the ID is closed.
        const i64 shown = FindPicture(*scene, id);
        if (Param(cmd, PP_REPLACE) && shown >= 0) ErasePicture(*scene, static_cast<std::size_t>(shown));
        return 0;
    }
    if (number < 0 || number >= g_Database.m_vPicture.Size()) return 0;
    const i32 slot = LoadPictureSurface(*scene, number);
    if (slot < 0) return 0;
    const DDSURFACEDATA& sd = scene->m_vPictureSurface[slot];

    const i32 placement = Param(cmd, PP_PLACEMENT);
    i32 follow = 0;
    if (placement == PICTURE_ON_CHARA) follow = static_cast<i32>(chara.m_nId);
    else if (placement == PICTURE_ON_HERO && scene->Player0()) follow = static_cast<i32>(scene->Player0()->m_nId);
    const i32 count = Param(cmd, PP_ONE_FRAME) ? 1 : ParamFrames(cmd, PP_TIME);
    PictureParam block;
    EffectParamSet(block, static_cast<u16>(number), placement, Param(cmd, PP_CELL_X), Param(cmd, PP_CELL_Y),
                   Param(cmd, PP_OFFSET_X), Param(cmd, PP_OFFSET_Y), sd.width, sd.height, Param(cmd, PP_FIXED),
                   Param(cmd, PP_LAYER), Param(cmd, PP_SCALE), Param(cmd, PP_DISPLAY_MODE), count, Param(cmd, PP_WAIT),
                   follow, Param(cmd, PP_REPLACE), id);
    block.byLayer = Param(cmd, PP_LAYER) ? 1 : 0;
    block.nSurface = slot;
    // A picture of a shown ID takes its place in the drawing order.
    const i64 shown = FindPicture(*scene, id);
    if (shown >= 0) {
        PictureParam& old = scene->m_lstPicture[static_cast<std::size_t>(shown)];
        const i32 oldSlot = old.nSurface;
        old = block;
        if (oldSlot != slot) ReleaseUnusedSurface(*scene, oldSlot);
    } else {
        scene->m_lstPicture.push_back(block);
    }

    if (!Param(cmd, PP_WAIT)) return 0;
    switch (Param(cmd, PP_DISPLAY_MODE)) {
    case 0: scene->m_WaitParam = WAITPARAM(1, 1, 0, 0); break;
    case PICTURE_TIMED: scene->m_WaitParam = WAITPARAM(2, static_cast<u32>(count), 0, 0); break;
    default: break; // until the stage ends: the wait block stays as it was
    }
    HoldGame(*scene);
    // A picture shown until the advance key goes with the key that ended the wait.
    if (Param(cmd, PP_DISPLAY_MODE) == 0) {
        const i64 at = FindPicture(*scene, id);
        if (at >= 0) ErasePicture(*scene, static_cast<std::size_t>(at));
    }
    return 0;
}

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
    s.nDuration = ParamFrames(cmd, 5);
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

namespace {

// Whether asking the window thread for music `number` could only fail again, which stops nothing
// and writes the file's report once more: its file is missing and reported in this stage, and
// the last music asked for failed the same way, so nothing plays. A flow may ask every frame.
// Otherwise the ask goes out: a missing file is noted (the window thread reports it), one that
// is there (again) is forgotten.
bool MusicFailsAsBefore(cGameScene& scene, i32 number) {
    std::set<std::string>& reported = scene.m_setReportedMissing;
    const std::string& file = g_Database.m_vBgm[number].strFile;
    if (FileExists(file)) {
        reported.erase(file);
        return false;
    }
    const i32 last = g_Game.m_nBgmNumber;
    const bool lastFailed =
        last > 0 && last < g_Database.m_vBgm.Size() && reported.contains(g_Database.m_vBgm[last].strFile);
    if (lastFailed && reported.contains(file)) return true;
    reported.insert(file);
    return false;
}

} // namespace

i32 CmdPlaySE(cChara& chara, cFlowCmd& cmd) {
    // With the command's sound condition the sound plays only while the character is on screen.
    if (cmd.flag96 && !chara.m_bOnScreen) return 0;
    PlayUserSE(Param(cmd, 0));
    return 0;
}

i32 CmdPlayBGM(cChara& chara, cFlowCmd& cmd) {
    const i32 number = Param(cmd, 0), mode = Param(cmd, 1);
    if (number < 0 || number >= g_Database.m_vBgm.Size()) return 0;
    // The stage music: kept in the play record with its mode (1 keeps a piece already playing).
    g_PlayRecord.nBgmPlaying = static_cast<u32>(number);
    g_PlayRecord.nBgmParam = static_cast<u32>(mode);
    // The request passes over a kept piece asked for again: it plays, or failed, already.
    const bool kept = (mode & 0xFF) && number == g_Game.m_nBgmNumber && g_Game.m_bBgmFlag;
    if (chara.m_pScene && number != 0 && !kept && MusicFailsAsBefore(*chara.m_pScene, number)) {
        // Noted as the request notes an ask that goes out, so that the asks after it go as they
        // would.
        g_Game.m_nBgmNumber = number;
        g_Game.m_bBgmFlag = static_cast<u32>(mode);
        return 0;
    }
    g_Game.RequestBgm(number, static_cast<u32>(mode), 4);
    return 0;
}
