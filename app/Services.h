#pragma once
// The seams through which the front end reaches the subsystems built beside it (stage loading,
// replays, sound, music, the system data's menus). Start-up connects each one that exists; an
// empty one behaves as described at its member.
#include <functional>
#include <string>
#include <vector>

#include "platform/system/Types.h"

struct TITLEENTRY {
    u32 bEnabled = 1;
    std::string strText; // Shift-JIS
};

struct STORYSLOT {
    u32 bUsed = 0;
};

struct APPSERVICES {
    // Loads a stage for play (the flag goes to the loader unchanged): 1 loaded, 0 not (the loader
    // has reported why). Empty: a stage loads when its file can be read.
    std::function<int(const std::string& path, int flag)> loadStage;
    // Replays: load the chosen file (1 loaded), save the current (0) or previous (1) play, and
    // propose the save name. Empty: nothing to load or save.
    std::function<int(const std::string& path)> loadReplay;
    std::function<int(int which, const std::string& path)> saveReplay;
    std::function<std::string()> replayFileName;
    // Sound effects: the row count and playing one row. Empty: silent.
    std::function<int()> soundCount;
    std::function<void(int row)> playSound;
    // Music: play track which (0-3 scene music, 4 stage music) with a music number, looping or
    // once; stop.
    std::function<void(int which, int number, int loop)> playBgm;
    std::function<void()> stopBgm;
    // The cursor sound for the direction bits that moved (which: 1 horizontal, 2 vertical).
    std::function<void(u32 keys, u32 which)> cursorSound;
    // The music number and play flag of a front-end scene (0 title, 1 world map, 2 challenge,
    // 3 options). Empty: no music.
    std::function<int(int which)> sceneBgm;
    std::function<u32(int which)> sceneBgmFlag;
    // The play flag that the last stage-music request stored. Empty: the music loops.
    std::function<u32()> stageBgmFlag;
    // Resets the play record (before a stage) and tells it the started free-play stage: stage 1,
    // started, the free-play lives (unlimited in a direct start).
    std::function<void()> resetPlayRecord;
    std::function<void(const std::string& relativePath)> stageStarted;
    // A direct start has begun: the challenge course flag of the play record is cleared.
    std::function<void()> directStarted;
    // A new story game: the record reset, the world map's start, the story lives; with a slot
    // (0..98) auto-save into it, -1 none. Empty: resetPlayRecord.
    std::function<void(int slot)> newGame;
    // Continues the story from a slot: 1 read, 0 not (the record stays as it was).
    std::function<int(int slot)> continueGame;
    // The challenge mode was chosen: the results file, or a fresh record with one row per
    // challenge stage when there is none.
    std::function<void()> startChallenge;
    // The story-save switch of the system data: 0 starts a new game without the slot list.
    // Empty: the slot list is used.
    std::function<u32()> storySlotsUsed;
    // Draws the visible rows of the story slot list onto the back buffer. Empty: nothing.
    std::function<void(int x, int y, int first, int rows)> drawStorySlots;
    // Takes the front end's texts instead of the fonts (a test's recorder). Empty: the texts
    // are drawn with the game's fonts.
    std::function<void(int x, int y, const std::string& sjis, int dots)> drawText;
    // Ends the play in progress (the pause screen's close).
    std::function<void()> endPlay;
    // The ranking switch of a play kind (0 story, 1 challenge, 2 free, 3 replay): the system
    // data's ranking setting of that kind. Empty: no ranking.
    std::function<u32(int playKind)> rankingSwitch;
    // The title menu's entries. Empty: seven enabled entries without texts.
    std::function<std::vector<TITLEENTRY>()> titleMenu;
    // Story save slots for the slot lists. Empty: no slots are used (a new game starts at once).
    std::function<std::vector<STORYSLOT>()> storySlots;
    // The name the ranking-name dialog edits (Shift-JIS); null: nothing is bound.
    std::function<std::string*()> rankingName;
};

extern APPSERVICES g_Services;

// The start-up steps of the other subsystems, in the order start-up calls them. An empty step
// succeeds at once; a step that fails ends start-up after its message.
struct APPSTARTUP {
    std::function<void()> initCmdParams;
    std::function<bool()> createDefaultData;
    std::function<bool()> loadDatabases;
    std::function<bool()> loadSystemData; // data\System.dat
    // The System.ini key rows of the system data; empty: the program's defaults.
    std::function<void(std::vector<struct INIKEYDEF>& keys)> iniKeys;
    std::function<std::string()> title;          // the window title (Shift-JIS)
    std::function<int(bool direct3D)> depthChoice; // full-screen depth of the system data
    std::function<bool()> transColor;             // the system data's transparent-colour switch
    // The graphics device (the drawing mode may change from Direct3D to DirectDraw inside).
    std::function<bool(bool direct3D, int depth, bool vsync, bool windowed)> initGraphics;
    std::function<void()> releaseGraphics;
    // Palette, colour key, picture slots (with their aliases) and fonts.
    std::function<bool()> loadGraphicsData;
    std::function<u32()> blendTableNumber; // the option data's nBlendTable
    std::function<void()> loadOptions;   // user_data\Option.dat; a failure keeps the defaults
    std::function<void()> initMusic;
    std::function<bool()> initSound;     // false: no sound device
    // WorldMap.dat, then CommonPalette.cplt4: false after the loader has shown its message.
    std::function<bool(std::string& failedPath)> loadWorldData;
    std::function<void()> releaseAll;    // sound, music, fonts and surfaces at exit
};

extern APPSTARTUP g_Startup;
