#include "tools/PlaySim.h"

#include <bit>
#include <cstring>
#include <filesystem>

#include "app/Game.h"
#include "app/PlayRecord.h"
#include "app/Replay.h"
#include "app/SceneDraw.h"
#include "app/Scenes.h"
#include "app/Services.h"
#include "database/DataPaths.h"
#include "database/Database.h"
#include "database/GameData.h"
#include "database/SystemData.h"
#include "flow/CmdParams.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/Input.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"
#include "play/GameScene.h"
#include "records/Stage.h"
#include "records/StageLoad.h"

namespace playsim {

namespace {

// FNV-1a over the bytes of each value.
class cHash {
public:
    template <class T>
    void Add(const T& v) {
        unsigned char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));
        for (unsigned char c : b) m_h = (m_h ^ c) * 1099511628211ull;
    }
    void Obj(const cObj& o) {
        Add(o.m_nId);
        Add(o.m_dX);
        Add(o.m_dY);
        Add(o.m_dSpeedX);
        Add(o.m_dSpeedY);
        Add(o.m_nDir);
        Add(o.m_bPresent);
    }
    u64 Value() const { return m_h; }

private:
    u64 m_h = 1469598103934665603ull;
};

} // namespace

bool ParseScript(const std::string& script, std::vector<SIMKEYS>& out) {
    std::vector<SIMKEYS> keys;
    std::size_t pos = 0;
    while (pos < script.size()) {
        while (pos < script.size() && (script[pos] == ' ' || script[pos] == '\n' || script[pos] == '\t')) ++pos;
        if (pos >= script.size()) break;
        SIMKEYS k;
        for (; pos < script.size() && script[pos] != ' ' && script[pos] != '*' && script[pos] != '\n'; ++pos) {
            switch (script[pos]) {
            case 'L': k.dir |= 1; break;
            case 'R': k.dir |= 2; break;
            case 'U': k.dir |= 4; break;
            case 'D': k.dir |= 8; break;
            case 'J':
            case '1': k.buttons |= 1; break;
            case '2': k.buttons |= 2; break;
            case '3': k.buttons |= 4; break;
            case '4': k.buttons |= 8; break;
            case '.': break;
            default: return false;
            }
        }
        long frames = 1;
        if (pos < script.size() && script[pos] == '*') {
            const std::size_t start = ++pos;
            while (pos < script.size() && script[pos] >= '0' && script[pos] <= '9') ++pos;
            if (pos == start || pos - start > 7) return false;
            frames = std::stol(script.substr(start, pos - start));
        }
        keys.insert(keys.end(), static_cast<std::size_t>(frames), k);
    }
    out = std::move(keys);
    return true;
}

struct cPlaySim::IMPL {
    cMemoryPresenter presenter;
    std::unique_ptr<cGameScene> scene;
    std::filesystem::path oldRoot;
    bool graphics = false;
};

cPlaySim::cPlaySim() : m(std::make_unique<IMPL>()) {}

cPlaySim::~cPlaySim() {
    g_pGameScene = nullptr;
    m->scene.reset();
    for (Font& f : g_aFont) f.Release();
    SetTextBoxDrawer(nullptr);
    if (g_bDDInit) DDRelease();
    g_nDepth8 = 0;
    SetPresenter(nullptr);
    SetMessageBoxSink(nullptr);
    if (!m->oldRoot.empty()) SetGameRoot(m->oldRoot);
}

bool cPlaySim::Open(const SIMOPTIONS& o, std::string& error) {
    m->oldRoot = GetGameRoot();
    SetGameRoot(o.gameDir);
    // Message boxes are answered with their default button and written to the report file.
    SetMessageBoxSink([](const std::string&, const std::string&, u32 type) { return DefaultButton(type); });
    if (o.report.empty()) SetReportToStderr();
    else if (!SetReportFile(o.report)) {
        error = "cannot write " + o.report;
        return false;
    }
    InitCmdParams();
    if (!LoadGameData(MainWindowHandle())) {
        error = "the game's data did not load (see the report)";
        return false;
    }
    SetPresenter(&m->presenter);
    if (!DDInit(o.direct3D, MainWindowHandle(), 640, 480, o.bpp, 1, 1, 1, 60, 1, g_aPicture.data(), g_SurfaceFile.data(),
                SURFACE_COUNT, 0)) {
        error = "the graphics layer did not start";
        return false;
    }
    int alias[SURFACE_COUNT];
    LinkSurfaceAliases(alias);
    for (int i = 0; i < SURFACE_COUNT; ++i)
        g_aPicture[static_cast<std::size_t>(i)].alias = alias[i] >= 0 ? &g_aPicture[static_cast<std::size_t>(alias[i])] : nullptr;
    if (!DDLoadPaletteFromFile(&g_palCur, g_SurfaceFile.data(), 1)) {
        error = "no palette picture";
        return false;
    }
    g_palBase = g_palCur;
    if (!g_SystemData.bTransColor || g_nBpp == 16) DDSetTransmitFromFile(g_SurfaceFile.data());
    if (g_SystemData.bTransColor) DDSetTransmit(g_SystemData.byTransR, g_SystemData.byTransG, g_SystemData.byTransB);
    if (g_nBpp == 8 && !lpDTCon) DDSetDisplayPalette(g_palCur);
    // The 8-bit mode mixes colours through the blend table start-up loads (the first one: a
    // headless play has no player options).
    g_nDepth8 = g_nBpp == 8 && !lpDTCon ? 1 : 0;
    if (g_nDepth8 && !LoadBlendTable(0)) {
        error = "no blend table";
        return false;
    }
    std::vector<i32> slots(SURFACE_COUNT);
    for (int i = 0; i < SURFACE_COUNT; ++i) slots[static_cast<std::size_t>(i)] = i;
    if (!DDLoadPictures(g_aPicture.data(), slots.data(), SURFACE_COUNT)) {
        error = "the pictures did not load";
        return false;
    }
    ApplyFontFace(g_SystemData.nFontFace);
    // Texts are part of the frame: without the font the frames differ from the game's, not the
    // play itself.
    FontCreateAll(g_aFont, g_FontDef.data(), 3);
    SetTextBoxDrawer([](void* surface, int x, int y, int w, int h, const std::string& sjis) {
        DDSURFACEDATA* dst = surface ? static_cast<DDSURFACEDATA*>(surface) : &g_sdBackBuffer;
        if (g_aFont[1].face) DDDrawTextBox(&g_aFont[1], dst, x, y, w, h, "%s", sjis.c_str());
    });
    SetCycleColorSettings(g_SystemData.nCycleColor, g_SystemData.bCompat289 != 0);
    m->graphics = true;
    return true;
}

