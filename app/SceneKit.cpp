#include "app/SceneKit.h"

#include "app/FrontEnd.h"
#include "app/Ranking.h"
#include "app/Services.h"
#include "platform/system/Sjis.h"

namespace scenekit {

cInput& Player1() {
    static cInput none;
    return g_vInput.empty() ? none : g_vInput[0];
}

void CursorSound(u32 keys, u32 which) {
    if (g_Services.cursorSound) g_Services.cursorSound(keys, which);
}

void RequestSceneBgm(int which) {
    const int bgm = g_Services.sceneBgm ? g_Services.sceneBgm(which) : 0;
    const u32 flag = g_Services.sceneBgmFlag ? g_Services.sceneBgmFlag(which) : 0;
    g_Game.RequestBgm(bgm, flag, which);
}

void Text(int x, int y, const std::string& sjis, int dots) { SceneText(&g_sdBackBuffer, x, y, sjis, dots); }

void Box(int x, int y, int w, int h) { FontDrawFrame(&g_aFont[1], &g_sdBackBuffer, x, y, w, h); }

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
