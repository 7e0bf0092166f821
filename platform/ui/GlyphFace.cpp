#include "platform/ui/GlyphFace.h"

#include <algorithm>
#include <map>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include "platform/system/FileOpen.h"
#include "platform/system/Report.h"

namespace {

struct cMappedFontFile {
    void* data = MAP_FAILED;
    std::size_t size = 0;
    ~cMappedFontFile() {
        if (data != MAP_FAILED) munmap(data, size);
    }
};

std::mutex g_fontFilesMutex;
std::map<std::string, std::weak_ptr<cMappedFontFile>> g_fontFiles;

// The file mapped read-only, shared with every face still open on it; null when it cannot be.
std::shared_ptr<cMappedFontFile> MapFontFile(const std::string& path) {
    std::lock_guard lock(g_fontFilesMutex);
    if (auto mapped = g_fontFiles[path].lock()) return mapped;
    int fd = -1;
    struct stat st {};
    if (OpenReadFile(path, fd, st) != FileRead::Ok) return nullptr;
    auto mapped = std::make_shared<cMappedFontFile>();
    if (st.st_size > 0) {
        mapped->size = static_cast<std::size_t>(st.st_size);
        mapped->data = mmap(nullptr, mapped->size, PROT_READ, MAP_PRIVATE, fd, 0);
    }
    ::close(fd);
    if (mapped->data == MAP_FAILED) return nullptr;
    g_fontFiles[path] = mapped;
    return mapped;
}

} // namespace

std::shared_ptr<GlyphFace> GlyphFace::Open(const std::string& path, int cellHeight, int averageWidth) {
    if (cellHeight <= 0 || cellHeight > 1024) return nullptr;
    averageWidth = averageWidth > 0 ? std::min(averageWidth, 1024) : 0;
    auto gf = std::make_shared<GlyphFace>();
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) {
        WriteReport("FreeType を初期化できません！");
        return nullptr;
    }
    gf->library = lib;
    const std::shared_ptr<cMappedFontFile> file = MapFontFile(path);
    if (!file) {
        WriteReport("フォントファイル %s を開けません！", path.c_str());
        return nullptr;
    }
    gf->fileBytes = file;
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(lib, static_cast<const FT_Byte*>(file->data), static_cast<FT_Long>(file->size), 0, &face) != 0) {
        WriteReport("フォントファイル %s を開けません！", path.c_str());
        return nullptr;
    }
    gf->face = face;
    // Windows fills a cell of height h with win ascent + descent; this face has 2203 units
    // of them per 2048-unit em.
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const int winAscent = os2 ? os2->usWinAscent : face->ascender;
    const int winDescent = os2 ? os2->usWinDescent : -face->descender;
    const int units = winAscent + winDescent > 0 ? winAscent + winDescent : face->units_per_EM;
    const int em = (cellHeight * face->units_per_EM + units / 2) / units;
    // Windows measures a width against the face's average character width (half an em in
    // this face): the horizontal em is scaled so that the average comes out at that width.
    int emWidth = 0;
    if (averageWidth > 0) {
        const int avg = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : face->units_per_EM / 2;
        emWidth = std::max((averageWidth * face->units_per_EM + avg / 2) / avg, 1);
    }
    if (FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(emWidth), static_cast<FT_UInt>(em > 0 ? em : 1)) != 0) {
        WriteReport("フォントファイル %s の大きさを設定できません！", path.c_str());
        return nullptr;
    }
    gf->cellHeight = cellHeight;
    gf->ascent = (cellHeight * winAscent + units / 2) / units;
    return gf;
}

GlyphFace::~GlyphFace() {
    if (face) FT_Done_Face(static_cast<FT_Face>(face));
    if (library) FT_Done_FreeType(static_cast<FT_Library>(library));
}

const GlyphBitmap* GlyphFace::Glyph(u32 codepoint, bool mono) {
    std::lock_guard lock(mutex);
    auto& cache = mono ? cacheMono : cacheGrey;
    auto it = cache.find(codepoint);
    if (it != cache.end()) return it->second.get();
    FT_Face f = static_cast<FT_Face>(face);
    const FT_UInt index = FT_Get_Char_Index(f, codepoint);
    std::unique_ptr<GlyphBitmap> g;
    if (index != 0 &&
        FT_Load_Glyph(f, index, mono ? (FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) : FT_LOAD_DEFAULT) == 0 &&
        FT_Render_Glyph(f->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0) {
        const FT_Bitmap& bm = f->glyph->bitmap;
        g = std::make_unique<GlyphBitmap>();
        g->width = static_cast<int>(bm.width);
        g->height = static_cast<int>(bm.rows);
        g->left = f->glyph->bitmap_left;
        g->top = ascent - f->glyph->bitmap_top;
        g->advance = static_cast<int>(f->glyph->advance.x >> 6);
        g->coverage.assign(static_cast<std::size_t>(g->width) * g->height, 0);
        for (int y = 0; y < g->height; ++y) {
            const unsigned char* row = bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch;
            for (int x = 0; x < g->width; ++x) {
                u8 c;
                if (bm.pixel_mode == FT_PIXEL_MODE_MONO) c = ((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0;
                else c = row[x];
                g->coverage[static_cast<std::size_t>(y) * g->width + x] = c;
            }
        }
    }
    const GlyphBitmap* result = g.get();
    cache.emplace(codepoint, std::move(g));
    return result;
}

int GlyphFace::Advance(u32 codepoint) {
    const GlyphBitmap* g = Glyph(codepoint, false);
    return g ? g->advance : 0;
}
