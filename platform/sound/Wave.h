#pragma once
// PCM wave files of the sound effects: RIFF/WAVE with a plain "fmt " chunk and a "data" chunk.
#include <string>
#include <vector>

#include "platform/system/Types.h"

constexpr u16 WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
    u16 wFormatTag = 0;
    u16 nChannels = 0;
    u32 nSamplesPerSec = 0;
    u32 nAvgBytesPerSec = 0;
    u16 nBlockAlign = 0;
    u16 wBitsPerSample = 0;
    u16 cbSize = 0;
};

struct WAVEDATA {
    WAVEFORMATEX wfx;
    std::vector<u8> vData; // whole sample frames only
};

// Reads a wave file held in memory; every failure is reported with name and gives false.
// Only what a sound buffer can take passes: PCM, 1 or 2 channels, 8 or 16 bits, 100..200000 Hz.
bool ParseWave(const u8* bytes, std::size_t size, const std::string& name, WAVEDATA& wave);
// Opens the file through the game's path resolver; a file that does not open fails silently.
bool LoadWave(const std::string& path, WAVEDATA& wave);
void FreeWave(WAVEDATA& wave);

// The samples as float frames (8-bit samples are unsigned, 16-bit signed little-endian).
std::vector<float> WaveToFloat(const WAVEDATA& wave);
