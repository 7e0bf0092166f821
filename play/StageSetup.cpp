// Stage set-up: everything a stage needs at run time, built from g_Stage, and the spawners that
// stage set-up shares with the summon commands.
#include <algorithm>
#include <new>

#include "app/PlayRecordNames.h"
#include "app/Replay.h"
#include "app/SystemIni.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "platform/system/Clock.h"
#include "platform/system/Input.h"
#include "platform/system/MenuCursor.h"
#include "platform/system/MessageBox.h"
#include "platform/system/Report.h"
#include "platform/system/WindowMessages.h"
#include "play/GameScene.h"
#include "play/PlayDraw.h"
#include "play/effects/CharaDraw.h"
#include "play/rules/Hits.h"
#include "play/rules/Collision.h"
#include "records/CharaSettings.h"
#include "records/EdSettings.h"
#include "records/Stage.h"
#include "records/StageLoad.h"
#include "records/StageSettings.h"

namespace {

i64 Setting(eStage s) { return StageSettings::Get(g_Stage, s); }

// Speed levels past this are played at it: a level from a damaged file must not make one frame
// run millions of play steps.
constexpr i64 kMaxSpeedLevel = 100;

// The placed row's facing and repeat count.
i32 RowDirection(const cEdChara& row) { return static_cast<i32>(CharaSettings::Get(row, eChara::Facing)); }
void SetRowDirection(cEdChara& row, u32 dir) { CharaSettings::Set(row, eChara::Facing, dir); }
i32 RowRepeat(const cEdChara& row) { return static_cast<i32>(CharaSettings::Get(row, eChara::Repeat)); }

// Moves member k of a row's formation by its offset; its home moves with it unless homes stay
// where the row was placed.
void OffsetFormationMember(cStageChara& c, const cEdChara& row, i32 k, i32 dir) {
    const double ox = row.GetOffsetX(k, dir), oy = row.GetOffsetY(k, dir);
    c.m_dX += ox;
    c.m_dY += oy;
    c.UpdateEdgesX();
    c.UpdateEdgesY();
    if (!SysSwitch(SW_FIXED_HOME)) {
        c.m_dHomeX += ox;
        c.m_dHomeY += oy;
    }
}

// The x and y offsets of a placed item. Decision: the item record's two unnamed 16-bit fields
// after the palette bytes, read signed.
i32 ItemOffsetX(const cEdItem& row) { return static_cast<i16>(row.wGroup2); }
i32 ItemOffsetY(const cEdItem& row) { return static_cast<i16>(row.wGroup3); }

// The per-step mark list: with N marked steps of S, entry floor(k S / N) for k = 0, 1, ... while
// inside the list, and the last entry when fewer than N were marked; N = 0 marks every step.
std::vector<u32> StepMarks(u32 steps, u32 marked) {
    std::vector<u32> v(steps, 0);
    if (marked == 0 || marked >= steps) {
        std::fill(v.begin(), v.end(), 1u);
        return v;
    }
    u32 count = 0;
    for (u64 k = 0; k < marked; ++k) {
        const u64 e = k * steps / marked;
        if (e >= steps) break;
        if (!v[e]) ++count;
        v[e] = 1;
    }
    if (count < marked && !v.empty()) v.back() = 1;
    return v;
}

void ResetInputRecord(cInput& in) {
    InputHistoryClear(in);
    InputReset(in);
    InputClearButtons(in);
    for (auto& h : in.vDirState) h.clear();
    for (auto& h : in.vButtonState) h.clear();
    in.wLatched = 0;
    in.dwRepeat = 0;
}

// Refuses a stage that cannot be played, as stage loading refuses one.
void RefuseNoHero() {
    WriteReportBox("主人公が配置されていないのでプレイできません！");
    PostMessage(g_hWnd, WM_CLOSE, 0, 0);
}

} // namespace

std::vector<u32> MakeStepMarks(u32 steps, u32 marked) { return StepMarks(steps, marked); }

