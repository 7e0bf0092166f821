#pragma once
// The game object and its scene machine, the game thread's frame step and the state the
// threads share. The game thread runs GameLoop: one GameFrame per frame while the application
// is active. Scenes draw into the back buffer; the window thread presents.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/Thread.h"
#include "platform/system/Types.h"

class cScene {
public:
    virtual ~cScene() = default;
    // Input repeat and button latch, Init on the first call, then the current state's handler.
    virtual void Run();
    virtual void Init() {}
    virtual void FadeIn() {}
    virtual void FadeOut() {}

    i32 m_nState = -1;
    i32 m_nSubState = 0;

protected:
    // State 0 is the fade-in and the last state the fade-out; the ones between are the scene's.
    void SetHandlers(std::vector<std::function<void()>> middle);

    std::vector<std::function<void()>> m_vHandler;
};

constexpr int kSceneCount = 6;
enum SceneIndex { SCENE_MENU = 0, SCENE_WORLDMAP = 1, SCENE_MAPMENU = 2, SCENE_CHALLENGE = 3, SCENE_PLAY = 4, SCENE_OPTION = 5 };

class cGame {
public:
    ~cGame() { CleanUp(); }

    // Scene objects in stored order: scene 0, 1, 2, 3, 5, 4.
    cScene* m_pScene[kSceneCount] = {};
    i32 g_nScene = 0;
    i32 g_nNextScene = 0;
    i32 g_nPrevScene = 0;
    i32 g_nGameMode = 0;
    i32 g_nPlayKind = 0;
    i32 g_nChallengeRow = 0;
    i32 g_nChallengeTop = 0;
    u32 g_bUseRanking = 0;
    i32 g_nFrameRate = 60;
    i32 g_nFadeSpeed = 10;
    i32 m_nBgmNumber = 0;
    u32 m_bBgmFlag = 0;

    bool GameFrame();
    // Counts a frame that began at `start` (ms) and, when the settings show it, writes the frame
    // counter over the finished frame. Every presented frame goes through it, the nested loops'
    // included.
    void DrawFrameStats(u64 start);
    void ChangeScene(int index);
    void RequestBgm(int number, u32 flag, int which);
    cScene* Scene(int index);
    // Deletes every scene object (shut-down).
    void CleanUp();

    // Frame statistics: frames in the last second and the average working time (ms) of the
    // last 16 frames.
    u32 m_nFps = 0;
    u32 m_nWorkAverage = 0;
    u64 m_nFrames = 0;

private:
    std::vector<u32> m_vWork = std::vector<u32>(16, 0);
    std::size_t m_nWorkPos = 0;
};

extern cGame g_Game;
// The play scene object while it exists (null otherwise).
extern cScene* g_pGameScene;

// Makes the scene object of an index. Every scene registers its factory here, so that the scene
// machine knows no scene by name; an index without one has no scene object and its frames only
// present the back buffer.
using SceneFactory = std::function<std::unique_ptr<cScene>()>;
void SetSceneFactory(int index, SceneFactory factory);

// Shared start and run flags.
extern std::atomic<u32> g_bActive;
extern std::atomic<u32> g_bGameStarted;
extern u32 g_bFromEditor;
extern u32 g_bDirectStart;
extern u32 g_bWindowed;
extern u32 g_bEnglish;
// DirectDraw full screen presents by copying the back buffer to the front instead of flipping
// (chosen at start-up where a flip could not keep pace with the frame rate).
extern u32 g_bFlipByCopy;

// The four game-side threads (thLoad belongs to the stage loader).
extern cThread thGame;
extern cThread thPause;
extern cThread thRanking;
extern cThread thLoad;

unsigned GameLoop(void*);

// Frame services, also used by nested frame loops.
void GameWaitFrame();
bool RestoreLostSurfaces();
void GamePollInput();
void GamePresent();
// Test seam: the next RestoreLostSurfaces finds lost surfaces and, with fail set, cannot restore.
void MarkSurfacesLost(bool fail);

// The 8-bit mode's blend table n (the option data's choice, 0..23; anything else is clamped):
// loads "bmp\hbt\hbtNN.dat", then colours palette entries 16..207 from the palette picture
// and shows entries 0..254. True at once in the other modes.
bool LoadBlendTable(int n);
// The palette arithmetic of LoadBlendTable: n below 12 rotates entries 16..207 by n x 16; from
// 12 on, each 16-entry block there becomes a copy of the block at (n - 11) x 16.
void BlendTablePalette(u32* palette256, int n);
extern int g_nDepth8; // 1 while the display runs in 8-bit palette mode

// Requests from the game side to the window thread.
void PlaySE(int n);
