#include "tests/play/PlayFixture.h"

#include <fstream>
#include <unistd.h>

#include "app/Game.h"
#include "app/PlayRecord.h"
#include "database/Database.h"
#include "database/SystemData.h"
#include "platform/graphics/Graphics.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/Input.h"
#include "platform/system/MessageBox.h"
#include "platform/system/PathResolver.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"

namespace playtest {

struct PlayFixture::Presenter {
    cMemoryPresenter mem;
};

cEdBlock MakeBlock(i16 x, i16 y) {
    cEdBlock b;
    b.sPosX = x;
    b.sPosY = y;
    b.wPicture = 1;
    b.bySolid = 1;
    return b;
}

void ShowWhileVarZero(cEdBlock& b) {
    cCond c;
    c.kind = 2; // a stage variable
    c.index = 0;
    c.value = 0;
    b.EditConds().push_back(c);
}

cFlowCmd MakeCmd(u8 set, u8 kind, std::initializer_list<u32> params) {
    cFlowCmd c;
    c.cmdSet = set;
    c.cmdKind = kind;
    c.params.assign(params.begin(), params.end());
    c.params.resize(CmdTypeRow(set, kind).nParams, 0);
    return c;
}

cStage MakeStage(u32 width, u32 height) {
    cStage st;
    st.Init();
    st.dwWidth() = width;
    st.dwHeight() = height;
    st.dwSpeedLevel() = 10;
    for (u32 x = 0; x < width; ++x) st.vBlock.push_back(MakeBlock(static_cast<i16>(x), static_cast<i16>(height - 1)));
    cEdChara hero;
    hero.byOperation = 0;
    hero.wPicture = 1;
    hero.sPosX = 2;
    hero.sPosY = static_cast<i16>(height - 2);
    hero.nHoldItem = cEdChara::kNoItem;
    st.vChara.push_back(hero);
    st.Prepare();
    return st;
}

PlayFixture::PlayFixture(const cStage& stage, PLAYOPTIONS options) : m_pPresenter(std::make_unique<Presenter>()) {
    static int serial = 0;
    m_dir = std::filesystem::temp_directory_path() / ("tobrelk_play_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    m_oldRoot = GetGameRoot();
    m_oldReport = GetReportFile();
    SetGameRoot(m_dir);
    SetReportFile((m_dir / "Report_Game.txt").string());
    SetMessageBoxSink([](const std::string&, const std::string&, u32 type) { return DefaultButton(type); });
    ResetCloseRequestCount();

    g_Database.SetDefault();
    g_SystemData.SetDefault();
    if (options.prepareData) options.prepareData();
    PrepareDatabase();

    g_Stage = stage;
    g_StageAtStart = stage;
    g_PlayRecord.Reset();
    g_Game.CleanUp();
    g_Game = cGame{};
    g_Game.g_nGameMode = options.gameMode;
    g_Game.g_nPlayKind = options.gameMode == 4 ? 3 : options.gameMode == 3 ? 2 : options.gameMode == 2 ? 1 : 0;
    g_Game.g_nFadeSpeed = 256;
    g_vInput.assign(1, cInput{});

    SetPresenter(&m_pPresenter->mem);
    m_bGraphics = DDInit(options.direct3D, MainWindowHandle(), 640, 480, options.bpp, 1, 1, 1, 60, 1, nullptr, nullptr, 0, 0);

    m_pScene = std::make_unique<cGameScene>();
    m_pScene->m_nForcedSeed = options.seed;
    m_pScene->m_bHeadless = true;
    g_pGameScene = m_pScene.get();
}

PlayFixture::~PlayFixture() {
    g_pGameScene = nullptr;
    m_pScene.reset();
    if (m_bGraphics) DDRelease();
    SetPresenter(nullptr);
    g_Game.CleanUp();
    g_Game = cGame{};
    g_vInput.assign(1, cInput{});
    g_PlayRecord.Reset();
    g_Stage = cStage();
    g_StageAtStart = cStage();
    g_Database.SetDefault();
    g_SystemData.SetDefault();
    PrepareDatabase();
    SetMessageBoxSink(nullptr);
    SetReportFile(m_oldReport);
    SetGameRoot(m_oldRoot);
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void PlayFixture::Step(u16 dir, u16 buttons) {
    g_vInput[0].wDirection = dir;
    g_vInput[0].wButtons = buttons;
    m_pScene->Run();
}

void PlayFixture::Steps(int frames, u16 dir, u16 buttons) {
    for (int i = 0; i < frames; ++i) Step(dir, buttons);
}

bool PlayFixture::Script(const std::string& script, const std::function<void(int frame)>& each) {
    struct WORD {
        u16 dir, buttons;
        int frames;
    };
    std::vector<WORD> words;
    std::size_t pos = 0;
    while (pos < script.size()) {
        while (pos < script.size() && script[pos] == ' ') ++pos;
        if (pos >= script.size()) break;
        WORD w{0, 0, 1};
        for (; pos < script.size() && script[pos] != ' ' && script[pos] != '*'; ++pos) {
            switch (script[pos]) {
            case 'L': w.dir |= LEFT; break;
            case 'R': w.dir |= RIGHT; break;
            case 'U': w.dir |= UP; break;
            case 'D': w.dir |= DOWN; break;
            case 'J':
            case '1': w.buttons |= 1; break;
            case '2': w.buttons |= 2; break;
            case '3': w.buttons |= 4; break;
            case '4': w.buttons |= 8; break;
            case '.': break;
            default: return false;
            }
        }
        if (pos < script.size() && script[pos] == '*') {
            const std::size_t start = ++pos;
            while (pos < script.size() && script[pos] >= '0' && script[pos] <= '9') ++pos;
            if (pos == start || pos - start > 6) return false;
            w.frames = std::stoi(script.substr(start, pos - start));
        }
        words.push_back(w);
    }
    int frame = 0;
    for (const WORD& w : words)
        for (int i = 0; i < w.frames; ++i) {
            Step(w.dir, w.buttons);
            if (each) each(frame);
            ++frame;
        }
    return true;
}

bool PlayFixture::RunUntilPlay(int maxFrames) {
    for (int i = 0; i < maxFrames && m_pScene->m_nState != 2; ++i) Step();
    return m_pScene->m_nState == 2;
}

std::vector<u32> PlayFixture::Frame() const {
    std::vector<u32> argb;
    i32 w = 0, h = 0;
    DDSnapshotFrame(&argb, &w, &h);
    return argb;
}

std::string PlayFixture::Report() const {
    std::ifstream f(m_dir / "Report_Game.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

u32 PlayFixture::CloseRequests() const { return CloseRequestCount(); }

} // namespace playtest
