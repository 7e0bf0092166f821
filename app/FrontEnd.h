#pragma once
// What the front-end scenes and the player's records need from the program around them, and
// the one call that connects them to it.
#include <functional>
#include <string>

#include "platform/system/Types.h"

struct FRONTENDSERVICES {
    // Sets the volume of every sound effect to a volume step (0..10). Empty: nothing.
    std::function<void(u32 step)> setSeVolume;
    // Applies the music switch of the option data (starts or releases the music manager); true
    // when the manager was started or released. Empty: nothing.
    std::function<bool(u32 on)> applyMusicSwitch;
};

extern FRONTENDSERVICES g_FrontEnd;

// Connects the play record, story slots and replays to the application's seams (the title
// menu's links into the player's records among them) and registers the title menu, world map,
// world-map menu, challenge choice and options scenes with the scene machine. Text goes through
// g_Services.drawText, which the program connects to its fonts.
void ConnectFrontEnd();
// Registers only the five scenes.
void RegisterFrontEndScenes();
