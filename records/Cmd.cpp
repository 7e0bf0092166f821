#include "records/Cmd.h"

#include <algorithm>

#include "platform/system/MessageBox.h"
#include "platform/system/Sjis.h"

void cCmd::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU32(&enabled);
    AddString(&text);
}

int cCmd::CountEnabled(const cVector<cCmd>& list) {
    int n = 0;
    for (const cCmd& c : list)
        if (c.enabled) ++n;
    return n;
}

int cCmd::GetCmdNum(int n, const cVector<cCmd>& list) {
    int seen = 0;
    for (int i = 0; i < list.Size(); ++i) {
        if (!list[i].enabled) continue;
        if (seen == n) return i;
        ++seen;
    }
    ErrorBoxLog("cCmd::GetCmdNum 番号が不正です！");
    return 0;
}

int MenuTextWidth(const cVector<cCmd>& menu) {
    int widest = 0;
    for (const cCmd& c : menu)
        if (c.enabled) widest = std::max(widest, CountChars(c.text.c_str()));
    return widest;
}
