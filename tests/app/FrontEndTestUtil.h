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
#include "tests/support/Golden.h"

namespace fetest {

// Little-endian bytes written by hand, field by field, as the file tables give them.
using Golden = golden::Bytes;

// The play record's registered fields and strings, as the file table gives them (the four map
// fields of 190..194 keep their stream order whatever their versions).
// clang-format off
inline const golden::Table kPlayRecordTable = {
    golden::F(4), golden::F(4), golden::F(4), golden::F(4), golden::F(4),                          // 1-5
    golden::F(4, 758), golden::F(4, 758), golden::F(4, 758), golden::F(4), golden::F(4),           // 6-10
    golden::F(4), golden::F(4), golden::F(4), golden::F(4), golden::F(4), golden::F(4), golden::F(4), // 11-17
    golden::F(4, 182, 0), golden::F(4, 182, 0), golden::F(4), golden::F(4), golden::F(4, 166, 1),  // 18-22
    golden::F(4, 194, 0), golden::F(4, 190, 0), golden::F(4, 191, 0), golden::F(4, 191, 0),         // 23-26
    golden::F(4), golden::F(4), golden::F(4, 169, 0), golden::F(4), golden::F(4),                   // 27-31
    golden::F(4, 678), golden::F(4, 678), golden::F(4, 678), golden::F(4, 679),                     // 32-35
    golden::Text(), golden::Text(724), golden::Text()};
// clang-format on

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
