// The play scene's states: Init, fade-in, intro banners, pause menu, stage clear, miss menu, game
// over and fade-out, the player's death dispatch, and the two nested frame loops that keep the
// screen alive while play logic waits.
#include "play/GameScene.h"

#include <algorithm>
#include <cstring>

#include "app/SceneDraw.h"
#include "app/PlayRecordNames.h"
#include "app/Ranking.h"
#include "app/Replay.h"
#include "app/Scenes.h"
#include "app/Services.h"
#include "database/DataPaths.h"
#include "database/OptionData.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "platform/system/Clock.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/Report.h"
#include "platform/system/Sjis.h"
#include "platform/system/Thread.h"
#include "platform/system/WindowMessages.h"
#include "play/PlayDraw.h"
#include "records/EdShot.h"
#include "records/RecordStream.h"
#include "records/Stage.h"
#include "records/StageLoad.h"
#include "records/StageSettings.h"
#include "records/StrFormat.h"

namespace {

i64 SceneSetting(eStage s) { return StageSettings::Get(g_Stage, s); }

constexpr i32 kVkF3 = 0x72;
constexpr i32 kBannerFrames = 80;
constexpr i32 kResultDelay = 200;
// Where the pause menu, the miss menu and the ranking table stand.
constexpr i32 kMenuTop = 272;
// The first of the two message texts of the menu after a miss (retry, back to the map).
constexpr i32 kMissMenuText = 23;

// The menus' cursor: the accessory picture's arrow in the blank column of row `row`.
void DrawMenuCursor(i32 left, i32 top, i32 row) {
    DDBlt(&g_sdBackBuffer, left, top + 16 * row, 16, 16, PlayPicture(PLAYPIC_ACCESSORY), 64, 0, DDBLT_KEY);
}

constexpr i32 kRankingX = 184, kRankingY = 64;

cInput& Player1() {
    if (g_vInput.empty()) g_vInput.assign(1, cInput{});
    return g_vInput.front();
}

// Takes a life at the start of a play or after a death: 0 when none is left. A direct start and
// unlimited lives never lose one.
i32 LoseLife(cPlayRecord& r) {
    if (g_bDirectStart || r.nLives == kInfiniteLives) return 1;
    if (r.nLives < 1) return 0;
    --r.nLives;
    return 1;
}

void CursorSound(u32 keys) {
    if (g_Services.cursorSound) g_Services.cursorSound(keys, 2);
}

// A number in the 32-dot digits of picture 51 (row sy), left-aligned from x.
void DrawBigNumber(DDSURFACEDATA* target, i32 x, i32 y, u32 n, i32 sy) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", n);
    DDSURFACEDATA* word = PlayPicture(PLAYPIC_WORD);
    for (i32 i = 0; text[i]; ++i) DDBlt(target, x + 32 * i, y, 32, 32, word, 32 * (text[i] - '0'), sy, DDBLT_KEY);
}

} // namespace

DDSURFACEDATA* PLAYPICTURES::Row(i32 i) {
    const i64 at = (i64{i} - 1) * nGroup;
    if (i < 1 || at >= vSurface.Size()) return nullptr;
    return &vSurface[static_cast<long long>(at)];
}

cGameScene::cGameScene() {
    SetHandlers({[this] { Intro(); }, [this] { UpdatePlay(); }, [this] { Pause(); }, [this] { StageClear(); },
                 [this] { MissMenu(); }, [this] { GameOver(); }});
    m_nState = -1;
    // The side lists hold raw pointers into the live shot list: they drop a shot before it is
    // destroyed.
    m_lstShot.SetSweepHook([this] { CompactSideLists(); });
    // The step's copy of the characters forgets one taken out.
    m_lstChara.SetRemoveHook([this](cStageChara& c) {
        const i32 k = c.m_StepSlot.nIndex;
        if (c.m_StepSlot.nStamp == m_StepWork.nStamp && k >= 0 && k < static_cast<i32>(m_StepWork.walked.size()) &&
            m_StepWork.walked[static_cast<std::size_t>(k)].chara == &c) {
            m_StepWork.walked[static_cast<std::size_t>(k)].out = 1;
            m_StepWork.bSidesKept = 0;
        }
    });
    m_CharaBmp.nGroup = 4;
    m_SwordImg.nGroup = 4;
}

