#include "platform/sound/MidiSynth.h"

#include <sys/resource.h>
#include <unistd.h>
#include <fluidsynth.h> // the types and signatures; the library itself is opened at run time

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sound/Mixer.h"
#include "platform/system/FileOpen.h"
#include "platform/system/FirstFrame.h"
#include "platform/system/Report.h"
#include "platform/system/RuntimeLibrary.h"

namespace {

// How much lower than the program the sound font's loading thread runs (a nice value).
constexpr int kLoaderNice = 10;

// The font is read once the game's first frame is done; a game that makes none holds the music
// back this long at most.
constexpr u32 kFirstFrameWaitMs = 3000;

// FluidSynth's default gain of 0.2 is quiet beside the sound effects.
constexpr double kSynthGain = 0.6;

std::mutex g_factoryMutex;
MidiSynthFactory g_factory;
bool g_failureReported = false;

// The library's functions this player calls. The library (with the dozens it brings in) is
// opened by the first synthesizer's loading thread, not when the program starts: a game whose
// music is Ogg, or silent, never maps it, and start-up does not wait for it.
struct cFluidApi {
    decltype(&new_fluid_settings) newSettings;
    decltype(&delete_fluid_settings) deleteSettings;
    decltype(&fluid_settings_setnum) setNum;
    decltype(&fluid_settings_setint) setInt;
    decltype(&new_fluid_synth) newSynth;
    decltype(&delete_fluid_synth) deleteSynth;
    decltype(&fluid_synth_sfload) sfLoad;
    decltype(&fluid_set_log_function) setLogFunction;
    decltype(&fluid_synth_noteoff) noteOff;
    decltype(&fluid_synth_noteon) noteOn;
    decltype(&fluid_synth_key_pressure) keyPressure;
    decltype(&fluid_synth_cc) cc;
    decltype(&fluid_synth_program_change) programChange;
    decltype(&fluid_synth_channel_pressure) channelPressure;
    decltype(&fluid_synth_pitch_bend) pitchBend;
    decltype(&fluid_synth_sysex) sysex;
    decltype(&fluid_synth_all_notes_off) allNotesOff;
    decltype(&fluid_synth_write_float) writeFloat;
    void (*setOmpThreads)(int); // from the OpenMP runtime the library brings, when it does
};

// Null when the library or one of its functions cannot be found.
const cFluidApi* FluidApi() {
    static std::once_flag once;
    static cFluidApi api{};
    static bool ok = false;
    std::call_once(once, [] {
        cRuntimeLibrary lib(TOBRELK_FLUIDSYNTH_SONAME, "libfluidsynth.so", /*bindNow=*/true);
        if (!lib.IsOpen()) return;
        lib.Find(api.newSettings, "new_fluid_settings");
        lib.Find(api.deleteSettings, "delete_fluid_settings");
        lib.Find(api.setNum, "fluid_settings_setnum");
        lib.Find(api.setInt, "fluid_settings_setint");
        lib.Find(api.newSynth, "new_fluid_synth");
        lib.Find(api.deleteSynth, "delete_fluid_synth");
        lib.Find(api.sfLoad, "fluid_synth_sfload");
        lib.Find(api.setLogFunction, "fluid_set_log_function");
        lib.Find(api.noteOff, "fluid_synth_noteoff");
        lib.Find(api.noteOn, "fluid_synth_noteon");
        lib.Find(api.keyPressure, "fluid_synth_key_pressure");
        lib.Find(api.cc, "fluid_synth_cc");
        lib.Find(api.programChange, "fluid_synth_program_change");
        lib.Find(api.channelPressure, "fluid_synth_channel_pressure");
        lib.Find(api.pitchBend, "fluid_synth_pitch_bend");
        lib.Find(api.sysex, "fluid_synth_sysex");
        lib.Find(api.allNotesOff, "fluid_synth_all_notes_off");
        lib.Find(api.writeFloat, "fluid_synth_write_float");
        if (!lib.FoundAll()) return;
        lib.FindOptional(api.setOmpThreads, "omp_set_num_threads");
        for (int level = 0; level < LAST_LOG_LEVEL; ++level) api.setLogFunction(level, nullptr, nullptr);
        ok = true;
    });
    return ok ? &api : nullptr;
}

// Loading a sound font would start a worker thread per core otherwise. The OpenMP runtime
// reads the variable when the library brings it in, which is later than this.
void PrepareFluidSynth() {
    static std::once_flag once;
    std::call_once(once, [] { setenv("OMP_NUM_THREADS", "1", 1); });
}

// FluidSynth's own check of a sound font file: a RIFF file of the "sfbk" form.
bool IsSoundFontFile(const std::string& path) {
    int fd = -1;
    struct stat st {};
    if (OpenReadFile(path, fd, st) != FileRead::Ok) return false;
    char head[12];
    const bool ok = ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
                    std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "sfbk", 4) == 0;
    ::close(fd);
    return ok;
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
        m_cancel.store(true);
        if (m_loader.joinable()) m_loader.join();
        if (m_synth) m_api->deleteSynth(m_synth);
        if (m_settings) m_api->deleteSettings(m_settings);
    }
    cFluidEngine(const cFluidEngine&) = delete;
    cFluidEngine& operator=(const cFluidEngine&) = delete;

    // Nothing but the loader touches the synthesizer until this says the font is in.
    bool Ready() const { return m_ready.load(std::memory_order_acquire); }
    fluid_synth_t* Synth() const { return m_synth; }
    // Valid once Ready().
    const cFluidApi& Api() const { return *m_api; }

