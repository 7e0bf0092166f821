// The play pictures the material database names: character bitmaps, sword images and effect
// images. Database row i (from 1; row 0 is the "none" record) owns the group of surfaces at
// [(i - 1) x group, i x group). A group's first surface holds the picture; the others are its
// variants and take it as their alias (a sword's group holds its two pictures, one a pair), so they share its image (the software renderer
// stretches on the fly and needs no second copy); a character bitmap's second surface holds its
// picture mirrored cell by cell, as the character sheets' mirrored slots do. A missing picture only writes the
// debug-log line: its slots stay empty and draw nothing, and the rows after it keep their places.
#include <algorithm>

#include "database/Database.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "play/GameScene.h"

namespace {

DDPICTUREDEF PictureDef(const std::string& file, i32 mirrorW) {
    DDPICTUREDEF d;
    d.file = file;
    d.colorKey = 1;
    d.mirrorW = mirrorW;
    return d;
}

// One row's group: files[k] is the picture of surface k (surfaces with an empty name share the
// first one's); mirrorW is the cell width of the mirrored variant (surface 1).
void LoadGroup(cVector<DDSURFACEDATA>& surfaces, cVector<DDPICTUREDEF>& defs, const std::vector<std::string>& files,
               i32 mirrorW, const char* what) {
    const std::size_t first = surfaces.size();
    const i32 group = static_cast<i32>(files.size());
    for (i32 k = 0; k < group; ++k) {
        surfaces.emplace_back();
        defs.push_back(PictureDef(files[static_cast<std::size_t>(k)], k == 1 ? mirrorW : 0));
    }
    for (i32 k = 0; k < group; ++k) {
        const std::string& file = files[static_cast<std::size_t>(k)];
        if (file.empty()) continue;
        // A picture that failed once is not tried (and reported) again for its mirrored copy.
        if (k > 0 && file == files[0] && !SurfacePixels(&surfaces[static_cast<long long>(first)])) continue;
        DDSURFACEDATA* sd = &surfaces[static_cast<long long>(first + static_cast<std::size_t>(k))];
        const DDPICTUREDEF& d = defs[static_cast<long long>(first + static_cast<std::size_t>(k))];
        if (!DDCheckResult(DDCreateSurfaceFromFile(sd, d.file.c_str(), d.colorKey, g_nBpp, d.memoryType, d.d3dMemoryType,
                                                   d.noOwnTexture, d.buildIndexMap, d.mirrorW, 0, 0)))
            DebugLogF("%s %s 読み込み失敗！", what, ToDisplayText(file).c_str());
    }
    // A variant shares the picture of the nearest surface before it that has a file.
    std::size_t owner = first;
    for (i32 k = 1; k < group; ++k) {
        const std::size_t at = first + static_cast<std::size_t>(k);
        if (!files[static_cast<std::size_t>(k)].empty()) owner = at;
        else surfaces[static_cast<long long>(at)].alias = &surfaces[static_cast<long long>(owner)];
    }
}

void Reset(cVector<DDSURFACEDATA>& surfaces, cVector<DDPICTUREDEF>& defs, i32 rows, i32 group) {
    DDReleaseSurfaceVector(surfaces);
    surfaces.clear();
    defs.clear();
    // The vectors never move once filled: aliases point into them.
    const std::size_t n = static_cast<std::size_t>(std::max(rows - 1, 0)) * static_cast<std::size_t>(group);
    surfaces.reserve(n);
    defs.reserve(n);
}

} // namespace

void cGameScene::LoadPlayPictures() {
    if (!g_bDDInit) return;
    const cVector<cBmpCharaExcData>& bmp = g_Database.m_vBmpCharaExc;
    Reset(m_CharaBmp.vSurface, m_CharaBmp.vDef, bmp.Size(), 4);
    for (i32 i = 1; i < bmp.Size(); ++i) {
        const i32 cell = bmp[i].bOwnSize ? static_cast<i32>(std::min<u32>(bmp[i].nSizeUnits, 32)) * 32 : 32;
        // The second surface holds the picture mirrored cell by cell: the character facing left.
        LoadGroup(m_CharaBmp.vSurface, m_CharaBmp.vDef, {bmp[i].strFile, bmp[i].strFile, "", ""}, cell, "専用bmp");
    }
    // A sword row names two pictures: the first pair of its group holds the first, the second
    // pair the other.
    const cVector<cSwordTypeData>& sword = g_Database.m_vSwordType;
    Reset(m_SwordImg.vSurface, m_SwordImg.vDef, sword.Size(), 4);
    for (i32 i = 1; i < sword.Size(); ++i)
        LoadGroup(m_SwordImg.vSurface, m_SwordImg.vDef, {sword[i].strFile, "", sword[i].strFile2, ""}, 32, "ソード");
    const cVector<cEffectData>& effect = g_Database.m_vEffect;
    Reset(m_vEffectPicture, m_vEffectPictureDef, effect.Size(), 2);
    for (i32 i = 1; i < effect.Size(); ++i)
        LoadGroup(m_vEffectPicture, m_vEffectPictureDef, {effect[i].strFile, ""}, 32, "エフェクト");
}
