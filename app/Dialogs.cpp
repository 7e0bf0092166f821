#include "app/Dialogs.h"

#include <cstdlib>
#include <deque>
#include <mutex>

#include "app/Game.h"
#include "app/Services.h"
#include "app/SystemIni.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/PathUtil.h"
#include "platform/ui/Dialog.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "records/DataFile.h"

namespace {

std::mutex g_answerMutex;
std::deque<std::string> g_answers;
bool g_answersLoaded = false;

// The scripted answer of the next dialog: "1" / "0", or "1:text" for a name or a path.
bool NextAnswer(int& code, std::string& text) {
    std::lock_guard lock(g_answerMutex);
    if (!g_answersLoaded) {
        g_answersLoaded = true;
        if (const char* env = std::getenv("TOBRELK_DIALOG_ANSWERS")) {
            std::string s = env;
            std::size_t start = 0;
            while (start <= s.size()) {
                const std::size_t end = s.find(';', start);
                const std::string item = s.substr(start, end == std::string::npos ? std::string::npos : end - start);
                if (!item.empty()) g_answers.push_back(item);
                if (end == std::string::npos) break;
                start = end + 1;
            }
        }
    }
    if (g_answers.empty()) return false;
    const std::string a = g_answers.front();
    g_answers.pop_front();
    code = a.empty() ? 0 : std::atoi(a.c_str());
    const std::size_t colon = a.find(':');
    text = colon == std::string::npos ? std::string() : Utf8ToSjis(a.substr(colon + 1));
    return true;
}

} // namespace

void SetDialogAnswers(const std::vector<std::string>& answers) {
    std::lock_guard lock(g_answerMutex);
    g_answersLoaded = true;
    g_answers.assign(answers.begin(), answers.end());
}

namespace {

std::string Title() { return g_Startup.title ? ToDisplayText(g_Startup.title()) : std::string(); }

DLGCONTROL Make(DlgKind kind, u32 id, i32 x, i32 y, i32 w, i32 h, const char* ja, const char* en) {
    return DlgMakeControl(kind, id, x, y, w, h, g_bEnglish && en ? en : ja);
}

// A failed write only costs the next start its answer, but the player is told why in the report.
void SaveBootData() {
    if (!SaveUserFile(g_BootData, "user_data\\Boot.dat"))
        WriteFailureReport("%s の保存に失敗しました！", "user_data\\Boot.dat");
}

// The drawing-mode question, bound to Boot.dat.
class cStartDlg : public DLG_CLASS {
public:
    cStartDlg() {
        // Centred on the window's client centre.
        m_nW = 420;
        m_nH = 272;
        m_nX = 320 - m_nW / 2;
        m_nY = 240 - 136;
        Add(Make(DLG_GROUP, 1006, 16, 12, 388, 70, "描画モード", "Drawing mode"));
        DLGCONTROL d3d = Make(DLG_RADIO, 1002, 30, 32, 120, 18, "Direct3D", "Direct3D");
        d3d.pField = &g_BootData.nDrawMode;
        d3d.nValue = 1;
        Add(d3d);
        DLGCONTROL dd = Make(DLG_RADIO, 1003, 170, 32, 130, 18, "DirectDraw", "DirectDraw");
        dd.pField = &g_BootData.nDrawMode;
        dd.nValue = 0;
        Add(dd);
        Add(Make(DLG_STATIC, 1005, 12, 90, 400, 18, "詳細な設定は環境設定ファイル「System.ini」で行って下さい。",
                 "Configure the detail settings at \"System.ini\"."));
        DLGCONTROL ask = Make(DLG_CHECK, 1004, 80, 116, 280, 18, "次回からこのダイアログを表示しない",
                              "Do not ask this dialog again");
        ask.pField = &g_BootData.bDoNotAsk;
        Add(ask);
        DLGCONTROL start = Make(DLG_BUTTON, 1000, 150, 148, 120, 36, "ゲーム開始", "Start");
        start.bDefault = true;
        Add(start);
        Add(Make(DLG_BUTTON, 1001, 160, 196, 100, 26, "ゲーム中止", "Cancel"));
        m_strTitle = Title();
    }

protected:
    void OnInit() override {
        // The bound controls are attached with their tooltips, whose texts the wrappers start
        // empty: the dialog shows none.
        for (u32 id : {1002u, 1003u, 1004u, 1005u}) TooltipCreate(id, std::string());
        for (std::size_t i = 0; i < m_vControl.size(); ++i)
            if (m_vControl[i].nId == 1000) FocusOn(static_cast<int>(i));
    }
    void OnCommand(u32 id) override {
        if (id == 1000) {
            DlgControlsToData();
            SaveBootData();
            DlgEnd(1);
        } else if (id == 1001) {
            DlgEnd(0);
        }
    }
};

// The ranking name: three characters (six bytes), the old name selected so typing replaces it.
class cNameDlg : public DLG_CLASS {
public:
    explicit cNameDlg(std::string* name) {
        m_nW = 240;
        m_nH = 110;
        m_nX = 240;
        m_nY = 220;
        m_strTitle = g_bEnglish ? "Name" : "登録名";
        Add(Make(DLG_STATIC, 1007, 14, 14, 140, 20, "登録名(3文字まで)", "     Name"));
        DLGCONTROL edit = Make(DLG_EDIT, 1003, 156, 12, 64, 24, "", nullptr);
        edit.nLimit = 3;
        edit.nByteLimit = 6;
        edit.bSelectAll = true;
        edit.pText = name;
        Add(edit);
        DLGCONTROL ok = Make(DLG_BUTTON, 1000, 70, 50, 100, 28, "OK", "OK");
        ok.bDefault = true;
        Add(ok);
    }

protected:
    void OnCommand(u32 id) override {
        if (id == 1000) {
            DlgControlsToData();
            DlgEnd(1);
        } else if (id == 1001) {
            DlgEnd(0);
        }
    }
};

} // namespace

