// The file choices: a list of folders and of the files of the kind asked for, and a name box.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>

#include "platform/system/FileError.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/PathUtil.h"
#include "platform/system/Sjis.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/DialogKit.h"

using namespace dlgkit;

namespace {

constexpr u32 kWhere = 1, kList = 2, kFilter = 3, kName = 4, kNote = 5, kOk = 10, kCancel = 11;
// The name box takes any path the system does: the longest it takes, in bytes.
constexpr i32 kPathLimit = PATH_MAX - 1;
// The place of the note under the name box and of the buttons below it, with a note of one line;
// each further line of the note moves the buttons down and makes the dialog taller.
constexpr i32 kDlgY = 50, kDlgH = 380, kNoteY = 296, kNoteW = 456, kNoteH = 18, kButtonY = 322, kNoteLine = 16;
// The most lines of a note that the frame has room for beside the rest of the dialog.
constexpr std::size_t kNoteMost = 7;

bool IsRooted(const std::string& path) { return !path.empty() && (path[0] == '\\' || path[0] == '/'); }

// A path that names the same file with its folders up resolved: what the choice gives back.
std::string Normal(const std::string& path) { return GamePathOf(ResolvePath(path).lexically_normal()); }

class cFileChooser : public DLG_CLASS {
public:
    // save: a name is typed or picked; otherwise one or more files are chosen from the list (or
    // one typed).
    cFileChooser(const std::string& title, const std::string& folder, const std::string& filter,
                 std::vector<std::string> patterns, bool save, const std::string& name, const std::string& ext)
        : m_bSave(save), m_vPattern(std::move(patterns)), m_strExt(ext) {
        // The choice starts in the folder asked for, held as an absolute path: from there it
        // goes anywhere, as a system dialog does.
        m_strFolder = folder.empty() ? std::string(".") : folder;
        MakeAbsolutePath(m_strFolder);
        m_strFolder = Normal(m_strFolder);
        while (m_strFolder.size() > 1 && (m_strFolder.back() == '\\' || m_strFolder.back() == '/')) m_strFolder.pop_back();
        m_nW = 480;
        m_nH = 380;
        m_nX = 80;
        m_nY = 50;
        m_strTitle = title;
        Add(DlgMakeControl(DLG_STATIC, kWhere, 12, 6, 456, 18));
        DLGCONTROL list = DlgMakeControl(DLG_LIST, kList, 12, 28, 456, 216);
        list.bMultiSel = !save;
        Add(list);
        Add(DlgMakeControl(DLG_STATIC, kFilter, 12, 248, 456, 18, filter));
        DLGCONTROL edit = DlgMakeControl(DLG_EDIT, kName, 12, 270, 456, 22);
        edit.strEdit = name;
        edit.nByteLimit = kPathLimit;
        edit.bPathText = true;
        Add(edit);
        Add(DlgMakeControl(DLG_STATIC, kNote, 12, kNoteY, kNoteW, kNoteH));
        DLGCONTROL ok = DlgMakeControl(DLG_BUTTON, kOk, 268, kButtonY, 96, 26, save ? "保存" : "開く");
        ok.bDefault = true;
        Add(ok);
        Add(DlgMakeControl(DLG_BUTTON, kCancel, 372, kButtonY, 96, 26, "キャンセル"));
        Refresh();
    }

    std::vector<std::string> m_vChosen;

protected:
    void OnInit() override { FocusOn(m_bSave ? 3 : 1); }
    // Unseen, a file choice chooses nothing.
    void OnUnattended() override { DlgEnd(0); }

    void OnCommand(u32 id) override {
        if (id == kCancel) {
            DlgEnd(0);
            return;
        }
        if (id != kOk) return;
        DLGCONTROL* edit = Control(kName);
        if (edit && !edit->strEdit.empty()) Typed(edit->strEdit);
        else if (DLGCONTROL* list = Control(kList); list && !m_bSave) OnListChoose(*list);
    }

    void OnListChoose(DLGCONTROL& list) override {
        if (list.nSel < 0 || list.nSel >= static_cast<i32>(m_vEntry.size())) return;
        const DLGFILEENTRY& e = m_vEntry[static_cast<std::size_t>(list.nSel)];
        if (e.bFolder) {
            if (e.strSjis == "..") {
                const std::size_t sep = FindLastSeparator(m_strFolder);
                if (sep != std::string::npos) m_strFolder = sep == 0 ? std::string("\\") : m_strFolder.substr(0, sep);
            } else {
                m_strFolder = Join(e.strSjis);
            }
            Refresh();
            return;
        }
        if (m_bSave) {
            if (DLGCONTROL* edit = Control(kName)) SetEditText(*edit, e.strSjis);
            Save(Join(e.strSjis));
            return;
        }
        // The marked files, or the selected one alone.
        std::vector<std::string> names;
        for (std::size_t i = 0; i < m_vEntry.size() && i < list.vMarked.size(); ++i)
            if (list.vMarked[i] && !m_vEntry[i].bFolder) names.push_back(m_vEntry[i].strSjis);
        if (names.empty()) names.push_back(e.strSjis);
        for (const auto& n : names) m_vChosen.push_back(Join(n));
        DlgEnd(1);
    }

private:
    bool AtRoot() const { return m_strFolder == "\\"; }
    std::string Join(const std::string& name) const { return AtRoot() ? m_strFolder + name : m_strFolder + "\\" + name; }

