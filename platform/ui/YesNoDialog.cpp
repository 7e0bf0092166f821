// The Yes/No question, drawn like the dialogs: a box as wide as its longest line allows, the
// lines of the question, and the two answers.
#include <algorithm>

#include "platform/system/MessageBox.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogKit.h"

using namespace dlgkit;

namespace {

class cYesNo : public DLG_CLASS {
public:
    cYesNo(const std::string& text, const std::string& caption) {
        // The box widens for a long line, up to a margin of the frame; a longer one wraps.
        int widest = 0;
        for (const std::string& line : WrapLines(text, kW)) widest = std::max(widest, TextWidth(line));
        m_nW = std::clamp(widest + 24, 360, kW - 40);
        m_nH = 140;
        m_strTitle = caption;
        int y = 8;
        for (const std::string& row : WrapLines(text, m_nW - 24)) {
            DLGCONTROL line;
            line.nKind = DLG_STATIC;
            line.x = 12;
            line.y = y;
            line.w = m_nW - 24;
            line.h = 16;
            line.strText = row;
            Add(line);
            y += 16;
        }
        m_nH = std::max(m_nH, y + 60);
        m_nX = (kW - m_nW) / 2;
        m_nY = std::max((kH - m_nH) / 2, 0);
        DLGCONTROL yes;
        yes.nKind = DLG_BUTTON;
        yes.nId = IDYES;
        yes.strText = "はい";
        yes.bDefault = true;
        yes.x = m_nW / 2 - 90;
        yes.y = m_nH - kCaption - 36;
        yes.w = 80;
        yes.h = 24;
        Add(yes);
        DLGCONTROL no = yes;
        no.nId = IDNO;
        no.strText = "いいえ";
        no.bDefault = false;
        no.x = m_nW / 2 + 10;
        Add(no);
    }

protected:
    void OnCommand(u32 id) override { DlgEnd(static_cast<int>(id)); }
    void OnClose() override { DlgEnd(IDNO); }
};

} // namespace

int DlgYesNo(const std::string& utf8Text, const std::string& utf8Caption) {
    cYesNo box(utf8Text, utf8Caption);
    return box.DlgDoModal();
}