void cGameScene::SetStage(i32 bLoadStage, i32 x) {
    DebugLogF("In SetStage bLoadStage = %d", bLoadStage);
    try {
        BuildStage(bLoadStage, x);
    } catch (const std::bad_alloc&) {
        WriteReportBox("メモリ不足により、ステージの初期設定に失敗しました！");
        PostMessage(g_hWnd, WM_CLOSE, 0, 0);
    }
    // A draw inside the set-up (none today) must never leave the virtual target on.
    DDSetRenderToVirtual(0);
    DebugLog("Out SetStage");
}

void cGameScene::ClearStageObjects() {
    m_lstShot.Clear();
    for (auto& list : m_vShotList) list.clear();
    m_vBadSideDefs.clear();
    m_lstChara.Clear();
    m_bCharaConds = 0;
    m_lstItem.Clear();
    m_vPlayer.Clear();
    m_nPlayerCount = 0;
    m_lstEffectObj.clear();
    m_lstMessageWnd.clear();
    m_vNotice.clear();
    ClearFlowPointers();
}

// The groups of set-up steps, in the order BuildStage takes them. A part of the scene (declared
// in it, defined only here) because they build its private state; nobody else calls them.
struct cGameScene::StageBuild {
    // With bLoadStage, the stage as loaded (a replay read again first): nothing changed during
    // play survives a restart.
    static void RestoreStage(i32 bLoadStage) {
        if (!bLoadStage) return;
        if (g_Game.g_nGameMode == 4) {
            cStage scratch;
            if (!LoadReplay(g_ReplayData, g_strStageFile, g_Stage, scratch, g_PlayRecord)) PostMessage(g_hWnd, WM_CLOSE, 0, 0);
        }
        g_Stage.CopyHeader(g_StageAtStart);
        g_Stage.vBack = g_StageAtStart.vBack;
        g_Stage.vName = g_StageAtStart.vName;
        g_Stage.aParams = g_StageAtStart.aParams;
        g_Stage.vRankSwitch = g_StageAtStart.vRankSwitch;
    }

    // The random seed: the replay's, or a new one that the recording keeps.
    static void SeedRandom(cGameScene& s) {
        if (g_Game.g_nGameMode == 4) {
            s.m_nSeed = g_ReplayData.nSeed;
            g_ReplayData.nDirPos = g_ReplayData.nButtonPos = g_ReplayData.nDirHeld = g_ReplayData.nButtonHeld = 0;
        } else {
            if (SysSwitch(SW_REPLAY_SAVE)) {
                g_PlayRecordPrev = g_PlayRecordStart;
                g_PlayRecordStart = g_PlayRecord;
                g_ReplayPrev = g_ReplayData;
            }
            g_ReplayData.Clear();
            s.m_nSeed = s.m_nForcedSeed >= 0 ? static_cast<u32>(s.m_nForcedSeed) : static_cast<u32>(timeGetTime());
            g_ReplayData.nSeed = s.m_nSeed;
        }
        s.m_Rand.Seed(s.m_nSeed);
    }

    // The hero row, with the carried status when the stage carries it over; null when the stage
    // has no character at all (refused).
    static cEdChara* HeroRow() {
        const int hero = g_Stage.FindHero();
        if (g_Stage.vChara.empty()) {
            // A replay file is not checked for its hero when it loads: refuse here, before anything
            // indexes the missing row.
            RefuseNoHero();
            return nullptr;
        }
        // A missing hero row is a bad index of the list (reported, the program closes in order);
        // the first row stands in until it has closed.
        cEdChara& heroRow = g_Stage.vChara[hero];
        if (Setting(eStage::CarryOver)) g_PlayRecord.ApplyCarriedStatus(0, heroRow);
        return &heroRow;
    }

    // Music: a fresh start (x 1) asks for the stage's music unless it keeps what plays; a restart
    // only when another music plays.
    static void RequestMusic(cGameScene& s, i32 x) {
        const u32 music = static_cast<u32>(Setting(eStage::Music));
        const u32 playing = playrec::MusicNumber(g_PlayRecord);
        const bool keep = Setting(eStage::KeepMusic) != 0;
        const bool ask = x == 0 ? playing != music : !keep || playing != music || music == 0;
        if (ask) s.NotifyMainWindow(static_cast<i32>(music), static_cast<u32>(Setting(eStage::MusicFlag)));
        // The front end's next music request is sent again, whatever the stage asked for.
        g_Game.m_nBgmNumber = 0;
    }

