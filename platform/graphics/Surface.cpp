// Surface records: creation empty or from picture files, picture tables, containers, release.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Raster.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"

namespace {
bool g_bCapsPow2 = false;
bool g_bCapsSquare = false;

void SetText(std::string& field, const char* text) {
    if (text == field.c_str()) return; // a reload passes the record's own name
    field = std::string(text ? text : "");
}

// Colours already mapped to palette indexes in one load: pictures repeat few colours, and each
// new one costs a walk over the 256 entries.
template <class Lookup, class Value = u8>
class cColourCache {
public:
    explicit cColourCache(Lookup lookup) : m_lookup(lookup) { m_key.fill(kEmpty); }
    Value operator()(u32 rgb) {
        const std::size_t slot = (rgb * 2654435761u) >> (32 - kBits);
        if (m_key[slot] != rgb) {
            m_key[slot] = rgb;
            m_value[slot] = m_lookup(rgb);
        }
        return m_value[slot];
    }

private:
    static constexpr int kBits = 12;
    static constexpr u32 kEmpty = 0xFFFFFFFFu; // never a colour (24 bits)
    Lookup m_lookup;
    std::array<u32, 1 << kBits> m_key;
    std::array<Value, 1 << kBits> m_value{};
};

// A DirectDraw 16-bit picture pixel: the transparent colour becomes the key value exactly, and
// any other colour that would reduce to it moves one step, so that only pixels of exactly the
// transparent colour vanish.
u32 DDPixel16(u32 rgb) {
    const RGBTRIPLE t = g_lpDDState ? g_lpDDState->rgbTransmit : RGBTRIPLE{};
    const u32 key = g_dwTransColor & 0xFFFF;
    if ((rgb & 0xFFFFFF) == (u32(t.rgbtRed) << 16 | u32(t.rgbtGreen) << 8 | t.rgbtBlue)) return GridUnpack(key);
    const PIXELFORMAT& f = g_PixelFormat;
    u32 v = Scale16(static_cast<u8>(rgb >> 16), static_cast<u8>(rgb >> 8), static_cast<u8>(rgb), f);
    if (v == key) v = ((v >> f.shiftB) & f.maxB) == f.maxB ? v - 1 : v + 1;
    return GridUnpack(v);
}
} // namespace

// Mirrored cells land at (k + 1) W - (x mod W) - 1; a strip whose width is not a multiple of W
// leaves the pixels of its last, partial cell out rather than writing past the row.
namespace {
// File pictures whose pixels wait for their first use, by store; an entry leaves with its store.
std::mutex g_deferredMutex;
std::unordered_map<const PixelStore*, std::function<void(PixelStore&)>> g_deferred;

std::function<void(PixelStore&)> TakeDeferredDecode(const PixelStore* s) {
    std::lock_guard lock(g_deferredMutex);
    const auto it = g_deferred.find(s);
    if (it == g_deferred.end()) return {};
    auto decode = std::move(it->second);
    g_deferred.erase(it);
    return decode;
}

// The colour a texture loaded now takes as transparent (0: none).
u32 TextureLoadKey(bool d3dKey) {
    if (!d3dKey || !lpDTCon) return 0;
    // A 16-bit texture is keyed by the colour it gives back for the transparent one.
    const RGBTRIPLE& t = g_nBpp == 16 ? lpDTCon->rgbTransmitRead : lpDTCon->rgbTransmit;
    return 0xFF000000 | u32(t.rgbtRed) << 16 | u32(t.rgbtGreen) << 8 | t.rgbtBlue;
}

std::shared_ptr<PixelStore> PixelsFromImageKeyed(const cImage& img, i32 mirrorW, i32 mirrorH, u32 loadKey);
} // namespace

std::shared_ptr<PixelStore> PixelsFromImage(const cImage& img, i32 mirrorW, i32 mirrorH, bool d3dKey) {
    return PixelsFromImageKeyed(img, mirrorW, mirrorH, TextureLoadKey(d3dKey));
}

