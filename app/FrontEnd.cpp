#include "app/FrontEnd.h"

#include "app/FrontEndScenes.h"
#include "app/Game.h"
#include "app/PlayRecord.h"
#include "app/Replay.h"
#include "app/Scenes.h"
#include "app/Services.h"
#include "app/StorySave.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "database/WorldMap.h"
#include "records/Stage.h"
#include "records/StageLoad.h"

FRONTENDSERVICES g_FrontEnd;

namespace {

// The stage-start lives of a play kind: unlimited, or the starting lives with the one in play
// already taken off.
void StartLives(cPlayRecord& r, int kind, bool unlimited) {
    if (unlimited || g_SystemData.InfiniteLives(kind)) {
        r.nStartLives = kInfiniteLives;
        r.nLives = kInfiniteLives;
    } else {
        r.nStartLives = g_SystemData.StartLives(kind);
        r.nLives = r.nStartLives - 1;
    }
}

} // namespace

void RegisterFrontEndScenes() {
    SetSceneFactory(SCENE_MENU, [] { return std::make_unique<cSceneMenu>(); });
    SetSceneFactory(SCENE_WORLDMAP, [] { return std::make_unique<cSceneWorldMap>(); });
    SetSceneFactory(SCENE_MAPMENU, [] { return std::make_unique<cSceneMapMenu>(); });
    SetSceneFactory(SCENE_CHALLENGE, [] { return std::make_unique<cSceneChallenge>(); });
    SetSceneFactory(SCENE_OPTION, [] { return std::make_unique<cSceneOption>(); });
}

void ConnectFrontEnd() {
    APPSERVICES& v = g_Services;
    v.storySlots = [] {
        LoadStorySlotList(g_StorySlots);
        std::vector<STORYSLOT> out;
        for (const cStorySlotInfo& s : g_StorySlots) out.push_back(STORYSLOT{s.bUsed});
        return out;
    };
    v.storySlotsUsed = [] { return SysSwitch(SW_STORY_SLOT_CHOICE); };
    v.drawStorySlots = [](int x, int y, int first, int rows) { DrawStorySlotList(x, y, g_StorySlots, first, rows); };
    v.resetPlayRecord = [] { g_PlayRecord.Reset(); };
    v.stageStarted = [](const std::string& path) {
        cPlayRecord& r = g_PlayRecord;
        r.nStageNo = 1;
        r.bStageStarted = 1;
        StartLives(r, 2, g_bDirectStart != 0);
        r.SetStageFile(path, 0, 0, 0);
    };
    v.directStarted = [] { g_PlayRecord.bChallengeName = 0; };
    v.newGame = [](int slot) {
        cPlayRecord& r = g_PlayRecord;
        r.Reset();
        r.nMapX = g_WorldMap.nStartX;
        r.nMapY = g_WorldMap.nStartY;
        r.nSpare = 0;
        StartLives(r, 0, false);
        if (slot >= 0) {
            r.bAutoSave = 1;
            r.nSaveSlot = slot;
        }
    };
    v.continueGame = [](int slot) { return LoadStorySlot(g_PlayRecord, slot); };
    v.startChallenge = [] {
        if (LoadChallenge(g_PlayRecord)) return;
        g_PlayRecord.Reset();
        g_PlayRecord.vChallenge.assign(static_cast<std::size_t>(ChallengeStageCount()), cRecInt2{});
    };
    v.loadReplay = [](const std::string& path) {
        if (!LoadReplay(g_ReplayData, path, g_Stage, g_StageAtStart, g_PlayRecord)) return 0;
        // Replay mode reads the file again at every stage set-up, by this name.
        g_strStageFile = path;
        return 1;
    };
    v.saveReplay = [](int which, const std::string& path) {
        return which == 0 ? SaveReplay(g_ReplayData, path, g_Stage, g_StageAtStart, g_PlayRecordStart)
                          : SaveReplay(g_ReplayPrev, path, g_Stage, g_StageAtStart, g_PlayRecordPrev);
    };
    v.replayFileName = [] {
        std::string name;
        MakeReplayFileName(name, g_PlayRecord.strStageFile);
        return name;
    };
    RegisterFrontEndScenes();
}
