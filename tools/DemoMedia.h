#pragma once
// The pictures and sounds of the demo game, made from code so that the game folder needs no
// outside material: 8-bit palettised BMPs drawn from small character maps, synthesised WAV
// sound effects, a MIDI tune and an Ogg Vorbis loop.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct RGB8 {
    std::uint8_t r, g, b;
};

// The one palette every picture of the demo shares. Entry 0 is the transparent colour.
const std::array<RGB8, 256>& DemoPalette();
constexpr int PAL_KEY = 0;
constexpr RGB8 kDemoKeyColor = {255, 0, 255};

class cCanvas {
public:
    cCanvas(int w, int h, std::uint8_t fill = PAL_KEY) : m_w(w), m_h(h), m_px(static_cast<std::size_t>(w) * h, fill) {}
    int Width() const { return m_w; }
    int Height() const { return m_h; }
    void Set(int x, int y, std::uint8_t c);
    std::uint8_t Get(int x, int y) const;
    void Fill(int x, int y, int w, int h, std::uint8_t c);
    void Frame(int x, int y, int w, int h, std::uint8_t c);
    // rows of characters; each character maps through `map` (pairs "c=index"); '.' is transparent.
    void Sprite(int x, int y, const std::vector<std::string>& rows, const std::string& map, int scale = 1);
    // A 3x5 digit or capital letter, scaled.
    void Glyph(int x, int y, char ch, std::uint8_t c, int scale);
    void Text(int x, int y, const std::string& text, std::uint8_t c, int scale);
    // The bytes of an 8-bit BMP with the demo palette (rows bottom-up, padded to 4 bytes).
    std::string ToBmp() const;

private:
    int m_w, m_h;
    std::vector<std::uint8_t> m_px;
};

// 16-bit mono PCM WAV.
std::string MakeWav(const std::vector<std::int16_t>& samples, int rate);
std::vector<std::int16_t> SynthSweep(double f0, double f1, double seconds, int rate, double volume);
std::vector<std::int16_t> SynthNotes(const std::vector<double>& freqs, double noteSeconds, int rate, double volume);
std::vector<std::int16_t> SynthNoise(double seconds, int rate, double volume, unsigned seed);
// A standard MIDI file of format 0 with one melody and a bass line.
std::string MakeMidi();
// An Ogg Vorbis file of a short synthesised loop; empty when the encoder fails.
std::string MakeOgg();
