// The player's settings (Option.dat, Window.dat, Boot.dat) found damaged, empty or written by a
// newer version: the runtime starts with their defaults, and when it writes a fresh one (the
// drawing-mode question answered, the options left, the window closed) the file that was there
// is kept aside as NAME.damaged, byte for byte, as saves and rankings are.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "RuntimeProcess.h"
#include "tests/support/DemoGameCopy.h"

namespace fs = std::filesystem;
using namespace runtimeproc;

namespace {

struct SPOILT {
    const char* kind;
    std::string bytes;
};

const SPOILT kDamaged{"damaged", std::string("\x38\x03\x00\x00\xFF\xFF\xFF\x7F", 8)}; // a count past its end
const SPOILT kEmpty{"empty", std::string()};
const SPOILT kNewer{"newer", std::string("\x39\x03\x00\x00\x02\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00", 20)};

class SettingsAside : public ::testing::Test {
protected:
    void SetUp() override {
        game = fs::temp_directory_path() / ("tobrelk_aside_" + std::to_string(::getpid()));
        fs::remove_all(game);
        std::string error;
        ASSERT_TRUE(CopyDemoGame(game, error)) << error;
        fs::create_directories(game / "user_data");
        // Windowed, so that the placement is written at the close, and asked for the drawing
        // mode, so that Boot.dat is read and written.
        std::ofstream(game / "System.ini") << "Direct3D=2\nWindowMode=1\nBpp=0\nExit\n";
    }
    void TearDown() override { fs::remove_all(game); }

    // One run with each settings file spoilt as given: the question is answered Start, the
    // options are entered and left, and Escape closes. One line per file: what was kept aside,
    // what stands in its place, and the report's word on it.
    std::string Run(const SPOILT& option, const SPOILT& window, const SPOILT& boot) {
        const fs::path user = game / "user_data";
        std::string table;
        const std::pair<const char*, const SPOILT*> files[] = {{"Option.dat", &option}, {"Window.dat", &window}, {"Boot.dat", &boot}};
        for (const auto& [name, spoilt] : files) {
            fs::remove(user / name);
            fs::remove(user / (std::string(name) + ".damaged"));
            std::ofstream(user / name, std::ios::binary) << spoilt->bytes;
        }
        fs::remove(game / "Report_Game.txt");
        // Up twice wraps to the options entry, which the decide button opens; cancel leaves
        // them (and writes the options); Escape closes.
        const pid_t pid = Start(game, {"TOBRELK_DIALOG_ANSWERS=1",
                                       "TOBRELK_INPUT_SCRIPT=40:38+,41:38-,43:38+,44:38-,50:90+,51:90-,"
                                       "130:88+,131:88-,200:27+,201:27-"});
        if (WaitExit(pid) != 0) return "the run failed\n";
        const std::string report = Read(game / "Report_Game.txt");
        for (const auto& [name, spoilt] : files) {
            const fs::path aside = user / (std::string(name) + ".damaged");
            const std::string fresh = Read(user / name);
            std::uint32_t version = 0;
            if (fresh.size() >= 4) std::memcpy(&version, fresh.data(), 4);
            const std::string line = std::string("user_data\\") + name + " を " + name + ".damaged として残しました";
            table += std::string(name) + " " + spoilt->kind + ": " +
                     (!fs::exists(aside)                ? "nothing kept aside"
                      : Read(aside) == spoilt->bytes    ? "kept aside whole"
                                                        : "kept aside CHANGED") +
                     ", a fresh one of version " + std::to_string(version) + " (" + std::to_string(fresh.size()) +
                     " bytes)" + (report.find(line) != std::string::npos ? ", reported" : ", not reported") + "\n";
        }
        return table;
    }

    fs::path game;
};

// Every file is spoilt each way once over three runs.
TEST_F(SettingsAside, ASpoiltSettingsFileIsKeptAsideBeforeAFreshOneIsWritten) {
    std::string table = Run(kDamaged, kEmpty, kNewer);
    table += Run(kEmpty, kNewer, kDamaged);
    table += Run(kNewer, kDamaged, kEmpty);
    EXPECT_EQ(table, "Option.dat damaged: kept aside whole, a fresh one of version 824 (36 bytes), reported\n"
                     "Window.dat empty: kept aside whole, a fresh one of version 824 (32 bytes), reported\n"
                     "Boot.dat newer: kept aside whole, a fresh one of version 824 (20 bytes), reported\n"
                     "Option.dat empty: kept aside whole, a fresh one of version 824 (36 bytes), reported\n"
                     "Window.dat newer: kept aside whole, a fresh one of version 824 (32 bytes), reported\n"
                     "Boot.dat damaged: kept aside whole, a fresh one of version 824 (20 bytes), reported\n"
                     "Option.dat newer: kept aside whole, a fresh one of version 824 (36 bytes), reported\n"
                     "Window.dat damaged: kept aside whole, a fresh one of version 824 (32 bytes), reported\n"
                     "Boot.dat empty: kept aside whole, a fresh one of version 824 (20 bytes), reported\n");
}

} // namespace
