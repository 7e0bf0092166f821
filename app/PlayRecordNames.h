#pragma once
// The play and flow engines name the play record's members by what they mean; the stored record
// names them as its file does. This is the one place where the two meet: the engines use these
// accessors, never the raw members, so that a wrong match is mended here alone.
#include "app/PlayRecord.h"

class cWorldMapEntryItem;

// The engines' global names of the live record's counters.
inline u32& g_nLives = g_PlayRecord.nLives;
inline u32& g_nScore = g_PlayRecord.nScore;
inline u32& g_nTotalScore = g_PlayRecord.nTotalScore;
inline cVector<i32>& g_CommonVars = g_PlayRecord.vVar;

namespace playrec {

// "next-stage flag": set whenever a stage is started.
inline u32& NextStageFlag(cPlayRecord& r) { return r.bStageStarted; }
// "back-to-map flag".
inline u32& BackToMapFlag(cPlayRecord& r) { return r.bMapReturn; }
// "start-position flag, x, y (cells), direction", set by the stage-clear command for the next
// stage: the four values the stage-clear command stores for the result processing.
inline u32& StartPosFlag(cPlayRecord& r) { return r.nClearParam1; }
inline u32& StartPosX(cPlayRecord& r) { return r.nClearParam2; }
inline u32& StartPosY(cPlayRecord& r) { return r.nClearParam3; }
inline u32& StartPosDir(cPlayRecord& r) { return r.nClearParam4; }
// "world counter": the file has no field of that name. nSpare is the one stored field that
// nothing else reads, is 0 after a reset and is copied with the record, so it keeps the count.
inline u32& WorldCounter(cPlayRecord& r) { return r.nSpare; }
// Lives, score and totals (g_nLives, g_nScore, g_nTotalScore).
inline u32& Lives(cPlayRecord& r) { return r.nLives; }
inline u32& LivesAtStageStart(cPlayRecord& r) { return r.nLivesAtStart; }
inline u32& Score(cPlayRecord& r) { return r.nScore; }
inline u32& TotalScore(cPlayRecord& r) { return r.nTotalScore; }
// The common variables (g_CommonVars), 0..1000.
inline cVector<i32>& CommonVars(cPlayRecord& r) { return r.vVar; }
// The switch list and the switch number of the current stage.
inline cVector<u32>& Switches(cPlayRecord& r) { return r.vSwitch; }
inline u32& StageSwitch(cPlayRecord& r) { return r.nStageNo; }
// Challenge rows (cleared, best), the sum of bests and the unlocked count.
inline cVector<cRecInt2>& ChallengeRows(cPlayRecord& r) { return r.vChallenge; }
inline u32& BestSum(cPlayRecord& r) { return r.nBestSum; }
inline u32& ChallengeUnlocked(cPlayRecord& r) { return r.nChallengeOpen; }
// The current music number.
inline u32& MusicNumber(cPlayRecord& r) { return r.nBgmPlaying; }

// "the current world-map entry": nMapEntry holds indexes, never an address, because it is
// saved in story files: (entry index + 1) * 65536 + item index; 0 for none.
u32 MakeMapEntryRef(int entry, int item);
// The item a reference names in g_WorldMap, or null when the map does not hold it.
const cWorldMapEntryItem* MapEntryItem(u32 ref);
// "its kind (1 new world, 2 ending)": every stage item has nKind 0, so the kind is the item's
// free number nData.
u32 MapEntryKind(const cPlayRecord& r);
// "The next-world step": the world counter goes up, the switch list is cleared with switch 0
// set, and the figure goes to the world map's start.
void NextWorld(cPlayRecord& r);

} // namespace playrec
