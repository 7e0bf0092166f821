#pragma once
// Shared set-up of the graphics tests: a started drawing mode, temporary picture files and
// golden-frame comparison (a failing comparison writes the actual frame beside the build).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Image.h"

struct GfxMode {
    bool direct3D;
    int bpp;
};
std::string ModeName(const GfxMode& m);
inline void PrintTo(const GfxMode& m, std::ostream* os) { *os << ModeName(m); }
// The two 32-bit personalities that most drawing tests run in.
inline constexpr GfxMode kD3D{true, 32};
inline constexpr GfxMode kDD{false, 32};

// A colour as a 16-bit personality keeps it: each channel c reduced to v = c * max / 255 and
// held as v * 255 / max (5-5-5 in Direct3D, 5-6-5 in DirectDraw). Other modes keep it as is.
u32 Reduced(u32 rgb, const GfxMode& m);
// The number of pixels whose colour a 16-bit personality could not hold (0 in other modes).
int OffGrid(const std::vector<u32>& argb, const GfxMode& m);

// Starts a 640x480 windowed mode with vsync on a 60 Hz display, palette entry 0 magenta
// (the key colour) and a fixed palette (at 16 bits in DirectDraw as the channel values a loaded
// palette holds); releases everything at the end of the scope.
class ScopedMode {
public:
    explicit ScopedMode(GfxMode mode, DDSURFACEDATA* pictures = nullptr, const DDPICTUREDEF* defs = nullptr, int count = 0);
    ~ScopedMode();
    bool ok = false;
};

// A folder of its own under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::string Dir() const { return m_dir.string(); }
    bool Write(const std::string& name, const std::vector<u8>& data) const;

private:
    std::filesystem::path m_dir;
};

// A picture of w x h whose pixel (x, y) is fn(x, y) (ARGB).
template <class Fn>
cImage MakeImage(int w, int h, Fn fn) {
    cImage img;
    img.width = w;
    img.height = h;
    img.argb.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.argb[static_cast<std::size_t>(y) * w + x] = fn(x, y);
    return img;
}

// Makes a record holding these pixels as the running mode stores them (through a BMP file).
bool MakePicture(DDSURFACEDATA* sd, const TempDir& dir, const std::string& name, const cImage& img, u32 colorKey,
                 u32 d3dMemoryType = 0);

u32 PixelAt(DDSURFACEDATA* sd, int x, int y);
// Random pixels in a source and a target, about one source pixel in six of the running mode's
// key colour; with texelAlpha (Direct3D pictures) the source texels opaque or transparent, as a
// loaded picture's are.
void RandomisePair(PixelStore& src, PixelStore& dst, u32 seed, bool texelAlpha);
// What a player would see of a surface: ARGB, through the display palette at 8 bits.
std::vector<u32> VisiblePixels(DDSURFACEDATA* sd);
void SetTestPalette();

// Compares with tests/data/graphics/<name>.png; TOBRELK_UPDATE_GOLDENS=1 writes it instead.
::testing::AssertionResult MatchesGolden(const std::string& name, const std::vector<u32>& argb, int w, int h);
