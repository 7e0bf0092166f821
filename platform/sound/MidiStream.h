#pragma once
// The runtime's own MIDI player: a standard MIDI file is read whole, merged into a format-0
// image, and fed to a stream device in two alternating buffers that the player's own thread
// refills as the device finishes them. At the end of the song the stream is stopped and
// rewound, and started again when the song loops.
//
// Threads: the window thread opens, restarts, pauses, stops and destroys streams; the player's
// thread refills buffers and loops. One mutex guards the player's state; the thread is told to
// quit and joined before anything it uses is freed.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/MidiDevice.h"
#include "platform/sound/Smf.h"
#include "platform/system/Types.h"

class cMidiStream {
public:
    static constexpr int kBufferCount = 2;
    static constexpr std::size_t kBufferSize = 24000;

    cMidiStream() = default;
    // Reads and converts the file, then opens the device when the file was accepted.
    explicit cMidiStream(const std::string& fileName);
    ~cMidiStream();
    cMidiStream(const cMidiStream&) = delete;
    cMidiStream& operator=(const cMidiStream&) = delete;

    bool Create(const std::string& fileName);
    // Checks and converts a file held in memory.
    bool Init(const u8* bytes, std::size_t size);
    bool Open();
    void Out();
    void Restart(bool loop);
    void Pause(int pause);
    void Close();

    // Stops every stream of the vector, makes a new one for the path at the channel's entry and
    // starts it at the given output gain (0..1); nonzero when the song started.
    static int Play(std::vector<std::unique_ptr<cMidiStream>>& streams, int channel, const std::string& path,
                    bool loop, float gain = 1.0f);
    static void Stop(std::vector<std::unique_ptr<cMidiStream>>& streams, int pause);

    bool HasImage() const { return !m_vImage.empty(); }
    bool IsOpen() const { return m_pDevice != nullptr; }
    const std::vector<u8>& Image() const { return m_vImage; }
    double Seconds() const { return m_dSeconds; }
    int State();
    // Waits until the player's thread has handled every notice it was given (tests).
    void WaitIdle();
    // Fills one buffer with the events from image offset readPos; the bytes of the image used.
    std::size_t Fill(std::size_t readPos, std::vector<u8>& data);

private:
    void OutLocked();
    void RestartLocked(bool loop);
    void PauseLocked(int pause);
    void ThreadMain();
    void OnDone(const MIDIDONE& notice);

    std::vector<u8> m_vImage;
    std::string m_strName;
    double m_dSeconds = 0.0;

    std::mutex m_mutex; // everything below
    int m_nCurrent = 0;
    std::unique_ptr<cMidiStreamDevice> m_pDevice;
    std::size_t m_dwReadPos = kSmfImageHeader;
    int m_nState = 0; // 0 stopped, 1 playing, 2 paused
    bool m_bLoop = false;
    u64 m_dwCarry = 0; // delta of meta events that made no stream event

    std::mutex m_queueMutex;
    std::condition_variable m_queueCv;
    std::deque<MIDIDONE> m_notices;
    int m_nBusy = 0; // notices queued or being handled
    bool m_bQuit = false;
    std::thread m_thread;
};
