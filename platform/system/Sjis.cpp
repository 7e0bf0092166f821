#include "platform/system/Sjis.h"

#include <cerrno>
#include <iconv.h>

bool IsDoubleByte(const char* p) {
    if (!p) return false;
    const auto lead = static_cast<unsigned char>(p[0]);
    if (!IsSjisLead(lead)) return false;
    return IsSjisTrail(static_cast<unsigned char>(p[1]));
}

int CountChars(const char* text) {
    if (!text) return 0;
    int n = 0;
    for (const char* p = text; *p;) {
        if (IsDoubleByte(p)) {
            p += 2;
            ++n;
            continue;
        }
        if (*p != '\n') ++n;
        ++p;
    }
    return n;
}

std::string CutSjis(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t i = 0;
    while (i < maxBytes) {
        const std::size_t len = (i + 1 < text.size() && IsDoubleByte(text.c_str() + i)) ? 2 : 1;
        if (i + len > maxBytes) break;
        i += len;
    }
    return text.substr(0, i);
}

namespace {

// One converter per thread and direction: iconv descriptors carry state and are not shareable.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::string Run(const std::string& in) {
        if (in.empty()) return {};
        if (m_cd == reinterpret_cast<iconv_t>(-1)) return in;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.resize(in.size() * 4 + 8);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char* dst = out.data();
        std::size_t dstLeft = out.size();
        while (srcLeft > 0) {
            const std::size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            if (r != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) {
                const std::size_t used = static_cast<std::size_t>(dst - out.data());
                out.resize(out.size() * 2);
                dst = out.data() + used;
                dstLeft = out.size() - used;
                continue;
            }
            // EILSEQ or EINVAL (a lead byte cut at the end): mark the byte and go on.
            if (dstLeft == 0) {
                const std::size_t used = static_cast<std::size_t>(dst - out.data());
                out.resize(out.size() + 8);
                dst = out.data() + used;
                dstLeft = out.size() - used;
            }
            *dst++ = '?';
            --dstLeft;
            ++src;
            --srcLeft;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        out.resize(static_cast<std::size_t>(dst - out.data()));
        return out;
    }

private:
    iconv_t m_cd;
};

} // namespace

std::string SjisToUtf8(const std::string& sjis) {
    thread_local Converter conv("UTF-8", "CP932");
    return conv.Run(sjis);
}

std::string Utf8ToSjis(const std::string& utf8) {
    thread_local Converter conv("CP932", "UTF-8");
    return conv.Run(utf8);
}

bool IsValidUtf8(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        std::size_t len;
        unsigned int cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

std::string ToDisplayText(const std::string& text) {
    if (IsValidUtf8(text)) return text;
    // A line often joins a UTF-8 text of the runtime with a Shift-JIS name from the data:
    // keep each well-formed UTF-8 sequence and convert the rest as Shift-JIS.
    std::string out;
    out.reserve(text.size() * 2);
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        std::size_t len = 0;
        if (c >= 0xC2 && c <= 0xDF) len = 2;
        else if (c >= 0xE0 && c <= 0xEF) len = 3;
        else if (c >= 0xF0 && c <= 0xF4) len = 4;
        if (len && i + len <= text.size() && IsValidUtf8(text.substr(i, len))) {
            out.append(text, i, len);
            i += len;
            continue;
        }
        const std::size_t sj = (i + 1 < text.size() && IsDoubleByte(text.c_str() + i)) ? 2 : 1;
        out += SjisToUtf8(text.substr(i, sj));
        i += sj;
    }
    return out;
}