    // Ids restart; the stage's speed values from its speed level. The speed unit that follows.
    static double ResetIdsAndSpeed(cGameScene& s) {
        s.m_nNextId = s.m_nNextItemId = 0;
        i64 level = Setting(eStage::SpeedLevel);
        if (level > kMaxSpeedLevel) {
            WriteReport("stage speed level %lld is played as %lld", static_cast<long long>(level),
                        static_cast<long long>(kMaxSpeedLevel));
            level = kMaxSpeedLevel;
        }
        g_Stage.SetSpeed(static_cast<i32>(level));
        return SpeedUnit();
    }

    // The scroll axes, x then y: size, auto-scroll and scroll limits.
    static void SetUpScroll(cGameScene& s, double unit) {
        s.m_ScrollX.Setup(0, static_cast<i32>(std::min<i64>(Setting(eStage::Width), 1 << 24)),
                          static_cast<i32>(Setting(eStage::ViewExtendX)));
        s.m_ScrollX.SetSpeed(static_cast<u32>(Setting(eStage::AutoScrollOnX)), static_cast<i32>(Setting(eStage::AutoScrollSpeedX)), unit);
        s.m_ScrollX.SetBounds(static_cast<i32>(Setting(eStage::ScrollLimitCellX1)), static_cast<i32>(Setting(eStage::ScrollLimitCellX2)),
                              static_cast<u32>(Setting(eStage::ScrollLimitOnX1)), static_cast<u32>(Setting(eStage::ScrollLimitOnX2)));
        s.m_ScrollY.Setup(1, static_cast<i32>(std::min<i64>(Setting(eStage::Height), 1 << 24)),
                          static_cast<i32>(Setting(eStage::ViewExtendY)));
        s.m_ScrollY.SetSpeed(static_cast<u32>(Setting(eStage::AutoScrollOnY)), static_cast<i32>(Setting(eStage::AutoScrollSpeedY)), unit);
        s.m_ScrollY.SetBounds(static_cast<i32>(Setting(eStage::ScrollLimitCellY1)), static_cast<i32>(Setting(eStage::ScrollLimitCellY2)),
                              static_cast<u32>(Setting(eStage::ScrollLimitOnY1)), static_cast<u32>(Setting(eStage::ScrollLimitOnY2)));
    }

    // The block map. Its size comes from the file: one that cannot be held is refused like a
    // failed allocation, never computed in a width that wraps.
    static void BuildBlockMap(cGameScene& s) {
        if (!s.m_vBlockMap.Build(g_Stage.dwWidth(), g_Stage.dwHeight())) throw std::bad_alloc();
        for (const cEdBlock& b : g_Stage.vBlock) {
            const i32 index = s.m_vBlockMap.StageIndex(b.sPosX, b.sPosY);
            if (!s.m_vBlockMap.SetBlock(index, b)) {
                WriteReport("SetStage : block (%d, %d) lies outside the stage", b.sPosX, b.sPosY);
                continue;
            }
            s.m_vBlockMap.Find(index)->bExists = b.wPicture != 0 ? 1 : 0;
        }
    }

