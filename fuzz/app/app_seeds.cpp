// Writes the seeds of one of the fuzz targets of the player's files into the folder given, each
// a file as the runtime itself writes it (after the target's selector byte, where it has one):
// the settings files, the saves, or a replay of a demo-game stage.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/PlayRecord.h"
#include "app/Ranking.h"
#include "app/Replay.h"
#include "app/SystemIni.h"
#include "database/OptionData.h"
#include "platform/system/Input.h"
#include "platform/system/PathResolver.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "tools/DemoGame.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// The record as the runtime saves it.
[[maybe_unused]] std::string Saved(cRecord& record) {
    SaveToFile(record, "seed.dat");
    return Bytes(ResolvePath("seed.dat"));
}

void Seed(const fs::path& dir, const std::string& name, const std::string& bytes, int selector = -1) {
    std::ofstream f(dir / name, std::ios::binary);
    if (selector >= 0) f << static_cast<char>(selector);
    f << bytes;
}

[[maybe_unused]] cPlayRecord RichRecord() {
    cPlayRecord r;
    r.Reset();
    r.nScore = 1234;
    r.strStageFile = "data\\stg4\\Demo-1.stg4_001";
    r.strStageKey = "Demo-1.";
    r.UpdateStageEntry("data\\stg4\\Demo-1.stg4_001", "Demo-1.", 0, 0, 0, 500);
    r.vSwitch.assign(8, 1);
    r.vVar.assign(8, -3);
    r.vChallenge.assign(3, cRecInt2{});
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    const fs::path dir = argv[1];
    fs::create_directories(dir);
    const fs::path work = fs::temp_directory_path() / ("tobrelk_app_seeds_" + std::to_string(::getpid()));
    fs::create_directories(work);
    SetGameRoot(work);
#if defined(TOBRELK_SETTINGS_SEEDS)
    cOptionData option;
    Seed(dir, "option", Saved(option), 0);
    cWindowData window;
    window.Set(120, 80, 800, 600, 1);
    Seed(dir, "window", Saved(window), 1);
    cBootData boot;
    boot.bDoNotAsk = 1;
    Seed(dir, "boot", Saved(boot), 2);
    KEYCONFIG keys;
    KeyConfigDefault(keys);
    keys.aEntry[5] = KEYCONFIGENTRY{1, 512, 0};
    keys.bMultiJoy = 1;
    Seed(dir, "keyconfig", std::string(reinterpret_cast<const char*>(&keys), sizeof keys), 3);
    Seed(dir, "systemini", "Direct3D=2\r\nWindowMode=2\r\nBpp=32\r\nVSync=1 // sync\r\nShowFps=0\r\n"
                           "FreeStage=data\\stg4\\Demo-1\r\nEnglish=1\r\nExit\r\n", 4);
#elif defined(TOBRELK_SAVES_SEEDS)
    cPlayRecord record = RichRecord();
    Seed(dir, "story", Saved(record), 0);
    Seed(dir, "challenge", Saved(record), 1);
    cRankingFile ranking;
    ranking.vTable[0].Insert("abc", 100);
    ranking.vTable[2].Insert("\x83\x65\x83\x58\x83\x67", 6000);
    Seed(dir, "ranking", Saved(ranking), 2);
#else
    std::string error;
    if (!MakeDemoGame(work, error)) return 1;
    SetGameRoot(work);
    cStage stage, start;
    if (!LoadStageFile(stage, "data\\stg4\\Demo-1.stg4_001")) return 1;
    cReplayData replay;
    for (int i = 0; i < 300; ++i) replay.Record(static_cast<u16>((i / 40) & 3), static_cast<u16>((i / 7) & 1));
    replay.nSeed = 4242;
    cPlayRecord record = RichRecord();
    SaveReplay(replay, "seed.rpl4_824", stage, start, record);
    Seed(dir, "replay", Bytes(ResolvePath("seed.rpl4_824")));
#endif
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
