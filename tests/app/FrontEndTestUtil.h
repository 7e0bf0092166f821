#pragma once
// Byte builders for the golden layouts of the player's files, and a scratch game folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "database/SystemData.h"
#include "database/WorldMap.h"
#include "platform/system/AtomicFile.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Types.h"

namespace fetest {

// Little-endian bytes written by hand, field by field, as the file tables give them.
struct Golden {
    std::string s;
    Golden& U32(u32 v) {
        s.append(reinterpret_cast<const char*>(&v), 4);
        return *this;
    }
    Golden& I32(i32 v) { return U32(static_cast<u32>(v)); }
    Golden& U16(u16 v) {
        s.append(reinterpret_cast<const char*>(&v), 2);
        return *this;
    }
    // u32 L = length + 1, then the text and its NUL when it is not empty.
    Golden& Str(const std::string& t) {
        U32(static_cast<u32>(t.size() + 1));
        if (!t.empty()) {
            s += t;
            s += '\0';
        }
        return *this;
    }
    Golden& Raw(const std::string& b) {
        s += b;
        return *this;
    }
};

inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A game folder of its own with the user_data folders, fresh system data and world map, and
// message boxes counted instead of shown.
class GameFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = std::filesystem::temp_directory_path() /
                 ("tobrelk_fe_" + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_root);
        for (const char* d : {"user_data/story", "user_data/challenge", "user_data/free", "user_data/rpl4", "data/stg4"})
            std::filesystem::create_directories(m_root / d);
        SetGameRoot(m_root);
        g_SystemData = cSystemData();
        g_WorldMap = cWorldMapData();
        SetMessageBoxSink([this](const std::string& text, const std::string&, u32) {
            m_vBox.push_back(text);
            return IDOK;
        });
        SetAtomicWriteFailAfter(-1);
    }
    void TearDown() override {
        SetAtomicWriteFailAfter(-1);
        SetMessageBoxSink(nullptr);
        std::filesystem::remove_all(m_root);
    }
    std::filesystem::path m_root;
    std::vector<std::string> m_vBox;
};

} // namespace fetest
