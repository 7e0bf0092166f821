// A stage from arbitrary bytes (a stage file: version word and body) that, when it loads, is
// played for a short while with input taken from the same bytes. Whatever the stage holds, the
// play must neither touch memory it does not own nor leave the frame loop.
//
// Speed: the game folder, the report, the databases and the graphics device are prepared once
// for the process; each input gets a fresh stage, play record, game object and play scene, and
// 4 to 16 frames of play (enough for the flows' start-up, a few steps of every character, and
// the draws; depth comes from more inputs, not longer plays).
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "app/Game.h"
#include "app/PlayRecord.h"
#include "database/Database.h"
#include "database/SystemData.h"
#include "fuzz/ScratchDir.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/Input.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"
#include "play/GameScene.h"
#include "records/Stage.h"
#include "records/StageSettings.h"

namespace {

constexpr std::uint64_t kMaxCells = 1 << 16;

struct PREPARED {
    cMemoryPresenter presenter;
    bool graphics = false;
};

PREPARED& Prepared() {
    static PREPARED* p = [] {
        auto* made = new PREPARED;
        SetGameRoot(fuzzscratch::Dir());
        SetReportFile("/dev/null");
        SetMessageBoxSink([](const std::string&, const std::string&, u32 type) { return DefaultButton(type); });
        g_Database.SetDefault();
        g_SystemData.SetDefault();
        PrepareDatabase();
        SetPresenter(&made->presenter);
        made->graphics = DDInit(true, MainWindowHandle(), 640, 480, 32, 1, 1, 1, 60, 1, nullptr, nullptr, 0, 0);
        return made;
    }();
    return *p;
}

} // namespace

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
    // A mutated size word makes a block map of millions of cells, whose allocation then took half
    // of the target's time; the play's code is the same on any map, and a stage 4,000 cells wide
    // still fits. The stage reader's target reads stages of every size.
    if (static_cast<std::uint64_t>(st.dwWidth()) * st.dwHeight() > kMaxCells) return 0;
    if (!Prepared().graphics) return 0;
    // The intro banners only show pictures: the frames go to the play.
    StageSettings::Set(st, eStage::StartBanner, 0);
    StageSettings::Set(st, eStage::SecondBanner, 0);

    ResetCloseRequestCount();
    g_Stage = st;
    g_StageAtStart = st;
    g_PlayRecord.Reset();
    g_Game.CleanUp();
    g_Game = cGame{};
    g_Game.g_nGameMode = 3; // free play
    g_Game.g_nPlayKind = 2;
    g_Game.g_nFadeSpeed = 256;
    g_vInput.assign(1, cInput{});
    {
        auto scene = std::make_unique<cGameScene>();
        scene->m_nForcedSeed = size > 8 ? data[8] : 1;
        scene->m_bHeadless = true;
        g_pGameScene = scene.get();
        auto step = [&](u16 dir, u16 buttons) {
            g_vInput[0].wDirection = dir;
            g_vInput[0].wButtons = buttons;
            scene->Run();
        };
        for (int f = 0; f < 40 && scene->m_nState < 2; ++f) step(0, 0);
        const std::size_t frames = 4 + (size > 9 ? data[9] % 13 : 0);
        for (std::size_t f = 0; f < frames; ++f) {
            const std::uint8_t b = data[(f * 7 + 4) % size];
            step(static_cast<u16>(b & 15), static_cast<u16>(b >> 4));
        }
        g_pGameScene = nullptr;
    }
    g_Game.CleanUp();
    g_Game = cGame{};
    g_Stage = cStage();
    g_StageAtStart = cStage();
    return 0;
}
