#pragma once
// The play record's members by the names the play and flow engines use (the table form is
// records/NamedSettings.h).
//
//   playrec::Lives(record)        a reference to the member: read and write
//   g_nLives, g_nScore, g_nTotalScore, g_CommonVars   the live record's counters
//
// The engines use these, never the raw members, so that a wrong match is mended here alone.
#include <span>

#include "app/PlayRecord.h"
#include "records/NamedSettings.h"

class cWorldMapEntryItem;

// X(name, type, member, mark, why, shared); F(name, field, mark, why): a function below reads it.
#define TOBRELK_PLAY_RECORD_NAMES(X, F)                                                                        \
    X(NextStageFlag, u32, bStageStarted, Chosen, "the engine's next-stage flag: the one flag that every "      \
      "stage start sets and the play engine reads", nullptr)                                                   \
    X(BackToMapFlag, u32, bMapReturn, Chosen, "the engine's back-to-map flag: set when a stage is left "       \
      "without a clear, it puts the player back on the map", nullptr)                                          \
    X(StartPosFlag, u32, nClearParam1, Chosen, "the stage-clear command stores four values for the result "    \
      "processing: the next stage's start position flag, x, y (cells) and facing, in that order", nullptr)     \
    X(StartPosX, u32, nClearParam2, Chosen, "as StartPosFlag", nullptr)                                        \
    X(StartPosY, u32, nClearParam3, Chosen, "as StartPosFlag", nullptr)                                        \
    X(StartPosDir, u32, nClearParam4, Chosen, "as StartPosFlag", nullptr)                                      \
    X(WorldCounter, u32, nSpare, Chosen, "decision: the record has no world counter; nSpare is 0 after a "     \
      "reset, saved and copied, and no rule decides anything by it, which is all the next-world step asks "    \
      "of the counter (it only counts up)", nullptr)                                                           \
    X(Lives, u32, nLives, Stated, "g_nLives", nullptr)                                                         \
    X(LivesAtStageStart, u32, nLivesAtStart, Stated, "the stage-start snapshot's lives", nullptr)              \
    X(Score, u32, nScore, Stated, "g_nScore", nullptr)                                                         \
    X(TotalScore, u32, nTotalScore, Stated, "g_nTotalScore", nullptr)                                          \
    X(CommonVars, cVector<i32>, vVar, Stated, "g_CommonVars", nullptr)                                         \
    X(Switches, cVector<u32>, vSwitch, Stated, "the per-stage clear switches", nullptr)                        \
    X(StageSwitch, u32, nStageNo, Stated, "a clear sets the switch of this number", nullptr)                   \
    X(ChallengeRows, cVector<cRecInt2>, vChallenge, Stated, "cleared flag and best, per challenge stage",      \
      nullptr)                                                                                                 \
    X(BestSum, u32, nBestSum, Stated, "the sum of bests", nullptr)                                             \
    X(ChallengeUnlocked, u32, nChallengeOpen, Stated, "the highest open challenge stage", nullptr)             \
    X(MusicNumber, u32, nBgmPlaying, Stated, "the stage music now playing", nullptr)                           \
    X(MusicFlag, u32, nBgmParam, Stated, "the play setting of the last stage-music request (1 loops)",         \
      nullptr)                                                                                                 \
    X(MapEntry, u32, nMapEntry, Stated, "the world-map entry the stage was entered through", nullptr)          \
    X(MapX, i32, nMapX, Stated, "the player's column on the world map", nullptr)                               \
    X(MapY, i32, nMapY, Stated, "the player's row on the world map", nullptr)                                  \
    F(MapEntryKind, "cWorldMapEntryItem::nData", Chosen, "every stage item of the map has kind 0, so the "     \
      "entry's kind (1 new world, 2 ending) is the item's free number")

// The engines' global names of the live record's counters.
inline u32& g_nLives = g_PlayRecord.nLives;
inline u32& g_nScore = g_PlayRecord.nScore;
inline u32& g_nTotalScore = g_PlayRecord.nTotalScore;
inline cVector<i32>& g_CommonVars = g_PlayRecord.vVar;

namespace playrec {

#define TOBRELK_X(name, type, member, mark, why, shared)                                                       \
    inline type& name(cPlayRecord& r) { return r.member; }                                                     \
    inline const type& name(const cPlayRecord& r) { return r.member; }
#define TOBRELK_F(name, field, mark, why)
TOBRELK_PLAY_RECORD_NAMES(TOBRELK_X, TOBRELK_F)
#undef TOBRELK_X
#undef TOBRELK_F

std::span<const NAMEDSETTING> Table();

// nMapEntry holds indexes, never an address, because it is saved in story files:
// (entry index + 1) * 65536 + item index; 0 for none.
u32 MakeMapEntryRef(int entry, int item);
// The item a reference names in g_WorldMap, or null when the map does not hold it.
const cWorldMapEntryItem* MapEntryItem(u32 ref);
// The current world-map entry's kind (1 new world, 2 ending).
u32 MapEntryKind(const cPlayRecord& r);
// "The next-world step": the world counter goes up, the switch list is cleared with switch 0
// set, and the figure goes to the world map's start.
void NextWorld(cPlayRecord& r);

} // namespace playrec