    // The player, at its row's cell or at the start position the last stage's clear gave, and the
    // view centred on it.
    static void PlacePlayer(cGameScene& s, const cEdChara& heroRow) {
        s.m_nPlayerCount = 1;
        cEdChara row = heroRow;
        i32 cellX = row.sPosX, cellY = row.sPosY;
        if (playrec::StartPosFlag(g_PlayRecord)) {
            SetRowDirection(row, playrec::StartPosDir(g_PlayRecord));
            cellX = static_cast<i32>(playrec::StartPosX(g_PlayRecord));
            cellY = static_cast<i32>(playrec::StartPosY(g_PlayRecord));
            row.sPosX = static_cast<i16>(cellX);
            row.sPosY = static_cast<i16>(cellY);
        }
        auto made = std::make_unique<cPlayer>();
        made->m_pScene = &s;
        made->InitForStage(static_cast<u32>(s.m_nNextId++), row, cellX, cellY);
        const i32 dir = RowDirection(row);
        made->m_dX += row.GetOffsetX(0, dir);
        made->m_dY += row.GetOffsetY(0, dir);
        made->UpdateEdgesX();
        made->UpdateEdgesY();
        if (Setting(eStage::CarryOver)) {
            u32 hp = static_cast<u32>(made->m_nHP), sp = static_cast<u32>(made->m_nSP);
            g_PlayRecord.GetCarriedValues(0, hp, sp);
            made->m_nHP = static_cast<i32>(std::min<u32>(hp, 999999));
            made->m_nSP = static_cast<i32>(std::min<u32>(sp, 999999));
        }
        AnimeSetPattern(made->m_Anim, made->IsFlying() ? 2 : 0, 1);
        cPlayer& p0 = s.m_vPlayer.Add(std::move(made));

        // The view centred on the player.
        s.m_ScrollX.m_dPos = p0.m_dX - 320 + p0.m_nBoxW / 2;
        s.m_ScrollY.m_dPos = p0.m_dY - 240 + p0.m_nBoxH / 2;
        s.m_ScrollX.Clamp();
        s.m_ScrollY.Clamp();
        // Decision: finishing the player's set-up is its screen position and rectangle display.
        p0.ScreenPos();
        p0.BuildHitRects();
        s.SetUpViewMargin();
    }

    // The stage variables; the placed characters, each with the item it carries, then the items
    // nobody carries.
    static void PlaceCharasAndItems(cGameScene& s) {
        s.m_vStageVar.assign(kStageVarCount, 0);
        s.m_vItemUsed.assign(g_Stage.vItem.size(), 0);
        s.m_vToggledCell.clear();
        for (std::size_t i = 0; i < g_Stage.vChara.size(); ++i) {
            const cEdChara& c = g_Stage.vChara.data()[i];
            if (c.byOperation != 1) continue;
            if (c.nHoldItem == cEdChara::kNoItem) {
                s.SpawnStageChara(c.sPosX, c.sPosY, c, nullptr);
                continue;
            }
            if (c.nHoldItem >= g_Stage.vItem.size()) {
                // A bad index of the item list: reported, and the program closes in order. The
                // first item stands in meanwhile; with none, the character carries nothing.
                ReportBadIndex('V', static_cast<long long>(c.nHoldItem), g_Stage.vItem.size(), sizeof(cEdItem));
                if (g_Stage.vItem.empty()) {
                    s.SpawnStageChara(c.sPosX, c.sPosY, c, nullptr);
                    continue;
                }
            }
            const u32 held = c.nHoldItem < g_Stage.vItem.size() ? c.nHoldItem : 0;
            // The carried item takes the next item id, as a standalone item would.
            ++s.m_nNextItemId;
            s.SpawnStageChara(c.sPosX, c.sPosY, c, &g_Stage.vItem.data()[held]);
            s.m_vItemUsed[held] = 1;
        }
        for (std::size_t i = 0; i < g_Stage.vItem.size(); ++i) {
            if (s.m_vItemUsed[i]) continue;
            const cEdItem& it = g_Stage.vItem.data()[i];
            s.SpawnStageItem(it.sPosX, it.sPosY, it);
        }
    }

    // The off-stage removal switches; no message window, effect object or screen effect carries
    // over, nor what the commands found missing (each is reported again in the new stage).
    static void ResetStageEffects(cGameScene& s) {
        s.m_bRemoveChara = StageSettings::AreaOn(g_Stage, 1) ? 1 : 0;
        s.m_bRemoveBlockChara = StageSettings::AreaOn(g_Stage, 2) ? 1 : 0;
        s.m_bRemoveItem = StageSettings::AreaOn(g_Stage, 3) ? 1 : 0;

        s.m_lstMessageWnd.clear();
        s.m_lstEffectObj.clear();
        // No screen effect carries over; the effects draw through the picture slots' work surfaces.
        s.m_ScreenEffect.Clear();
        SelectEffectSurfaces(s.m_EffectSurf, g_SystemIni.DD_VideoStretch != 0);
        SelectPlayDrawTables(s.m_DrawTables, lpDTCon != nullptr, g_SystemIni.DD_VideoStretch != 0);
        s.m_ScreenColour = SCREENCOLOUR{};
        s.m_ScreenColour.nLevel2 = 255;
        s.ReleaseStageSurfaces();
        s.m_setReportedMissing.clear();
    }

