// An edit's text: its characters (a double-byte pair and a line break are one), its limits of
// characters a line, lines and bytes, and what typing and the edit's own keys do to it.
#include <algorithm>

#include "platform/system/Input.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogKit.h"

using namespace dlgkit;

namespace {

// Byte offsets where the edit's characters start ("\r\n" and a double-byte pair are one), and
// the text's length at the end.
std::vector<std::size_t> Units(const std::string& s) {
    std::vector<std::size_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        out.push_back(i);
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') i += 2;
        else i += IsDoubleByte(s.c_str() + i) ? 2 : 1;
    }
    out.push_back(s.size());
    return out;
}

std::size_t PrevUnit(const std::string& s, std::size_t pos) {
    std::size_t prev = 0;
    for (std::size_t u : Units(s)) {
        if (u >= pos) break;
        prev = u;
    }
    return prev;
}

std::size_t NextUnit(const std::string& s, std::size_t pos) {
    for (std::size_t u : Units(s))
        if (u > pos) return u;
    return s.size();
}

std::size_t LineStart(const std::string& s, std::size_t pos) {
    if (pos < 2) return 0;
    const std::size_t nl = s.rfind("\r\n", pos - 2);
    return nl == std::string::npos ? 0 : nl + 2;
}

std::size_t LineEnd(const std::string& s, std::size_t pos) {
    const std::size_t nl = s.find("\r\n", pos);
    return nl == std::string::npos ? s.size() : nl;
}

int CharsIn(const std::string& s, std::size_t from, std::size_t to) { return CountChars(s.substr(from, to - from).c_str()); }

} // namespace

namespace dlgkit {

// What a text typed into a path edit becomes: each name of it in the game's form.
std::string PathTextOf(const std::string& utf8) {
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t sep = utf8.find('\\', start);
        out += GameNameOf(utf8.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos) return out;
        out += '\\';
        start = sep + 1;
    }
}

std::vector<std::string> SplitLines(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = s.find("\r\n", start);
        out.push_back(s.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (nl == std::string::npos) return out;
        start = nl + 2;
    }
}

std::string EditShown(const DLGCONTROL& c, const std::string& sjis) {
    return c.bPathText ? DisplayPathOf(sjis) : SjisToUtf8(sjis);
}

CARETLINE CaretLine(const DLGCONTROL& c) {
    const std::size_t caret = std::min(c.nCaret, c.strEdit.size());
    const std::size_t start = c.bMultiLine ? LineStart(c.strEdit, caret) : 0;
    const std::size_t end = c.bMultiLine ? LineEnd(c.strEdit, caret) : c.strEdit.size();
    return {EditShown(c, c.strEdit.substr(start, caret - start)), EditShown(c, c.strEdit.substr(caret, end - caret))};
}

// A text cut to the edit's limits: characters beyond a line's limit and lines beyond the
// line limit go.
std::string FitEdit(const std::string& s, const DLGCONTROL& c) {
    std::vector<std::string> lines = c.bMultiLine ? SplitLines(s) : std::vector<std::string>{s};
    if (c.nLineLimit > 0 && lines.size() > static_cast<std::size_t>(c.nLineLimit))
        lines.resize(static_cast<std::size_t>(c.nLineLimit));
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (c.nLimit > 0) {
            const auto u = Units(line);
            if (u.size() - 1 > static_cast<std::size_t>(c.nLimit)) line.erase(u[static_cast<std::size_t>(c.nLimit)]);
        }
        if (i) out += "\r\n";
        out += line;
    }
    if (c.nByteLimit > 0) out = CutSjis(out, static_cast<std::size_t>(c.nByteLimit));
    return out;
}

int EditScroll(int scroll, int caretX, int lineW, int room) {
    room = std::max(room, 1);
    // The caret is one pixel wide: it stands at caretX - scroll, from 0 to room - 1.
    scroll = std::clamp(scroll, 0, std::max(lineW + 1 - room, 0));
    if (caretX - scroll > room - 1) scroll = caretX - (room - 1);
    else if (caretX < scroll) scroll = std::max(caretX - room / 4, 0);
    return scroll;
}

} // namespace dlgkit

void DLG_CLASS::FollowCaret(DLGCONTROL& c) {
    // The composition is drawn at the caret of the focused edit only.
    const bool focused = m_nFocus >= 0 && static_cast<std::size_t>(m_nFocus) < m_vControl.size() &&
                         &m_vControl[static_cast<std::size_t>(m_nFocus)] == &c;
    const CARETLINE split = CaretLine(c);
    const int caretX = TextWidth(split.before) + (focused ? TextWidth(m_strComposition) : 0);
    // The text's room: 3 pixels in from either side.
    c.nScrollX = EditScroll(c.nScrollX, caretX, caretX + TextWidth(split.after), c.w - 6);
}

void DLG_CLASS::SetEditText(DLGCONTROL& c, const std::string& sjis) {
    c.strEdit = sjis;
    c.nCaret = c.strEdit.size();
    c.bSelectAll = false;
    FollowCaret(c);
}

