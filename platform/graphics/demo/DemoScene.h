#pragma once
// A frame that uses every kind of drawing call of the graphics layer and the fonts, in either
// personality: the demo program shows it, the golden tests compare it, the Xvfb smoke test
// screenshots it. Its pictures are made here and written as files, so loading is exercised.
#include <string>
#include <vector>

#include "platform/system/Types.h"

struct DemoConfig {
    bool direct3D = true;
    int bpp = 32;
    std::string pictureDir; // where the demo's picture files are written and read
};

// Writes the demo's picture files (BMP 8/24 bit, PNG with alpha, JPEG) into the folder.
bool WriteDemoPictures(const std::string& dir);
// Starts the graphics layer, loads the pictures and fonts and draws one frame into the back
// buffer. The layer stays started; call DemoEnd afterwards.
bool DemoBegin(const DemoConfig& config);
void DemoDrawFrame();
void DemoEnd();

// Where each part of the frame lies, for probe checks.
struct DemoLayout {
    static constexpr int kKeyedX = 8, kKeyedY = 8;         // four keyed chips, 40 apart
    static constexpr int kOpaqueX = 168, kOpaqueY = 8;     // opaque copy of a keyed chip
    static constexpr int kStretchX = 208, kStretchY = 8;   // 2x stretch (64x64)
    static constexpr int kMirrorX = 280, kMirrorY = 8;     // sw = -32
    static constexpr int kMirrorCellX = 320, kMirrorCellY = 8; // slot loaded with mirror cells
    static constexpr int kAlphaX = 360, kAlphaY = 8;       // alpha sprite 64x32
    static constexpr int kTintX = 432, kTintY = 8;         // modulated blit
    static constexpr int kFillX = 8, kFillY = 80;          // fills
    static constexpr int kTextY = 300;                     // Japanese text, three sizes
};
