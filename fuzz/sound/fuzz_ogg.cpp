// Ogg files as the music player takes them: load, play with a loop, render.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/sound/Mixer.h"
#include "platform/sound/OggPlayer.h"

namespace {

// The player reads files by path: each input goes through one file of this process.
const std::string& InputPath() {
    static const std::string path = [] {
        char name[] = "/tmp/fuzz_ogg_XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) std::abort();
        close(fd);
        return std::string(name);
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static cVoxPlayer* player = [] {
        AudioOutputSetMemory(true);
        return CreateVox();
    }();
    FILE* f = std::fopen(InputPath().c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (!player->Load(InputPath().c_str())) return 0;
    // Every (re)start reads the headers again, the costly part of an input: one loop, so that a
    // short file still comes round once, and a tenth of a second at the most. Depth comes from
    // more inputs a second, not longer plays.
    player->SetLoop(1);
    player->SetVolume(0.5f);
    player->Play();
    static std::vector<float> out(2 * 1024);
    for (int i = 0; i < 4 && player->IsPlaying(); ++i) MixerRender(out.data(), 1024);
    player->Stop();
    player->Unload();
    return 0;
}
