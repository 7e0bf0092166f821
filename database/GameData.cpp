#include "database/GameData.h"

#include "database/CommonPalette.h"
#include "database/DataPaths.h"
#include "database/Database.h"
#include "database/OptionData.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "database/WorldMap.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "records/DataFile.h"
#include "records/FlowCmd.h"

int LoadGameData(HWND owner) {
    g_bFixStrings = 1;
    if (!CreateDefaultData(owner)) {
        WriteReportBox("「data」フォルダの作成に失敗…\n「default」フォルダに問題がある可能性があります。");
        return 0;
    }
    CreateStartFolders();
    if (!LoadDatabases()) {
        WriteReportBox("データベースの読み込みに失敗…");
        return 0;
    }
    PrepareDatabase();
    if (!LoadFromFile(g_SystemData, g_DataPath[DP_SYSTEM])) {
        WriteReportBox("%s の読み込みに失敗…", ToDisplayText(g_DataPath[DP_SYSTEM]).c_str());
        return 0;
    }
    UpdateCmdLimits([](CMDLIMITS& l) { l.bKeepEditorOnlyFlows = SysSwitch(SW_KEEP_EDITOR_ONLY_FLOWS) != 0; });
    LoadUserFile(g_OptionData, g_DataPath[DP_OPTION]);
    if (!LoadWorldMapFile(g_WorldMap, g_DataPath[DP_WORLDMAP])) return 0;
    if (!LoadCommonPaletteFile(g_CommonPalette, g_DataPath[DP_COMMON_PALETTE])) return 0;
    return 1;
}
