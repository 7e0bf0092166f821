#pragma once
// The title menu scene and the routines it owns for the rest of the program.
#include <string>
#include <vector>

#include "app/Game.h"
#include "app/SceneDraw.h"
#include "app/Services.h"

class cSceneMenu : public cScene {
public:
    cSceneMenu();
    ~cSceneMenu() override;
    void Init() override;
    void FadeIn() override;
    void FadeOut() override;

    i32 m_nEntryCount = 1;
    i32 m_anEntry[7] = {};
    i32 m_nSlotTop = 0;
    i32 m_nSlotRows = 0;

private:
    void MainMenu();
    void SlotChoice(bool newGame);
    void DrawFrame();
    void DrawSlots();
    void NewGameReset(int slot);

    void BuildMenuSurface();
    void DrawMenu();
    void DrawCursor(int size, int sy);

    std::vector<STORYSLOT> m_vSlot;
    std::vector<std::string> m_vText; // the enabled entries' texts (Shift-JIS), in menu order
    DDSURFACEDATA* m_pMenu = nullptr;   // the drawn menu, a scene work surface
    int m_nMenuW = 0, m_nMenuH = 0;
};

// The title menu's positions, kept for the life of the program.
extern i32 g_nMenuX;
extern i32 g_nMenuY;
// The picture-menu switch of the system data and the width of its menu picture.
extern u32 g_bPictureMenu;
extern i32 g_nGameModeWidth;

// Loads a free-play stage and prepares the play record: 1 loaded, 0 not.
int StartStage(const std::string& fileName, int flag);
// Asks the window thread for the stage dialog: 1 when a stage was chosen and loaded.
int ReqFileDialog();
// Asks the window thread for the replay dialog: 1 when a replay was chosen and loaded.
int ReqLoadReplayDlg();
// Steps a ranking category (0..4) over the categories switched on; step 0 moves off a category
// that is off. Nothing changes when no category is on.
void MenuCursorStep(i32& nRankTable, const std::vector<u8>& switches, int step);

// The window thread's answers to the game thread's dialog requests.
extern std::atomic<u32> g_bDlgDone;
extern std::atomic<i32> g_nDlgResult;
extern std::atomic<u32> g_bNameDone;
