#include "tools/DemoMedia.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include <vorbis/vorbisenc.h>

namespace {

void Put16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, unsigned v) {
    Put16(s, v & 0xFFFF);
    Put16(s, (v >> 16) & 0xFFFF);
}
void PutBE16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
    s.push_back(static_cast<char>(v & 0xFF));
}
void PutBE32(std::string& s, unsigned v) {
    PutBE16(s, (v >> 16) & 0xFFFF);
    PutBE16(s, v & 0xFFFF);
}

std::array<RGB8, 256> BuildPalette() {
    std::array<RGB8, 256> p{};
    p[0] = kDemoKeyColor;
    const RGB8 basic[15] = {{0, 0, 0},       {255, 255, 255}, {200, 40, 40},  {40, 160, 60},  {50, 90, 210},
                            {240, 210, 60},  {140, 90, 50},   {90, 60, 30},   {120, 120, 120}, {200, 200, 200},
                            {250, 170, 130}, {100, 200, 255}, {30, 100, 40},  {255, 140, 0},   {60, 60, 60}};
    for (int i = 1; i < 16; ++i) p[i] = basic[i - 1];
    // 16..231: a 6x6x6 colour cube for the colour effects.
    for (int i = 0; i < 216; ++i)
        p[16 + i] = {static_cast<std::uint8_t>((i / 36) * 51), static_cast<std::uint8_t>(((i / 6) % 6) * 51),
                     static_cast<std::uint8_t>((i % 6) * 51)};
    for (int i = 232; i < 256; ++i) {
        const auto g = static_cast<std::uint8_t>((i - 232) * 10);
        p[i] = {g, g, g};
    }
    p[240] = {16, 24, 96};    // window frame
    p[241] = {255, 255, 255}; // text
    return p;
}

// 3x5 glyphs of the characters the demo writes.
const std::map<char, const char*>& Glyphs() {
    static const std::map<char, const char*> g = {
        {'0', "111101101101111"}, {'1', "010110010010111"}, {'2', "111001111100111"}, {'3', "111001111001111"},
        {'4', "101101111001001"}, {'5', "111100111001111"}, {'6', "111100111101111"}, {'7', "111001001001001"},
        {'8', "111101111101111"}, {'9', "111101111001111"}, {'A', "010101111101101"}, {'B', "110101110101110"},
        {'C', "011100100100011"}, {'D', "110101101101110"}, {'E', "111100110100111"}, {'F', "111100110100100"},
        {'G', "011100101101011"}, {'H', "101101111101101"}, {'I', "111010010010111"}, {'J', "001001001101010"}, {'K', "101101110101101"},
        {'L', "100100100100111"}, {'M', "101111111101101"}, {'N', "110101101101101"}, {'O', "010101101101010"},
        {'P', "110101110100100"}, {'R', "110101110101101"}, {'S', "011100010001110"}, {'T', "111010010010010"},
        {'U', "101101101101111"}, {'V', "101101101101010"}, {'W', "101101111111101"}, {'X', "101101010101101"},
        {'Y', "101101010010010"}, {'Z', "111001010100111"}, {'-', "000000111000000"}, {'!', "010010010000010"},
        {'?', "111001010000010"}, {':', "000010000010000"}, {'/', "001001010100100"}, {'%', "101001010100101"},
    };
    return g;
}

} // namespace

const std::array<RGB8, 256>& DemoPalette() {
    static const std::array<RGB8, 256> p = BuildPalette();
    return p;
}

void cCanvas::Set(int x, int y, std::uint8_t c) {
    if (x >= 0 && y >= 0 && x < m_w && y < m_h) m_px[static_cast<std::size_t>(y) * m_w + x] = c;
}

std::uint8_t cCanvas::Get(int x, int y) const {
    return x >= 0 && y >= 0 && x < m_w && y < m_h ? m_px[static_cast<std::size_t>(y) * m_w + x] : PAL_KEY;
}

void cCanvas::Fill(int x, int y, int w, int h, std::uint8_t c) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) Set(x + i, y + j, c);
}

void cCanvas::Frame(int x, int y, int w, int h, std::uint8_t c) {
    Fill(x, y, w, 1, c);
    Fill(x, y + h - 1, w, 1, c);
    Fill(x, y, 1, h, c);
    Fill(x + w - 1, y, 1, h, c);
}