cGameScene::~cGameScene() {
    // Objects go before the registry and the lists that point at them.
    m_lstEffectObj.clear();
    m_lstMessageWnd.clear();
    m_lstShot.Clear();
    m_lstItem.Clear();
    m_lstChara.Clear();
    m_vPlayer.Clear();
    ReleaseStageSurfaces();
    DDReleaseSurface(&m_sdViewA);
    DDReleaseSurface(&m_sdViewB);
    // A screen effect running when the play ends leaves no scene after it drawing through the
    // virtual back buffer.
    if (lpDTCon && lpDTCon->bVirtual) DDSetRenderToVirtual(0);
    for (PLAYPICTURES* p : {&m_CharaBmp, &m_SwordImg}) DDReleaseSurfaceVector(p->vSurface);
    DDReleaseSurfaceVector(m_vEffectPicture);
    // The stage's picture slots go with the play; the scenes after it load what they draw.
    if (g_DDGraphics.pictures)
        for (i32 k = 2; k <= 65 && k < g_DDGraphics.pictureCount; ++k) DDReleaseSurface(&g_DDGraphics.pictures[k]);
}

std::unique_ptr<cScene> MakeGameScene() { return std::make_unique<cGameScene>(); }

// ---- Frame ----

void cGameScene::Run() {
    // The play reads its buttons raw: no key repeat and no latch while playing; the menus of
    // the scene take a press as a button that went down since the last frame.
    m_wButtonsBefore = m_wButtons;
    m_wButtons = Player1().wButtons;
    if (m_nState == -1) {
        try {
            Init();
        } catch (const std::exception& e) {
            DebugLogClose(g_hWnd, "cGameScene::Init : %s", e.what());
        }
        m_nState = 0;
    }
    // Every state may set the stage up again (retry, continue, a replay's restart, a death):
    // whatever fails inside a frame closes the program in order instead of ending the thread.
    try {
        if (m_nState >= 0 && m_nState < static_cast<i32>(m_vHandler.size())) m_vHandler[static_cast<std::size_t>(m_nState)]();
    } catch (const std::exception& e) {
        WriteReport("cGameScene::Run : %s", e.what());
        DebugLogClose(g_hWnd, "cGameScene::Run : %s", e.what());
        m_bQuit.store(1);
    }
    Sweep();
}

void cGameScene::Init() {
    m_vResult.assign(5, 0);
    const bool replay = g_Game.g_nGameMode == 4;

    // The stage's background pictures go into picture rows 55 to 62.
    for (i32 i = 0; i < 8; ++i) {
        DDPICTUREDEF& def = g_SurfaceFile[static_cast<std::size_t>(SURFACE_BACK_FIRST + i)];
        std::string name;
        if (i < g_Stage.vBack.Size() && g_Stage.vBack[i].dwSource == 0) name = g_Stage.vBack[i].strPicture;
        def.file = name;
        def.width = 640;
        def.height = 480;
    }
    if (g_DDGraphics.pictures && g_DDGraphics.pictureDefs) {
        // A replay reloads only the backgrounds; a slot that an ended play released is loaded
        // again too, or the replay would draw without its pictures.
        std::vector<i32> slots;
        for (i32 k = 2; k <= 65 && k < g_DDGraphics.pictureCount; ++k) {
            const bool back = k >= SURFACE_BACK_FIRST && k <= SURFACE_BACK_FIRST + 7;
            if (!replay || back || !SurfacePixels(&g_DDGraphics.pictures[k])) slots.push_back(k);
        }
        if (!DDLoadPictures(g_DDGraphics.pictures, slots.data(), static_cast<i32>(slots.size()))) {
            PostMessage(g_hWnd, WM_CLOSE, 0, 0);
            return;
        }
    }
    // The pictures belong to this scene object: a replay's scene is a new one, and a replay may
    // be the first play of a run. Without them its characters drawn from their own bitmaps
    // (a boss) would be missing from its frames.
    BuildHudTiles();
    LoadPlayPictures();
    if (!replay) {
        // The start of a play.
        cPlayRecord& r = g_PlayRecord;
        if (r.bStageVar && r.nStageVarIndex < static_cast<u32>(r.vVar.Size())) r.vVar[r.nStageVarIndex] = static_cast<i32>(r.nStageVarValue);
        r.nLives = r.nStartLives;
        r.nScore = 0;
        r.nTotalScore = 0;
        r.nTimeLeftSum = r.nPlayTimeSum = r.nHpSum = r.nSpSum = 0;
        playrec::StartPosFlag(r) = 0;
        m_ScrollX.m_dPos = m_ScrollY.m_dPos = 0;
        m_nSubState = 0;
        m_nIntroA = m_nIntroB = 0;
        m_bHeldKeyGuard = 0;
        m_nTimeLeft = 0;
        m_bNoMessage = 0;
        m_lstMessageWnd.clear();
        g_ReplayData.Clear();
        g_ReplayPrev.Clear();
        if (g_bDirectStart) r.nStageNo = 1;
        if (g_Game.g_bUseRanking) LoadRanking(g_Ranking, g_Game.g_nPlayKind, r.strStageFile, r.bStageVar, r.nStageVarIndex, r.nStageVarValue);
        LoseLife(r);
    }
    SetStage(replay ? 1 : 0, 1);
    g_WorldMapPos.Reset();
    m_nSubState = 0;
}

