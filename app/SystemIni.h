#pragma once
// System.ini: the player's technical settings, read byte by byte before the graphics start,
// and the two small settings records read at start-up (Boot.dat, Window.dat).
#include <optional>
#include <string>
#include <vector>

#include "records/Record.h"

struct SYSTEMINI {
    i32 Direct3D = 2;
    i32 WindowMode = 1;
    i32 Bpp = 0;
    i32 VSync = 2;
    i32 D3D_FontCache = 0;
    i32 DD_FontCache = 1;
    i32 DD_VideoStretch = 0;
    i32 ShowFps = 1;
    i32 English = 0;
    std::string FreeStage; // Shift-JIS; any path the system takes
    // A FreeStage value that a '/' ended, as it was read (taken, or too short to be taken): a
    // path written with '/' ends at its first one, and a start that finds no stage in it says so.
    std::optional<std::string> FreeStageCut;
};

extern SYSTEMINI g_SystemIni;

// One key row: the key name, its numeric default and its text default (FreeStage only). The
// game's System.dat supplies the rows; DefaultIniKeys gives the ones it starts from.
struct INIKEYDEF {
    std::string strKey;
    u32 nValue = 0;
    std::string strValue;
};
std::vector<INIKEYDEF> DefaultIniKeys();

void SetSystemIniDefaults(SYSTEMINI& ini, const std::vector<INIKEYDEF>& keys);
// True when the file was read to a proper end ("Exit" line, a zero byte, or 10000 entries). A key
// longer than 2047 bytes fails the read. A value longer than 2047 bytes (FreeStage's: than any
// path the system takes, 4095 bytes) costs its own setting alone, with a report line naming the
// key; the entries after it are read.
bool ReadSystemIni(const std::string& fileName, SYSTEMINI& ini, const std::vector<INIKEYDEF>& keys);

// The answer of the start-up dialog (user_data\Boot.dat).
class cBootData : public cRecord {
public:
    cBootData() { Clear(); }
    void RegisterFields(u32 version) override;
    void Clear();

    u32 nDrawMode = 1; // 1 Direct3D, other DirectDraw
    u32 bDoNotAsk = 0;
};
extern cBootData g_BootData;

// The window placement (user_data\Window.dat).
class cWindowData : public cRecord {
public:
    cWindowData() { Clear(); }
    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Clear();
    void Set(i32 x, i32 y, i32 w, i32 h, u32 zoomed);

    i32 nX = 0;
    i32 nY = 0;
    i32 nWidth = 0;
    i32 nHeight = 0;
    u32 bZoomed = 0;
};
extern cWindowData g_WindowData;

// The limits the stored position is clamped to on loading (the usable desktop size).
void SetWindowDataLimits(i32 maxX, i32 maxY);
