// Program entry. For now the runtime starts, writes its report and ends in order; the window,
// the game thread and the scenes join as they are built.
#include <cstdio>
#include <unistd.h>

#include "platform/system/Report.h"
#include "platform/system/SystemReport.h"
#include "platform/system/Thread.h"
#include "records/Record.h"

int main(int /*argc*/, char** /*argv*/) {
    if (!SetReportFile("Report_Game.txt")) return 0; // no report file: end silently
    SetDebugLog(false, "VI_Veda.txt");
    WriteReport("App : ver %s", "824");
    ReportSystemInfo();
    g_bFixStrings = 1;
    if (AnyThreadAbandoned()) _exit(0);
    return 0;
}
