// The player's saves as the front end reads them, then used as the game uses them. The first
// byte picks the file: a story save, Challenge.dat, a ranking file.
#include <cstddef>
#include <cstdint>

#include "FuzzGame.h"
#include "app/PlayRecord.h"
#include "app/Ranking.h"
#include "app/StorySave.h"
#include "database/DataPaths.h"
#include "records/DataFile.h"

namespace {

void UseRecord(cPlayRecord& r) {
    r.SaveStageStart();
    r.RestoreStageStart(1);
    u32 a = 0, b = 0;
    r.GetCarriedValues(0, a, b);
    r.GetCarriedValues(1, a, b);
    r.SumStageValues();
    (void)r.GetStageValue(r.strStageKey);
    cRecordWriter w;
    r.Save(w);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    fuzzgame::Enter();
    const std::uint8_t* file = data + 1;
    const std::size_t bytes = size - 1;
    switch (data[0] % 3) {
    case 0: {
        fuzzgame::Put("user_data\\story\\Story01.dat", file, bytes);
        cPlayRecord record;
        if (LoadStorySlot(record, 0)) UseRecord(record);
        cVector<cStorySlotInfo> slots(1);
        LoadStorySlotList(slots);
        (void)FormatSaveTime(slots[0]);
        break;
    }
    case 1: {
        fuzzgame::Put(g_DataPath[DP_CHALLENGE_RESULT], file, bytes);
        cPlayRecord record;
        if (LoadChallenge(record)) UseRecord(record);
        break;
    }
    default: {
        std::string path;
        MakeRankingPath(path, 2, "data\\stg4\\fuzz.stg4_000", 0, 0, 0);
        fuzzgame::Put(path, file, bytes);
        cRankingFile ranking;
        LoadRanking(ranking, 2, "data\\stg4\\fuzz.stg4_000", 0, 0, 0);
        for (int t = 0; t < kRankTables; ++t) {
            (void)LayoutRanking(ranking, 0, 0, t, 0);
            ranking.vTable[t].Insert("fuzz", 12345);
        }
        cRecordWriter w;
        ranking.Save(w);
        break;
    }
    }
    return 0;
}
