// The file choices: a list of the game's folders and of the files of the kind asked for.
#include <algorithm>
#include <filesystem>

#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Dialog.h"

namespace {

constexpr u32 kWhere = 1, kList = 2, kFilter = 3, kName = 4, kOk = 10, kCancel = 11;

class cFileChooser : public DLG_CLASS {
public:
    // save: a name is typed or picked; otherwise one or more files are chosen from the list.
    cFileChooser(const std::string& title, const std::string& folder, const std::string& filter,
                 std::vector<std::string> patterns, bool save, const std::string& name, const std::string& ext)
        : m_bSave(save), m_strFolder(folder), m_vPattern(std::move(patterns)), m_strExt(ext) {
        // The choice starts in the game's folder for the kind, and goes anywhere from there, as
        // a system dialog does: the folder is held as an absolute path (a name CP932 cannot
        // hold keeps the folder relative to the game, where it starts and ends).
        const std::string start = m_strFolder.empty() ? std::string(".") : m_strFolder;
        std::string absolute = start;
        std::error_code ec;
        if (MakeAbsolutePath(absolute) && std::filesystem::equivalent(ResolvePath(absolute), ResolvePath(start), ec))
            m_strFolder = absolute;
        while (m_strFolder.size() > 1 && (m_strFolder.back() == '\\' || m_strFolder.back() == '/')) m_strFolder.pop_back();
        m_nW = 480;
        m_nH = 380;
        m_nX = 80;
        m_nY = 50;
        m_strTitle = title;
        Add(DlgMakeControl(DLG_STATIC, kWhere, 12, 6, 456, 18));
        DLGCONTROL list = DlgMakeControl(DLG_LIST, kList, 12, 28, 456, 234);
        list.bMultiSel = !save;
        Add(list);
        Add(DlgMakeControl(DLG_STATIC, kFilter, 12, 266, 456, 18, filter));
        if (save) {
            DLGCONTROL edit = DlgMakeControl(DLG_EDIT, kName, 12, 290, 456, 22);
            edit.strEdit = name;
            edit.nByteLimit = 259;
            Add(edit);
        }
        DLGCONTROL ok = DlgMakeControl(DLG_BUTTON, kOk, 268, 322, 96, 26, save ? "保存" : "開く");
        ok.bDefault = true;
        Add(ok);
        Add(DlgMakeControl(DLG_BUTTON, kCancel, 372, 322, 96, 26, "キャンセル"));
        Refresh();
    }

    std::vector<std::string> m_vChosen;

protected:
    void OnInit() override { FocusOn(m_bSave ? 3 : 1); }
    // Unseen, a file choice chooses nothing.
    void OnUnattended() override { DlgEnd(0); }

    void OnCommand(u32 id) override {
        if (id == kCancel) DlgEnd(0);
        else if (id == kOk && m_bSave) Save();
        else if (id == kOk) {
            if (DLGCONTROL* list = Control(kList)) OnListChoose(*list);
        }
    }

    void OnListChoose(DLGCONTROL& list) override {
        if (list.nSel < 0 || list.nSel >= static_cast<i32>(m_vEntry.size())) return;
        const DLGFILEENTRY& e = m_vEntry[static_cast<std::size_t>(list.nSel)];
        if (e.bFolder) {
            if (e.strName == "..") {
                const std::size_t sep = FindLastSeparator(m_strFolder);
                m_strFolder = sep == std::string::npos ? std::string() : sep == 0 ? std::string("\\") : m_strFolder.substr(0, sep);
            } else {
                m_strFolder = Join(Utf8ToSjis(e.strName));
            }
            Refresh();
            return;
        }
        if (m_bSave) {
            if (DLGCONTROL* edit = Control(kName)) edit->strEdit = Utf8ToSjis(e.strName);
            Save();
            return;
        }
        // The marked files, or the selected one alone.
        std::vector<std::string> names;
        for (std::size_t i = 0; i < m_vEntry.size() && i < list.vMarked.size(); ++i)
            if (list.vMarked[i] && !m_vEntry[i].bFolder) names.push_back(m_vEntry[i].strName);
        if (names.empty()) names.push_back(e.strName);
        for (const auto& n : names) {
            std::string path = Join(Utf8ToSjis(n));
            MakeAbsolutePath(path);
            m_vChosen.push_back(path);
        }
        DlgEnd(1);
    }

private:
    bool AtRoot() const { return m_strFolder == "\\" || m_strFolder == "/"; }
    std::string Join(const std::string& name) const {
        return m_strFolder.empty() ? name : AtRoot() ? m_strFolder + name : m_strFolder + "\\" + name;
    }

    void Refresh() {
        // Everything up to the file system's root is offered.
        m_vEntry = DlgListFolder(m_strFolder.empty() ? "." : m_strFolder, m_vPattern, !m_strFolder.empty() && !AtRoot());
        if (DLGCONTROL* list = Control(kList)) {
            list->vItem.clear();
            for (const auto& e : m_vEntry) list->vItem.push_back(e.bFolder ? "[" + e.strName + "]" : e.strName);
            list->vMarked.clear();
            list->nSel = 0;
            list->nTop = 0;
        }
        // Shown as the system names it: '/' between folders.
        if (DLGCONTROL* where = Control(kWhere)) {
            std::string shown = SjisToUtf8(m_strFolder.empty() ? "." : m_strFolder);
            for (char& c : shown)
                if (c == '\\') c = '/';
            where->strText = shown;
        }
    }

    void Save() {
        DLGCONTROL* edit = Control(kName);
        if (!edit || edit->strEdit.empty()) return;
        std::string name = edit->strEdit;
        if (!m_vPattern.empty() && !DlgMatchPattern(SjisToUtf8(name), m_vPattern[0])) name += "." + m_strExt;
        std::string path = Join(name);
        if (FileExists(path) &&
            DlgYesNo(SjisToUtf8(name) + " は既に存在します。\n上書きしますか？", m_strTitle) != IDYES)
            return;
        MakeAbsolutePath(path);
        m_vChosen.push_back(path);
        DlgEnd(1);
    }

    bool m_bSave;
    std::string m_strFolder;
    std::vector<std::string> m_vPattern;
    std::string m_strExt;
    std::vector<DLGFILEENTRY> m_vEntry;
};

} // namespace

int FileDialogMulti(const std::string& utf8Title, const std::string& sjisFolder, const std::string& utf8Filter,
                    const std::vector<std::string>& patterns, std::vector<std::string>& out) {
    cFileChooser dlg(utf8Title, sjisFolder, utf8Filter, patterns, false, {}, {});
    out.clear();
    if (dlg.DlgDoModal() != 1) return 0;
    out = dlg.m_vChosen;
    return static_cast<int>(out.size());
}

int FileDialog(const std::string& utf8Title, std::string& path, const std::string& utf8Filter,
               const std::string& pattern, const std::string& defaultExt) {
    std::string folder, name = path;
    const std::size_t sep = FindLastSeparator(name);
    if (sep != std::string::npos) {
        folder = name.substr(0, sep);
        name.erase(0, sep + 1);
    }
    cFileChooser dlg(utf8Title, folder, utf8Filter, {pattern}, true, name, defaultExt);
    if (dlg.DlgDoModal() != 1 || dlg.m_vChosen.empty()) return 0;
    path = dlg.m_vChosen.front();
    return 1;
}
