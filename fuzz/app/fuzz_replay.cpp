// Replay files as the replay mode reads them: the stage as it was loaded, the recorded input
// and the play record; then the input is played back to its end.
#include <cstddef>
#include <cstdint>

#include "FuzzGame.h"
#include "app/Replay.h"
#include "records/Stage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzgame::Enter();
    fuzzgame::Put("user_data\\rpl4\\fuzz.rpl4_824", data, size);
    cReplayData replay;
    cStage stage, start;
    cPlayRecord record;
    if (!LoadReplay(replay, "user_data\\rpl4\\fuzz.rpl4_824", stage, start, record)) return 0;
    u16 dir = 0, buttons = 0;
    // Run lengths may be damaged: a playback never lasts longer than its lists allow.
    for (int frame = 0; frame < 100000 && replay.Next(dir, buttons) == 0; ++frame) {
    }
    return 0;
}
