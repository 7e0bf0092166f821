#include "app/SceneKit.h"

#include "app/FrontEnd.h"
#include "app/Ranking.h"
#include "app/Services.h"
#include "database/SystemData.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/Sjis.h"

namespace scenekit {

void RequestSceneBgm(int which) {
    const int bgm = g_Services.sceneBgm ? g_Services.sceneBgm(which) : 0;
    const u32 flag = g_Services.sceneBgmFlag ? g_Services.sceneBgmFlag(which) : 0;
    g_Game.RequestBgm(bgm, flag, which);
}

void Text(int x, int y, const std::string& sjis, int dots) { SceneText(&g_sdBackBuffer, x, y, sjis, dots); }

void Box(int x, int y, int w, int h) { FontDrawFrame(&g_aFont[1], &g_sdBackBuffer, x, y, w, h); }

ANSWER AskQuestion(cInput& in, int cx, int y, int first) {
    MoveCursor(g_WorldMapPos, in.wDirection, GetMenuLeft(cx, first, 2, 1), y, 0, 16, 1, 2);
    CursorSound(in.wDirection, 2);
    if (in.wButtons & 1) return g_WorldMapPos.Cur().row == 0 ? ANSWER::First : ANSWER::Second;
    return in.wButtons & 2 ? ANSWER::Cancel : ANSWER::None;
}

void QuestionBox(int cx, int y, int first, int count, bool cursor) {
    const int c = cursor ? 1 : 0;
    DrawTextMenu(&g_sdBackBuffer, GetMenuLeft(cx, first, count, c), y, first, count, c);
}

void Accessory(int x, int y, int size, int sx, int sy) {
    DDBlt(&g_sdBackBuffer, x, y, size, size, ScenePicture(PIC_ACCESSORY), sx, sy, DDBLT_KEY);
}

int Chars(const std::string& sjis) { return CountChars(sjis.c_str()); }

std::string Number(long long v) { return std::to_string(v); }

void DrawLayout(DDSURFACEDATA* dst, const RANKLAYOUT& layout) {
    if (layout.boxW > 0) FontDrawFrame(&g_aFont[1], dst, layout.boxX, layout.boxY, layout.boxW, layout.boxH);
    for (const RANKTEXT& t : layout.vText) SceneText(dst, t.x, t.y, t.text, 16);
    for (const auto& m : layout.vMarker)
        DDBlt(dst, m.first, m.second, 16, 16, ScenePicture(PIC_ACCESSORY), 16, 48, DDBLT_KEY);
}

} // namespace scenekit