void cGameScene::FadeIn() {
    Draw(0, 1, 0, 1);
    if (SceneFade(true)) m_nState = 1;
}

void cGameScene::Intro() {
    Draw(0, 1, 0, 1);
    DDSURFACEDATA* target = &g_sdBackBuffer;
    DDSURFACEDATA* word = PlayPicture(PLAYPIC_WORD);
    if (!(g_bFromEditor && g_bDirectStart)) {
        if (g_Game.g_nGameMode != 4) {
            if (SceneSetting(eStage::StartBanner) && ++m_nIntroA < kBannerFrames) {
                DDBlt(target, 256, 224, 128, 32, word, 0, 0, DDBLT_KEY);
                DrawBigNumber(target, 384, 224, g_PlayRecord.nStageNo, 128);
                return;
            }
            // Counter B is not reset with A: the second banner shows once per set-up.
            if (SceneSetting(eStage::SecondBanner) && ++m_nIntroB < kBannerFrames) {
                DDBlt(target, 280, 224, 80, 32, word, 160, 0, DDBLT_KEY);
                return;
            }
        } else if (++m_nIntroA < kBannerFrames) {
            DDBlt(target, 256, 224, 128, 32, word, 0, 32, DDBLT_KEY);
            return;
        }
    }
    if (cPlayer* p = Player0()) AnimeSetPattern(p->m_Anim, p->IsFlying() ? 2 : 0, 1);
    m_nIntroA = 0;
    m_nState = 2;
}

void cGameScene::DrawMenu(const std::vector<std::string>& texts, i32 left, i32 top) {
    std::string lines;
    i32 chars = 0;
    for (const std::string& t : texts) {
        lines += " " + t + "\n";
        chars = std::max(chars, CountChars(t.c_str()) + 1);
    }
    DrawTextBox(&g_sdBackBuffer, left, top, chars * 16, static_cast<i32>(texts.size()) * 16, lines);
    DrawMenuCursor(left, top, m_nMenuCursor);
}

