#include "app/FrontEnd.h"

#include "app/Game.h"
#include "app/PlayRecord.h"
#include "app/Replay.h"
#include "app/FrontEndScenes.h"
#include "app/Scenes.h"
#include "app/Services.h"
#include "app/StorySave.h"
#include "records/Stage.h"

FRONTENDSERVICES g_FrontEnd;

void RegisterFrontEndScenes() {
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
    v.resetPlayRecord = [] {
        g_PlayRecord.Reset();
        g_PlayRecord.ResetMapProgress();
    };
    v.stageStarted = [](const std::string& path) {
        g_PlayRecord.SetStageFile(path, 0, 0, 0);
        g_PlayRecord.bStageStarted = 1;
    };
    v.loadReplay = [](const std::string& path) {
        return LoadReplay(g_ReplayData, path, g_Stage, g_StageAtStart, g_PlayRecord);
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
