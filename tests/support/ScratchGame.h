#pragma once
// A scratch game folder of its own for one test: the game root, the report file
// (Report_Game.txt in it) and the message boxes captured, all put back at the end.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"

class ScratchGame {
public:
    ScratchGame() {
        static int serial = 0;
        m_dir = std::filesystem::temp_directory_path() /
                ("tobrelk_t_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
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
    ScratchGame(const ScratchGame&) = delete;
    ScratchGame& operator=(const ScratchGame&) = delete;

    const std::filesystem::path& Dir() const { return m_dir; }
    void Write(const std::string& rel, const std::string& bytes) const {
        const auto p = m_dir / rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& rel) const {
        std::ifstream f(m_dir / rel, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    std::string Report() const { return Read("Report_Game.txt"); }

    std::vector<std::string> boxes;
    int answer = 0; // 0: the default button

private:
    std::filesystem::path m_dir;
    std::filesystem::path m_oldRoot;
};