namespace {
std::shared_ptr<PixelStore> PixelsFromImageKeyed(const cImage& img, i32 mirrorW, i32 mirrorH, u32 loadKey) {
    auto store = MakePixelStore(img.width, img.height, 0);
    const bool dd8 = !lpDTCon && g_nBpp == 8;
    const bool dd16 = !lpDTCon && g_Grid.on;
    cColourCache nearest(PaletteIndexOf);
    // Pictures repeat their colours: the 16-bit reduction is looked up once per colour.
    cColourCache<u32 (*)(u32), u32> keyed16(DDPixel16);
    std::array<u8, 256> indexOfTable{};
    if (dd8 && img.hasIndices) {
        // An 8-bit picture keeps its indices: they are the game's palette numbers.
        for (int i = 0; i < 256; ++i) indexOfTable[i] = static_cast<u8>(i);
    }
    for (int y = 0; y < img.height; ++y) {
        int ty = y;
        if (mirrorH > 0) {
            ty = (y / mirrorH + 1) * mirrorH - (y % mirrorH) - 1;
            if (ty >= img.height) continue;
        }
        u32* dst = store->Row(ty);
        for (int x = 0; x < img.width; ++x) {
            int tx = x;
            if (mirrorW > 0) {
                tx = (x / mirrorW + 1) * mirrorW - (x % mirrorW) - 1;
                if (tx >= img.width) continue;
            }
            const std::size_t i = static_cast<std::size_t>(y) * img.width + x;
            u32 v;
            if (dd8) {
                v = img.hasIndices ? indexOfTable[img.indices[i]] : nearest(img.argb[i] & 0xFFFFFF);
            } else if (dd16) {
                v = keyed16(img.argb[i] & 0xFFFFFF);
            } else if (lpDTCon) {
                v = img.argb[i];
                if (loadKey && v == loadKey) v = 0;
                // A 16-bit texture has one bit of alpha: a pixel more than half covered shows.
                else if (g_Grid.on) v = GridCut((v >> 31 ? 0xFF000000u : 0u) | (v & 0xFFFFFF));
            } else {
                v = img.argb[i] | 0xFF000000;
            }
            dst[tx] = v;
        }
    }
    return store;
}

// A Direct3D texture's pixels as they would have been made at load: the file is read again on
// first use, keyed by the transparent colour of the load. A file that no longer reads as it did
// leaves the picture blank, with its report line.
std::shared_ptr<PixelStore> DeferredTexture(const cImage& img, const char* file, i32 mirrorW, i32 mirrorH) {
    std::shared_ptr<PixelStore> store(new PixelStore, [](PixelStore* p) {
        TakeDeferredDecode(p);
        delete p;
    });
    store->width = img.width;
    store->height = img.height;
    std::lock_guard lock(g_deferredMutex);
    g_deferred[store.get()] = [path = std::string(file), mirrorW, mirrorH, key = TextureLoadKey(true)](PixelStore& s) {
        cImage again;
        std::string error;
        // A texture takes the colours alone; only the 8-bit DirectDraw personality reads indices.
        const bool coloursOnly = lpDTCon != nullptr;
        if (!(coloursOnly ? LoadImageColours(path, &again, &error) : LoadImageFile(path, &again, &error)) ||
            again.width != s.width || again.height != s.height) {
            WriteReport("LoadImage Err %s (%s)", path.c_str(), error.empty() ? "changed since loading" : error.c_str());
            return;
        }
        if (mirrorW == 0 && mirrorH == 0 && lpDTCon) {
            // Nothing moves: the decoded pixels become the texture's where they are, with no
            // second picture-sized buffer beside them.
            if (g_Grid.on) {
                for (u32& v : again.argb) {
                    if (key && v == key) v = 0;
                    // A 16-bit texture has one bit of alpha: a pixel more than half covered shows.
                    else v = GridCut((v >> 31 ? 0xFF000000u : 0u) | (v & 0xFFFFFF));
                }
            } else if (key) {
                // A mask, not a branch, so that the pass is a vector loop: it runs over every
                // picture a scene first shows.
                for (u32& v : again.argb) v &= 0u - static_cast<u32>(v != key);
            }
            s.px = std::move(again.argb);
            return;
        }
        s.px = std::move(PixelsFromImageKeyed(again, mirrorW, mirrorH, key)->px);
    };
    return store;
}
} // namespace