    // The per-step marks, the timers and counters, the score and the play record's stage start.
    static void ResetCounters(cGameScene& s, double unit) {
        s.m_vStepMark = StepMarks(static_cast<u32>(std::max(1.0, unit)), static_cast<u32>(Setting(eStage::MarkedSteps)));

        s.m_nEndRequest = 0;
        s.m_nIntroA = s.m_nIntroB = 0;
        if (Setting(eStage::TimeLimitOn)) {
            s.m_nTimeLeft = static_cast<i32>(std::clamp<i64>(Setting(eStage::TimeLimit), 0, 999));
            s.m_bTimeStopped = 0;
        } else {
            s.m_nTimeLeft = 999;
            s.m_bTimeStopped = 1;
        }
        s.m_nPrevTimeLeft = s.m_nTimeLeft;
        s.m_nTickCounter = 0;
        s.m_nPlayFrames = s.m_nPlayTime = 0;
        std::fill(s.m_vGroupMark.begin(), s.m_vGroupMark.end(), 0u);
        s.m_nStepIndex = s.m_nStepCount = 0;
        s.m_nFrameCounter = 0;
        playrec::Score(g_PlayRecord) = 0;
        s.m_bDeathHandled = 0;

        if (g_Game.g_nGameMode == 4 || (g_bFromEditor && g_bDirectStart)) g_PlayRecord.ClearTotals();
        g_PlayRecord.SaveStageStart();
    }

    // Input records, the world-map cursor, the frame rate, the background scroll and the palette.
    static void ResetInputAndDisplay(cGameScene& s) {
        for (cInput& in : g_vInput) ResetInputRecord(in);
        s.m_wButtons = s.m_wButtonsBefore = 0;
        g_WorldMapPos.Reset();

        g_Game.g_nFrameRate = static_cast<i32>(std::clamp<i64>(Setting(eStage::FrameRate), 1, 1000));
        for (cEdBack& b : g_Stage.vBack) b.dScrollX = b.dScrollY = 0;

        if (!lpDTCon && g_nBpp == 8) {
            g_palBase = g_palCur;
            DDSetDisplayPalette(g_palCur);
        }
    }

    // Targets linked, then the stage-start flows; the frame flags taken for the first frame.
    static void RunStageStartFlows(cGameScene& s) {
        cPlayer* p0 = s.Player0();
        p0->InitTargets(nullptr);
        const std::size_t known = p0->m_vLink.size();
        s.ForEachChara([&](cStageChara& c) { c.InitTargetsInRun(p0, known); });

        // The stage-start flows: the player's, then those of the characters in range (or all).
        RunFlowsOf(*p0, TRIG_STAGE_START);
        const bool all = SysSwitch(SW_START_ALL_FLOWS) != 0;
        if (!all) s.ResetFrameFlags();
        s.ForEachChara([&](cStageChara& c) {
            if (!all && !c.m_bInRange) return;
            RunFlowsOf(c, TRIG_STAGE_START);
            if (c.m_bRemove) {
                s.RemoveStageChara(c);
            } else if (c.m_nHP <= 0) {
                CheckCharaEnd(s, c);
                s.RemoveStageChara(c);
            }
        });
        s.ResetFrameFlags();
        s.m_bStatusBar = static_cast<u32>(Setting(eStage::StatusBar));
        s.Sweep();
    }
};

