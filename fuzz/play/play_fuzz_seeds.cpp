// Writes the seed corpus of the play target: the stage reader's rich stage, and a stage whose
// characters and items act through flows from the first frame (the demo game's walking and
// jumping hero, the patroller, the jumper, the wall with its switch and the life item, all as the
// stage's own records).
#include <cstdio>
#include <filesystem>

#include "StageTestUtil.h"
#include "tools/DemoFlows.h"

namespace {

cStage ActorsStage() {
    cStage st;
    st.dwWidth() = 40;
    st.dwHeight() = 15;
    for (i16 x = 0; x < 40; ++x) {
        cEdBlock floor;
        floor.sPosX = x;
        floor.sPosY = 14;
        floor.wPicture = 1;
        st.vBlock.push_back(floor);
    }
    cEdChara hero = stagetest::MakeHero(2, 13);
    AddDemoHeroFlows(hero);
    st.vChara.push_back(hero);
    auto place = [](auto e, i16 x, i16 y) {
        e.sPosX = x;
        e.sPosY = y;
        return e;
    };
    st.vChara.push_back(place(DemoPatroller(), 10, 13));
    st.vChara.push_back(place(DemoJumper(), 16, 13));
    st.vChara.push_back(place(DemoWall(), 30, 13));
    st.vItem.push_back(place(DemoLifeItem(), 6, 12));
    st.vItem.push_back(place(DemoSwitch(), 20, 13));
    return st;
}

} // namespace

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
    cStage actors = ActorsStage();
    stagetest::WriteFile(dir / "actors_824", stagetest::FileBytes(actors));
    return 0;
}
