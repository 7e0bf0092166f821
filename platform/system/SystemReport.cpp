#include "platform/system/SystemReport.h"

#include <SDL.h>
#include <cpuid.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include "platform/system/Format.h"
#include "platform/system/Report.h"

namespace {

constexpr float kToMB = 9.536743e-07f; // 1 / 1048576, in single precision as reported before

std::string OsRelease() {
    std::ifstream in("/etc/os-release");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("PRETTY_NAME=", 0) == 0) {
            std::string v = line.substr(12);
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            return v;
        }
    }
    return "Linux";
}

std::string CpuVendor() {
    unsigned a, b, c, d;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return "";
    char v[13];
    std::memcpy(v, &b, 4);
    std::memcpy(v + 4, &d, 4);
    std::memcpy(v + 8, &c, 4);
    v[12] = 0;
    return v;
}

std::string CpuBrand() {
    unsigned a, b, c, d;
    if (!__get_cpuid(0x80000000, &a, &b, &c, &d) || a < 0x80000004) return "";
    char brand[49] = {};
    for (unsigned leaf = 0; leaf < 3; ++leaf) {
        __get_cpuid(0x80000002 + leaf, &a, &b, &c, &d);
        std::memcpy(brand + leaf * 16, &a, 4);
        std::memcpy(brand + leaf * 16 + 4, &b, 4);
        std::memcpy(brand + leaf * 16 + 8, &c, 4);
        std::memcpy(brand + leaf * 16 + 12, &d, 4);
    }
    return brand;
}

// The processor clock as the kernel reports it; no busy-wait measurement at start-up.
int CpuMHz() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("cpu MHz", 0) == 0) {
            const auto colon = line.find(':');
            if (colon != std::string::npos) return static_cast<int>(std::atof(line.c_str() + colon + 1));
        }
    }
    return 0;
}

double MB(unsigned long long bytes) { return static_cast<double>(static_cast<float>(bytes) * kToMB); }

} // namespace

void GetOSName(std::string* name, u32* major, u32* minor) {
    struct utsname u {};
    u32 ma = 5, mi = 1;
    std::string text = OsRelease();
    if (uname(&u) == 0) {
        std::sscanf(u.release, "%u.%u", &ma, &mi);
        text = Format("%s %s %s %s", text.c_str(), u.sysname, u.release, u.machine);
    }
    if (name) *name = text;
    if (major) *major = ma;
    if (minor) *minor = mi;
}

bool IsOSVersionAtLeast(u32, u32) { return true; }

void GetVidMem(u32* total, u32* freeBytes) {
    // No display interface here tells its video memory (SDL does not): the figures of a
    // machine without DirectDraw.
    if (total) *total = 0;
    if (freeBytes) *freeBytes = 0;
}

u32 GetDDIVersion() { return 9; }

std::string SdlReportLines() {
    SDL_version v;
    SDL_GetVersion(&v);
    return Format("SDL : %d.%d.%d\n", v.major, v.minor, v.patch);
}

std::string VideoReportLine() {
    const char* video = SDL_GetCurrentVideoDriver();
    return Format("Video : %s\n", video ? video : "none");
}

int ReportAudioInfo(bool opened) {
    // Asked after the sound start-up, so that the line says what it found.
    const char* audio = opened ? SDL_GetCurrentAudioDriver() : nullptr;
    return WriteReportRaw(audio ? Format("Audio : %s\n", audio) : std::string("Audio : none (no sound)\n"));
}

int ReportSystemInfo() {
    std::string name;
    GetOSName(&name, nullptr, nullptr);
    std::string text = Format("OS : %s\n", name.c_str());
    text += Format("CPU : %s %s %d\n", CpuVendor().c_str(), CpuBrand().c_str(), CpuMHz());
    struct sysinfo si {};
    unsigned long long memTotal = 0, memFree = 0, swapTotal = 0, swapFree = 0;
    if (sysinfo(&si) == 0) {
        memTotal = static_cast<unsigned long long>(si.totalram) * si.mem_unit;
        memFree = static_cast<unsigned long long>(si.freeram + si.bufferram) * si.mem_unit;
        swapTotal = static_cast<unsigned long long>(si.totalram + si.totalswap) * si.mem_unit;
        swapFree = static_cast<unsigned long long>(si.freeram + si.bufferram + si.freeswap) * si.mem_unit;
    }
    text += Format("Mem Total : %.3fMB\n", MB(memTotal));
    text += Format("Mem Free : %3.fMB\n", MB(memFree));
    text += Format("Vir Total : %.3fMB\n", MB(swapTotal));
    text += Format("Vir Free : %3.fMB\n", MB(swapFree));
    struct statvfs fs {};
    unsigned long long diskFree = 0;
    if (statvfs(".", &fs) == 0) diskFree = static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
    if (diskFree >= 2147483648ull) diskFree = 2147483647ull;
    text += Format("HD Free : %3.fMB\n", MB(diskFree));
    return WriteReportRaw(text);
}

int ReportDisplayInfo(const DISPLAYREPORT& display) {
    std::string text = display.fullscreen ? "Mode : Fullscreen\n" : "Mode : Window\n";
    text += Format("Bpp : %d\n", display.bpp);
    u32 total = 0, freeBytes = 0;
    GetVidMem(&total, &freeBytes);
    text += Format("VRAM Total : %.3fMB\n", MB(total));
    text += Format("VRAM Free : %.3fMB\n", MB(freeBytes));
    text += Format("RR : %u\n", display.refreshRate);
    text += VideoReportLine();
    if (display.direct3D) {
        text += SdlReportLines();
        text += display.rendererLines;
    }
    return WriteReportRaw(text);
}