void cCanvas::Sprite(int x, int y, const std::vector<std::string>& rows, const std::string& map, int scale) {
    std::map<char, int> m;
    for (std::size_t i = 0; i + 2 < map.size() + 1; ++i) {
        if (map[i + 1] != '=') continue;
        std::size_t j = i + 2;
        int v = 0;
        while (j < map.size() && map[j] >= '0' && map[j] <= '9') v = v * 10 + (map[j++] - '0');
        m[map[i]] = v;
        i = j - 1;
    }
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const auto it = m.find(rows[r][c]);
            if (it == m.end()) continue;
            Fill(x + static_cast<int>(c) * scale, y + static_cast<int>(r) * scale, scale, scale,
                 static_cast<std::uint8_t>(it->second));
        }
}

void cCanvas::Glyph(int x, int y, char ch, std::uint8_t c, int scale) {
    const auto it = Glyphs().find(ch);
    if (it == Glyphs().end()) return;
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 3; ++i)
            if (it->second[j * 3 + i] == '1') Fill(x + i * scale, y + j * scale, scale, scale, c);
}

void cCanvas::Text(int x, int y, const std::string& text, std::uint8_t c, int scale) {
    for (std::size_t i = 0; i < text.size(); ++i) Glyph(x + static_cast<int>(i) * 4 * scale, y, text[i], c, scale);
}

std::string cCanvas::ToBmp() const {
    const int stride = (m_w + 3) & ~3;
    const unsigned offset = 14 + 40 + 256 * 4;
    const unsigned size = offset + static_cast<unsigned>(stride) * m_h;
    std::string s;
    s += "BM";
    Put32(s, size);
    Put32(s, 0);
    Put32(s, offset);
    Put32(s, 40);
    Put32(s, static_cast<unsigned>(m_w));
    Put32(s, static_cast<unsigned>(m_h));
    Put16(s, 1);
    Put16(s, 8);
    Put32(s, 0); // BI_RGB
    Put32(s, static_cast<unsigned>(stride) * m_h);
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, 256);
    Put32(s, 0);
    for (const RGB8& c : DemoPalette()) {
        s.push_back(static_cast<char>(c.b));
        s.push_back(static_cast<char>(c.g));
        s.push_back(static_cast<char>(c.r));
        s.push_back(0);
    }
    for (int y = m_h - 1; y >= 0; --y) {
        s.append(reinterpret_cast<const char*>(&m_px[static_cast<std::size_t>(y) * m_w]), static_cast<std::size_t>(m_w));
        s.append(static_cast<std::size_t>(stride - m_w), '\0');
    }
    return s;
}

std::string MakeWav(const std::vector<std::int16_t>& samples, int rate) {
    std::string s = "RIFF";
    const unsigned data = static_cast<unsigned>(samples.size() * 2);
    Put32(s, 36 + data);
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1);
    Put16(s, 1);
    Put32(s, static_cast<unsigned>(rate));
    Put32(s, static_cast<unsigned>(rate) * 2);
    Put16(s, 2);
    Put16(s, 16);
    s += "data";
    Put32(s, data);
    for (std::int16_t v : samples) Put16(s, static_cast<std::uint16_t>(v));
    return s;
}

static std::int16_t ToSample(double v) {
    if (v > 1.0) v = 1.0;
    if (v < -1.0) v = -1.0;
    return static_cast<std::int16_t>(std::lround(v * 32000.0));
}

std::vector<std::int16_t> SynthSweep(double f0, double f1, double seconds, int rate, double volume) {
    const int n = static_cast<int>(seconds * rate);
    std::vector<std::int16_t> out(static_cast<std::size_t>(n));
    double phase = 0.0;
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / n;
        phase += (f0 + (f1 - f0) * t) / rate;
        const double square = std::fmod(phase, 1.0) < 0.5 ? 1.0 : -1.0;
        out[static_cast<std::size_t>(i)] = ToSample(square * volume * (1.0 - t));
    }
    return out;
}

std::vector<std::int16_t> SynthNotes(const std::vector<double>& freqs, double noteSeconds, int rate, double volume) {
    std::vector<std::int16_t> out;
    const int n = static_cast<int>(noteSeconds * rate);
    for (double f : freqs) {
        for (int i = 0; i < n; ++i) {
            const double env = 1.0 - static_cast<double>(i) / n;
            out.push_back(ToSample(std::sin(2.0 * M_PI * f * i / rate) * volume * env));
        }
    }
    return out;
}

std::vector<std::int16_t> SynthNoise(double seconds, int rate, double volume, unsigned seed) {
    const int n = static_cast<int>(seconds * rate);
    std::vector<std::int16_t> out(static_cast<std::size_t>(n));
    unsigned state = seed;
    for (int i = 0; i < n; ++i) {
        state = state * 214013u + 2531011u;
        const double v = static_cast<double>((state >> 16) & 0x7FFF) / 16383.5 - 1.0;
        out[static_cast<std::size_t>(i)] = ToSample(v * volume * (1.0 - static_cast<double>(i) / n));
    }
    return out;
}

