#include "records/DataFile.h"

#include <cstdio>
#include <cstring>

#include "platform/system/AtomicFile.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"

std::unique_ptr<cRecordReader> OpenDataFileRead(const std::string& name) {
    const std::string path = name.empty() ? std::string("err") : name;
    g_bNewerFile = 0;
    FILE* f = OpenFile(path, "rb");
    if (!f) return nullptr;
    std::string bytes;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    // A file without a whole version word is unreadable rather than a file of an old version.
    if (readError || bytes.size() < 4) return nullptr;
    u32 version;
    std::memcpy(&version, bytes.data(), 4);
    g_nFileVer = version;
    if (version > g_nProgVer) {
        g_bNewerFile = 1;
        return nullptr;
    }
    bytes.erase(0, 4);
    return std::make_unique<cRecordReader>(std::move(bytes), version);
}

cRecordWriter OpenDataFileWrite() {
    cRecordWriter w;
    w.WriteU32(g_nProgVer);
    return w;
}

bool CloseDataFile(cRecordWriter& w, const std::string& name) {
    if (name.empty()) return false;
    return WriteFileAtomic(ResolvePath(name), w.Bytes());
}

int SaveToFile(cRecord& record, const std::string& name) {
    cRecordWriter w = OpenDataFileWrite();
    record.Save(w);
    return CloseDataFile(w, name) ? 1 : 0;
}

void ShowFileVersionError(const std::string& name) {
    const std::string shown = ToDisplayText(name);
    if (g_bNewerFile)
        WriteReportBox("%s の読み込みに失敗しました！\nソフトより上位のバージョンのファイルは使用できません。",
                       shown.c_str());
    else
        WriteReportBox("%s の読み込みに失敗しました！", shown.c_str());
}
