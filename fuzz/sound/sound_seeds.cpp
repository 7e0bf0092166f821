// Writes seed files for the sound fuzz targets into the folder given: wave files when the
// program is built as the wave seeder, MIDI files otherwise.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system/Types.h"

namespace {

void Le(std::vector<u8>& o, u32 v, int n) {
    for (int i = 0; i < n; ++i) o.push_back(static_cast<u8>(v >> (8 * i)));
}
void Be(std::vector<u8>& o, u32 v, int n) {
    for (int i = n - 1; i >= 0; --i) o.push_back(static_cast<u8>(v >> (8 * i)));
}
void Id(std::vector<u8>& o, const char* id) {
    for (int i = 0; i < 4; ++i) o.push_back(static_cast<u8>(id[i]));
}

[[maybe_unused]] std::vector<u8> Wave(u16 channels, u32 rate, u16 bits, u32 fmtSize, u32 frames) {
    std::vector<u8> body;
    Id(body, "WAVE");
    Id(body, "fmt ");
    Le(body, fmtSize, 4);
    std::vector<u8> fmt;
    Le(fmt, 1, 2);
    Le(fmt, channels, 2);
    Le(fmt, rate, 4);
    Le(fmt, rate * channels * bits / 8, 4);
    Le(fmt, channels * bits / 8, 2);
    Le(fmt, bits, 2);
    fmt.resize(fmtSize, 0);
    body.insert(body.end(), fmt.begin(), fmt.end());
    Id(body, "LIST");
    Le(body, 4, 4);
    Id(body, "INFO");
    Id(body, "data");
    const u32 bytes = frames * channels * bits / 8;
    Le(body, bytes, 4);
    for (u32 i = 0; i < bytes; ++i) body.push_back(static_cast<u8>(i * 37));
    std::vector<u8> out;
    Id(out, "RIFF");
    Le(out, static_cast<u32>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

[[maybe_unused]] std::vector<u8> Smf(u16 format, u16 division, const std::vector<std::vector<u8>>& tracks) {
    std::vector<u8> out;
    Id(out, "MThd");
    Be(out, 6, 4);
    Be(out, format, 2);
    Be(out, static_cast<u32>(tracks.size()), 2);
    Be(out, division, 2);
    for (const auto& t : tracks) {
        Id(out, "MTrk");
        Be(out, static_cast<u32>(t.size()), 4);
        out.insert(out.end(), t.begin(), t.end());
    }
    return out;
}

void Write(const std::filesystem::path& p, const std::vector<u8>& b) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
#ifdef TOBRELK_WAVE_SEEDS
    Write(dir / "mono16.wav", Wave(1, 22050, 16, 16, 64));
    Write(dir / "stereo8.wav", Wave(2, 11025, 8, 18, 64));
    Write(dir / "mono8_44k.wav", Wave(1, 44100, 8, 16, 32));
    Write(dir / "stereo16_48k.wav", Wave(2, 48000, 16, 16, 32));
#else
    const std::vector<u8> notes = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C,
                                   0x64, 0x60, 0x3E, 0x64, 0x00, 0xFF, 0x01, 0x02, 'h', 'i', 0x30, 0x80, 0x3C,
                                   0x00, 0x00, 0xE0, 0x00, 0x40, 0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,
                                   0x81, 0x00, 0xB0, 0x07, 0x64, 0x00, 0xFF, 0x2F, 0x00};
    const std::vector<u8> second = {0x00, 0x91, 0x40, 0x50, 0x60, 0xA1, 0x40, 0x20, 0x00, 0xD1, 0x30,
                                    0x60, 0x81, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00};
    Write(dir / "format0.mid", Smf(0, 96, {notes}));
    Write(dir / "format1.mid", Smf(1, 480, {notes, second}));
    Write(dir / "three.mid", Smf(1, 120, {second, notes, second}));
#endif
    return 0;
}