std::shared_ptr<PixelStore> MakePixelStore(int width, int height, u32 fill) {
    auto s = std::make_shared<PixelStore>();
    s->width = width > 0 ? width : 0;
    s->height = height > 0 ? height : 0;
    s->px.assign(static_cast<std::size_t>(s->width) * static_cast<std::size_t>(s->height), fill);
    return s;
}

PixelStore* PixelsInUse(PixelStore* s) {
    if (!s || !s->px.empty() || s->width <= 0 || s->height <= 0) return s;
    if (auto decode = TakeDeferredDecode(s)) decode(*s);
    if (s->px.empty()) s->px.assign(static_cast<std::size_t>(s->width) * static_cast<std::size_t>(s->height), 0);
    return s;
}

PixelStore* SurfacePixels(const DDSURFACEDATA* sd) {
    if (!sd) return nullptr;
    if (sd->lpDT && sd->lpDT->lpSurface) return PixelsInUse(sd->lpDT->lpSurface.get());
    if (sd->holder && sd->holder->lpSurface) return PixelsInUse(sd->holder->lpSurface.get());
    return nullptr;
}

bool SurfaceHasColorKey(const DDSURFACEDATA* sd) {
    if (!sd) return false;
    if (sd->lpDT) return sd->lpDT->bColorKey != 0;
    if (sd->holder) return sd->holder->bColorKey != 0;
    return false;
}

void DDTestSetTextureCaps(bool pow2, bool squareOnly) {
    g_bCapsPow2 = pow2;
    g_bCapsSquare = squareOnly;
}

void D3DTextureSize(i32* width, i32* height) {
    auto pow2 = [](i32 v) {
        if (v <= 0 || (v & (v - 1)) == 0) return v;
        i32 top = 1;
        while ((top << 1) <= v && top < (1 << 29)) top <<= 1;
        return top << 1;
    };
    if (g_bCapsPow2) {
        *width = pow2(*width);
        *height = pow2(*height);
    }
    if (g_bCapsSquare) *width = *height = std::max(*width, *height);
}

bool DDCheckTextureSize(i32 width, i32 height) {
    bool ok = true;
    if (width > kMaxTextureSize) {
        WriteReport("このビデオカードでは横幅%dを超える画像はサポートされていません！", kMaxTextureSize);
        ok = false;
    }
    if (height > kMaxTextureSize) {
        WriteReport("このビデオカードでは縦幅%dを超える画像はサポートされていません！", kMaxTextureSize);
        ok = false;
    }
    return ok;
}

void DDPrepareSD(DDSURFACEDATA* sd) {
    if (!sd) return;
    if (lpDTCon) {
        if (!sd->lpDT) sd->lpDT = std::make_unique<DTDATA>();
    } else if (!sd->holder) {
        sd->holder = std::make_unique<DDSURFACEHOLDER>();
    }
}

void DDResolveSD(DDSURFACEDATA** sd) {
    if (!lpDTCon || !sd || !*sd) return;
    // A slot that holds pixels of its own (its mirrored copy) draws from them.
    if ((*sd)->alias && !SurfacePixels(*sd)) *sd = (*sd)->alias;
}

