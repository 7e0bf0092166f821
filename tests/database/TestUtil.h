#pragma once
// Shared helpers of the database tests: a scratch game folder and captured message boxes.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "records/RecordStream.h"

class ScratchGame {
public:
    ScratchGame() {
        static int serial = 0;
        m_dir = std::filesystem::temp_directory_path() /
                ("tobrelk_db_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_oldRoot = GetGameRoot();
        SetGameRoot(m_dir);
        SetReportFile((m_dir / "Report_Game.txt").string());
        SetMessageBoxSink([this](const std::string& text, const std::string&, u32 type) {
            boxes.push_back(text);
            return answer ? answer : DefaultButton(type);
        });
    }
    ~ScratchGame() {
        SetMessageBoxSink(nullptr);
        SetGameRoot(m_oldRoot);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    const std::filesystem::path& Dir() const { return m_dir; }
    void Write(const std::string& rel, const std::string& bytes);
    std::string Read(const std::string& rel) const;

    std::vector<std::string> boxes;
    int answer = 0; // 0: the default button

private:
    std::filesystem::path m_dir;
    std::filesystem::path m_oldRoot;
};

#include <fstream>
#include <unistd.h>

inline void ScratchGame::Write(const std::string& rel, const std::string& bytes) {
    const auto p = m_dir / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

inline std::string ScratchGame::Read(const std::string& rel) const {
    std::ifstream f(m_dir / rel, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// A reader over bytes that include the version word, as OpenDataFileRead gives it.
inline cRecordReader ReaderOf(const std::string& fileBytes) {
    u32 v = 0;
    std::memcpy(&v, fileBytes.data(), 4);
    return cRecordReader(fileBytes.substr(4), v);
}

inline std::string U32(u32 v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
inline std::string Str(const std::string& s) { return s.empty() ? U32(1) : U32(static_cast<u32>(s.size() + 1)) + s + '\0'; }
