#pragma once
// A golden trace file: a test's printed trace against tests/data/<folder>/<name>.txt. With
// TOBRELK_UPDATE_GOLDENS=1 the file is written anew; a difference writes the actual trace to
// actual_<name>.txt in the working folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline void ExpectGoldenTrace(const std::string& folder, const std::string& name, const std::string& got) {
    const std::filesystem::path golden = std::filesystem::path(TOBRELK_TEST_DATA_DIR) / folder / (name + ".txt");
    const char* update = std::getenv("TOBRELK_UPDATE_GOLDENS");
    if (update && *update == '1') {
        std::filesystem::create_directories(golden.parent_path());
        std::ofstream(golden, std::ios::binary) << got;
        return;
    }
    std::ifstream in(golden, std::ios::binary);
    std::stringstream want;
    want << in.rdbuf();
    if (want.str() != got) {
        std::ofstream(std::filesystem::current_path() / ("actual_" + name + ".txt"), std::ios::binary) << got;
        ADD_FAILURE() << golden << " differs; actual trace written to actual_" << name << ".txt";
    }
}
