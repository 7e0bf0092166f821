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

// One FluidSynth synthesizer with its sound font. Everything that costs (making the
// synthesizer, reading the font) runs on a thread of its own, so that opening a song costs
// neither the window thread nor the game thread waiting on it: until the font is in, the
// synthesizer is not ready and the stream holds its events, and the song starts once it is.
class cFluidEngine {
public:
    explicit cFluidEngine(std::string font) : m_font(std::move(font)) {
        m_loader = std::thread([this] { Load(); });
    }
    ~cFluidEngine() {
        if (m_loader.joinable()) m_loader.join();
        if (m_synth) delete_fluid_synth(m_synth);
        if (m_settings) delete_fluid_settings(m_settings);
    }
    cFluidEngine(const cFluidEngine&) = delete;
    cFluidEngine& operator=(const cFluidEngine&) = delete;

    // Nothing but the loader touches the synthesizer until this says the font is in.
    bool Ready() const { return m_ready.load(std::memory_order_acquire); }
    fluid_synth_t* Synth() const { return m_synth; }

private:
    void Load() {
        PrepareFluidSynth();
        m_settings = new_fluid_settings();
        if (m_settings) {
            fluid_settings_setnum(m_settings, "synth.sample-rate", kMixRate);
            fluid_settings_setnum(m_settings, "synth.gain", kSynthGain);
            // Every call comes from the mixer under its lock, so FluidSynth's own lock is not needed.
            fluid_settings_setint(m_settings, "synth.threadsafe-api", 0);
            // Only the samples of the instruments a song selects are read into memory: a whole
            // General MIDI font would be several megabytes more.
            fluid_settings_setint(m_settings, "synth.dynamic-sample-loading", 1);
            m_synth = new_fluid_synth(m_settings);
        }
        // Every song would fail the same way: one line is enough, and the songs stay silent.
        if (!m_synth) {
            if (FirstMidiSynthFailure()) WriteReportLog("Midi Open FluidSynth を作れません");
            return;
        }
        if (fluid_synth_sfload(m_synth, m_font.c_str(), 1) == FLUID_FAILED) {
            if (FirstMidiSynthFailure()) WriteReportLog("Midi Open サウンドフォント %s が読めません", m_font.c_str());
            return;
        }
        m_ready.store(true, std::memory_order_release);
    }

    std::string m_font;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    std::thread m_loader;
    std::atomic<bool> m_ready{false};
};

class cFluidMidiSynth final : public cMidiSynth {
public:
    bool Open(std::string& error) {
        PrepareFluidSynth();
        const std::string font = MidiSoundFontPath();
        if (!fluid_is_soundfont(font.c_str())) {
            error = "サウンドフォント " + font + " がありません";
            return false;
        }
        m_engine = std::make_unique<cFluidEngine>(font);
        return true;
    }

    bool Ready() override { return m_engine->Ready(); }

    void ShortMessage(u8 status, u8 d1, u8 d2) override {
        if (!Ready()) return;
        fluid_synth_t* synth = m_engine->Synth();
        const int ch = status & 0x0F;
        switch (status & 0xF0) {
        case 0x80: fluid_synth_noteoff(synth, ch, d1); break;
        case 0x90: fluid_synth_noteon(synth, ch, d1, d2); break; // velocity 0 is a note-off there
        case 0xA0: fluid_synth_key_pressure(synth, ch, d1, d2); break;
        case 0xB0: fluid_synth_cc(synth, ch, d1, d2); break;
        case 0xC0: fluid_synth_program_change(synth, ch, d1); break;
        case 0xD0: fluid_synth_channel_pressure(synth, ch, d1); break;
        case 0xE0: fluid_synth_pitch_bend(synth, ch, d1 | (d2 << 7)); break;
        default: break;
        }
    }

    void Sysex(const u8* data, int length) override {
        if (Ready() && length > 0)
            fluid_synth_sysex(m_engine->Synth(), reinterpret_cast<const char*>(data), length, nullptr, nullptr, nullptr, 0);
    }

    void AllNotesOff() override {
        if (Ready()) fluid_synth_all_notes_off(m_engine->Synth(), -1);
    }

    void Render(float* stereo, int frames) override {
        if (!Ready()) {
            std::fill(stereo, stereo + 2 * frames, 0.0f);
            return;
        }
        fluid_synth_write_float(m_engine->Synth(), frames, stereo, 0, 2, stereo, 1, 2);
    }

private:
    std::unique_ptr<cFluidEngine> m_engine;
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