bool cPlaySim::Begin(i32 gameMode, i64 seed, std::string& error) {
    g_Game.CleanUp();
    g_Game = cGame{};
    g_Game.g_nGameMode = gameMode;
    g_Game.g_nPlayKind = gameMode == 4 ? 3 : 2;
    g_Game.g_nFadeSpeed = 256;
    g_vInput.assign(1, cInput{});
    m->scene = std::make_unique<cGameScene>();
    m->scene->m_bHeadless = true;
    m->scene->m_nForcedSeed = seed;
    g_pGameScene = m->scene.get();
    m_vHash.clear();
    for (int i = 0; i < 1000 && m->scene->m_nState != 2; ++i) m->scene->Run();
    if (m->scene->m_nState != 2) {
        error = "the stage never reached the play";
        return false;
    }
    return true;
}

bool cPlaySim::StartStage(const std::string& stageFile, u32 seed, std::string& error) {
    g_PlayRecord.Reset();
    if (!LoadStageForPlay(stageFile.c_str(), 0, &g_StageAtStart)) {
        error = "the stage did not load: " + stageFile;
        return false;
    }
    g_PlayRecord.nStageNo = 1;
    g_PlayRecord.nStartLives = g_PlayRecord.nLives = kInfiniteLives;
    g_PlayRecord.SetStageFile(g_strStageFile, 0, 0, 0);
    // The recording of every play (what a replay file keeps).
    g_SystemData.bReplaySave = 1;
    return Begin(3, seed, error);
}

bool cPlaySim::StartReplay(const std::string& replayFile, std::string& error) {
    if (!LoadReplay(g_ReplayData, replayFile, g_Stage, g_StageAtStart, g_PlayRecord)) {
        error = "the replay did not load: " + ResolvePath(replayFile).string();
        return false;
    }
    g_strStageFile = replayFile;
    return Begin(4, -1, error);
}

bool cPlaySim::Frame(SIMKEYS keys) {
    cGameScene& s = *m->scene;
    g_vInput[0].wDirection = keys.dir;
    g_vInput[0].wButtons = keys.buttons;
    // A play frame is one whose update ran the play: it counts the stage's frames (a replay that
    // ran out starts the stage over instead, a pause shows its menu).
    const bool inPlay = s.m_nState == 2;
    const u32 before = s.m_nFrameCounter;
    s.Run();
    const bool play = inPlay && s.m_nFrameCounter == before + 1;
    // A live play set up again (a retry, a death with lives left) records anew: the replay keeps
    // the input from the last set-up on, and so do the hashes.
    if (g_Game.g_nGameMode != 4 && s.m_nFrameCounter < before) m_vHash.clear();
    if (play) m_vHash.push_back(Hash());
    return play;
}

u64 cPlaySim::Hash() {
    cGameScene& s = *m->scene;
    cHash h;
    h.Add(s.m_nState);
    h.Add(s.m_nFrameCounter);
    h.Add(s.m_nTimeLeft);
    h.Add(s.m_nPlayTime);
    h.Add(s.m_Rand.State());
    h.Add(s.m_ScrollX.m_dPos);
    h.Add(s.m_ScrollY.m_dPos);
    h.Add(g_PlayRecord.nScore);
    h.Add(g_PlayRecord.nLives);
    h.Add(s.m_lstChara.LiveCount());
    h.Add(s.m_lstItem.LiveCount());
    h.Add(s.m_lstShot.LiveCount());
    s.ForEachPlayer([&](cPlayer& p) {
        h.Obj(p);
        h.Add(p.m_nHP);
        h.Add(p.m_nSP);
    });
    s.ForEachChara([&](cStageChara& c) {
        h.Obj(c);
        h.Add(c.m_nHP);
        h.Add(c.m_bDying);
    });
    s.ForEachItem([&](cItem& it) { h.Obj(it); });
    s.ForEachShot([&](cShot& sh) { h.Obj(sh); });
    return h.Value();
}

bool cPlaySim::SaveReplay(const std::string& path) {
    return ::SaveReplay(g_ReplayData, path, g_Stage, g_StageAtStart, g_PlayRecordStart) != 0;
}

bool cPlaySim::DumpPng(const std::string& path) {
    std::vector<u32> argb;
    i32 w = 0, h = 0;
    DDSnapshotFrame(&argb, &w, &h);
    return !argb.empty() && WritePngFile(path, argb.data(), w, h);
}

cGameScene& cPlaySim::Scene() { return *m->scene; }

bool cPlaySim::Playing() const { return m->scene && m->scene->m_nState == 2; }

} // namespace playsim
