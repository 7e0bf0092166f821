#include "platform/sound/MidiStream.h"

#include <cstdio>
#include <new>

#include "platform/sound/Smf.h"
#include "platform/system/PathResolver.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"

namespace {

void PutLe32(std::vector<u8>& out, u32 v) {
    out.push_back(static_cast<u8>(v));
    out.push_back(static_cast<u8>(v >> 8));
    out.push_back(static_cast<u8>(v >> 16));
    out.push_back(static_cast<u8>(v >> 24));
}

} // namespace

cMidiStream::cMidiStream(const std::string& fileName) {
    if (Create(fileName)) Open();
}

cMidiStream::~cMidiStream() { Close(); }

bool cMidiStream::Create(const std::string& fileName) {
    m_strName = fileName;
    std::vector<u8> bytes;
    switch (ReadWholeFile(fileName, bytes)) {
    case FileRead::Ok: break;
    case FileRead::TooLarge:
        WriteReportLog("Midi %s Create メモリ確保失敗", fileName.c_str());
        return false;
    default:
        WriteReportLog("Midi %s Create ファイルが開けません", fileName.c_str());
        return false;
    }
    return Init(bytes.data(), bytes.size());
}

bool cMidiStream::Init(const u8* bytes, std::size_t size) {
    std::vector<u8> image;
    double seconds = 0.0;
    if (!ConvertSmf(bytes, size, m_strName, image, seconds)) return false;
    m_vImage = std::move(image);
    m_dSeconds = seconds;
    return true;
}

bool cMidiStream::Open() {
    if (!HasImage()) return false;
    std::string error;
    auto device = cMidiStreamDevice::Open(
        [this](const MIDIDONE& notice) {
            {
                std::lock_guard lock(m_queueMutex);
                m_notices.push_back(notice);
                ++m_nBusy;
            }
            m_queueCv.notify_all();
        },
        error);
    if (!device) {
        if (FirstMidiSynthFailure())
            WriteReportLog("Midi %s Open %s", m_strName.c_str(), error.c_str());
        return false;
    }
    if (!m_thread.joinable()) m_thread = std::thread([this] { ThreadMain(); });
    device->SetTimeDivision(SmfImageDivision(m_vImage));
    std::lock_guard lock(m_mutex);
    m_pDevice = std::move(device);
    m_nCurrent = 0;
    m_dwReadPos = kSmfImageHeader;
    m_dwCarry = 0;
    m_nState = 0;
    OutLocked();
    return true;
}

std::size_t cMidiStream::Fill(std::size_t readPos, std::vector<u8>& out) {
    out.clear();
    const u8* b = m_vImage.data();
    const std::size_t end = m_vImage.size();
    std::size_t pos = readPos;
    std::size_t lastWord = SIZE_MAX; // offset in out of the last event word written
    while (pos < end) {
        const std::size_t start = pos;
        u32 delta;
        if (!ReadVlq(b, end, pos, delta) || pos >= end) {
            pos = end;
            break;
        }
        const u64 total64 = m_dwCarry + delta;
        const u32 total = total64 > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<u32>(total64);
        const u8 status = b[pos++];
        u32 word = 0;
        const u8* longData = nullptr;
        u32 longLen = 0; // data bytes after the status byte
        bool endOfTrack = false;
        if (status == 0xFF) {
            u32 len;
            if (pos >= end) {
                pos = end;
                break;
            }
            const u8 type = b[pos++];
            if (!ReadVlq(b, end, pos, len) || len > end - pos) {
                pos = end;
                break;
            }
            const u8* d = b + pos;
            pos += len;
            if (type == 0x2F) {
                word = kMidiEndOfTrackWord;
                endOfTrack = true;
            } else if (type == 0x51 && len == 3) {
                word = (MEVT_TEMPO << 24) | (d[0] << 16) | (d[1] << 8) | d[2];
            } else {
                m_dwCarry = total64; // no stream event: its time goes to the next one
                continue;
            }
        } else if (status == 0xF0 || status == 0xF7) {
            if (!ReadVlq(b, end, pos, longLen) || longLen > end - pos) {
                pos = end;
                break;
            }
            longData = b + pos;
            pos += longLen;
            const u64 bytes = 12 + ((static_cast<u64>(longLen) + 1 + 3) & ~u64{3});
            if (longLen + 1u > 0xFFFFFFu || bytes > kBufferSize) {
                // It could never fit a buffer; queuing empty buffers for it would stall the song.
                WriteReportLog("Midi %s Out 長すぎるメッセージ(%u)を飛ばしました", m_strName.c_str(), longLen + 1u);
                m_dwCarry = total64;
                continue;
            }
            word = MEVT_F_LONG | (longLen + 1u);
        } else {
            const std::size_t n = (status & 0xE0) == 0xC0 ? 1 : 2;
            if (n > end - pos) {
                pos = end;
                break;
            }
            word = status | (b[pos] << 8) | (n == 2 ? (b[pos + 1] << 16) : 0);
            pos += n;
        }
        const std::size_t need = 12 + (longData ? ((longLen + 1u + 3u) & ~3u) : 0);
        if (out.size() + need > kBufferSize) {
            pos = start; // taken again, with the same carried time, by the next buffer
            break;
        }
        PutLe32(out, total);
        PutLe32(out, 0);
        lastWord = out.size();
        PutLe32(out, word);
        if (longData) {
            out.push_back(status);
            out.insert(out.end(), longData, longData + longLen);
            while (out.size() % 4) out.push_back(0);
        }
        m_dwCarry = 0;
        if (endOfTrack) break;
    }
    if (lastWord != SIZE_MAX) out[lastWord + 3] |= MEVT_F_CALLBACK >> 24;
    return pos - readPos;
}