void cGameScene::BuildStage(i32 bLoadStage, i32 x) {
    ClearStageObjects();
    // A restart keeps the stage's lists (and does not report them again).
    m_LoopExpansions.ForStage(g_strStageFile);
    StageBuild::RestoreStage(bLoadStage);
    StageBuild::SeedRandom(*this);
    cEdChara* heroRow = StageBuild::HeroRow();
    if (!heroRow) return;
    StageBuild::RequestMusic(*this, x);
    const double unit = StageBuild::ResetIdsAndSpeed(*this);
    StageBuild::SetUpScroll(*this, unit);
    StageBuild::BuildBlockMap(*this);
    StageBuild::PlacePlayer(*this, *heroRow);
    StageBuild::PlaceCharasAndItems(*this);
    StageBuild::ResetStageEffects(*this);
    StageBuild::ResetCounters(*this, unit);
    StageBuild::ResetInputAndDisplay(*this);
    StageBuild::RunStageStartFlows(*this);
}

void cGameScene::RemoveStageChara(cStageChara& c) {
    c.UnlinkTargets();
    RemoveChara(c);
}

// ---- Spawners ----

i32 cGameScene::SpawnStageChara(i32 cellX, i32 cellY, const cEdChara& row, const cEdItem* item) {
    i32 made = 0;
    const i32 repeat = RowRepeat(row);
    const i32 dir = RowDirection(row);
    for (i32 k = 0; k <= repeat; ++k) {
        auto c = std::make_unique<cStageChara>();
        c->m_pScene = this;
        c->Setup(static_cast<u32>(m_nNextId), row, item, cellX, cellY, static_cast<i16>(k), nullptr);
        OffsetFormationMember(*c, row, k, dir);
        if (!c->IsInStage(1)) continue; // outside the stage: not made, no id taken
        c->OnMovedX();
        c->OnMovedY();
        cStageChara& in = AddChara(std::move(c));
        in.ScreenPos();
        in.m_nId = static_cast<u32>(m_nNextId++);
        ++made;
    }
    return made;
}

cItem* cGameScene::SpawnStageItem(i32 cellX, i32 cellY, const cEdItem& row) {
    cItem tmp;
    tmp.m_pScene = this;
    tmp.Init(0, row, static_cast<u32>(m_nNextItemId));
    tmp.PlaceAtCell(cellX, cellY);
    tmp.m_dX += ItemOffsetX(row);
    tmp.m_dY += ItemOffsetY(row);
    tmp.UpdateEdgesX();
    tmp.UpdateEdgesY();
    if (!tmp.IsInStage(1)) return nullptr;
    tmp.ClampX(2);
    tmp.ClampY(2);
    cItem& in = AddItem(std::make_unique<cItem>(tmp));
    in.ScreenPos();
    ++m_nNextItemId;
    return &in;
}

i32 cGameScene::SpawnSummonChara(double x, double y, const cEdChara& row, const cEdShot& spec, cChara* parent,
                                 const u8 behaviour[2]) {
    i32 made = 0;
    const i32 repeat = RowRepeat(row);
    const i32 dir = RowDirection(row);
    const i32 steps = static_cast<i32>(std::max(1.0, SpeedUnit()));
    for (i32 k = 0; k <= repeat; ++k) {
        auto c = std::make_unique<cStageChara>();
        c->m_pScene = this;
        // Set up at the cell under the position, then moved by the rest of it.
        const i32 cellX = (Trunc32(x) >> 5) - cBlockMap::kMargin, cellY = (Trunc32(y) >> 5) - cBlockMap::kMargin;
        c->Setup(static_cast<u32>(m_nNextId), row, nullptr, cellX, cellY, static_cast<i16>(k), parent);
        c->m_dX += x - (cellX + cBlockMap::kMargin) * 32.0;
        c->m_dY += y - (cellY + cBlockMap::kMargin) * 32.0;
        OffsetFormationMember(*c, row, k, dir);
        if (!c->IsInStage(1)) continue;
        c->OnMovedX();
        c->OnMovedY();
        cStageChara& in = AddChara(std::move(c));
        in.ScreenPos();
        if (IsBlockAt(*this, in)) {
            // A summon that would stand in a block is not made.
            RemoveStageChara(in);
            continue;
        }
        in.InitTargets(parent);
        if (ShotSettings::Get(spec, eShot::LifeFlag))
            in.m_nLife = static_cast<i32>(std::clamp<i64>(ShotSettings::Get(spec, eShot::Life) * steps * 6, 0, kUnlimitedLife - 1));
        if (behaviour) {
            in.m_byBehaviour[0] = behaviour[0];
            in.m_byBehaviour[1] = behaviour[1];
        }
        in.m_nId = static_cast<u32>(m_nNextId++);
        ++made;
    }
    return made;
}

