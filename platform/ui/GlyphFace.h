#pragma once
// One font face at one cell height, rendered with FreeType: glyph bitmaps (monochrome or
// 8-bit coverage) with their placement, cached per code point.
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/system/Types.h"

struct GlyphBitmap {
    int width = 0, height = 0;
    int left = 0;  // from the pen position
    int top = 0;   // from the cell's top edge
    int advance = 0;
    std::vector<u8> coverage; // 0..255, width x height
};

struct GlyphFace {
    // Opens the font file for a Windows cell height and, when averageWidth is above 0, a
    // Windows average character width (the face is stretched or squeezed so that its average
    // width becomes that many pixels; 0 keeps the face's own proportions). Null (with a report
    // line) when the file cannot be used.
    static std::shared_ptr<GlyphFace> Open(const std::string& path, int cellHeight, int averageWidth = 0);
    ~GlyphFace();
    // The glyph of a code point; mono gives coverage 0 or 255 only. Null when the face has
    // no such glyph.
    const GlyphBitmap* Glyph(u32 codepoint, bool mono);
    int Advance(u32 codepoint);

    void* library = nullptr;
    void* face = nullptr;
    // The font file's bytes, mapped once for every face opened on the same file (the game's
    // three fonts are usually one face): its pages are in memory once, not once a face.
    std::shared_ptr<const void> fileBytes;
    int cellHeight = 0;
    int ascent = 0;
    std::mutex mutex;
    std::unordered_map<u32, std::unique_ptr<GlyphBitmap>> cacheMono, cacheGrey;
};
