#include "platform/sound/Smf.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/system/Report.h"

namespace {

u32 Be32(const u8* p) { return (static_cast<u32>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
u16 Be16(const u8* p) { return static_cast<u16>((p[0] << 8) | p[1]); }

struct Event {
    u64 tick = 0;
    u32 track = 0;
    u8 status = 0;
    u8 metaType = 0;   // meta events only
    std::size_t data = 0; // offset of the event's data in the file (after status / type)
    u32 length = 0;       // data bytes
};

// Channel messages carry one data byte for program change and channel pressure, else two.
u32 ChannelDataBytes(u8 status) { return (status & 0xE0) == 0xC0 ? 1 : 2; }

// Parses one track's events into out. False on anything that runs past the chunk or is not
// a valid event; the end-of-track event itself is not stored.
bool ParseTrack(const u8* b, std::size_t pos, std::size_t end, u32 track, std::vector<Event>& out, u64& endTick) {
    u64 tick = 0;
    u8 running = 0;
    while (pos < end) {
        u32 delta;
        if (!ReadVlq(b, end, pos, delta) || pos >= end) return false;
        tick += delta;
        Event e;
        e.tick = tick;
        e.track = track;
        u8 status = b[pos];
        if (status & 0x80) {
            ++pos;
        } else {
            if (running == 0) return false; // data without a status before it
            status = running;
        }
        e.status = status;
        if (status == 0xFF) {
            if (pos >= end) return false;
            e.metaType = b[pos++];
            u32 len;
            if (!ReadVlq(b, end, pos, len) || len > end - pos) return false;
            e.data = pos;
            e.length = len;
            pos += len;
            if (e.metaType == 0x2F) {
                endTick = tick;
                return true;
            }
        } else if (status == 0xF0 || status == 0xF7) {
            u32 len;
            if (!ReadVlq(b, end, pos, len) || len > end - pos) return false;
            e.data = pos;
            e.length = len;
            pos += len;
        } else if (status >= 0xF0) {
            return false; // system common and real-time messages do not belong in a file
        } else {
            running = status;
            const u32 n = ChannelDataBytes(status);
            if (n > end - pos) return false;
            for (u32 i = 0; i < n; ++i)
                if (b[pos + i] & 0x80) return false;
            e.data = pos;
            e.length = n;
            pos += n;
        }
        out.push_back(e);
    }
    // The chunk ended without an end-of-track event: its end is the track's end.
    endTick = tick;
    return true;
}

bool Refuse(const std::string& name, const char* why) {
    WriteReportLog("Midi %s Init 標準MIDIでない%s", name.c_str(), why);
    return false;
}

} // namespace

bool ReadVlq(const u8* bytes, std::size_t end, std::size_t& pos, u32& value) {
    u32 v = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= end) return false;
        const u8 c = bytes[pos++];
        v = (v << 7) | (c & 0x7F);
        if (!(c & 0x80)) {
            value = v;
            return true;
        }
    }
    return false;
}

bool WriteVlq(std::vector<u8>& out, u32 value) {
    if (value > kVlqMax) return false;
    u8 tmp[4];
    int n = 0;
    tmp[n++] = value & 0x7F;
    while (value >>= 7) tmp[n++] = static_cast<u8>(0x80 | (value & 0x7F));
    while (n > 0) out.push_back(tmp[--n]);
    return true;
}

u16 SmfImageDivision(const std::vector<u8>& image) {
    return image.size() >= kSmfImageHeader ? Be16(image.data() + 12) : 0;
}

