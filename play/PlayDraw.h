#pragma once
// What the drawing of the play screen shares with the objects' own drawing: the picture slots of
// the fixed picture table, cells of the 32-dot sheets and text in the game's fonts.
#include <string>

#include "platform/graphics/Graphics.h"

// Picture slots of the play screen.
enum ePlaySlot : i32 {
    PLAYPIC_BLOCK = 2,
    PLAYPIC_CHARA = 4,     // Character1; the eight character pictures are 4, 6, ..., 18
    PLAYPIC_SHOT = 20,
    PLAYPIC_ITEM = 40,
    PLAYPIC_ITEM_MINI = 42,
    PLAYPIC_MARK = 43,
    PLAYPIC_WINDOW = 45,
    PLAYPIC_STATUS = 46,
    PLAYPIC_ACCESSORY = 49,
    PLAYPIC_SYMBOL = 50,
    PLAYPIC_WORD = 51,
    PLAYPIC_BACK = 55,     // 55..62: the stage's background rows
    PLAYPIC_HUD_A = 63,    // the two generated HUD tile pictures
    PLAYPIC_HUD_B = 64,
};

// A picture slot of the graphics layer, or null when the layer has no picture table (a headless
// play without pictures) or the slot is out of range.
DDSURFACEDATA* PlayPicture(i32 slot);
// True when the slot holds a picture.
bool PlayPictureLoaded(i32 slot);
// Cell n of a sheet of 32-dot cells, 15 to a column: source ((n / 15) x 32, (n mod 15) x 32).
void DrawSheetCell(DDSURFACEDATA* target, DDSURFACEDATA* sheet, i32 n, i32 x, i32 y);
// Text (Shift-JIS) in the game's 16-dot font, or the small font for dots below 16.
void PlayText(DDSURFACEDATA* target, i32 x, i32 y, const std::string& sjis, i32 dots);
// The caption line at the foot of the play screen: the message text of a direct start or of a
// test play from the editor, -1 for none.
constexpr i32 kCaptionY = 456;
i32 PlayCaption();

// The picture of a character's frame (its picture number and animation frame) for the character
// drawing of the effects (a CharaPictureFn).
struct PictureDesc;
class cChara;
bool CharaPicture(cChara& c, i32 pictureNo, i32 frame, PictureDesc& desc);

// The player through its effect and, over it, the entries of its rectangle display as the stage
// settings show them (0 hidden, 1 tinted and framed, 2 framed only) in their colours (red, green,
// blue, yellow, red-purple, blue-purple, black, rainbow), at the player's position.
class cPlayer;
void DrawPlayerRects(cPlayer& p, DDSURFACEDATA* target, i32 freeze);
