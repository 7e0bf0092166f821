// Writes the seed corpus of the play target: the stage reader's rich stage, a stage whose
// characters and items act through flows from the first frame (the demo game's walking and
// jumping hero, the patroller, the jumper, the wall with its switch and the life item, all as the
// stage's own records), the stage whose NaN gravity hung the play, and that stage's ground turn
// under a gravity of each of the doubles that defeat comparisons.
#include <cstdio>
#include <filesystem>

#include "ActorsStage.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    cStage rich = stagetest::MakeRichStage();
    rich.vName.resize(4);
    stagetest::WriteFile(dir / "rich_824", stagetest::FileBytes(rich));
    cStage actors = stagetest::ActorsStage();
    stagetest::WriteFile(dir / "actors_824", stagetest::FileBytes(actors));
    stagetest::WriteFile(dir / "nan_gravity_824", stagetest::NanGravityStageBytes());
    const struct {
        const char* name;
        u64 bits;
    } gravities[] = {
        {"gravity_nan_824", 0x7FF8000000000000ull},     {"gravity_inf_824", 0x7FF0000000000000ull},
        {"gravity_minus_inf_824", 0xFFF0000000000000ull}, {"gravity_1e300_824", 0x7E37E43C8800759Cull},
        {"gravity_minus_1e300_824", 0xFE37E43C8800759Cull}, {"gravity_denormal_824", 0x0000000000000001ull},
    };
    for (const auto& g : gravities) stagetest::WriteFile(dir / g.name, stagetest::GroundTurnActorsFile(g.bits));
    return 0;
}
