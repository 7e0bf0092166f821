#pragma once
// The fixed tables of a game folder: where every data file lives, the folders made at start-up,
// the picture slots, the font definitions and the font faces. Paths are the game's own form:
// Shift-JIS bytes with '\' between components, relative to the game folder.
#include <array>
#include <string>

#include "platform/graphics/Graphics.h" // DDPICTUREDEF
#include "platform/system/Types.h"
#include "platform/system/WindowMessages.h"
#include "platform/ui/Font.h" // FONTDEF

constexpr int DATAPATH_COUNT = 48;
// Row numbers are the interface: callers index the table by them.
enum eDataPath {
    DP_DATA = 0,
    DP_DEFAULT = 1,
    DP_COMMON_PALETTE = 7,
    DP_WORLDMAP = 13,
    DP_ANIMESET = 15,
    DP_ANIME = 17,
    DP_BMP_CHARAEXC = 19,
    DP_SWORDTYPE = 21,
    DP_EFFECT = 23,
    DP_CHARAEFFECT = 25,
    DP_SCREFFECT = 27,
    DP_PICTURE = 29,
    DP_SOUND = 31,
    DP_BGM = 33,
    DP_SYSTEM = 35,
    DP_CHALLENGE_STAGE = 37,
    DP_RANKING_STORY = 38, // + play kind
    DP_STORY_SAVE = 41,
    DP_CHALLENGE_RESULT = 42,
    DP_OPTION = 43,
    DP_USER_DATA = 44,
    DP_KEYCONFIG = 45,
    DP_BOOT = 46,
    DP_WINDOW = 47,
};
extern const std::array<std::string, DATAPATH_COUNT> g_DataPath;
extern const std::array<std::string, 4> g_FileExt; // "cplt4", "stg4", "plt4", "rkg"
// The folders made at start-up, in order, ended by a null entry.
extern const char* const g_StartFolders[23];

constexpr int SURFACE_COUNT = 71;
constexpr int SURFACE_BACK_FIRST = 55; // 55..62: the stage's background pictures
constexpr int SURFACE_WORLDBACK = 54;
// The picture slots; the graphics layer's words in order: colour key, memory type, Direct3D
// memory type, no own texture (1 exactly on the slots that share another slot's picture),
// index map, optional, mirror cell width and height, width and height ("E" rows).
extern std::array<DDPICTUREDEF, SURFACE_COUNT> g_SurfaceFile;
extern std::array<DDPICTUREDEF, 3> g_WorkSurfaceDef;

// The slot whose picture a slot shares, or -1.
int SurfaceAlias(int slot);
// Writes the alias of every slot (-1 for none) into aliasOfSlot[0..SURFACE_COUNT-1].
void LinkSurfaceAliases(int* aliasOfSlot);

// The three fonts (9, 16 and 30 dots) before start-up puts the system data's face into them.
extern std::array<FONTDEF, 3> g_FontDef;

constexpr int FONTFACE_COUNT = 122;
constexpr int FONTFACE_DEFAULT = 59; // "ＭＳ ゴシック"
extern const std::array<std::string, FONTFACE_COUNT + 1> g_FontFace; // Shift-JIS, "" last
// The face for a stored index; one outside the table gives row 59 and a report line.
const std::string& FontFaceFor(u32 index);
// Puts that face into every font definition.
void ApplyFontFace(u32 index);

// Makes a missing data folder from the default folder: 1 when data exists afterwards.
int CreateDefaultData(HWND owner);
// Makes the start-up folders; existing ones are fine, failures are not reported.
void CreateStartFolders();
