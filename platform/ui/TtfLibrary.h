#pragma once
// SDL_ttf, opened when the first dialog needs its font rather than with the program: the
// library and the shaping libraries it brings in (HarfBuzz, GLib, Graphite) cost every start
// several milliseconds, and most runs never show a dialog.
#include <SDL_ttf.h>

struct TtfLibrary {
    decltype(&TTF_WasInit) wasInit;
    decltype(&TTF_Init) init;
    decltype(&TTF_OpenFont) openFont;
    decltype(&TTF_RenderUTF8_Blended) renderUtf8Blended;
    decltype(&TTF_SizeUTF8) sizeUtf8;
};

// Null when the library or one of its functions cannot be found (one report line says so).
const TtfLibrary* TtfApi();