void cMidiStream::OutLocked() {
    if (!m_pDevice || m_dwReadPos >= m_vImage.size() || m_pDevice->IsQueued(m_nCurrent)) return;
    std::vector<u8> data;
    data.reserve(kBufferSize);
    m_dwReadPos += Fill(m_dwReadPos, data);
    if (data.empty()) return;
    m_pDevice->Out(m_nCurrent, std::move(data));
    m_nCurrent = (m_nCurrent + 1) % kBufferCount;
}

void cMidiStream::Out() {
    std::lock_guard lock(m_mutex);
    OutLocked();
}

void cMidiStream::RestartLocked(bool loop) {
    m_bLoop = loop;
    if (!m_pDevice || m_nState == 1) return;
    m_pDevice->Restart();
    const int previous = m_nState;
    m_nState = 1;
    if (previous != 2 && m_dwReadPos < m_vImage.size()) OutLocked();
}

void cMidiStream::Restart(bool loop) {
    std::lock_guard lock(m_mutex);
    RestartLocked(loop);
}

void cMidiStream::PauseLocked(int pause) {
    if (!m_pDevice) return;
    if (pause == 0) {
        m_pDevice->Stop();
        m_nState = 0;
        m_dwReadPos = kSmfImageHeader;
        m_dwCarry = 0;
        m_nCurrent = 0;
        OutLocked(); // so that a later restart starts at once
    } else if (m_nState == 1) {
        m_pDevice->Pause();
        m_nState = 2;
    }
}

void cMidiStream::Pause(int pause) {
    std::lock_guard lock(m_mutex);
    PauseLocked(pause);
}

int cMidiStream::State() {
    std::lock_guard lock(m_mutex);
    return m_nState;
}

void cMidiStream::Close() {
    std::unique_ptr<cMidiStreamDevice> device;
    {
        std::lock_guard lock(m_mutex);
        if (m_pDevice) m_pDevice->Stop();
        device = std::move(m_pDevice);
        m_nState = 0;
    }
    device.reset(); // out of the mix: no render and no notice uses it any more
    {
        std::lock_guard lock(m_queueMutex);
        m_bQuit = true;
    }
    m_queueCv.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void cMidiStream::ThreadMain() {
    for (;;) {
        MIDIDONE notice;
        {
            std::unique_lock lock(m_queueMutex);
            m_queueCv.wait(lock, [&] { return m_bQuit || !m_notices.empty(); });
            if (m_bQuit) return;
            notice = m_notices.front();
            m_notices.pop_front();
        }
        try {
            OnDone(notice);
        } catch (const std::exception& e) {
            // Out of memory while refilling: the song stops; nothing may leave the thread.
            WriteReportLog("Midi %s Out %s", m_strName.c_str(), e.what());
        }
        {
            std::lock_guard lock(m_queueMutex);
            --m_nBusy;
        }
        m_queueCv.notify_all();
    }
}

void cMidiStream::OnDone(const MIDIDONE& notice) {
    std::lock_guard lock(m_mutex);
    // A notice from before the last stop belongs to buffers that were already handed back.
    if (!m_pDevice || notice.dwGeneration != m_pDevice->Generation()) return;
    if ((notice.dwEvent & 0xFFFFFF) == kMidiEndOfTrackWord) {
        PauseLocked(0);
        if (m_bLoop) RestartLocked(true);
    } else if (m_dwReadPos < m_vImage.size()) {
        OutLocked();
    }
}

void cMidiStream::WaitIdle() {
    std::unique_lock lock(m_queueMutex);
    m_queueCv.wait(lock, [&] { return m_nBusy == 0 || m_bQuit; });
}

int cMidiStream::Play(std::vector<std::unique_ptr<cMidiStream>>& streams, int channel, const std::string& path,
                      bool loop, float gain) {
    Stop(streams, 0);
    for (auto& s : streams) s.reset();
    std::string ext;
    if (!GetExtension(ext, path) || ext != "mid") return 0;
    if (channel < 0 || static_cast<std::size_t>(channel) >= streams.size()) {
        WriteReport("err V[%d] ( %d , %d )", channel, static_cast<int>(streams.size()),
                    static_cast<int>(sizeof(cMidiStream*)));
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    auto stream = std::make_unique<cMidiStream>(path);
    const bool started = stream->HasImage() && stream->IsOpen();
    if (started) {
        stream->m_pDevice->SetGain(gain); // before the first note sounds
        stream->Restart(loop);
    }
    streams[static_cast<std::size_t>(channel)] = std::move(stream);
    return started ? 1 : 0;
}

void cMidiStream::Stop(std::vector<std::unique_ptr<cMidiStream>>& streams, int pause) {
    for (auto& s : streams)
        if (s) s->Pause(pause);
}
