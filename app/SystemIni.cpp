#include "app/SystemIni.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"

SYSTEMINI g_SystemIni;
cBootData g_BootData;
cWindowData g_WindowData;

namespace {

constexpr std::size_t kTextLimit = 2047;
// A stage to play at once may lie as deep as the system lets a path go.
constexpr std::size_t kPathLimit = PATH_MAX - 1;
constexpr std::size_t kFreeStageRow = 8;
constexpr int kEntryLimit = 10000;

i32 g_windowMaxX = 1024;
i32 g_windowMaxY = 768;

// The leading decimal integer as atoi reads it: optional sign, digits; none gives 0.
i32 LeadingInt(const std::string& s) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i++] - '0');
        if (v > 0x80000000LL) v = 0x80000000LL; // saturate instead of overflowing
    }
    if (negative) v = -v;
    return static_cast<i32>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

i32* NumericField(SYSTEMINI& ini, int row) {
    switch (row) {
    case 0: return &ini.Direct3D;
    case 1: return &ini.WindowMode;
    case 2: return &ini.Bpp;
    case 3: return &ini.VSync;
    case 4: return &ini.D3D_FontCache;
    case 5: return &ini.DD_FontCache;
    case 6: return &ini.DD_VideoStretch;
    case 7: return &ini.ShowFps;
    case 9: return &ini.English;
    default: return nullptr;
    }
}

// The row of the first key of the list that is the key (keys are case-sensitive), or npos.
std::size_t KeyRow(const std::vector<INIKEYDEF>& keys, const std::string& key) {
    for (std::size_t row = 0; row < keys.size(); ++row)
        if (keys[row].strKey == key) return row;
    return std::string::npos;
}

void Apply(SYSTEMINI& ini, std::size_t row, const std::string& value) {
    if (row == kFreeStageRow) {
        if (value.size() >= 2) ini.FreeStage = value;
    } else if (i32* field = NumericField(ini, static_cast<int>(row))) {
        *field = LeadingInt(value);
    }
}

} // namespace

std::vector<INIKEYDEF> DefaultIniKeys() {
    return {{"Direct3D", 2, ""},      {"WindowMode", 1, ""},   {"Bpp", 0, ""},
            {"VSync", 2, ""},         {"D3D_FontCache", 0, ""}, {"DD_FontCache", 1, ""},
            {"DD_VideoStretch", 0, ""}, {"ShowFps", 1, ""},     {"FreeStage", 0, ""},
            {"English", 0, ""}};
}

void SetSystemIniDefaults(SYSTEMINI& ini, const std::vector<INIKEYDEF>& keys) {
    const std::vector<INIKEYDEF> fallback = DefaultIniKeys();
    auto row = [&](std::size_t i) -> const INIKEYDEF& { return i < keys.size() ? keys[i] : fallback[i]; };
    for (int i = 0; i < 8; ++i) *NumericField(ini, i) = static_cast<i32>(row(i).nValue);
    ini.FreeStage = row(kFreeStageRow).strValue;
    ini.FreeStageCut.reset();
    // English captions are the player's choice alone, whatever the game's default says.
    ini.English = 0;
}

bool ReadSystemIni(const std::string& fileName, SYSTEMINI& ini, const std::vector<INIKEYDEF>& keys) {
    FILE* f = OpenFile(fileName, "rb");
    if (!f) return false;
    struct Closer {
        FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{f};

    for (int entry = 0; entry < kEntryLimit; ++entry) {
        std::string key;
        bool hasValue = false;
        for (;;) {
            const int c = std::fgetc(f);
            if (c == EOF) return false;
            if (c == '=') {
                hasValue = true;
                break;
            }
            if (c == '\n') break;
            if (c == 0) return true;
            if (c == '\r' || c == ' ' || c == '\t') continue;
            if (key.size() >= kTextLimit) return false;
            key.push_back(static_cast<char>(c));
        }
        if (!hasValue) {
            if (key == "Exit") return true;
            continue;
        }
        const std::size_t row = KeyRow(keys, key);
        const std::size_t limit = row == kFreeStageRow ? kPathLimit : kTextLimit;
        std::string value;
        std::size_t length = 0;
        int end;
        for (;;) {
            end = std::fgetc(f);
            if (end == EOF) return false;
            // CR is no terminator: it stays in the value (a number reads its leading digits).
            if (end == ' ' || end == '\t' || end == '/' || end == '\n' || end == 0) break;
            // Past its limit a value is only counted: it is dropped, and the file read on.
            if (++length <= limit) value.push_back(static_cast<char>(end));
        }
        if (row == std::string::npos) continue;
        if (length > limit) {
            WriteReport("System.ini : %s の値 (%zu バイト) は長すぎるため読みません (%zu バイトまで)",
                        ToDisplayText(key).c_str(), length, limit);
            continue;
        }
        Apply(ini, row, value);
        if (row == kFreeStageRow) {
            if (end == '/') ini.FreeStageCut = value;
            else if (value.size() >= 2) ini.FreeStageCut.reset();
        }
    }
    return true;
}

void cBootData::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU32(&nDrawMode);
    AddFieldU32(&bDoNotAsk);
}

void cBootData::Clear() {
    nDrawMode = 1;
    bDoNotAsk = 0;
}

void cWindowData::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU32(&nX);
    AddFieldU32(&nY);
    AddFieldU32(&nWidth);
    AddFieldU32(&nHeight);
    AddFieldU32(&bZoomed);
}

void cWindowData::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    // Signed comparison: a window left of the screen comes back at 0.
    nX = std::clamp(nX, 0, std::max(g_windowMaxX, 0));
    nY = std::clamp(nY, 0, std::max(g_windowMaxY, 0));
}

void cWindowData::Clear() {
    nX = nY = nWidth = nHeight = 0;
    bZoomed = 0;
}

void cWindowData::Set(i32 x, i32 y, i32 w, i32 h, u32 zoomed) {
    nX = x;
    nY = y;
    nWidth = w;
    nHeight = h;
    bZoomed = zoomed;
}

void SetWindowDataLimits(i32 maxX, i32 maxY) {
    g_windowMaxX = maxX;
    g_windowMaxY = maxY;
}