bool DDCreateSurface(DDSURFACEDATA* sd, i32 width, i32 height, u32 colorKey, u32 memoryType, u32 d3dMemoryType,
                     u32 noOwnTexture, u32 recreate) {
    if (!sd) return false;
    if (width <= 0 || height <= 0 || width > kMaxTextureSize || height > kMaxTextureSize) {
        WriteReport("CreateSurface Err %dx%d", width, height);
        return false;
    }
    DDPrepareSD(sd);
    if (!lpDTCon) {
        sd->holder->lpSurface = MakePixelStore(width, height, 0);
        sd->holder->bColorKey = colorKey == 1;
        sd->width = sd->texWidth = width;
        sd->height = sd->texHeight = height;
        sd->memoryType = memoryType;
        DDFillRect(sd, 0, 0, width, height, 0);
        return true;
    }
    DTDATA* dt = sd->lpDT.get();
    if (!recreate) {
        SetText(sd->name, "OffScreen");
        SetText(sd->source, "E");
        dt->bColorKey = colorKey == 1;
        if (!noOwnTexture) dt->id = lpDTCon->nNextSurfaceId++;
    }
    sd->memoryType = memoryType;
    if (noOwnTexture) {
        sd->width = sd->texWidth = width;
        sd->height = sd->texHeight = height;
        return true;
    }
    i32 tw = width, th = height;
    D3DTextureSize(&tw, &th);
    if (!DDCheckTextureSize(tw, th)) WriteReport("上記の理由でテクスチャの描画が失敗する可能性があります。(空)");
    if (d3dMemoryType == DTMEMORYTYPE_VIDEO_RT || d3dMemoryType == DTMEMORYTYPE_VIDEO_NORT) {
        dt->bRenderTarget = 1;
        if (d3dMemoryType == DTMEMORYTYPE_VIDEO_NORT) dt->bSystemTexture = 0;
    } else {
        dt->bRenderTarget = 0;
        dt->bSystemTexture = 1;
    }
    // A new render target starts transparent, as a DirectDraw surface cleared to colour 0 does.
    // A blank one keeps only its size until first used (many work surfaces wait for a scene
    // that needs them, some megabytes each).
    const u32 fill = dt->bRenderTarget ? lpDTCon->dwTexClearColor : 0;
    if (fill == 0) {
        dt->lpSurface = std::make_shared<PixelStore>();
        dt->lpSurface->width = width;
        dt->lpSurface->height = height;
    } else {
        dt->lpSurface = MakePixelStore(width, height, fill);
    }
    sd->width = width;
    sd->height = height;
    sd->texWidth = tw;
    sd->texHeight = th;
    return true;
}

