#include "platform/sound/MidiDevice.h"

#include <algorithm>
#include <cmath>

namespace {

u32 MidiLe32(const u8* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<u32>(p[3]) << 24); }

} // namespace

std::unique_ptr<cMidiStreamDevice> cMidiStreamDevice::Open(DoneNotice done, std::string& error) {
    std::unique_ptr<cMidiStreamDevice> dev(new cMidiStreamDevice());
    dev->m_synth = CreateMidiSynth(error);
    if (!dev->m_synth) return nullptr;
    dev->m_done = std::move(done);
    MixerAddSource(dev.get());
    return dev;
}

cMidiStreamDevice::~cMidiStreamDevice() {
    // Once removed, no render uses the device and no notice leaves it.
    MixerRemoveSource(this);
}

void cMidiStreamDevice::SetTimeDivision(u16 division) {
    std::lock_guard lock(m_mutex);
    if (division != 0 && !(division & 0x8000)) m_wDivision = division;
}

void cMidiStreamDevice::Out(int buffer, std::vector<u8> data) {
    std::lock_guard lock(m_mutex);
    m_queue.push_back(Queued{buffer, std::move(data)});
}

bool cMidiStreamDevice::IsQueued(int buffer) {
    std::lock_guard lock(m_mutex);
    return std::any_of(m_queue.begin(), m_queue.end(), [&](const Queued& q) { return q.nBuffer == buffer; });
}

void cMidiStreamDevice::Restart() {
    std::lock_guard lock(m_mutex);
    m_nState = 1;
}

void cMidiStreamDevice::Pause() {
    std::lock_guard lock(m_mutex);
    if (m_nState != 1) return;
    m_nState = 2;
    m_synth->AllNotesOff();
}

void cMidiStreamDevice::Stop() {
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_pos = 0;
    m_bHaveEvent = false;
    m_dNextTime = m_dLastTime = 0.0;
    m_nClock = 0;
    m_dwTempo = 500000;
    m_nState = 0;
    ++m_dwGeneration;
    m_synth->AllNotesOff();
}

u32 cMidiStreamDevice::Generation() {
    std::lock_guard lock(m_mutex);
    return m_dwGeneration;
}

// Takes the next event of the queue into m_dwWord and its time into m_dNextTime, reporting the
// buffers it finishes on the way. False when the queue ran dry.
bool cMidiStreamDevice::LoadNextEvent() {
    while (!m_queue.empty()) {
        Queued& q = m_queue.front();
        const std::size_t size = q.data.size();
        bool ok = size >= 12 && m_pos <= size - 12;
        u32 delta = 0, word = 0;
        std::size_t next = m_pos + 12;
        if (ok) {
            delta = MidiLe32(q.data.data() + m_pos);
            word = MidiLe32(q.data.data() + m_pos + 8);
            if (word & MEVT_F_LONG) {
                const std::size_t len = ((word & 0xFFFFFF) + 3u) & ~std::size_t{3};
                ok = len <= size - next;
                next += len;
            }
        }
        if (!ok) {
            // The buffer is finished (or holds a torn event, which ends it the same way).
            const MIDIDONE notice{m_dwGeneration, q.nBuffer, m_dwLastWord};
            m_queue.pop_front();
            m_pos = 0;
            if (m_done) m_done(notice);
            continue;
        }
        m_dwWord = word;
        m_dataPos = m_pos + 12;
        m_pos = next;
        m_dwLastWord = word;
        const double samplesPerTick = static_cast<double>(m_dwTempo) * kMixRate / (1e6 * m_wDivision);
        m_dNextTime = m_dLastTime + delta * samplesPerTick;
        m_bHaveEvent = true;
        return true;
    }
    return false;
}

void cMidiStreamDevice::FireEvent() {
    const u32 w = m_dwWord;
    const u8* data = m_queue.empty() ? nullptr : m_queue.front().data.data() + m_dataPos;
    if (w & MEVT_F_LONG) {
        const u32 len = w & 0xFFFFFF;
        // Only complete system exclusive messages go to the synthesizer, without F0 and F7.
        if (data && len >= 2 && data[0] == 0xF0) {
            const u32 body = data[len - 1] == 0xF7 ? len - 2 : len - 1;
            m_synth->Sysex(data + 1, static_cast<int>(body));
        }
        return;
    }
    const u32 type = (w >> 24) & 0x3F;
    if (type == MEVT_TEMPO) {
        m_dwTempo = w & 0xFFFFFF;
    } else if (type == MEVT_SHORTMSG) {
        if ((w & 0xFFFFFF) == kMidiEndOfTrackWord) {
            // The song's end: notes still held must not hang over a pause or the loop's start;
            // controllers and programs stay, as a reset would lose them.
            m_synth->AllNotesOff();
            return;
        }
        const u8 status = w & 0xFF;
        if (status >= 0x80 && status < 0xF0)
            m_synth->ShortMessage(status, static_cast<u8>((w >> 8) & 0x7F), static_cast<u8>((w >> 16) & 0x7F));
    }
}

void cMidiStreamDevice::Mix(float* out, int frames) {
    std::lock_guard lock(m_mutex);
    if (!m_synth->Ready()) return;
    m_vTmp.resize(static_cast<std::size_t>(frames) * 2);
    int done = 0;
    while (done < frames) {
        int chunk = frames - done;
        if (m_nState == 1) {
            for (;;) {
                if (!m_bHaveEvent && !LoadNextEvent()) break;
                const i64 due = std::llround(m_dNextTime);
                if (due > m_nClock) {
                    chunk = static_cast<int>(std::min<i64>(chunk, due - m_nClock));
                    break;
                }
                // The event is consumed before it fires: a stop from inside (none today) or a
                // torn buffer must never fire it twice.
                m_bHaveEvent = false;
                m_dLastTime = m_dNextTime;
                FireEvent();
            }
            if (m_bHaveEvent) m_nClock += chunk;
        }
        m_synth->Render(m_vTmp.data() + 2 * done, chunk);
        done += chunk;
    }
    for (int i = 0; i < frames * 2; ++i) out[i] += m_vTmp[i] * m_fGain;
}

void cMidiStreamDevice::SetGain(float gain) {
    std::lock_guard lock(m_mutex);
    m_fGain = std::clamp(gain, 0.0f, 1.0f);
}