void DLG_CLASS::TypeText(DLGCONTROL& c, const std::string& sjis) {
    if (c.bSelectAll) {
        c.strEdit.clear();
        c.nCaret = 0;
        c.bSelectAll = false;
    }
    c.nCaret = std::min(c.nCaret, c.strEdit.size());
    std::size_t i = 0;
    while (i < sjis.size()) {
        const std::size_t len = IsDoubleByte(sjis.c_str() + i) ? 2 : 1;
        // What does not fit the line or the byte limit is refused; nothing typed before goes.
        const std::size_t ls = LineStart(c.strEdit, c.nCaret), le = LineEnd(c.strEdit, c.nCaret);
        if (c.nLimit > 0 && CharsIn(c.strEdit, ls, le) + 1 > c.nLimit) break;
        if (c.nByteLimit > 0 && c.strEdit.size() + len > static_cast<std::size_t>(c.nByteLimit)) break;
        if (sjis[i] == '\r' || sjis[i] == '\n') {
            ++i;
            continue;
        }
        c.strEdit.insert(c.nCaret, sjis, i, len);
        c.nCaret += len;
        i += len;
    }
    FollowCaret(c);
}

namespace {

// The edit's own keys on its text and caret; false for a key it leaves to the dialog.
bool ApplyEditKey(DLGCONTROL& c, u32 vk) {
    std::string& s = c.strEdit;
    c.nCaret = std::min(c.nCaret, s.size());
    if (c.bSelectAll && (vk == VK_BACK || vk == VK_DELETE)) {
        s.clear();
        c.nCaret = 0;
        c.bSelectAll = false;
        return true;
    }
    // Only the keys handled here act on the selection: a letter, Shift or any key left to the
    // dialog keeps it, so that the text typed next replaces it.
    const bool wasAll = c.bSelectAll;
    switch (vk) {
    case VK_BACK:
    case VK_DELETE:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END: break;
    case VK_UP:
    case VK_DOWN:
    case VK_RETURN:
        if (!c.bMultiLine) return false;
        break;
    default: return false;
    }
    c.bSelectAll = false;
    // Removing a line break joins two lines: only when the joined line keeps to the limit.
    auto joinFits = [&](std::size_t br) {
        return c.nLimit <= 0 || CharsIn(s, LineStart(s, br), br) + CharsIn(s, br + 2, LineEnd(s, br + 2)) <= c.nLimit;
    };
    auto isBreak = [&](std::size_t at) { return at + 1 < s.size() && s[at] == '\r' && s[at + 1] == '\n'; };
    switch (vk) {
    case VK_BACK: {
        if (c.nCaret == 0) return true;
        const std::size_t prev = PrevUnit(s, c.nCaret);
        if (isBreak(prev) && !joinFits(prev)) {
            c.nCaret = prev; // the caret goes up to the line's end instead
            return true;
        }
        s.erase(prev, c.nCaret - prev);
        c.nCaret = prev;
        return true;
    }
    case VK_DELETE: {
        if (c.nCaret >= s.size()) return true;
        if (isBreak(c.nCaret) && !joinFits(c.nCaret)) return true;
        s.erase(c.nCaret, NextUnit(s, c.nCaret) - c.nCaret);
        return true;
    }
    case VK_LEFT: c.nCaret = wasAll ? 0 : PrevUnit(s, c.nCaret); return true;
    case VK_RIGHT: c.nCaret = wasAll ? s.size() : NextUnit(s, c.nCaret); return true;
    case VK_HOME: c.nCaret = LineStart(s, c.nCaret); return true;
    case VK_END: c.nCaret = LineEnd(s, c.nCaret); return true;
    case VK_UP:
    case VK_DOWN: {
        if (!c.bMultiLine) return false;
        const std::size_t ls = LineStart(s, c.nCaret);
        const int col = CharsIn(s, ls, c.nCaret);
        std::size_t target;
        if (vk == VK_UP) {
            if (ls == 0) return true;
            target = LineStart(s, ls - 2);
        } else {
            const std::size_t le = LineEnd(s, c.nCaret);
            if (le >= s.size()) return true;
            target = le + 2;
        }
        const std::size_t end = LineEnd(s, target);
        for (int k = 0; k < col && target < end; ++k) target = NextUnit(s, target);
        c.nCaret = target;
        return true;
    }
    case VK_RETURN: {
        if (!c.bMultiLine) return false;
        if (c.nLineLimit > 0 && static_cast<i32>(SplitLines(s).size()) >= c.nLineLimit) return true;
        if (c.nByteLimit > 0 && s.size() + 2 > static_cast<std::size_t>(c.nByteLimit)) return true;
        s.insert(c.nCaret, "\r\n");
        c.nCaret += 2;
        return true;
    }
    default: return false;
    }
}

} // namespace

bool DLG_CLASS::EditKey(DLGCONTROL& c, u32 vk) {
    if (!ApplyEditKey(c, vk)) return false;
    FollowCaret(c);
    return true;
}