void cGameScene::Pause() {
    if (CheckReplayKeys()) return;
    cPlayRecord& r = g_PlayRecord;
    for (i32 i = 0; i < 4; ++i) {
        m_vPauseMenu[i].enabled = 1;
        m_vPauseMenu[i].text = g_SystemData.Message(19 + i);
    }
    const bool stageCleared = r.nStageNo < static_cast<u32>(r.vSwitch.Size()) && r.vSwitch[r.nStageNo] != 0;
    switch (g_Game.g_nPlayKind) {
    case 0:
        if (!(SysSwitch(SW_PAUSE_STORY_RETRY) && stageCleared)) m_vPauseMenu[2].enabled = 0;
        if (!(SysSwitch(SW_PAUSE_STORY_MAP) && stageCleared)) m_vPauseMenu[3].enabled = 0;
        break;
    case 1: {
        const bool rowCleared = r.nStageNo >= 1 && r.nStageNo <= static_cast<u32>(r.vChallenge.Size()) &&
                                r.vChallenge[r.nStageNo - 1].nValue1 != 0;
        if (!(SysSwitch(SW_PAUSE_CHALLENGE_RETRY) && rowCleared)) m_vPauseMenu[2].enabled = 0;
        m_vPauseMenu[3].enabled = 0;
        break;
    }
    default: m_vPauseMenu[3].enabled = 0; break;
    }
    const i32 rows = cCmd::CountEnabled(m_vPauseMenu);
    if (m_nSubState == 0) {
        m_nMenuCursor = 1;
        m_nSubState = 1;
    }
    cInput& in = Player1();
    InputRepeat(in);
    if (in.wDirection & 4) m_nMenuCursor = (m_nMenuCursor + rows - 1) % std::max(rows, 1);
    if (in.wDirection & 8) m_nMenuCursor = (m_nMenuCursor + 1) % std::max(rows, 1);
    CursorSound(in.wDirection);
    m_nMenuCursor = std::clamp(m_nMenuCursor, 0, std::max(rows - 1, 0));

    if (Pressed(1)) {
        PlaySE(1);
        switch (cCmd::GetCmdNum(m_nMenuCursor, m_vPauseMenu)) {
        case 0:
            m_nState = 7;
            if (g_bDirectStart) {
                PostMessage(g_hWnd, WM_CLOSE, 0, 0);
            } else {
                g_Game.g_nNextScene = SCENE_MENU;
                g_WorldMapPos.Cur().row = g_Game.g_nGameMode;
                m_nSubState = 0;
            }
            break;
        case 1:
            m_bHeldKeyGuard = 1;
            m_nState = m_nSavedState;
            m_nSubState = m_nSavedSubState;
            break;
        case 2:
            m_bHeldKeyGuard = 1;
            g_PlayRecord.RestoreStageStart(1);
            SetStage(1, 0);
            m_nState = 1;
            m_nSubState = 0;
            break;
        case 3:
            m_bHeldKeyGuard = 1;
            g_PlayRecord.RestoreStageStart(0);
            playrec::BackToMapFlag(g_PlayRecord) = 1;
            g_Game.g_nNextScene = SCENE_WORLDMAP;
            m_nSubState = 0;
            m_nState = 7;
            break;
        default: break;
        }
        return;
    }
    if (Pressed(2)) {
        PlaySE(2);
        m_bHeldKeyGuard = 1;
        m_nState = m_nSavedState;
        m_nSubState = m_nSavedSubState;
        return;
    }
    Draw(0, 1, 0, 1);
    std::vector<std::string> texts;
    for (const cCmd& c : m_vPauseMenu)
        if (c.enabled) texts.push_back(c.text);
    const i32 left = 320 - (MenuTextWidth(m_vPauseMenu) + 1) * 16 / 2;
    DrawMenu(texts, left, kMenuTop);
}

