#include "records/DataFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/system/AtomicFile.h"
#include "platform/system/FileError.h"
#include "platform/system/FileOpen.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"

std::unique_ptr<cRecordReader> OpenDataFileRead(const std::string& name, LoadResult* why) {
    const std::string path = name.empty() ? std::string("err") : name;
    g_bNewerFile = 0;
    LoadResult result = LoadResult::Loaded;
    auto outcome = [&](FileRead read) {
        switch (read) {
        case FileRead::Ok: break;
        case FileRead::Missing: result = LoadResult::Missing; break;
        default: result = LoadResult::Unreadable; break;
        }
    };
    // A regular file is read through a window (a stage file of a million blocks would otherwise
    // sit whole in memory beside the stage read from it); anything else whole.
    auto file = std::make_shared<cFileSource>();
    outcome(file->Open(path));
    cByteBuffer bytes;
    u32 version = 0;
    if (result == LoadResult::Loaded && !file->IsOpen()) outcome(ReadWholeFile(path, bytes));
    // A file without a whole version word is damaged rather than a file of an old version.
    if (result == LoadResult::Loaded) {
        if (file->IsOpen() ? file->ReadAt(&version, 4, 0) != 4 : bytes.size() < 4) result = LoadResult::Damaged;
        else if (!file->IsOpen()) std::memcpy(&version, bytes.data(), 4);
    }
    if (result == LoadResult::Loaded) {
        g_nFileVer = version;
        if (version > g_nProgVer) {
            g_bNewerFile = 1;
            result = LoadResult::Newer;
        }
    }
    if (why) *why = result;
    if (result != LoadResult::Loaded) return nullptr;
    if (file->IsOpen()) return std::make_unique<cRecordReader>(cRecordReader::Window(std::move(file), version, 4));
    return std::make_unique<cRecordReader>(std::move(bytes), g_nFileVer, 4);
}

LoadResult ProbeUserFile(const std::string& name) {
    if (name.empty()) return LoadResult::Missing;
    int fd = -1;
    struct stat st {};
    switch (OpenReadFile(ResolvePath(name), fd, st, name, true)) {
    case FileRead::Ok: close(fd); return LoadResult::Loaded;
    case FileRead::Missing: return LoadResult::Missing;
    default: return LoadResult::Unreadable;
    }
}

cRecordWriter OpenDataFileWrite() {
    cRecordWriter w;
    w.WriteU32(g_nProgVer);
    return w;
}

bool CloseDataFile(cRecordWriter& w, const std::string& name) {
    if (name.empty()) {
        SetFileError(ENOENT);
        return false;
    }
    return WriteFileAtomic(ResolvePath(name), w.Bytes());
}

int SaveToFile(cRecord& record, const std::string& name) {
    cRecordWriter w = OpenDataFileWrite();
    record.Save(w);
    return CloseDataFile(w, name) ? 1 : 0;
}

void ReportLoadFailure(const std::string& name, LoadResult why) {
    const std::string shown = ToDisplayText(name);
    switch (why) {
    case LoadResult::Loaded:
    case LoadResult::Missing: return;
    case LoadResult::Unreadable: WriteFailureReport("%s の読み込みに失敗しました！", shown.c_str()); return;
    case LoadResult::Newer:
        WriteReport("%s の読み込みに失敗しました！ソフトより上位のバージョンのファイルは使用できません。", shown.c_str());
        return;
    case LoadResult::Damaged: WriteReport("%s が破損しています！", shown.c_str()); return;
    }
}

namespace {
thread_local std::string t_loadingFile;
} // namespace

LoadingFileScope::LoadingFileScope(const std::string& name) : m_previous(t_loadingFile) { t_loadingFile = name; }

LoadingFileScope::~LoadingFileScope() { t_loadingFile = m_previous; }

void ReportRepair(const char* field, long long was, long long now) {
    WriteReport("%s の %s (%lld) が範囲外のため %lld にしました。", ToDisplayText(t_loadingFile).c_str(), field, was, now);
}

void ReportNotFinite(const std::string& name) {
    WriteReport("%s に数でない値 (NaN、無限大) があるため 0 として読みました。", ToDisplayText(name).c_str());
}

bool KeepFileAside(const std::string& name) {
    const std::string aside = RenameAside(ResolvePath(name));
    if (!aside.empty()) {
        WriteReport("%s を %s として残しました", ToDisplayText(name).c_str(), aside.c_str());
        return true;
    }
    WriteFailureReport("%s を残せないため保存しません", ToDisplayText(name).c_str());
    return false;
}

void ShowFileVersionError(const std::string& name) {
    const std::string shown = ToDisplayText(name);
    if (g_bNewerFile)
        WriteReportBox("%s の読み込みに失敗しました！\nソフトより上位のバージョンのファイルは使用できません。",
                       shown.c_str());
    else
        WriteReportBox("%s の読み込みに失敗しました！", shown.c_str());
}
