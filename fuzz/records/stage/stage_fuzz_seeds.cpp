// Writes the seed corpus of the stage reader: stages written by the project's own writer, at
// the current version and at older versions whose layouts differ.
#include <cstdio>
#include <filesystem>

#include "StageTestUtil.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    cStage rich = stagetest::MakeRichStage();
    rich.vName.resize(4); // a small seed; the name count does not change the layout
    stagetest::WriteFile(dir / "rich_824", stagetest::FileBytes(rich));
    cStage small;
    small.vChara.push_back(stagetest::MakeHero(1, 2));
    stagetest::WriteFile(dir / "small_824", stagetest::FileBytes(small));
    for (u32 v : {60u, 61u, 124u, 154u, 172u, 173u, 200u, 209u, 753u, 767u})
        stagetest::WriteFile(dir / ("rich_" + std::to_string(v)), stagetest::OldStageFile(rich, v));
    return 0;
}