void cGameScene::StageClear() {
    const bool skip = SceneSetting(eStage::SkipResult) != 0;
    const u32 resultMode = g_OptionData.nRankingMode;
    if (!skip) {
        if (PauseKeyProbe()) {
            m_nSubState = 0;
            m_nState = 3;
            return;
        }
        CheckReplayKeys();
        if (GetAsyncKeyState(kVkF3) < 0 && resultMode <= 1) EnterName();
    }
    if (m_nSubState == 0) {
        m_nIntroA = 0;
        m_nSubState = 1;
    }
    InputRepeat(Player1());
    // The counter is tested before this frame's banner step moves it: the key is taken the frame
    // after the result appears.
    bool finish = false;
    if (!skip) {
        if (m_nIntroA >= kResultDelay && Pressed(1)) {
            if (m_bNameEntry && resultMode >= 2 && !m_bNameEntered) EnterName();
            else PlaySE(1);
            finish = true;
        }
    } else if (m_nIntroA >= kResultDelay) {
        finish = true;
    }
    if (finish) {
        g_Game.g_nNextScene = ProcessResult();
        m_nIntroA = 0;
        m_nSubState = 0;
        m_nState = 7;
        return;
    }

    Draw(0, 1, 0, 1);
    DDSURFACEDATA* target = &g_sdBackBuffer;
    if (!skip && !m_bNoMessage && resultMode <= 1 &&
        std::any_of(m_vResult.begin(), m_vResult.end(), [](i32 v) { return v != -1; })) {
        // The line shares the foot of the screen with the caption of a direct start or a test
        // play: it goes one line above it then, so that neither is written over the other.
        const std::string& text = g_SystemData.Message(28);
        const i32 y = PlayCaption() >= 0 ? kCaptionY - 20 : kCaptionY;
        PlayText(target, 320 - CountChars(text.c_str()) * 16 / 2, y, text, 16);
    }
    if (!SceneSetting(eStage::ClearBanner)) {
        m_nIntroA = kResultDelay;
    } else {
        m_nIntroA = std::min(m_nIntroA + 4, 100000);
        DDSURFACEDATA* word = PlayPicture(PLAYPIC_WORD);
        if (m_nIntroA < 100) DDBltSplit(target, 256, 192, 128, 32, 8, 100 - m_nIntroA, word, 0, 64, 1, 0);
        else DDBlt(target, 256, 192, 128, 32, word, 0, 64, DDBLT_KEY);
    }
    if (m_nIntroA >= kResultDelay && g_Game.g_bUseRanking && !skip) DrawResultTable(target, 336, 224);
}

void cGameScene::MissMenu() {
    if (CheckReplayKeys()) return;
    if (m_nSubState == 0) {
        m_nMenuCursor = 0;
        m_nSubState = 1;
    }
    cInput& in = Player1();
    InputRepeat(in);
    if (in.wDirection & 12) m_nMenuCursor ^= 1;
    CursorSound(in.wDirection);
    if (Pressed(1)) {
        PlaySE(1);
        if (m_nMenuCursor == 0) {
            SetStage(1, 0);
            m_nState = 1;
            m_nSubState = 0;
        } else {
            playrec::BackToMapFlag(g_PlayRecord) = 1;
            g_Game.g_nNextScene = SCENE_WORLDMAP;
            m_nSubState = 0;
            m_nState = 7;
        }
        return;
    }
    Draw(0, 1, 0, 1);
    // The menu after a miss is the system's two-line text menu of its message texts.
    const i32 left = GetMenuLeft(320, kMissMenuText, 2, 1);
    DrawTextMenu(&g_sdBackBuffer, left, kMenuTop, kMissMenuText, 2, 1);
    DrawMenuCursor(left, kMenuTop, m_nMenuCursor);
}

void cGameScene::GameOver() {
    if (PauseKeyProbe()) {
        m_nSubState = 0;
        m_nState = 3;
        return;
    }
    if (CheckReplayKeys()) return;
    if (Pressed(1)) {
        PlaySE(1);
        g_Game.g_nNextScene = SCENE_MENU;
        m_nSubState = 0;
        m_nState = 7;
        return;
    }
    Draw(0, 1, 0, 1);
    if (SceneSetting(eStage::GameOverBanner)) DDBlt(&g_sdBackBuffer, 248, 224, 144, 32, PlayPicture(PLAYPIC_WORD), 0, 96, DDBLT_KEY);
}

void cGameScene::FadeOut() {
    if (!SceneFade(false)) return;
    DDFillSurface(&g_sdBackBuffer, 16);
    if ((g_Game.g_nGameMode == 3 && playrec::NextStageFlag(g_PlayRecord) == 0) || g_bDirectStart) {
        // Free play without a next stage, and a direct start, play the same stage file again:
        // the numbered file played, not the highest number of its name, which a file saved
        // meanwhile would change.
        playrec::NextStageFlag(g_PlayRecord) = 0;
        const std::string file = g_strStageFile;
        if (!StartStage(file, 0)) PostMessage(g_hWnd, WM_CLOSE, 0, 0);
    }
    g_Game.g_nFrameRate = 60;
    g_Game.g_nScene = g_Game.g_nNextScene;
    g_Game.g_nPrevScene = SCENE_PLAY;
    m_nState = -1;
}

