#pragma once
// A headless play of a stage made in memory: the databases at their defaults (or as a test sets
// them), the stage given, a fresh play scene on a memory-presenter graphics device, stepped frame
// by frame with scripted input. Everything the fixture sets (the stage, the databases, the play
// record, the game object's mode, the input records, the graphics device, the report file) is put
// back when it ends, so nothing leaks from one play to the next.
//
//   cStage st = playtest::MakeStage(40, 15);
//   playtest::PlayFixture play(st);
//   play.RunUntilPlay();               // fade-in and intro
//   play.Step(playtest::RIGHT);        // one frame with the right key held
//   play.Steps(30, playtest::RIGHT, playtest::JUMP);
//   play.Script("R*10 RJ*3 .*20", [&](int frame) { trace += ...; });
//   cGameScene& s = play.Scene();      // inspect the play state
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "play/GameScene.h"
#include "records/FlowCmd.h"
#include "records/Stage.h"

namespace playtest {

// Direction and button words of the input record.
enum : u16 { LEFT = 1, RIGHT = 2, UP = 4, DOWN = 8 };
enum : u16 { DECIDE = 1, CANCEL = 2, BUTTON3 = 4, BUTTON4 = 8, JUMP = 1 };

// A stage of width x height cells: the hero standing at cell (2, height - 2) on a floor of solid
// blocks along the bottom row, speed level 10, no time limit.
cStage MakeStage(u32 width, u32 height);
// A solid block (picture 1) at a stage cell.
cEdBlock MakeBlock(i16 x, i16 y);
// Makes b shown only while stage variable 0 is 0.
void ShowWhileVarZero(cEdBlock& b);
// A command of set (0 a character's, 1 an item's) and kind with its first parameters given and
// the rest of its kind's parameters 0.
cFlowCmd MakeCmd(u8 set, u8 kind, std::initializer_list<u32> params);

struct PLAYOPTIONS {
    bool direct3D = true;
    int bpp = 32;
    u32 seed = 1;
    i32 gameMode = 3; // free play
    // Runs after the databases are reset and before the stage is prepared (fill them here).
    std::function<void()> prepareData = {};
};

class PlayFixture {
public:
    explicit PlayFixture(const cStage& stage, PLAYOPTIONS options = {});
    ~PlayFixture();
    PlayFixture(const PlayFixture&) = delete;
    PlayFixture& operator=(const PlayFixture&) = delete;

    cGameScene& Scene() { return *m_pScene; }
    // One frame with these keys held.
    void Step(u16 dir = 0, u16 buttons = 0);
    void Steps(int frames, u16 dir = 0, u16 buttons = 0);
    // Plays an input script: words "<keys>*<frames>" (or "<keys>" for one frame), keys from
    // L R U D (directions), J or 1, 2, 3, 4 (buttons), "." for none. After each frame, each(n)
    // is called with the frame's number in the script (from 0). False on a malformed word
    // (nothing of it is played).
    bool Script(const std::string& script, const std::function<void(int frame)>& each = {});
    // Frames until the scene is in the play state (2), through the fade-in and the intro
    // banners (80 frames each); false when it never gets there.
    bool RunUntilPlay(int maxFrames = 400);
    // The back buffer as ARGB.
    std::vector<u32> Frame() const;
    // Lines written to the report file since the fixture started.
    std::string Report() const;
    // Close requests since the fixture started (a bad index, a failed load).
    u32 CloseRequests() const;
    bool GraphicsOk() const { return m_bGraphics; }

private:
    std::filesystem::path m_dir;
    std::filesystem::path m_oldRoot;
    std::string m_oldReport;
    std::unique_ptr<cGameScene> m_pScene;
    bool m_bGraphics = false;
    struct Presenter;
    std::unique_ptr<Presenter> m_pPresenter;
};

} // namespace playtest
