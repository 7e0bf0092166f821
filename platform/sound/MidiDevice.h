#pragma once
// A MIDI stream device with the verbs of the system's stream interface (queue a buffer,
// restart, pause, stop), played by the mixer's sample clock into a synthesizer.
//
// A buffer holds stream events: u32 delta ticks, u32 stream id (0), u32 event word, then for a
// long message its bytes padded to whole words. The device walks the queued buffers as the
// mixer asks for sound, converting ticks to samples by the time division and the current
// tempo; each finished buffer is reported through the done notice (from the audio thread: the
// receiver must only queue it). While no buffer is queued, the stream's time stands still.
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sound/MidiSynth.h"
#include "platform/sound/Mixer.h"
#include "platform/system/Types.h"

constexpr u32 MEVT_F_LONG = 0x80000000;
constexpr u32 MEVT_F_CALLBACK = 0x40000000;
constexpr u32 MEVT_SHORTMSG = 0x00;
constexpr u32 MEVT_TEMPO = 0x01;
constexpr u32 MEVT_NOP = 0x02;
// The short event the player writes for the end of its song.
constexpr u32 kMidiEndOfTrackWord = 0x002FFF;

struct MIDIDONE {
    u32 dwGeneration; // the device's stop count when the buffer finished
    int nBuffer;
    u32 dwEvent; // word of the buffer's last event
};

class cMidiStreamDevice final : public cMixerSource {
public:
    using DoneNotice = std::function<void(const MIDIDONE&)>;

    // Makes the synthesizer and joins the mix; null with error set when there is no synthesizer.
    static std::unique_ptr<cMidiStreamDevice> Open(DoneNotice done, std::string& error);
    ~cMidiStreamDevice() override;

    void SetTimeDivision(u16 division);
    void Out(int buffer, std::vector<u8> data);
    bool IsQueued(int buffer);
    void Restart();
    void Pause();
    // Stops, returns every queued buffer unplayed, rewinds the clock and turns notes off.
    void Stop();
    u32 Generation();
    // Output gain 0..1 applied to everything the synthesizer renders (the music volume).
    void SetGain(float gain);

    void Mix(float* out, int frames) override;

private:
    cMidiStreamDevice() = default;
    bool LoadNextEvent();
    void FireEvent();

    struct Queued {
        int nBuffer;
        std::vector<u8> data;
    };

    std::mutex m_mutex;
    DoneNotice m_done;
    std::unique_ptr<cMidiSynth> m_synth;
    std::deque<Queued> m_queue;
    std::size_t m_pos = 0; // in the front buffer
    u32 m_dwLastWord = 0;
    bool m_bHaveEvent = false;
    u32 m_dwWord = 0;
    std::size_t m_dataPos = 0;
    double m_dNextTime = 0.0; // samples since the stream started
    double m_dLastTime = 0.0;
    i64 m_nClock = 0;
    u32 m_dwTempo = 500000;
    u16 m_wDivision = 96;
    int m_nState = 0; // 0 stopped, 1 playing, 2 paused
    u32 m_dwGeneration = 0;
    std::vector<float> m_vTmp;
    float m_fGain = 1.0f;
};