void cGameScene::OnPlayerDeathEnd() {
    if (g_Game.g_nGameMode == 4) {
        g_PlayRecord.RestoreStageStart(1);
        SetStage(1, 1);
        m_nSubState = 0;
        m_nState = 1;
        return;
    }
    if (!LoseLife(g_PlayRecord)) {
        m_nSubState = 0;
        m_nState = 6;
        return;
    }
    if (SceneSetting(eStage::CarryOver)) g_PlayRecord.ClearCarryFlags();
    g_PlayRecord.RestoreStageStart(0);
    if (g_Game.g_nPlayKind == 0 && SysSwitch(SW_MISS_MENU)) {
        m_nSubState = 0;
        m_nState = 5;
        return;
    }
    SetStage(1, 0);
    m_nSubState = 0;
    m_nState = 1;
}

// ---- Nested frame loops ----

bool cGameScene::NestedFrameBegin() {
    if (m_bHeadless) return !m_bQuit.load();
    for (;;) {
        if (m_bQuit.load() || ThreadQuitRequested()) return false;
        if (g_bActive.load()) break;
        if (SleepMs(1)) return false;
    }
    GameWaitFrame();
    m_nNestedFrameStart = timeGetTime();
    if (!RestoreLostSurfaces()) {
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        return false;
    }
    GamePollInput();
    return !m_bQuit.load() && !ThreadQuitRequested();
}

void cGameScene::NestedFrameEnd() {
    if (m_bHeadless) return;
    // The frame counter stays on screen while a message or the ranking holds the game.
    g_Game.DrawFrameStats(m_nNestedFrameStart);
    GamePresent();
}

i32 cGameScene::PauseLoop() {
    if (m_bQuit.load()) return 0;
    ++m_nNestedDepth;
    // The loop's frames never reach the play's input record: it is put back as it was.
    cInput& in = Player1();
    const cInput saved = in;
    const u16 buttons = m_wButtons, before = m_wButtonsBefore;
    InputHistoryClear(in);
    InputReset(in);
    InputClearButtons(in);
    u16 last = 0;
    i32 result = 1;
    bool shown = false;
    for (i32 frame = 0;; ++frame) {
        if (m_nNestedFrameLimit >= 0 && frame >= m_nNestedFrameLimit) break;
        if (!NestedFrameBegin()) {
            result = 0;
            break;
        }
        if (m_fnNestedInput) m_fnNestedInput(in, frame);
        else if (m_bHeadless) in.wButtons = frame & 1 ? 1 : 0; // nobody at the keys: a press every other frame
        InputHistoryPush(in);
        InputKeyHistoryUpdate(in);
        CheckReplayKeys();
        bool end = false;
        if (m_nPauseFrames > 0) {
            --m_nPauseFrames;
        } else if (!m_bPauseWaitKey) {
            end = --m_nPauseCountdown < 0;
        } else if ((in.wButtons & 1) && !(last & 1)) {
            PlaySE(m_nPauseSound == 1 ? 12 : 1);
            end = true;
        }
        last = in.wButtons;
        if (end) break;
        Draw(0, 1, 0, 1);
        NestedFrameEnd();
        shown = true;
    }
    in = saved;
    m_wButtons = buttons;
    m_wButtonsBefore = before;
    // Whatever ended the wait (the key, its time), a button still held from it is not a new press
    // in play: the play's key history is the one from before the wait. A wait that ended before
    // it showed a frame (a game wait of no time) held no key of its own: held keys go on acting.
    if (shown) m_bHeldKeyGuard = 1;
    --m_nNestedDepth;
    return result;
}

i32 cGameScene::HoldFrames(i32 frames) {
    m_nPauseFrames = frames;
    m_bPauseWaitKey = 0;
    m_nPauseCountdown = 0;
    return PauseLoop();
}

