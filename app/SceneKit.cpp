#include "app/SceneKit.h"

#include "app/FrontEnd.h"
#include "app/Ranking.h"
#include "app/Services.h"
#include "database/DataPaths.h"
#include "database/WorldMap.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/WindowMessages.h"

namespace scenekit {

cInput& Player1() {
    static cInput none;
    return g_vInput.empty() ? none : g_vInput[0];
}

void CursorSound(u32 keys, u32 which) {
    if (g_Services.cursorSound) g_Services.cursorSound(keys, which);
}

bool LoadPictures(SCENEPICTURES& pic, bool map) {
    pic.bLoaded = false;
    if (!g_Services.loadPicture) return false;
    struct ROW {
        std::string path;
        cPicture* p;
    };
    std::vector<ROW> rows = {{"bmp\\Accessory.bmp", &pic.accessory}, {"bmp\\Window.bmp", &pic.window}};
    if (map) {
        rows.push_back({"bmp\\WorldMapChip.bmp", &pic.mapChip});
        rows.push_back({"bmp\\WorldEvent.bmp", &pic.mapEvent});
        // The map's own background picture stands in the WorldBack slot.
        if (g_WorldMap.bBackPicture && !g_WorldMap.strExtra.empty()) rows.push_back({g_WorldMap.strExtra, &pic.worldBack});
    }
    for (ROW& r : rows) {
        if (!g_Services.loadPicture(r.path, r.p->w, r.p->h, r.p->px)) {
            WriteReport("%s の読み込みに失敗！", ToDisplayText(r.path).c_str());
            PostMessage(g_hWnd, WM_CLOSE, 0, 0);
            return false;
        }
    }
    pic.bLoaded = true;
    return true;
}

void RequestSceneBgm(int which) {
    const int bgm = g_Services.sceneBgm ? g_Services.sceneBgm(which) : 0;
    const u32 flag = g_Services.sceneBgmFlag ? g_Services.sceneBgmFlag(which) : 0;
    g_Game.RequestBgm(bgm, flag, which);
}

void Text(int x, int y, const std::string& sjis, int dots) {
    if (sjis.empty()) return;
    if (g_Services.drawText) {
        g_Services.drawText(x, y, sjis, dots);
        return;
    }
    g_BackBuffer.FillRect(x, y + dots / 4, static_cast<int>(sjis.size()) * dots / 2, dots / 2, kText);
}

void Box(int x, int y, int w, int h) {
    g_BackBuffer.FillRect(x, y, w, h, kFrame);
    g_BackBuffer.FrameRect(x, y, w, h, kBorder);
}

void Accessory(const SCENEPICTURES& pic, int x, int y, int size, int sx, int sy) {
    if (pic.bLoaded) g_BackBuffer.Blt(x, y, size, size, pic.accessory, sx, sy, true);
    else g_BackBuffer.FillRect(x + 2, y + 2, size - 4, size - 4, kCursor);
}

int Chars(const std::string& sjis) { return CountChars(sjis.c_str()); }

std::string Number(long long v) { return std::to_string(v); }

void DrawLayout(const RANKLAYOUT& layout, const SCENEPICTURES& pic) {
    if (layout.boxW > 0) Box(layout.boxX, layout.boxY, layout.boxW, layout.boxH);
    for (const RANKTEXT& t : layout.vText) Text(t.x, t.y, t.text, 16);
    for (const auto& m : layout.vMarker) Accessory(pic, m.first, m.second, 16, 16, 48);
}

} // namespace scenekit
