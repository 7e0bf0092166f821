// The Unicode code point of a CP932 character, which a glyph is looked up by.
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/system/Sjis.h"
#include "platform/ui/Font.h"

namespace {

u32 DecodeUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    if (n == 1 && p[0] < 0x80) return p[0];
    if (n == 2 && (p[0] & 0xE0) == 0xC0) return (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu);
    if (n == 3 && (p[0] & 0xF0) == 0xE0) return (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
    if (n == 4 && (p[0] & 0xF8) == 0xF0)
        return (p[0] & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
    return 0;
}

// CP932 to Unicode through iconv's "CP932" (never "SHIFT_JIS", which would turn the backslash
// into a yen sign). A row of 256 (the single bytes, or the characters of one lead byte) is
// made when a character of it is first asked for: a game's texts use a few of the sixty rows,
// and making all of them cost every start milliseconds of iconv.
class cCp932Rows {
public:
    // Row 0 holds the single bytes (0 is never a lead byte); row b the characters led by b.
    const u32* Row(u8 key) {
        std::atomic<const u32*>& slot = m_row[key];
        if (const u32* row = slot.load(std::memory_order_acquire)) return row;
        std::lock_guard lock(m_mutex);
        if (const u32* row = slot.load(std::memory_order_relaxed)) return row;
        auto made = std::make_unique<u32[]>(256);
        if (key == 0) MakeSingles(made.get());
        else MakeLeadRow(key, made.get());
        const u32* row = made.get();
        m_made.push_back(std::move(made));
        slot.store(row, std::memory_order_release);
        return row;
    }

private:
    static void MakeSingles(u32* row) {
        for (int c = 0x20; c < 0x100; ++c) {
            if (c == 0x7F || c == 0x80 || c == 0xA0 || c >= 0xFD || IsSjisLead(static_cast<u8>(c))) continue;
            const std::string in(1, static_cast<char>(c));
            const std::string u = SjisToUtf8(in);
            if (u != "?" || c == '?') row[c] = DecodeUtf8(u);
        }
    }
    static void MakeLeadRow(u8 lead, u32* row) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsSjisTrail(static_cast<u8>(trail))) continue;
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const std::string u = SjisToUtf8(std::string(in, 2));
            if (u != "?") row[trail] = DecodeUtf8(u);
        }
    }

    std::array<std::atomic<const u32*>, 256> m_row{};
    std::mutex m_mutex;
    std::vector<std::unique_ptr<u32[]>> m_made;
};

// Never destroyed: glyphs may be drawn while statics go at exit.
cCp932Rows& Cp932Rows() {
    static auto* rows = new cCp932Rows();
    return *rows;
}
} // namespace

u32 Cp932ToUnicode(u8 lead, u8 trail) {
    if (!trail) return Cp932Rows().Row(0)[lead];
    return IsSjisLead(lead) ? Cp932Rows().Row(lead)[trail] : 0;
}