i32 DDCreateSurfaceFromFile(DDSURFACEDATA* sd, const char* file, u32 colorKey, i32 bpp, u32 memoryType,
                            u32 d3dMemoryType, u32 noOwnTexture, u32 buildIndexMap, i32 mirrorW, i32 mirrorH,
                            u32 recreate) {
    if (!sd || !file) return 8;
    cImage img;
    std::string error;
    // A Direct3D picture without an index map is checked now, with the verdict and the message
    // a decode would give, and decoded on its first use.
    const bool later = lpDTCon && !(buildIndexMap && bpp != 8);
    if (!(later ? CheckImageFile(file, &img, &error) : LoadImageFile(file, &img, &error))) {
        if (file[0]) WriteReport("LoadImage Err %s (%s)", file, error.c_str());
        return 8;
    }
    if (mirrorW < 0 || mirrorH < 0) mirrorW = mirrorH = 0;
    DDPrepareSD(sd);
    if (!lpDTCon) {
        if (!DDCreateSurface(sd, img.width, img.height, colorKey, memoryType)) return 4;
        sd->holder->lpSurface = PixelsFromImage(img, mirrorW, mirrorH, false);
        sd->mirrorW = mirrorW;
        sd->mirrorH = mirrorH;
        SetText(sd->source, file);
        sd->memoryType = memoryType;
        sd->holder->indexMap.clear();
        if (buildIndexMap && bpp != 8) DDBuildIndexMap(&sd->holder->indexMap, sd);
        return 0;
    }
    DTDATA* dt = sd->lpDT.get();
    if (!recreate) {
        SetText(sd->name, "OffScreenFromFile");
        SetText(sd->source, file);
        dt->bColorKey = colorKey == 1;
        if (!noOwnTexture) dt->id = lpDTCon->nNextSurfaceId++;
    }
    if (d3dMemoryType == DTMEMORYTYPE_VIDEO_NORT) {
        DebugLog("DDCreateSurfaceFromFile Err DTMEMORYTYPE_VIDEO_NORTの指定は未対応です。DTMEMORYTYPE_VIDEO_RTでテクスチャを作成します。");
        d3dMemoryType = DTMEMORYTYPE_VIDEO_RT;
    }
    i32 tw = img.width, th = img.height;
    if (!noOwnTexture) {
        D3DTextureSize(&tw, &th);
        if (!DDCheckTextureSize(tw, th))
            WriteReport("上記の理由でテクスチャの描画が失敗する可能性があります。(%s)", file);
    }
    // File pictures are never render targets: drawing into one takes the CPU path.
    dt->bRenderTarget = 0;
    dt->bSystemTexture = d3dMemoryType == DTMEMORYTYPE_SYSTEM;
    const bool mirrored = (mirrorW != 0 && mirrorH == 0) || (noOwnTexture && (mirrorW || mirrorH));
    if (noOwnTexture && !mirrored && sd->alias && sd->alias->lpDT && sd->alias->lpDT->lpSurface) {
        // Shares the slot's picture; the pixels live as long as either record holds them.
        dt->lpSurface = sd->alias->lpDT ? sd->alias->lpDT->lpSurface : nullptr;
    } else {
        // Slots that show a mirrored picture hold a mirrored copy of their own, as in
        // DirectDraw, so that every source rectangle reads the picture the same way.
        // Most pictures of a game wait for a scene that shows them: their pixels are made on
        // first use. An index map needs them now.
        const i32 mw = mirrored ? mirrorW : 0, mh = mirrored ? mirrorH : 0;
        if (buildIndexMap && bpp != 8) dt->lpSurface = PixelsFromImage(img, mw, mh, true);
        else dt->lpSurface = DeferredTexture(img, file, mw, mh);
    }
    sd->width = img.width;
    sd->height = img.height;
    sd->texWidth = tw;
    sd->texHeight = th;
    sd->mirrorW = mirrorW;
    sd->mirrorH = mirrorH;
    sd->memoryType = memoryType;
    dt->indexMap.clear();
    if (buildIndexMap && bpp != 8) DDBuildIndexMap(&dt->indexMap, sd);
    return 0;
}

bool DDCheckResult(i32 code) {
    switch (code) {
    case 4: DebugLog("CREATESURFACE_ERR"); return false;
    case 8: DebugLog("LOADIMAGE_ERR"); return false;
    case 9: DebugLog("SETCOLORKEY_ERR"); return false;
    default: return true;
    }
}

bool CopyBitmap(DDSURFACEDATA* sd, const char* file, i32 bpp, u32 buildIndexMap, i32 mirrorW, i32 mirrorH) {
    if (lpDTCon || !file || !file[0]) return true;
    if (!sd || !sd->holder || !sd->holder->lpSurface) return false;
    cImage img;
    std::string error;
    if (!LoadImageFile(file, &img, &error)) return false;
    PixelStore* s = sd->holder->lpSurface.get();
    if (img.width != s->width || img.height != s->height) {
        // The file changed size since the surface was made: keep the old pixels rather than
        // put a picture of another size into this store.
        DebugLogF("CopyBitmap Err %s Surface(%d,%d) Bmp(%d,%d)", file, s->width, s->height, img.width, img.height);
        return false;
    }
    if (mirrorW < 0 || mirrorH < 0) mirrorW = mirrorH = 0;
    sd->holder->lpSurface = PixelsFromImage(img, mirrorW, mirrorH, false);
    sd->width = img.width;
    sd->height = img.height;
    sd->mirrorW = mirrorW;
    sd->mirrorH = mirrorH;
    SetText(sd->source, file);
    sd->holder->indexMap.clear();
    if (buildIndexMap && bpp != 8) DDBuildIndexMap(&sd->holder->indexMap, sd);
    return true;
}