int RunStartDialog() {
    int code = 1;
    std::string text;
    if (NextAnswer(code, text)) {
        if (code != 1) return 0;
        SaveBootData();
        return 1;
    }
    cStartDlg dlg;
    return dlg.DlgDoModal();
}

int RunNameDialog(std::string* name) {
    int code = 1;
    std::string text;
    if (NextAnswer(code, text)) {
        if (code != 1) return 0;
        if (name && !text.empty()) *name = CutSjis(text, 6);
        return 1;
    }
    cNameDlg dlg(name);
    return dlg.DlgDoModal();
}

int RunFileDialog(int mode, std::string& path) {
    if (mode < 0 || mode > 2) return 0;
    int code = 0;
    std::string text;
    if (NextAnswer(code, text)) {
        if (code != 1 || text.empty()) return 0;
        path = text;
        return 1;
    }
    static const char* const ja[3] = {"ステージファイルの読み込み", "リプレイファイルの読み込み", "リプレイファイルの保存"};
    static const char* const en[3] = {"load stage file", "load replay file", "save replay file"};
    const std::string title = g_bEnglish ? en[mode] : ja[mode];
    const std::string ext = std::string("rpl4_") + "824";
    if (mode == 2) {
        std::string chosen = path;
        if (FindLastSeparator(chosen) == std::string::npos) chosen = "user_data\\rpl4\\" + chosen;
        if (!FileDialog(title, chosen, "ReplayFile ( *." + ext + " )", "*." + ext, ext)) return 0;
        path = chosen;
        return 1;
    }
    // Replay files never pass a stage file's check: the stage choice offers stage files only.
    std::vector<std::string> chosen;
    const int count = mode == 0 ? FileDialogMulti(title, "data\\stg4", "StageFile ( *.stg4_* )", {"stg4_*"}, chosen)
                                : FileDialogMulti(title, "user_data\\rpl4", "ReplayFile ( *.rpl4_* )", {"rpl4_*"}, chosen);
    if (count <= 0) return 0;
    path = chosen.front(); // one file is loaded; the first of several
    return 1;
}
