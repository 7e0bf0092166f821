#pragma once
// Drawing and input helpers shared by the front-end scenes.
#include <string>

#include "app/FrontEndScenes.h"
#include "app/SceneDraw.h"
#include "app/SceneInput.h"
#include "platform/system/Input.h"

namespace scenekit {

constexpr u32 kBack = 16;    // palette colour of the plain background
constexpr u32 kBorder = 240; // palette colour of window frames

void RequestSceneBgm(int which);
// Text with the 16- or 32-dot font onto the back buffer.
void Text(int x, int y, const std::string& sjis, int dots);
// A window frame of the 16-dot font (its frame picture) around (x, y, w, h).
void Box(int x, int y, int w, int h);
// A 16x16 or 32x32 cell of Accessory at (x, y) of the back buffer, with its colour key.
void Accessory(int x, int y, int size, int sx, int sy);
int Chars(const std::string& sjis);
std::string Number(long long v);

// A question with two answers, the system data's messages first and first + 1, in a box centred
// on cx with its top at y. Ask moves the cursor over the answers (with the cursor sound) and
// tells what the player did this frame.
ANSWER AskQuestion(cInput& in, int cx, int y, int first);
// The box and its texts: count messages from first, with room for the cursor when it is shown.
void QuestionBox(int cx, int y, int first, int count, bool cursor);

} // namespace scenekit

struct RANKLAYOUT;
namespace scenekit {
// A ranking panel or result table laid out by the ranking code, onto a surface.
void DrawLayout(DDSURFACEDATA* dst, const RANKLAYOUT& layout);
} // namespace scenekit
