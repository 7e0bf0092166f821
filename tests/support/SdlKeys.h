#pragma once
// A key struck on the keyboard as SDL's event queue hears it: pressed, then released. For tests
// that drive the dialogs through the window's own events.
#include <SDL.h>

inline void PushKeyStroke(SDL_Scancode sc) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = sc;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
}