private:
    void Load() {
        // The song waits for this thread, the game does not: on a busy machine the frames go
        // first, the music starts a little later.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kLoaderNice);
        // Nor does the first frame wait for it: the song of the title asks as the title starts.
        FirstFrameWait(m_cancel, kFirstFrameWaitMs);
        if (m_cancel.load()) return;
        const cFluidApi* api = FluidApi();
        // Every song would fail the same way: one line is enough, and the songs stay silent.
        if (!api) {
            if (FirstMidiSynthFailure()) WriteReportLog("Midi Open FluidSynth (%s) を読み込めません", TOBRELK_FLUIDSYNTH_SONAME);
            return;
        }
        m_api = api;
        // The OpenMP limit is per thread: the thread that loads a sound font sets it on itself.
        if (api->setOmpThreads) api->setOmpThreads(1);
        m_settings = api->newSettings();
        if (m_settings) {
            api->setNum(m_settings, "synth.sample-rate", kMixRate);
            api->setNum(m_settings, "synth.gain", kSynthGain);
            // Every call comes from the mixer under its lock, so FluidSynth's own lock is not needed.
            api->setInt(m_settings, "synth.threadsafe-api", 0);
            // Only the samples of the instruments a song selects are read into memory: a whole
            // General MIDI font would be several megabytes more.
            api->setInt(m_settings, "synth.dynamic-sample-loading", 1);
            m_synth = api->newSynth(m_settings);
        }
        if (!m_synth) {
            if (FirstMidiSynthFailure()) WriteReportLog("Midi Open FluidSynth を作れません");
            return;
        }
        if (api->sfLoad(m_synth, m_font.c_str(), 1) == FLUID_FAILED) {
            if (FirstMidiSynthFailure()) WriteReportLog("Midi Open サウンドフォント %s が読めません", m_font.c_str());
            return;
        }
        m_ready.store(true, std::memory_order_release);
    }

    std::string m_font;
    const cFluidApi* m_api = nullptr; // set by the loader before m_ready
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    std::thread m_loader;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_cancel{false}; // the engine goes before its font was needed
};

class cFluidMidiSynth final : public cMidiSynth {
public:
    bool Open(std::string& error) {
        PrepareFluidSynth();
        const std::string font = MidiSoundFontPath();
        if (!IsSoundFontFile(font)) {
            error = "サウンドフォント " + font + " がありません";
            return false;
        }
        m_engine = std::make_unique<cFluidEngine>(font);
        return true;
    }

    bool Ready() override { return m_engine->Ready(); }

    void ShortMessage(u8 status, u8 d1, u8 d2) override {
        if (!Ready()) return;
        const cFluidApi& f = m_engine->Api();
        fluid_synth_t* synth = m_engine->Synth();
        const int ch = status & 0x0F;
        switch (status & 0xF0) {
        case 0x80: f.noteOff(synth, ch, d1); break;
        case 0x90: f.noteOn(synth, ch, d1, d2); break; // velocity 0 is a note-off there
        case 0xA0: f.keyPressure(synth, ch, d1, d2); break;
        case 0xB0: f.cc(synth, ch, d1, d2); break;
        case 0xC0: f.programChange(synth, ch, d1); break;
        case 0xD0: f.channelPressure(synth, ch, d1); break;
        case 0xE0: f.pitchBend(synth, ch, d1 | (d2 << 7)); break;
        default: break;
        }
    }

    void Sysex(const u8* data, int length) override {
        if (Ready() && length > 0)
            m_engine->Api().sysex(m_engine->Synth(), reinterpret_cast<const char*>(data), length, nullptr, nullptr,
                                  nullptr, 0);
    }

    void AllNotesOff() override {
        if (Ready()) m_engine->Api().allNotesOff(m_engine->Synth(), -1);
    }

    void Render(float* stereo, int frames) override {
        if (!Ready()) {
            std::fill(stereo, stereo + 2 * frames, 0.0f);
            return;
        }
        m_engine->Api().writeFloat(m_engine->Synth(), frames, stereo, 0, 2, stereo, 1, 2);
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
