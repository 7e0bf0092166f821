#pragma once
// What every scene reads its player with: the first player's input, the cursor sound, the
// story-slot list's cursor and the step back from a question or a list to the scene's menu.
#include "app/Game.h"
#include "platform/system/Input.h"

// The first player's input (a blank one when there is none).
cInput& Player1();
// The cursor sound for the direction bits that moved (which: 1 horizontal, 2 vertical, 3 both).
void CursorSound(u32 keys, u32 which);

// What the player did with a question or a list this frame: decided on its first entry (or, in
// a list, on the entry under the cursor), on its second, or cancelled.
enum class ANSWER { None, First, Second, Cancel };

// The story-slot list with its cursor at x, rows of 16 from y 160: scrolls with the cursor (top
// is its first visible row) and tells whether the player decided (First) or cancelled.
ANSWER ChooseSlot(cInput& in, i32& top, int x, int rows, int count);
// Leaves a question or a list for the scene's menu (state 1), one cursor level up, with the
// sound effect se.
void BackToMenu(cScene& scene, int se);