    // The note under the name box, wrapped to its width: it takes as many lines as it needs, the
    // dialog growing and the buttons going down for each, as far as the frame has room. A note
    // longer still keeps its first and its last lines: its end says why.
    void Note(const std::string& utf8) {
        std::vector<std::string> lines = utf8.empty() ? std::vector<std::string>{} : WrapLines(utf8, kNoteW);
        if (lines.size() > kNoteMost) {
            const std::size_t keep = (kNoteMost - 1) / 2;
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(keep), lines.end() - static_cast<std::ptrdiff_t>(keep));
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(keep), "…");
        }
        std::string text;
        for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
        const i32 more = lines.size() > 1 ? static_cast<i32>(lines.size() - 1) * kNoteLine : 0;
        if (DLGCONTROL* note = Control(kNote)) {
            note->strText = text;
            note->h = kNoteH + more;
        }
        for (const u32 id : {kOk, kCancel})
            if (DLGCONTROL* button = Control(id)) button->y = kButtonY + more;
        m_nH = kDlgH + more;
        m_nY = std::clamp(dlgkit::kH - m_nH, 0, kDlgY);
    }

    // A name that the system refuses, in the note: not there, or why not.
    void Refused(const std::string& sjisName, int err, const char* what) {
        Note(DisplayPathOf(sjisName) + (err == ENOENT ? std::string(" が見つかりません") : what + FileErrorCause(err)));
    }

    void Refresh() {
        int unread = 0;
        m_vEntry = DlgListFolder(m_strFolder, m_vPattern, !AtRoot(), &unread);
        if (DLGCONTROL* list = Control(kList)) {
            list->vItem.clear();
            for (const auto& e : m_vEntry) list->vItem.push_back(e.bFolder ? "[" + e.strName + "]" : e.strName);
            list->vMarked.clear();
            list->nSel = 0;
            list->nTop = 0;
        }
        // Shown as the system names it: '/' between folders.
        if (DLGCONTROL* where = Control(kWhere)) {
            std::string shown = DisplayPathOf(m_strFolder);
            std::replace(shown.begin(), shown.end(), '\\', '/');
            where->strText = shown;
        }
        if (unread) Refused(m_strFolder, unread, " を開けません");
        else Note({});
    }

    // A path typed into the name box, taken as typed: absolute, or relative to the folder shown.
    // A folder is opened; a file is chosen (to open, it must exist).
    void Typed(std::string typed) {
        std::replace(typed.begin(), typed.end(), '/', '\\'); // never a trail byte
        const std::string path = IsRooted(typed) ? typed : Join(typed);
        if (IsDirectory(path)) {
            m_strFolder = Normal(path);
            if (DLGCONTROL* edit = Control(kName)) SetEditText(*edit, {});
            Refresh();
            return;
        }
        if (m_bSave) {
            Save(path);
            return;
        }
        // The system's refusal (a name longer than it takes, a folder on the way that is a file
        // or may not be searched) is told as such, not as a name that is missing.
        if (!FileExists(path)) {
            Refused(typed, FileError(), " を開けません");
            return;
        }
        m_vChosen.push_back(Normal(path));
        DlgEnd(1);
    }

    void Save(std::string path) {
        const std::size_t sep = FindLastSeparator(path);
        if (sep == std::string::npos) return; // always a folder and a name here
        const std::string name = path.substr(sep + 1);
        if (name.empty()) return;
        if (!m_vPattern.empty() && !DlgMatchPattern(DiskNameOf(name), m_vPattern[0])) path += "." + m_strExt;
        const std::string folder = sep == 0 ? std::string("\\") : path.substr(0, sep);
        if (!IsDirectory(folder)) {
            Refused(folder, FileExists(folder) ? ENOTDIR : FileError(), " を開けません");
            return;
        }
        if (FileExists(path)) {
            if (DlgYesNo(DisplayPathOf(path.substr(sep + 1)) + " は既に存在します。\n上書きしますか？", m_strTitle) != IDYES)
                return;
        } else if (FileError() != ENOENT) {
            // A name that the system does not take is refused here, before anything is written.
            Refused(path.substr(sep + 1), FileError(), " に保存できません");
            return;
        }
        m_vChosen.push_back(Normal(path));
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
        folder = sep == 0 ? std::string("\\") : name.substr(0, sep);
        name.erase(0, sep + 1);
    }
    cFileChooser dlg(utf8Title, folder, utf8Filter, {pattern}, true, name, defaultExt);
    if (dlg.DlgDoModal() != 1 || dlg.m_vChosen.empty()) return 0;
    path = dlg.m_vChosen.front();
    return 1;
}
