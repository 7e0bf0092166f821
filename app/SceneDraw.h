#pragma once
// What every scene draws with: the picture slots and fonts of the graphics layer, the scene
// work surfaces, texts, the fades and the colour cycling. Scenes draw through the DD*/D3D*
// calls into the back buffer (g_sdBackBuffer) or a work surface; the frame is presented by
// the graphics layer in every drawing mode.
#include <array>
#include <initializer_list>
#include <string>

#include "platform/graphics/Graphics.h"
#include "platform/system/Containers.h"
#include "platform/ui/Font.h"

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;

// The picture slots the front end uses (the rows of the picture table).
constexpr int kPictureSlots = 71;
enum ePictureSlot {
    PIC_WINDOW = 45,
    PIC_TITLE = 47,
    PIC_GAMEMODE = 48,
    PIC_ACCESSORY = 49,
    PIC_SYMBOL = 50,
    PIC_MAPCHIP = 52,
    PIC_MAPEVENT = 53,
    PIC_WORLDBACK = 54,
    PIC_EFFECTWORK = 67, // the 640x480 work surface the world map draws its view into
};

// The picture slots handed to the graphics layer at start-up, and the three fonts (9, 16 and
// 30 dots).
extern std::array<DDSURFACEDATA, kPictureSlots> g_aPicture;
extern Font g_aFont[3];
// The scenes' own work surfaces (menus, lists, the ranking panel), released when a scene
// makes new ones.
extern cVector<DDSURFACEDATA> g_vSceneSurface;
extern cVector<DDPICTUREDEF> g_vSceneSurfaceDef;

// A picture slot, or null while the graphics layer is not up.
DDSURFACEDATA* ScenePicture(int slot);
// Loads these slots from the picture table; a failure asks the program to close (false).
// Without the graphics layer there is nothing to load into: true.
bool LoadScenePictures(std::initializer_list<i32> slots);
void ReleaseSceneSurfaces();
// Adds a work surface of w x h to g_vSceneSurface: null (and the program asked to close) when
// it cannot be made, or while the graphics layer is not up.
DDSURFACEDATA* AddSceneSurface(int w, int h, u32 colorKey, u32 memoryType);
// Text (Shift-JIS) in the 16-dot font, or the 32-dot one for dots >= 32, onto a surface.
void SceneText(DDSURFACEDATA* dst, int x, int y, const std::string& sjis, int dots);
// One frame of the scene fades: toward black (fadeIn false) or back from it, at the game's
// fade speed; true when it has ended.
bool SceneFade(bool fadeIn);

// The cycling colour table: row k (1..9) is a vertex colour and a colour operation that a
// character with colour variant k is drawn with under Direct3D; row 0 draws unchanged.
struct CYCLECOLOR {
    u32 dwColor = 0xFFFFFFFF;
    u32 dwColorOp = D3DTOP_MODULATE;
};
extern CYCLECOLOR g_CycleColor[10];
// The system data's step of the table (nCycleColor) and its switch of the palette cycling
// (bCompat289), set at start-up.
void SetCycleColorSettings(u32 step, bool palette8);
// Once per drawn frame: steps the table (Direct3D) or, in the 8-bit palette mode with the
// switch on, turns the eight 4-entry groups of palette entries 208..239 every 6 frames.
void UpdateCycleColors();
// Test hook: the table and the frame counter as at start.
void ResetCycleColors();