bool ConvertSmf(const u8* b, std::size_t size, const std::string& name, std::vector<u8>& image, double& seconds) {
    if (size < 8 || std::memcmp(b, "MThd", 4) != 0) return Refuse(name, "(4)");
    if (Be32(b + 4) != 6 || size < 14) return Refuse(name, "(6)");
    const u16 format = Be16(b + 8);
    if (format == 2) {
        WriteReportLog("Midi %s Init 対応フォーマットが2でない", name.c_str());
        return false;
    }
    if (format > 2) {
        WriteReportLog("Midi %s Init 対応フォーマットが0または1でない", name.c_str());
        return false;
    }
    if (size < 22 || std::memcmp(b + 14, "MTrk", 4) != 0) return Refuse(name, "(4)");
    const u16 tracks = Be16(b + 10);
    const u16 division = Be16(b + 12);
    // Ticks per quarter note only: 0 would divide by zero and time-code divisions have no tempo.
    if (division == 0 || (division & 0x8000)) return Refuse(name, "(division)");
    if (tracks == 0) return Refuse(name, "");

    std::vector<Event> events;
    try {
        u64 maxTick = 0;
        std::size_t pos = 14;
        for (u32 t = 0; t < tracks; ++t) {
            // Chunks of other kinds are skipped; a track the file does not hold is a refusal.
            for (;;) {
                if (size - pos < 8) return Refuse(name, "");
                const u32 len = Be32(b + pos + 4);
                if (len > size - pos - 8) return Refuse(name, "");
                if (std::memcmp(b + pos, "MTrk", 4) == 0) break;
                pos += 8 + static_cast<std::size_t>(len);
            }
            const std::size_t end = pos + 8 + Be32(b + pos + 4);
            u64 endTick = 0;
            if (!ParseTrack(b, pos + 8, end, t, events, endTick)) return Refuse(name, "");
            maxTick = std::max(maxTick, endTick);
            pos = end;
        }
        Event eot;
        eot.tick = maxTick;
        eot.track = tracks - 1u;
        eot.status = 0xFF;
        eot.metaType = 0x2F;
        eot.data = 0;
        eot.length = 0;
        events.push_back(eot);
        // Within a track ticks never go back, so a stable sort by tick is the merge that takes
        // the lower track first on equal ticks.
        std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& c) {
            if (a.tick != c.tick) return a.tick < c.tick;
            return a.track < c.track;
        });

        std::vector<u8> out;
        out.reserve(kSmfImageHeader + size * 2);
        const u8 header[kSmfImageHeader] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, b[12], b[13],
                                            'M', 'T', 'r', 'k', 0, 0, 0, 0};
        out.insert(out.end(), header, header + kSmfImageHeader);
        double length = 0.0;
        u64 tempoTick = 0;
        u32 tempo = 500000;
        u64 prev = 0;
        for (const Event& e : events) {
            const u64 delta = e.tick - prev;
            prev = e.tick;
            if (delta > kVlqMax) return Refuse(name, "");
            WriteVlq(out, static_cast<u32>(delta));
            out.push_back(e.status);
            if (e.status == 0xFF) {
                out.push_back(e.metaType);
                WriteVlq(out, e.length);
                out.insert(out.end(), b + e.data, b + e.data + e.length);
                if (e.metaType == 0x51 && e.length == 3) {
                    length += static_cast<double>(e.tick - tempoTick) * tempo * 0.000001 / division;
                    tempoTick = e.tick;
                    tempo = (b[e.data] << 16) | (b[e.data + 1] << 8) | b[e.data + 2];
                } else if (e.metaType == 0x2F) {
                    length += static_cast<double>(e.tick - tempoTick) * tempo * 0.000001 / division;
                }
            } else if (e.status == 0xF0 || e.status == 0xF7) {
                if (!WriteVlq(out, e.length)) return Refuse(name, "");
                out.insert(out.end(), b + e.data, b + e.data + e.length);
            } else {
                out.insert(out.end(), b + e.data, b + e.data + e.length);
            }
        }
        const u64 trackLen = out.size() - kSmfImageHeader;
        if (trackLen > 0xFFFFFFFFu) return Refuse(name, "");
        out[18] = static_cast<u8>(trackLen >> 24);
        out[19] = static_cast<u8>(trackLen >> 16);
        out[20] = static_cast<u8>(trackLen >> 8);
        out[21] = static_cast<u8>(trackLen);
        image = std::move(out);
        seconds = length;
        return true;
    } catch (const std::bad_alloc&) {
        WriteReportLog("Midi %s Init メモリ確保失敗", name.c_str());
        return false;
    }
}
