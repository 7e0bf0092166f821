// Wave files as the sound layer reads them: the parser, then the conversion to the mix format.
#include <cstddef>
#include <cstdint>

#include "platform/sound/Mixer.h"
#include "platform/sound/Wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WAVEDATA wave;
    if (!ParseWave(data, size, "fuzz.wav", wave)) return 0;
    const std::vector<float> samples = WaveToFloat(wave);
    const int frames = static_cast<int>(samples.size() / wave.wfx.nChannels);
    const std::vector<float> mix =
        ConvertToMix(samples.data(), frames, static_cast<int>(wave.wfx.nSamplesPerSec), wave.wfx.nChannels);
    if (mix.size() % 2 != 0) __builtin_trap();
    return 0;
}