cItem* cGameScene::SpawnSummonItem(double x, double y, const cEdItem& row, const cEdShot& spec) {
    cItem tmp;
    tmp.m_pScene = this;
    tmp.Init(0, row, static_cast<u32>(m_nNextItemId));
    tmp.m_dX = x + tmp.m_nGfxOffX0 + 0.5;
    tmp.m_dY = y + tmp.m_nGfxOffY0;
    tmp.UpdateEdgesX();
    tmp.UpdateEdgesY();
    if (!tmp.IsInStage(1)) return nullptr;
    tmp.ClampX(2);
    tmp.ClampY(2);
    const i32 steps = static_cast<i32>(std::max(1.0, SpeedUnit()));
    if (ShotSettings::Get(spec, eShot::LifeFlag))
        tmp.m_nLife = static_cast<i32>(std::clamp<i64>(ShotSettings::Get(spec, eShot::Life) * steps * 6, 0, kUnlimitedLife - 1));
    cItem& in = AddItem(std::make_unique<cItem>(tmp));
    in.ScreenPos();
    ++m_nNextItemId;
    return &in;
}

i32 cGameScene::SummonBlockHitsPlayer(i32 col, i32 row, const cEdShot& spec) {
    const HITRECT cell{col * 32.0, row * 32.0, (col + 1) * 32.0 - 0.1, (row + 1) * 32.0 - 0.1};
    const i32 index = m_vBlockMap.Index(col, row);
    bool hit = false;
    ForEachPlayer([&](cPlayer& p) {
        if (p.IsDying() || !m_vBlockMap.At(index).block.bySolid) return;
        const HITRECT box{p.m_dX, p.m_dY, p.m_dRight, p.m_dBottom};
        if (!IsHitRect(box, cell)) return;
        hit = true;
    });
    return hit && ShotSettings::Get(spec, eShot::RefuseOnPlayer) ? 1 : 0;
}

void cGameScene::SpawnSummonBlock(double x, double y, const cEdBlock& block, const cEdShot& spec) {
    const i32 col = Trunc32(x) >> 5, row = Trunc32(y) >> 5;
    const i32 index = m_vBlockMap.Index(col, row);
    BLOCKCELL* cell = m_vBlockMap.Find(index);
    if (!cell) return;
    const bool shown = cell->bExists && BlockIsShown(*this, index);
    if (cell->bLocked && (SysSwitch(SW_SUMMON_OVERWRITE) || shown)) return;
    const bool check = ShotSettings::Get(spec, eShot::PlayerCheck1) || ShotSettings::Get(spec, eShot::PlayerCheck2);
    auto place = [&] {
        const cBlockMap::SAVEDCELL old = m_vBlockMap.Save(index);
        m_vBlockMap.SetBlock(index, block);
        cell->bExists = block.wPicture != 0 ? 1 : 0;
        cell->byFlag = 0;
        if (check && SummonBlockHitsPlayer(col, row, spec)) m_vBlockMap.Restore(index, old);
    };
    auto erase = [&] {
        const cEdBlock empty = g_Stage.vBlockPalette.empty() ? cEdBlock() : g_Stage.vBlockPalette[0];
        m_vBlockMap.SetBlock(index, empty);
        cell->bExists = empty.wPicture != 0 ? 1 : 0;
    };
    switch (ShotSettings::Get(spec, eShot::BlockMode)) {
    case 0: place(); break;
    case 1: erase(); break;
    case 2:
        if (std::find(m_vToggledCell.begin(), m_vToggledCell.end(), index) != m_vToggledCell.end()) return;
        if (shown) erase();
        else place();
        m_vToggledCell.push_back(index);
        break;
    default: break;
    }
}
