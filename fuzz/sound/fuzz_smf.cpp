// Standard MIDI files as the stream player takes them: the check and merge, the filling of
// stream buffers from the image, and a stream device playing those buffers (and the raw input
// as a buffer of its own, as a torn or hostile buffer would look).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sound/MidiDevice.h"
#include "platform/sound/MidiStream.h"
#include "platform/sound/MidiSynth.h"
#include "platform/sound/Smf.h"

namespace {

class cSilentSynth : public cMidiSynth {
public:
    void ShortMessage(u8, u8, u8) override {}
    void Sysex(const u8*, int) override {}
    void AllNotesOff() override {}
    void Render(float* stereo, int frames) override {
        for (int i = 0; i < 2 * frames; ++i) stereo[i] = 0.0f;
    }
};

void Play(cMidiStreamDevice& device, std::vector<u8> buffer, int buffers) {
    device.Out(buffers % 2, std::move(buffer));
    device.Restart();
    std::vector<float> out(2 * 1024);
    for (int i = 0; i < 4; ++i) device.Mix(out.data(), 1024);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        SetMidiSynthFactory([](std::string&) { return std::make_unique<cSilentSynth>(); });
        AudioOutputSetMemory(true);
        return true;
    }();
    (void)ready;
    std::string error;
    auto device = cMidiStreamDevice::Open(nullptr, error);
    if (!device) __builtin_trap();
    device->SetTimeDivision(96);
    Play(*device, std::vector<u8>(data, data + size), 0);

    cMidiStream stream;
    if (!stream.Init(data, size)) return 0;
    device->Stop();
    device->SetTimeDivision(SmfImageDivision(stream.Image()));
    std::size_t pos = kSmfImageHeader;
    int buffers = 0;
    while (pos < stream.Image().size()) {
        std::vector<u8> buffer;
        const std::size_t used = stream.Fill(pos, buffer);
        if (buffer.size() > cMidiStream::kBufferSize) __builtin_trap();
        if (used == 0) __builtin_trap(); // a fill that moves nowhere would stall the song
        pos += used;
        Play(*device, std::move(buffer), ++buffers);
    }
    return 0;
}
