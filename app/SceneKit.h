#pragma once
// Drawing and input helpers shared by the front-end scenes.
#include <string>

#include "app/FrontEndScenes.h"
#include "platform/system/Input.h"

namespace scenekit {

constexpr u32 kBack = 0xFF000000u;     // palette colour 16
constexpr u32 kFrame = 0xFF101828u;
constexpr u32 kBorder = 0xFFC8C8E0u;   // palette colour 240
constexpr u32 kText = 0xFFE0E0E0u;
constexpr u32 kCursor = 0xFFF0D040u;

cInput& Player1();
void CursorSound(u32 keys, u32 which);
// Accessory and Window (and with map set the three world-map pictures). Without the picture
// service the scenes draw plain shapes; a picture that cannot be read asks the program to close.
bool LoadPictures(SCENEPICTURES& pic, bool map);
void RequestSceneBgm(int which);
// Text with the 16- or 32-dot font (a bar as wide as the text without the text service).
void Text(int x, int y, const std::string& sjis, int dots);
void Box(int x, int y, int w, int h);
// A 16x16 or 32x32 cell of Accessory, or a plain square without it.
void Accessory(const SCENEPICTURES& pic, int x, int y, int size, int sx, int sy);
int Chars(const std::string& sjis);
std::string Number(long long v);

} // namespace scenekit

struct RANKLAYOUT;
namespace scenekit {
// A ranking panel or result table laid out by the ranking code.
void DrawLayout(const RANKLAYOUT& layout, const SCENEPICTURES& pic);
// The stage-start lives rule of a play kind (0 story from the map, 1 challenge).
} // namespace scenekit
