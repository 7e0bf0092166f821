#pragma once
// Tests that play the demo game through playsim's frames: a copy of the build's demo game per
// test program (under a folder named by the suite's kDirPrefix and the process), opened before
// each test, with stages started, changed and saved under other names in it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

#include "platform/system/PathResolver.h"
#include "play/GameScene.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "tests/support/DemoGameCopy.h"
#include "tools/PlaySim.h"

template <class Suite>
class DemoSimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::filesystem::temp_directory_path() / (std::string(Suite::kDirPrefix) + std::to_string(::getpid()));
        std::filesystem::remove_all(s_dir);
        std::string error;
        ASSERT_TRUE(CopyDemoGame(s_dir, error)) << error;
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(s_dir); }

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
    }
    void StartStage(const std::string& stage) {
        std::string error;
        ASSERT_TRUE(sim.StartStage(stage, 1, error)) << error;
    }
    cGameScene& S() { return sim.Scene(); }
    cPlayer& Hero() { return *S().Player0(); }

    // A demo stage changed by edit, saved under another name in the demo folder.
    static void EditStage(const std::string& from, const std::string& to, const std::function<void(cStage&)>& edit) {
        const std::filesystem::path old = GetGameRoot();
        SetGameRoot(s_dir);
        cStage st;
        ASSERT_TRUE(LoadFromFile(st, from));
        edit(st);
        ASSERT_TRUE(SaveToFile(st, to));
        SetGameRoot(old);
    }

    static inline std::filesystem::path s_dir;
    playsim::cPlaySim sim;
};
