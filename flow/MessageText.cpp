#include "flow/MessageText.h"

#include "flow/TextLimit.h"
#include "platform/system/Containers.h"

namespace {

constexpr i64 kMaxVarNumber = 1000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct ESCAPE {
    bool common = false, stage = false, digits = false;
    bool zero = false, plus = false;
    int width = 0;
    i64 number = 0;
    std::size_t end = 0; // index after the escape
};

// Parses the escape whose "#" is at text[at].
ESCAPE ParseEscape(const std::string& text, std::size_t at) {
    ESCAPE e;
    bool options = false;
    std::size_t j = at + 1;
    for (; j < text.size(); ++j) {
        const char c = text[j];
        if (!options) {
            if (c == 'C' || c == 'c') e.common = true;
            else if (c == 'S' || c == 's') e.stage = true;
            else if (IsDigit(c)) {
                e.digits = true;
                // Anything past the last variable is as bad as the next number up.
                if (e.number <= kMaxVarNumber) e.number = e.number * 10 + (c - '0');
            } else if (c == '_') options = true;
            else break;
        } else {
            if (c == 'Z' || c == 'z') e.zero = true;
            else if (c == 'P' || c == 'p') e.plus = true;
            else if (IsDigit(c)) e.width = c - '0';
            else break;
        }
    }
    if (j < text.size() && text[j] == '.') ++j;
    e.end = j;
    return e;
}

std::string FormatValue(i32 value, const ESCAPE& e) {
    const i64 v = value;
    std::string s = std::to_string(v < 0 ? -v : v);
    if (e.width > static_cast<int>(s.size())) s.insert(0, static_cast<std::size_t>(e.width) - s.size(), '0');
    if (!e.zero) {
        for (std::size_t k = 0; k + 1 < s.size() && s[k] == '0'; ++k) s[k] = ' ';
    }
    if (v < 0) s.insert(0, 1, '-');
    else if (e.plus) s.insert(0, 1, '+');
    return s;
}

} // namespace

std::string ExpandMessageVars(const std::string& src, const MESSAGEVARS& vars) {
    const std::string text = StrCopyVia(src);
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsSjisLead(c) && i + 1 < text.size() && IsSjisTrail(static_cast<unsigned char>(text[i + 1]))) {
            out.append(text, i, 2);
            i += 2;
            continue;
        }
        if (c == '#' && i + 1 < text.size()) {
            const ESCAPE e = ParseEscape(text, i);
            const std::span<const i32> list = e.common ? vars.common : vars.stage;
            if ((e.common || e.stage) && e.digits && e.number >= 1 && e.number <= kMaxVarNumber && !list.empty()) {
                std::size_t at = static_cast<std::size_t>(e.number);
                if (at >= list.size()) {
                    // A variable past its vector (the stage's end at 999) is a bad index as
                    // anywhere else: reported, the program closed in order, element 0 shown.
                    ReportBadIndex('V', e.number, list.size(), sizeof(i32));
                    at = 0;
                }
                out += FormatValue(list[at], e);
                i = e.end;
                continue;
            }
        }
        out += static_cast<char>(c);
        ++i;
    }
    return StrCopyVia(out);
}