void cGameScene::DrawResultTable(DDSURFACEDATA* target, i32 x, i32 y) {
    std::vector<int> places(m_vResult.begin(), m_vResult.end());
    const RANKLAYOUT layout = LayoutResult(x, y, places);
    if (layout.boxW > 0) DrawTextBox(target, layout.boxX, layout.boxY, layout.boxW, layout.boxH, std::string());
    for (const RANKTEXT& t : layout.vText) PlayText(target, t.x, t.y, t.text, 16);
    for (const auto& m : layout.vMarker) DDBlt(target, m.first, m.second, 16, 16, PlayPicture(PLAYPIC_ACCESSORY), 16, 48, DDBLT_KEY);
}

i32 cGameScene::RankingLoop() {
    if (m_bQuit.load()) return 0;
    ++m_nNestedDepth;
    cInput& in = Player1();
    const cInput saved = in;
    const u16 buttons = m_wButtons, before = m_wButtonsBefore;
    const cItemSwitches& items = g_SystemData.RankingSetting(g_Game.g_nPlayKind);
    std::vector<u8> enabled(items.vItem.begin(), items.vItem.end());
    i32 page = 0;
    MenuCursorStep(page, enabled, 0);
    u16 last = in.wButtons;
    i32 result = 1;
    for (i32 frame = 0;; ++frame) {
        if (m_nNestedFrameLimit >= 0 && frame >= m_nNestedFrameLimit) break;
        if (!NestedFrameBegin()) {
            result = 0;
            break;
        }
        if (m_fnNestedInput) m_fnNestedInput(in, frame);
        else if (m_bHeadless) in.wButtons = frame & 1 ? 1 : 0;
        InputRepeat(in);
        const u16 pressed = static_cast<u16>(in.wButtons & ~last);
        last = in.wButtons;
        if (pressed & 1) {
            PlaySE(1);
            break;
        }
        if ((pressed & 8) && g_SystemData.CountItems(g_Game.g_nPlayKind) > 1) {
            PlaySE(6);
            MenuCursorStep(page, enabled, 1);
        }
        Draw(0, 1, 0, 1);
        const i32 marked = page >= 0 && page < m_vResult.Size() ? m_vResult[page] : -1;
        const RANKLAYOUT layout = LayoutRanking(g_Ranking, kRankingX, kRankingY, page, marked);
        if (layout.boxW > 0) DrawTextBox(&g_sdBackBuffer, layout.boxX, layout.boxY, layout.boxW, layout.boxH, std::string());
        for (const RANKTEXT& t : layout.vText) PlayText(&g_sdBackBuffer, t.x, t.y, t.text, 16);
        for (const auto& m : layout.vMarker)
            DDBlt(&g_sdBackBuffer, m.first, m.second, 16, 16, PlayPicture(PLAYPIC_ACCESSORY), 16, 48, DDBLT_KEY);
        NestedFrameEnd();
    }
    in = saved;
    m_wButtons = buttons;
    m_wButtonsBefore = before;
    // The key that closed the table does not act in play until it is let go.
    m_bHeldKeyGuard = 1;
    --m_nNestedDepth;
    return result;
}

// ---- Lists ----

cStageChara& cGameScene::AddChara(std::unique_ptr<cStageChara> chara) {
    chara->m_pScene = this;
    if (!chara->m_Def.vCond.empty()) m_bCharaConds = 1;
    return m_lstChara.Add(std::move(chara));
}

cItem& cGameScene::AddItem(std::unique_ptr<cItem> item) {
    item->m_pScene = this;
    return m_lstItem.Add(std::move(item));
}

std::vector<cShot*>& cGameScene::SideList(i32 side) {
    if (side < 0 || side >= kSideCount) {
        ReportBadIndex('V', side, kSideCount, kSideListEntrySize);
        side = 0;
    }
    return m_vShotList[static_cast<std::size_t>(side)];
}

