#include "platform/sound/MidiSynth.h"

#include <dlfcn.h>
#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sound/Mixer.h"
#include "platform/system/Report.h"

namespace {

// FluidSynth's default gain of 0.2 is quiet beside the sound effects.
constexpr double kSynthGain = 0.6;

std::mutex g_factoryMutex;
MidiSynthFactory g_factory;
bool g_failureReported = false;

void PrepareFluidSynth() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Loading a sound font would start a worker thread per core otherwise.
        setenv("OMP_NUM_THREADS", "1", 1);
        for (int level = 0; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
    });
    // The OpenMP runtime comes in with FluidSynth and reads the variable above when the program
    // starts, so setting it here is too late. The limit is per thread: the thread that loads a
    // sound font sets it on itself. Looked up by name so that nothing here builds against OpenMP.
    using SetThreads = void (*)(int);
    static const auto setThreads = reinterpret_cast<SetThreads>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"));
    if (setThreads) setThreads(1);
}

// The sound font (some megabytes) is read by a thread of its own, so that opening a song costs
// no more than making the synthesizer: until the font is in, the synthesizer is not ready and
// the stream holds its events back, and the song starts once it is.
class cFluidMidiSynth final : public cMidiSynth {
public:
    ~cFluidMidiSynth() override {
        if (m_loader.joinable()) m_loader.join();
        if (m_synth) delete_fluid_synth(m_synth);
        if (m_settings) delete_fluid_settings(m_settings);
    }

    bool Open(std::string& error) {
        PrepareFluidSynth();
        const std::string font = MidiSoundFontPath();
        if (!fluid_is_soundfont(font.c_str())) {
            error = "サウンドフォント " + font + " がありません";
            return false;
        }
        m_settings = new_fluid_settings();
        if (!m_settings) {
            error = "FluidSynth の設定を作れません";
            return false;
        }
        fluid_settings_setnum(m_settings, "synth.sample-rate", kMixRate);
        fluid_settings_setnum(m_settings, "synth.gain", kSynthGain);
        // Every call comes from the mixer under its lock, so FluidSynth's own lock is not needed.
        fluid_settings_setint(m_settings, "synth.threadsafe-api", 0);
        // Only the samples of the instruments a song selects are read into memory: a whole
        // General MIDI font would be several megabytes more for every song.
        fluid_settings_setint(m_settings, "synth.dynamic-sample-loading", 1);
        m_synth = new_fluid_synth(m_settings);
        if (!m_synth) {
            error = "FluidSynth を作れません";
            return false;
        }
        // Nothing else touches the synthesizer until m_ready says the font is in.
        m_loader = std::thread([this, font] {
            PrepareFluidSynth();
            if (fluid_synth_sfload(m_synth, font.c_str(), 1) == FLUID_FAILED) {
                // Every song would fail the same way: one line is enough, and the songs stay silent.
                if (FirstMidiSynthFailure()) WriteReportLog("Midi Open サウンドフォント %s が読めません", font.c_str());
                return;
            }
            m_ready.store(true, std::memory_order_release);
        });
        return true;
    }

    bool Ready() override { return m_ready.load(std::memory_order_acquire); }

    void ShortMessage(u8 status, u8 d1, u8 d2) override {
        if (!Ready()) return;
        const int ch = status & 0x0F;
        switch (status & 0xF0) {
        case 0x80: fluid_synth_noteoff(m_synth, ch, d1); break;
        case 0x90: fluid_synth_noteon(m_synth, ch, d1, d2); break; // velocity 0 is a note-off there
        case 0xA0: fluid_synth_key_pressure(m_synth, ch, d1, d2); break;
        case 0xB0: fluid_synth_cc(m_synth, ch, d1, d2); break;
        case 0xC0: fluid_synth_program_change(m_synth, ch, d1); break;
        case 0xD0: fluid_synth_channel_pressure(m_synth, ch, d1); break;
        case 0xE0: fluid_synth_pitch_bend(m_synth, ch, d1 | (d2 << 7)); break;
        default: break;
        }
    }

    void Sysex(const u8* data, int length) override {
        if (Ready() && length > 0)
            fluid_synth_sysex(m_synth, reinterpret_cast<const char*>(data), length, nullptr, nullptr, nullptr, 0);
    }

    void AllNotesOff() override {
        if (Ready()) fluid_synth_all_notes_off(m_synth, -1);
    }

    void Render(float* stereo, int frames) override {
        if (!Ready()) {
            std::fill(stereo, stereo + 2 * frames, 0.0f);
            return;
        }
        fluid_synth_write_float(m_synth, frames, stereo, 0, 2, stereo, 1, 2);
    }

private:
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    std::thread m_loader;
    std::atomic<bool> m_ready{false};
};

} // namespace

std::string MidiSoundFontPath() {
    const char* env = std::getenv("TOBRELK_SOUNDFONT");
    return env && *env ? env : "/usr/share/sounds/sf2/TimGM6mb.sf2";
}

void SetMidiSynthFactory(MidiSynthFactory factory) {
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
    g_failureReported = false;
}

bool FirstMidiSynthFailure() {
    std::lock_guard lock(g_factoryMutex);
    const bool first = !g_failureReported;
    g_failureReported = true;
    return first;
}

std::unique_ptr<cMidiSynth> CreateMidiSynth(std::string& error) {
    MidiSynthFactory factory;
    {
        std::lock_guard lock(g_factoryMutex);
        factory = g_factory;
    }
    if (factory) return factory(error);
    auto synth = std::make_unique<cFluidMidiSynth>();
    if (!synth->Open(error)) return nullptr;
    return synth;
}