std::string MakeMidi() {
    // Melody on channel 0 (a square lead), bass on channel 1; 480 ticks per quarter note.
    struct Ev {
        unsigned tick;
        std::string bytes;
    };
    std::vector<Ev> evs;
    auto note = [&](unsigned tick, unsigned len, int ch, int key, int vel) {
        evs.push_back({tick, std::string{static_cast<char>(0x90 | ch), static_cast<char>(key), static_cast<char>(vel)}});
        evs.push_back({tick + len, std::string{static_cast<char>(0x80 | ch), static_cast<char>(key), 0}});
    };
    const int melody[] = {72, 74, 76, 79, 76, 74, 72, 67, 69, 71, 72, 74, 76, 74, 72, 0};
    const int bass[] = {48, 43, 45, 41};
    for (int bar = 0; bar < 2; ++bar) {
        for (int i = 0; i < 16; ++i)
            if (melody[i]) note(static_cast<unsigned>(bar * 3840 + i * 240), 220, 0, melody[i], 96);
        for (int i = 0; i < 4; ++i) note(static_cast<unsigned>(bar * 3840 + i * 960), 900, 1, bass[i], 80);
    }
    std::stable_sort(evs.begin(), evs.end(), [](const Ev& a, const Ev& b) { return a.tick < b.tick; });
    std::string trk;
    auto varlen = [&](unsigned v) {
        unsigned char buf[5];
        int n = 0;
        buf[n++] = v & 0x7F;
        while ((v >>= 7)) buf[n++] = static_cast<unsigned char>(0x80 | (v & 0x7F));
        while (n) trk.push_back(static_cast<char>(buf[--n]));
    };
    // Tempo 120, programs: square lead and electric bass.
    varlen(0);
    trk += std::string("\xFF\x51\x03\x07\xA1\x20", 6);
    varlen(0);
    trk += std::string("\xC0\x50", 2);
    varlen(0);
    trk += std::string("\xC1\x21", 2);
    unsigned last = 0;
    for (const Ev& e : evs) {
        varlen(e.tick - last);
        last = e.tick;
        trk += e.bytes;
    }
    varlen(0);
    trk += std::string("\xFF\x2F\x00", 3);
    std::string s = "MThd";
    PutBE32(s, 6);
    PutBE16(s, 0);
    PutBE16(s, 1);
    PutBE16(s, 480);
    s += "MTrk";
    PutBE32(s, static_cast<unsigned>(trk.size()));
    s += trk;
    return s;
}

std::string MakeOgg() {
    const int rate = 22050;
    const int frames = rate * 2;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 1, rate, 0.3f) != 0) {
        vorbis_info_clear(&vi);
        return {};
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", "tobrelk demo loop");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x746f6272); // a fixed serial keeps the bytes the same from run to run
    std::string out;
    auto flushPage = [&](ogg_page& og) {
        out.append(reinterpret_cast<const char*>(og.header), static_cast<std::size_t>(og.header_len));
        out.append(reinterpret_cast<const char*>(og.body), static_cast<std::size_t>(og.body_len));
    };
    ogg_packet hdr, hdrComm, hdrCode;
    vorbis_analysis_headerout(&vd, &vc, &hdr, &hdrComm, &hdrCode);
    ogg_stream_packetin(&os, &hdr);
    ogg_stream_packetin(&os, &hdrComm);
    ogg_stream_packetin(&os, &hdrCode);
    ogg_page og;
    while (ogg_stream_flush(&os, &og)) flushPage(og);

    const double chord[3] = {261.63, 329.63, 392.0};
    int done = 0;
    bool eos = false;
    while (!eos) {
        const int n = done < frames ? std::min(1024, frames - done) : 0;
        if (n) {
            float** buf = vorbis_analysis_buffer(&vd, n);
            for (int i = 0; i < n; ++i) {
                const double t = static_cast<double>(done + i) / rate;
                const int step = static_cast<int>(t * 4) % 3;
                const double env = 1.0 - std::fmod(t * 4, 1.0) * 0.7;
                buf[0][i] = static_cast<float>(0.3 * env * std::sin(2 * M_PI * chord[step] * t));
            }
            vorbis_analysis_wrote(&vd, n);
            done += n;
        } else {
            vorbis_analysis_wrote(&vd, 0);
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) {
                    flushPage(og);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (!n && !eos) {
            while (ogg_stream_flush(&os, &og)) {
                flushPage(og);
                if (ogg_page_eos(&og)) eos = true;
            }
            break;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}
