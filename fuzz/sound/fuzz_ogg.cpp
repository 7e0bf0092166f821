// Ogg files as the music player takes them: load, play with a loop, render.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/ScratchDir.h"
#include "platform/sound/Mixer.h"
#include "platform/sound/OggPlayer.h"

namespace {

// The player reads files by path: each input goes through one file of this process.
const std::string& InputPath() {
    static const std::string path = (fuzzscratch::Dir() / "input.ogg").string();
    return path;
}

// The checksum repair below is the target's own work, not the code under test: left out of the
// coverage tracing, which otherwise counted every byte of every input.
#if defined(__clang__)
#define NOT_TRACED __attribute__((no_sanitize("coverage")))
#else
#define NOT_TRACED
#endif

// Ogg's page checksum (CRC-32, polynomial 0x04C11DB7, not reflected, starting at 0).
NOT_TRACED std::uint32_t PageCrc(const std::uint8_t* p, std::size_t n) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k) r = r & 0x80000000u ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    const std::uint32_t* t = table.data();
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) crc = (crc << 8) ^ t[((crc >> 24) ^ p[i]) & 0xFF];
    return crc;
}

// A mutation almost always breaks a page's checksum, and the stream reader drops a page whose
// checksum is wrong before the decoder sees it: every whole page of the input gets its checksum
// set right, so that the mutated bytes reach the decoder.
NOT_TRACED void FixPageChecksums(std::uint8_t* b, std::size_t size) {
    for (std::size_t at = 0; at + 27 <= size;) {
        if (b[at] != 'O' || b[at + 1] != 'g' || b[at + 2] != 'g' || b[at + 3] != 'S') {
            ++at;
            continue;
        }
        const std::size_t segments = b[at + 26];
        if (at + 27 + segments > size) break;
        std::size_t length = 27 + segments;
        for (std::size_t k = 0; k < segments; ++k) length += b[at + 27 + k];
        if (at + length > size) break;
        std::memset(&b[at + 22], 0, 4);
        const std::uint32_t crc = PageCrc(&b[at], length);
        for (int k = 0; k < 4; ++k) b[at + 22 + k] = static_cast<std::uint8_t>(crc >> (8 * k));
        at += length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static cVoxPlayer* player = [] {
        AudioOutputSetMemory(true);
        return CreateVox();
    }();
    std::vector<std::uint8_t> bytes(data, data + size);
    FixPageChecksums(bytes.data(), bytes.size());
    FILE* f = std::fopen(InputPath().c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(bytes.data(), 1, size, f);
    std::fclose(f);
    if (!player->Load(InputPath().c_str())) return 0;
    // One loop, so that a short file still comes round once (a restart reads the headers again),
    // and some 50 ms of sound at the most: a few packets decoded, enough to reach every part of
    // the decoder. Depth comes from more inputs a second, not longer plays.
    player->SetLoop(1);
    player->SetVolume(0.5f);
    player->Play();
    static std::vector<float> out(2 * 1024);
    for (int i = 0; i < 2 && player->IsPlaying(); ++i) MixerRender(out.data(), 1024);
    player->Stop();
    player->Unload();
    return 0;
}