bool DDReloadBitmap(DDSURFACEDATA* sd, i32 bpp) {
    if (lpDTCon) return true;
    if (!sd || !sd->holder) return false;
    const std::string file = sd->source;
    return CopyBitmap(sd, file.c_str(), bpp, !sd->holder->indexMap.empty(), sd->mirrorW, sd->mirrorH);
}

bool DDBitmapFits(u32* result, const char* file, i32 width, i32 height) {
    if (lpDTCon) return true;
    cImage img;
    std::string error;
    if (!file || !LoadImageFile(file, &img, &error)) {
        if (result) *result = 0;
        return false;
    }
    if (result) *result = (img.width <= width && img.height <= height) ? 0 : 1;
    return true;
}

bool D3DCreateMirror(DDSURFACEDATA* dst, DDSURFACEDATA* src, i32 cellW, i32 cellH) {
    if (!lpDTCon || cellW <= 0 || cellH != 0) return true;
    if (!dst || !src || !SurfacePixels(dst) || !SurfacePixels(src)) return false;
    if (dst->lpDT && dst->lpDT->bRenderTarget) D3DClearSurface(dst, lpDTCon->dwTexClearColor);
    for (i32 k = 0; k < src->width / cellW; ++k)
        D3DBltQuad(dst, k * cellW, 0, cellW, src->height, src, (k + 1) * cellW, 0, -cellW, src->height, 0);
    return true;
}

bool DDBuildIndexMap(std::vector<u8>* indexMap, DDSURFACEDATA* sd) {
    const PixelStore* s = SurfacePixels(sd);
    if (!indexMap || !s) {
        OutOfMemory();
        return false;
    }
    // Unmatched pixels get index 0: a defined value instead of whatever memory held.
    indexMap->assign(s->px.size(), 0);
    const bool key16 = lpDTCon && g_nBpp == 16 && SurfaceHasColorKey(sd);
    // At 16 bits an entry matches the pixels it would be drawn as: comparing the reduced pixel
    // with the entry's full colour would leave almost every pixel without its index.
    std::array<u32, 256> entry;
    for (int k = 0; k < 256; ++k) {
        const PALETTEENTRY& e = g_palCur[k];
        const u32 rgb = u32(e.peRed) << 16 | u32(e.peGreen) << 8 | e.peBlue;
        entry[k] = (!g_Grid.on ? rgb : lpDTCon ? GridCut(rgb) : GridUnpack(DDPalToRGB16(e))) & 0xFFFFFF;
    }
    cColourCache exact([&entry](u32 rgb) -> u8 {
        for (int k = 0; k < 256; ++k)
            if (entry[k] == rgb) return static_cast<u8>(k);
        return 0;
    });
    for (std::size_t i = 0; i < s->px.size(); ++i) {
        const u32 p = s->px[i];
        if (key16 && p == 0) continue;
        (*indexMap)[i] = exact(p & 0xFFFFFF);
    }
    return true;
}

bool DDLoadPictures(DDSURFACEDATA* pictures, const i32* slots, i32 count) {
    const DDPICTUREDEF* defs = g_DDGraphics.pictureDefs;
    if (!pictures || !slots || count <= 0) return true;
    for (i32 n = 0; n < count; ++n) {
        const i32 k = slots[n];
        if (!defs || k < 0 || k >= g_DDGraphics.pictureCount) {
            WriteReport("DDLoadPictures Err slot %d", k);
            return false;
        }
        const DDPICTUREDEF& d = defs[k];
        DDSURFACEDATA* sd = &pictures[k];
        DDReleaseSurface(sd);
        const char* file = d.file.c_str();
        if (std::strcmp(file, "E") != 0) {
            const i32 code = DDCreateSurfaceFromFile(sd, file, d.colorKey, g_nBpp, d.memoryType, d.d3dMemoryType,
                                                     d.noOwnTexture, d.buildIndexMap, d.mirrorW, d.mirrorH, 0);
            if (!DDCheckResult(code) && !d.optional) {
                ErrorBox("%s の読み込みに失敗！", file);
                return false;
            }
        } else if (!DDCreateSurface(sd, d.width, d.height, d.colorKey, d.memoryType, d.d3dMemoryType, d.noOwnTexture, 0)) {
            if (!d.optional) {
                OutOfMemory();
                return false;
            }
        }
    }
    return true;
}

