// A stage from arbitrary bytes (a stage file: version word and body) that, when it loads, is
// played for 120 frames with input taken from the same bytes. Whatever the stage holds, the play
// must neither touch memory it does not own nor leave the frame loop.
#include <cstdint>
#include <cstring>
#include <string>

#include "records/Stage.h"
#include "records/StageSettings.h"
#include "tests/play/PlayFixture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    u32 version;
    std::memcpy(&version, data, 4);
    if (version > g_nProgVer) return 0;
    cRecordReader r(std::string(reinterpret_cast<const char*>(data) + 4, size - 4), version);
    cStage st;
    {
        StagePaletteScope scope(st);
        st.Load(r);
    }
    if (r.Failed() || !st.HasHero()) return 0;
    // The intro banners only show pictures: the frames go to the play.
    StageSettings::Set(st, eStage::StartBanner, 0);
    StageSettings::Set(st, eStage::SecondBanner, 0);
    playtest::PlayFixture play(st, {.seed = size > 8 ? data[8] : 1u});
    for (int f = 0; f < 400 && play.Scene().m_nState < 2; ++f) play.Step();
    for (std::size_t f = 0; f < 120; ++f) {
        const std::uint8_t b = data[(f * 7 + 4) % size];
        play.Step(static_cast<u16>(b & 15), static_cast<u16>(b >> 4));
    }
    return 0;
}
