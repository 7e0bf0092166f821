#include "platform/sound/Wave.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"

namespace {

u32 Le32(const u8* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<u32>(p[3]) << 24); }
u16 Le16(const u8* p) { return static_cast<u16>(p[0] | (p[1] << 8)); }

struct Chunk {
    std::size_t data = 0; // offset of the chunk's contents
    u32 size = 0;         // as the header says; may run past the file
};

// Finds the first chunk with this id between begin and end, walking chunk headers the way the
// multimedia reader descends (word-aligned sizes).
bool FindChunk(const u8* bytes, std::size_t begin, std::size_t end, const char* id, Chunk& out) {
    std::size_t pos = begin;
    while (end >= 8 && pos <= end - 8) {
        const u32 size = Le32(bytes + pos + 4);
        if (std::memcmp(bytes + pos, id, 4) == 0) {
            out.data = pos + 8;
            out.size = size;
            return true;
        }
        const u64 next = static_cast<u64>(pos) + 8 + size + (size & 1);
        if (next > end) break;
        pos = static_cast<std::size_t>(next);
    }
    return false;
}

} // namespace

bool ParseWave(const u8* bytes, std::size_t size, const std::string& name, WAVEDATA& wave) {
    wave = WAVEDATA{};
    if (size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) {
        WriteReportLog("%s の読み込みに失敗しました…\n不正なファイルです。", name.c_str());
        return false;
    }
    // The RIFF size may be wrong either way; the file's real end bounds every chunk.
    const u64 riffEnd = 8 + static_cast<u64>(Le32(bytes + 4));
    const std::size_t end = static_cast<std::size_t>(riffEnd < size ? riffEnd : size);

    Chunk fmt;
    // Fewer than 16 bytes carry no bit depth; more than 18 is an extensible or compressed header.
    if (!FindChunk(bytes, 12, end, "fmt ", fmt) || fmt.size >= 19 || fmt.size < 16 ||
        fmt.data + fmt.size > end) {
        WriteReportLog("%s の読み込みに失敗しました…\n対応していない形式か、不正なwavファイルです。\n"
                       "本ソフトではPCM形式のみ再生できます。",
                       name.c_str());
        return false;
    }
    const u8* f = bytes + fmt.data;
    WAVEFORMATEX& w = wave.wfx;
    w.wFormatTag = Le16(f);
    w.nChannels = Le16(f + 2);
    w.nSamplesPerSec = Le32(f + 4);
    w.nAvgBytesPerSec = Le32(f + 8);
    w.nBlockAlign = Le16(f + 12);
    w.wBitsPerSample = Le16(f + 14);
    w.cbSize = fmt.size >= 18 ? Le16(f + 16) : 0;
    if (w.wFormatTag != WAVE_FORMAT_PCM) {
        WriteReportLog("%s の読み込みに失敗しました…\nPCM形式以外の形式です。\n本ソフトではPCM形式のみ再生できます。",
                       name.c_str());
        return false;
    }

    Chunk data;
    const std::size_t afterFmt = fmt.data + fmt.size + (fmt.size & 1);
    if (!FindChunk(bytes, afterFmt, end, "data", data) || data.size == 0) {
        WriteReportLog("%s の読み込みに失敗しました…\n不正なファイルです。", name.c_str());
        return false;
    }
    if (w.nChannels < 1 || w.nChannels > 2 || (w.wBitsPerSample != 8 && w.wBitsPerSample != 16) ||
        w.nSamplesPerSec < 100 || w.nSamplesPerSec > 200000) {
        WriteReportLog("%s生成失敗！", name.c_str());
        return false;
    }
    // A size past the end of the file keeps only the samples that are there.
    const std::size_t present = end - data.data < data.size ? end - data.data : data.size;
    const std::size_t frameBytes = static_cast<std::size_t>(w.nChannels) * (w.wBitsPerSample / 8);
    const std::size_t whole = present - present % frameBytes;
    wave.vData.assign(bytes + data.data, bytes + data.data + whole);
    return true;
}

bool LoadWave(const std::string& path, WAVEDATA& wave) {
    std::vector<u8> bytes;
    switch (ReadWholeFile(path, bytes)) {
    case FileRead::Ok: break;
    case FileRead::Missing: return false;
    case FileRead::TooLarge:
        WriteReportLog("%sのメモリ確保失敗！", path.c_str());
        return false;
    case FileRead::Unreadable:
        WriteReportLog("%s の読み込みに失敗しました…\n不正なファイルです。", path.c_str());
        return false;
    }
    return ParseWave(bytes.data(), bytes.size(), path, wave);
}

void FreeWave(WAVEDATA& wave) {
    wave.vData.clear();
    wave.vData.shrink_to_fit();
}

std::vector<float> WaveToFloat(const WAVEDATA& wave) {
    std::vector<float> out;
    if (wave.wfx.wBitsPerSample == 8) {
        out.resize(wave.vData.size());
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = (static_cast<int>(wave.vData[i]) - 128) / 128.0f;
    } else {
        out.resize(wave.vData.size() / 2);
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<i16>(Le16(wave.vData.data() + 2 * i)) / 32768.0f;
    }
    return out;
}