namespace {
DDPICTUREDEF MakeDef(u32 colorKey, u32 memoryType, u32 d3dMemoryType, u32 noOwnTexture) {
    DDPICTUREDEF d;
    d.colorKey = colorKey;
    d.memoryType = memoryType;
    d.d3dMemoryType = d3dMemoryType;
    d.noOwnTexture = noOwnTexture;
    return d;
}
} // namespace

// The adders report the creation's own result: a caller must know when its surface is missing.
bool DDAddSurface(cVector<DDSURFACEDATA>& v, cVector<DDPICTUREDEF>& defs, i32 width, i32 height, u32 colorKey,
                  u32 memoryType, u32 d3dMemoryType, u32 noOwnTexture) {
    v.emplace_back();
    defs.push_back(MakeDef(colorKey, memoryType, d3dMemoryType, noOwnTexture));
    return DDCreateSurface(&v.back(), width, height, colorKey, memoryType, d3dMemoryType, noOwnTexture, 0);
}

bool DDListAddSurface(cList<DDSURFACEDATA>& l, cList<DDPICTUREDEF>& defs, i32 width, i32 height, u32 colorKey,
                      u32 memoryType, u32 d3dMemoryType, u32 noOwnTexture) {
    l.emplace_back();
    defs.push_back(MakeDef(colorKey, memoryType, d3dMemoryType, noOwnTexture));
    return DDCreateSurface(&l.back(), width, height, colorKey, memoryType, d3dMemoryType, noOwnTexture, 0);
}

bool DDListInsertSurface(cList<DDSURFACEDATA>& l, cList<DDPICTUREDEF>& defs, i32 index, i32 width, i32 height,
                         u32 colorKey, u32 memoryType, u32 d3dMemoryType, u32 noOwnTexture) {
    if (index < 0) index = 0;
    auto it = ListIterAt(l, index);
    auto dit = ListIterAt(defs, index);
    auto made = l.emplace(it);
    defs.insert(dit, MakeDef(colorKey, memoryType, d3dMemoryType, noOwnTexture));
    return DDCreateSurface(&*made, width, height, colorKey, memoryType, d3dMemoryType, noOwnTexture, 0);
}

bool DDListRemoveSurface(cList<DDSURFACEDATA>& l, cList<DDPICTUREDEF>& defs, DDSURFACEDATA* sd) {
    int n = 0;
    for (auto it = l.begin(); it != l.end(); ++it, ++n) {
        if (&*it != sd) continue;
        DDReleaseSurface(&*it);
        l.erase(it);
        ListEraseAt(defs, n);
        return true;
    }
    return false;
}

void DDReleaseSurface(DDSURFACEDATA* sd) {
    if (!sd) return;
    // The pixels are shared: a slot that shares another's picture only lets go of its hold.
    sd->lpDT.reset();
    sd->holder.reset();
}

void DDReleaseSurfaceVector(cVector<DDSURFACEDATA>& v) {
    for (auto& sd : v) DDReleaseSurface(&sd);
}
void DDReleaseSurfaceArray(cList<DDSURFACEDATA>& l) {
    for (auto& sd : l) DDReleaseSurface(&sd);
}
void DDReleaseSurfaceArray(DDSURFACEDATA* records, i32 count) {
    for (i32 i = 0; records && i < count; ++i) DDReleaseSurface(&records[i]);
}
