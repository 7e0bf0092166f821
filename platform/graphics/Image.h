#pragma once
// Picture files: BMP (1 to 32 bits, RLE4/RLE8, bitfields, bottom-up or top-down), PNG and JPEG,
// told apart by their content. Everything from a file is checked before it is used: a bad
// header, a size past the limits, a colour table of more than 256 entries or an RLE stream that
// runs past the picture fails the decode with a message instead of reading or writing outside.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/graphics/PixelMemory.h"
#include "platform/system/Types.h"

struct cImage {
    int width = 0, height = 0;
    int bitsPerPixel = 0;             // of the file: 1, 4, 8, 16, 24 or 32 (PNG/JPEG: 24 or 32)
    PixelVector argb;                 // top-down, 0xAARRGGBB
    bool hasIndices = false;          // an 8-bit (or less) paletted BMP keeps its indices
    std::vector<u8> indices;
    std::array<u32, 256> colorTable{}; // 0x00RRGGBB
    int colorCount = 0;
    bool hasAlpha = false;            // PNG with transparency
};

// Largest side and pixel count a picture may have.
constexpr int kMaxImageSide = 16384;
constexpr std::size_t kMaxImagePixels = std::size_t(1) << 26;

bool DecodeImage(const u8* data, std::size_t size, cImage* out, std::string* error);
bool DecodeBmp(const u8* data, std::size_t size, cImage* out, std::string* error);
bool DecodePng(const u8* data, std::size_t size, cImage* out, std::string* error);
bool DecodeJpeg(const u8* data, std::size_t size, cImage* out, std::string* error);
// Reads a file by its game path (Shift-JIS, '\' separators) and decodes it.
bool LoadImageFile(const std::string& sjisPath, cImage* out, std::string* error);
// LoadImageFile for a caller that takes the colours alone: a paletted BMP's indices are not
// kept (hasIndices false, indices empty unless the file is RLE). Same verdict and message.
bool LoadImageColours(const std::string& sjisPath, cImage* out, std::string* error);
// Checks a file as LoadImageFile would and gives its size and depth, with the same verdict and
// message; the pixels (argb, indices) are left empty where the check does not need them (an
// uncompressed BMP), so that a picture not shown yet costs no decode.
bool CheckImageFile(const std::string& sjisPath, cImage* out, std::string* error);

// Encoders for tests and tools.
std::vector<u8> EncodeBmp(const cImage& image, int bitsPerPixel, bool topDown = false);
std::vector<u8> EncodeJpeg(const cImage& image, int quality); // empty without the JPEG library
