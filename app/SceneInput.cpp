#include "app/SceneInput.h"

#include "app/SceneDraw.h"
#include "app/Services.h"
#include "platform/system/MenuCursor.h"

cInput& Player1() {
    static cInput none;
    return g_vInput.empty() ? none : g_vInput[0];
}

void CursorSound(u32 keys, u32 which) {
    if (g_Services.cursorSound) g_Services.cursorSound(keys, which);
}

ANSWER ChooseSlot(cInput& in, i32& top, int x, int rows, int count) {
    MenuCursorMoveList(g_WorldMapPos, in.wDirection, true, top, 160, 16, x, rows, count, true);
    CursorSound(in.wDirection, 3);
    if (in.wButtons & 1) return ANSWER::First;
    return in.wButtons & 2 ? ANSWER::Cancel : ANSWER::None;
}

void BackToMenu(cScene& scene, int se) {
    PlaySE(se);
    MenuCursorShift(1);
    scene.m_nState = 1;
    scene.m_nSubState = 0;
}