bool cGameScene::FirstBadSideOf(const cEdShot& def) {
    cEdShot copy(def);
    cRecordWriter w;
    copy.Save(w);
    if (std::find(m_vBadSideDefs.begin(), m_vBadSideDefs.end(), w.Bytes()) != m_vBadSideDefs.end()) return false;
    m_vBadSideDefs.push_back(w.Bytes());
    return true;
}

cShot& cGameScene::AddShot(const cShot& shot) { return AddShot(std::make_unique<cShot>(shot)); }

cShot& cGameScene::AddShot(std::unique_ptr<cShot> shot) {
    shot->m_pScene = this;
    cShot& s = m_lstShot.Add(std::move(shot));
    SideList(s.m_nSide).push_back(&s);
    ++m_nShotSerial;
    return s;
}

void cGameScene::RemoveChara(cStageChara& chara) { m_lstChara.Remove(chara); }

void cGameScene::RemoveItem(cItem& item) { m_lstItem.Remove(item); }

void cGameScene::EraseShot(cShot& shot) { m_lstShot.Remove(shot); }

void cGameScene::Sweep() {
    m_vPlayer.Sweep();
    m_lstChara.Sweep();
    m_lstItem.Sweep();
    m_lstShot.Sweep();
}

void cGameScene::CompactSideLists() {
    for (auto& list : m_vShotList)
        list.erase(std::remove_if(list.begin(), list.end(), [](const cShot* s) { return s->IsRemoved(); }), list.end());
}

// ---- Flow hand-over ----

cFlowRun* cGameScene::FlowRun() const {
    cChara* owner = m_pFlowRun.owner.Chara();
    if (!owner) return nullptr;
    cVector<cFlowRun>& runs = owner->m_vFlowRun;
    const i32 i = m_pFlowRun.run;
    if (i >= 0 && i < runs.Size() && runs[i].m_nRunNo == m_pFlowRun.runNo) return &runs[i];
    for (cFlowRun& run : runs)
        if (run.m_nRunNo == m_pFlowRun.runNo) return &run;
    return nullptr;
}

cCmdRun* cGameScene::CmdRun() const {
    cFlowRun* run = FlowRun();
    if (!run || m_pCmdRun < 0 || m_pCmdRun >= run->m_vCmdRun.Size()) return nullptr;
    return run->m_vCmdRun.Find(m_pCmdRun);
}

void cGameScene::SetFlowObj(cChara* chara) { m_pFlowObj = cObjHandle(chara); }

void cGameScene::SetFlowRun(cChara* owner, cFlowRun* run) {
    m_pFlowRun = FLOWRUNREF{};
    m_pCmdRun = -1;
    if (!owner || !run) return;
    const cVector<cFlowRun>& v = owner->m_vFlowRun;
    if (v.empty() || run < v.data() || run >= v.data() + v.size()) return;
    m_pFlowRun = FLOWRUNREF{cObjHandle(owner), static_cast<i32>(run - v.data()), run->m_nRunNo};
}

void cGameScene::SetCmdRun(cCmdRun* cmd) {
    m_pCmdRun = -1;
    cFlowRun* run = FlowRun();
    if (!run || !cmd) return;
    m_pCmdRun = run->m_vCmdRun.IndexOf(cmd);
}

void cGameScene::SetFlowRunAndCmd(cChara* owner, cFlowRun* run, cCmdRun* cmd) {
    SetFlowRunAndCmd(owner, run, cmd && run ? run->m_vCmdRun.IndexOf(cmd) : -1);
}

void cGameScene::SetFlowRunAndCmd(cChara* owner, cFlowRun* run, i32 cmd) {
    SetFlowRun(owner, run);
    // SetCmdRun would find the run again through the owner's handle: a handle that SetFlowRun
    // made names the owner (which the finding marks reached) and the run is the one named.
    if (m_pFlowRun.owner.IsNull()) return;
    cObjRegistry::Reach(*owner);
    if (cmd >= 0 && cmd < run->m_vCmdRun.Size()) m_pCmdRun = cmd;
}

void cGameScene::ClearFlowPointers() {
    m_pFlowObj.Reset();
    m_pFlowRun = FLOWRUNREF{};
    m_pCmdRun = -1;
}
