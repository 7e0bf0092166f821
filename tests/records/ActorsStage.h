#pragma once
// The play fuzz target's stage of actors: the demo game's walking and jumping hero, the
// patroller, the jumper, the wall with its switch and the life item, all as the stage's own
// records, acting through their flows from the first frame. And the stages made from it whose
// numbers once hung the play.
#include <cstring>
#include <string>

#include "StageTestUtil.h"
#include "tools/DemoCmdKinds.h"
#include "tools/DemoFlows.h"

namespace stagetest {

inline cStage ActorsStage() {
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
    cEdChara hero = MakeHero(2, 13);
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

// Where header field n (1..98) lies in a stage file of this program's version: after the
// version word and the header's field count, the fields in their order, the doubles 8 bytes.
inline std::size_t HeaderFieldOffset(int n) {
    std::size_t at = 8;
    for (int k = 1; k < n; ++k) at += cStage::IsDoubleField(k) ? 8 : 4;
    return at;
}

// Bytes written over a file's own at an offset: values the program never writes itself.
template <class T>
void PutBytes(std::string& bytes, std::size_t at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// The actors stage with the hero's walk to the right made a ground-turn move, as a file whose
// header's gravity is the double of these bits and whose width word is given.
inline std::string GroundTurnActorsFile(u64 gravityBits, u32 widthWord = 40) {
    cStage st = ActorsStage();
    st.vChara[0].vFlow[1].cmds[0].cmdKind = CMD_GROUND_TURN;
    std::string bytes = FileBytes(st);
    PutBytes(bytes, HeaderFieldOffset(1), widthWord);
    PutBytes(bytes, HeaderFieldOffset(21), gravityBits);
    return bytes;
}

// The width word of the stage that hung: 40 with its high byte damaged (a width the reader
// cuts to 4000 cells).
constexpr u32 kDamagedWidth = 0x4A000028u;

// The stage that hung the play: the ground-turn actors with the gravity's top two bytes
// damaged (0.4 becomes a NaN) and the damaged width. The ground turn's wall test looked at the
// hero's leading edge every 32 dots down to a bottom that was a NaN, for ever.
inline std::string NanGravityStageBytes() { return GroundTurnActorsFile(0xFFFF99999999999Aull, kDamagedWidth); }

} // namespace stagetest
