#include "platform/system/Containers.h"

#include "platform/system/Format.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"

void WriteBadIndex(char kind, long long index, std::size_t count, std::size_t elementSize) {
    const std::string message = Format("err %c[%lld] ( %zu , %zu )", kind, index, count, elementSize);
    DebugLog(message.c_str());
    WriteReport("%s", message.c_str());
}

void ReportBadIndex(char kind, long long index, std::size_t count, std::size_t elementSize) {
    WriteBadIndex(kind, index, count, elementSize);
    PostMessage(g_hWnd, WM_CLOSE, 0, 0);
}
