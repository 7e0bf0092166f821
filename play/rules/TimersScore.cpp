// Timers, score, lives and stage end: the time limit and play-time clocks, the start-of-step marks,
// the appearance conditions, the character timers, the pause key, the stage music request, the
// tally of a clear with its extra lives, the ranking name entry and the HUD tiles.
#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>

#include "app/Game.h"
#include "app/PlayRecordNames.h"
#include "app/Ranking.h"
#include "app/Scenes.h"
#include "database/OptionData.h"
#include "database/SystemData.h"
#include "database/SystemSwitches.h"
#include "platform/system/Input.h"
#include "platform/system/Report.h"
#include "platform/system/Thread.h"
#include "platform/system/WindowMessages.h"
#include "play/GameScene.h"
#include "play/PlayDraw.h"
#include "play/rules/Collision.h"
#include "records/CharaSettings.h"
#include "records/Stage.h"
#include "records/StageSettings.h"

namespace {

constexpr i32 kMaxPlayTime = 599999; // 99:59.99
constexpr u32 kMaxLives = 99;
constexpr i32 kFramesPerSecond = 60;

// Appearance conditions: an empty list holds; a latched one holds once it has held.
bool Shown(cGameScene& scene, const cVector<cCond>& conds, u8 mode, u8 latch, u32& held, cChara* subject) {
    if (conds.empty()) return true;
    if (latch && held) return true;
    const bool ok = EvalCondList(scene, conds, mode, subject) != 0;
    if (ok && latch) held = 1;
    return ok;
}

u32 AddCapped(u32 a, i64 b) { return static_cast<u32>(std::clamp<i64>(i64{a} + b, 0, 0x7FFFFFFF)); }

} // namespace

i32 cGameScene::TickTimeLimit(i32 delta) {
    if (m_bTimeStopped) return 0;
    // The second boundary counts this stage's frames only: a replay ticks where its recording
    // ticked, whatever ran before the stage.
    if (++m_nTickCounter < kFramesPerSecond) return 0;
    m_nTickCounter = 0;
    m_nTimeLeft += delta;
    if (m_nTimeLeft > 999) m_nTimeLeft = 999;
    if (m_nTimeLeft < 1) {
        m_nTimeLeft = 0;
        return 1;
    }
    return 0;
}

void cGameScene::TickPlayTime() {
    if (m_nPlayTime >= kMaxPlayTime) return;
    ++m_nPlayFrames;
    m_nPlayTime = static_cast<i32>(std::min<i64>(i64{m_nPlayFrames} * 100 / 60, kMaxPlayTime));
}

bool cGameScene::CharaIsShown(cStageChara& c) {
    assert(c.m_bHasConds == (c.m_Def.vCond.empty() ? 0u : 1u));
    if (!c.m_bHasConds) return true;
    return Shown(*this, c.m_Def.vCond, static_cast<u8>(CharaSettings::Get(c.m_Def, eChara::AppearMode)),
                 static_cast<u8>(CharaSettings::Get(c.m_Def, eChara::AppearLatch)), c.m_bShownHeld, &c);
}

// Decision: an item's appearance mode and latch are the two bytes of the record's group that
// holds its conditions (group 1), as a block's and a character's are.

bool cGameScene::ItemIsShown(cItem& item) {
    return Shown(*this, item.m_Def.vCond, item.m_Def.byGroup1a, item.m_Def.byGroup1b, item.m_bShownHeld, Player0());
}

void cGameScene::StepStartChara(cStageChara& c, i32 index, bool copy, bool wakeHere, double margin) {
    StepWork& w = m_StepWork;
    const bool timers = NoteStepWork(c, copy);
    if (CharaIsShown(c)) {
        c.m_bPresent = 1;
        c.m_bOnScreen = static_cast<u32>(c.IsOnScreen());
        // The scene's own characters take its view as read here; any other asks its own scene.
        if (c.m_pScene == this) c.IsInActivityRange(m_vGroupMark, margin, m_ScrollX.m_dPos, m_ScrollY.m_dPos);
        else c.IsInActivityRange(m_vGroupMark, margin);
    } else {
        c.m_bPresent = c.m_bOnScreen = 0;
        c.m_bInRange = 0;
    }
    if (!wakeHere) {
        w.wake.push_back(&c);
    } else if (c.m_bGroup) {
        // Woken below; kept in its place among those that may act (their passes look again).
        w.wake.push_back(&c);
        w.acting.push_back(&c);
        if (c.m_bBlockChara) w.actingBlock.push_back(&c);
    } else {
        c.m_bActive = c.m_bPresent ? static_cast<u32>(c.WakeUp(m_vGroupMark) != 0) : 0;
        if (c.m_bActive && c.m_bInRange) {
            w.acting.push_back(&c);
            if (c.m_bBlockChara) w.actingBlock.push_back(&c);
        }
    }
    if (index < 0 || static_cast<std::size_t>(index) >= w.sleep.size()) return;
    // Each condition of sleep keeps the character out of every rule that reaches characters by
    // index or through the block characters' lists rather than by handle or pointer, or makes it
    // a case that such a rule would change (a death, a removal, a ride).
    StepWork::Sleep& e = w.sleep[static_cast<std::size_t>(index)];
    e.asleep = wakeHere && !timers && c.m_nLife == kUnlimitedLife && !c.m_bHasConds && !c.m_bGroup &&
               !c.m_bBlockChara && !c.m_bOnBlockChara && c.m_bPresent && !c.m_bOnScreen && !c.m_bInRange &&
               !c.m_bActive && !c.IsDying() && !c.m_bRemove && c.m_nHP >= 1 && !c.m_bFlowMarked &&
               !c.m_bFloorFlagA && !c.m_bFloorFlagB && c.m_CharaEffect.Type() == 0 && !std::isnan(c.m_dX) &&
               !std::isnan(c.m_dRight) && !std::isnan(c.m_dY) && !std::isnan(c.m_dBottom);
    if (!e.asleep) return;
    e.x = c.m_dX;
    e.right = c.m_dRight;
    e.y = c.m_dY;
    e.bottom = c.m_dBottom;
    e.ignoreX = c.m_bIgnoreRangeX ? 1 : 0;
    e.ignoreY = c.m_bIgnoreRangeY ? 1 : 0;
    e.slot = cObjRegistry::SlotOf(c);
    m_Registry.ClearReached(e.slot);
}

void cGameScene::MakeSleepRun(std::size_t k) {
    StepWork& w = m_StepWork;
    StepWork::Run run;
    const std::size_t from = k * StepWork::kRun, to = std::min(w.sleep.size(), from + StepWork::kRun);
    for (std::size_t i = from; i < to; ++i) {
        const StepWork::Sleep& e = w.sleep[i];
        if (!e.asleep) continue;
        if (!run.asleep) {
            run.x = e.x, run.right = e.right, run.y = e.y, run.bottom = e.bottom;
        } else {
            run.x = std::min(run.x, e.x), run.right = std::max(run.right, e.right);
            run.y = std::min(run.y, e.y), run.bottom = std::max(run.bottom, e.bottom);
        }
        run.ignoreX |= e.ignoreX;
        run.ignoreY |= e.ignoreY;
        run.asleep |= u64{1} << (i - from);
    }
    w.runs[k] = run;
}

bool cGameScene::SleepCurrent() {
    StepWork& w = m_StepWork;
    const std::size_t n = static_cast<std::size_t>(m_lstChara.Size());
    if (w.bFullWalk || w.nWalkedOf != m_lstChara.Version() || w.sleep.size() != n ||
        w.runs.size() != (n + StepWork::kRun - 1) / StepWork::kRun)
        return false;
    w.reachedRuns.assign(w.runs.size(), 0);
    for (u32 slot : m_Registry.ReachedSlots())
        if (slot < w.slotIndex.size() && w.slotIndex[slot] >= 0)
            w.reachedRuns[static_cast<std::size_t>(w.slotIndex[slot] / StepWork::kRun)] = 1;
    return true;
}

// The start of a play step in its parts, in the order ResetFrameFlags takes them. A part of the
// scene (declared in it, defined only here): it keeps the scene's step lists.
struct cGameScene::StepStart {
    // The range test and the screen test of a box (as the character's own tests make them): a
    // box that holds others is seen whenever one of them is.
    struct View {
        double sx, sy, left, right, top, bottom;
        View(const cGameScene& s, double margin)
            : sx(s.m_ScrollX.m_dPos), sy(s.m_ScrollY.m_dPos), left(sx - margin), right(sx + 640 + margin),
              top(sy - margin), bottom(sy + 480 + margin) {}
        bool Seen(double x, double r, double y, double b, bool ignoreX, bool ignoreY) const {
            const bool inX = ignoreX || (r >= left && x <= right);
            const bool inY = ignoreY || (b >= top && y <= bottom);
            const bool onScreen = r >= sx && x <= sx + 640 && b >= sy && y <= sy + 480;
            return (inX && inY) || onScreen;
        }
    };

    // The player is present and on screen, with its per-step hit mark; the activation groups are
    // cleared; the blocks' appearance conditions are evaluated.
    static void PlayerAndBlocks(cGameScene& s) {
        if (cPlayer* p = s.Player0()) {
            p->m_bPresent = 1;
            p->m_bOnScreen = 1;
            p->m_bFlag3 = 1;
        }
        std::fill(s.m_vGroupMark.begin(), s.m_vGroupMark.end(), 0u);
        // Decision: a block's appearance conditions are evaluated here, once per step, for the
        // drawing too: a draw (a frozen one above all) evaluates nothing, so it can neither draw a
        // random number nor latch a condition.
        for (i32 cell : s.m_vBlockMap.CondCells())
            if (BLOCKCELL* b = s.m_vBlockMap.Find(cell)) b->bShownNow = BlockIsShown(s, cell) ? 1 : 0;
    }

    // The stage characters. The range test runs for every present character first, so that a
    // group is marked before any of its members asks whether it wakes. This is the one walk of a
    // step that answers for every character (reading all but the sleepers it may pass over, see
    // StepWork::sleep): it notes what the step's later walks have to do. A character outside a
    // group wakes in it too while no character has appearance conditions: nothing else of the walk
    // reads what waking changes (an appearance condition may: another's place on the screen).
    static void Charas(cGameScene& s) {
        StepWork& w = s.m_StepWork;
        w.life.clear();
        w.timers.clear();
        w.acting.clear();
        w.actingBlock.clear();
        w.wake.clear();
        // The copy of the sides and boxes is made again only when characters have joined or left
        // the list since it was made; otherwise its entries are as their characters are.
        const u32 version = s.m_lstChara.Version();
        const bool copy = w.nWalkedOf != version;
        if (copy) {
            w.walked.clear();
            w.bSidesKept = 0;
            ++w.nStamp;
        }
        w.nSweeps = s.m_lstChara.Sweeps();
        const bool wakeHere = !s.m_bCharaConds;
        // The player's sight does not change in the walk (it runs no flows).
        const double margin = ActivityMargin(s.Player0());
        w.nSkipped = 0;
        if (!copy && wakeHere && s.SleepCurrent()) PassSleepers(s, View(s, margin), margin);
        else WalkAll(s, copy, wakeHere, margin);
        w.nSize = s.m_lstChara.Size();
        w.nWalkedOf = s.m_lstChara.Version() == version ? version : ~0u;
        for (cStageChara* c : w.wake) {
            if (c->IsRemoved()) continue;
            c->m_bActive = c->m_bPresent ? static_cast<u32>(c->WakeUp(s.m_vGroupMark) != 0) : 0;
            if (!wakeHere && c->m_bActive && c->m_bInRange) {
                w.acting.push_back(c);
                if (c->m_bBlockChara) w.actingBlock.push_back(c);
            }
        }
    }

    // The list is as the last walk left it (and every character wakes in the walk): its sleepers
    // that nothing has reached and that the view still misses are passed over, unread.
    static void PassSleepers(cGameScene& s, const View& view, double margin) {
        StepWork& w = s.m_StepWork;
        constexpr i32 kRun = StepWork::kRun;
        constexpr bool wakeHere = true;
        s.m_Registry.ReachedSlots().clear();
        const i32 n = s.m_lstChara.Size();
        cObjList<cStageChara>::WalkScope scope(s.m_lstChara);
        for (std::size_t k = 0; k < w.runs.size(); ++k) {
            const StepWork::Run& run = w.runs[k];
            const i32 from = static_cast<i32>(k) * kRun, to = std::min(n, from + kRun);
            bool taken = false;
            auto take = [&](i32 i) {
                if (cStageChara* c = s.m_lstChara.Live(i)) {
                    s.StepStartChara(*c, i, false, wakeHere, margin);
                    taken = true;
                }
            };
            if (!w.reachedRuns[k] && !(run.asleep && view.Seen(run.x, run.right, run.y, run.bottom, run.ignoreX, run.ignoreY))) {
                const u64 all = to - from == kRun ? ~u64{0} : (u64{1} << (to - from)) - 1;
                w.nSkipped += static_cast<u32>(std::popcount(run.asleep & all));
                for (u64 awake = ~run.asleep & all; awake; awake &= awake - 1) take(from + std::countr_zero(awake));
            } else {
                for (i32 i = from; i < to; ++i) {
                    const StepWork::Sleep& e = w.sleep[static_cast<std::size_t>(i)];
                    if (e.asleep && !s.m_Registry.Reached(e.slot) && !view.Seen(e.x, e.right, e.y, e.bottom, e.ignoreX, e.ignoreY)) {
                        ++w.nSkipped;
                        continue;
                    }
                    take(i);
                }
            }
            if (taken) s.MakeSleepRun(k);
        }
        for (i32 i = n; i < s.m_lstChara.Size(); ++i)
            if (cStageChara* c = s.m_lstChara.Live(i)) s.StepStartChara(*c, i, false, wakeHere, margin);
        if (s.m_lstChara.Size() != n) w.sleep.clear();
    }

    // Every character is read, and the sleep entries and runs are made again from what it finds.
    static void WalkAll(cGameScene& s, bool copy, bool wakeHere, double margin) {
        StepWork& w = s.m_StepWork;
        constexpr i32 kRun = StepWork::kRun;
        s.m_Registry.ReachedSlots().clear();
        const i32 n = s.m_lstChara.Size();
        w.sleep.assign(static_cast<std::size_t>(n), StepWork::Sleep{});
        cObjList<cStageChara>::WalkScope scope(s.m_lstChara);
        for (i32 i = 0; i < s.m_lstChara.Size(); ++i) {
            if (const cStageChara* ahead = s.m_lstChara.Peek(i + cObjList<cStageChara>::kAhead)) PrefetchRanged(*ahead);
            if (cStageChara* c = s.m_lstChara.Live(i)) s.StepStartChara(*c, i, copy, wakeHere, margin);
        }
        // Characters added meanwhile have no entry: the next walk is a whole one.
        if (s.m_lstChara.Size() != n) {
            w.sleep.clear();
            return;
        }
        w.slotIndex.assign(static_cast<std::size_t>(s.m_Registry.SlotCount()), -1);
        for (i32 i = 0; i < n; ++i)
            if (const cStageChara* c = s.m_lstChara.Live(i))
                if (const u32 slot = cObjRegistry::SlotOf(*c); slot < w.slotIndex.size()) w.slotIndex[slot] = i;
        w.runs.resize(static_cast<std::size_t>((n + kRun - 1) / kRun));
        for (std::size_t k = 0; k < w.runs.size(); ++k) s.MakeSleepRun(k);
    }

    // Items: present while their appearance conditions hold, on screen only when present.
    static void Items(cGameScene& s) {
        s.ForEachItem([&](cItem& it) {
            it.m_bPresent = s.ItemIsShown(it) ? 1 : 0;
            it.m_bOnScreen = it.m_bPresent ? static_cast<u32>(it.IsOnScreen()) : 0;
        });
    }

    // Shots: present, on screen as the view is now (read once for the shots of this scene).
    static void Shots(cGameScene& s) {
        const double vx = s.m_ScrollX.m_dPos, vy = s.m_ScrollY.m_dPos;
        auto onScreen = [&](cShot& shot) {
            shot.m_bPresent = 1;
            if (shot.m_pScene != &s) {
                shot.m_bOnScreen = static_cast<u32>(shot.IsOnScreen());
                return;
            }
            shot.m_bOnScreen = shot.m_dRight >= vx && shot.m_dX <= vx + 640 && shot.m_dBottom >= vy && shot.m_dY <= vy + 480 ? 1 : 0;
        };
        // The frame's first step finds the shots as the last frame's drawing left them, maybe far
        // from the processor: it asks for them ahead of the walk.
        if (s.m_nStepIndex <= 1) s.m_lstShot.WalkAhead(onScreen, PrefetchShot);
        else s.ForEachShot(onScreen);
    }
};

void cGameScene::ResetFrameFlags() {
    StepStart::PlayerAndBlocks(*this);
    StepStart::Charas(*this);
    StepStart::Items(*this);
    StepStart::Shots(*this);
}

i32 cGameScene::PauseKeyProbe() {
    if (GetAsyncKeyState(VK_SPACE) >= 0) return 0;
    PlaySE(4);
    m_nSavedState = m_nState;
    m_nSavedSubState = m_nSubState;
    return 1;
}

void cGameScene::NotifyMainWindow(i32 music, u32 flag) {
    playrec::MusicNumber(g_PlayRecord) = static_cast<u32>(music);
    playrec::MusicFlag(g_PlayRecord) = flag;
    // The front end's next music request compares against what plays now.
    g_Game.m_nBgmNumber = music;
    g_Game.m_bBgmFlag = 0;
    SendMessage(g_hWnd, WM_GAME_BGM, 4, music);
}

void cGameScene::StageEnd() {
    PlaySE(14);
    cPlayRecord& r = g_PlayRecord;
    cPlayer* p = Player0();
    const u32 old = g_nTotalScore;
    g_nTotalScore = AddCapped(g_nTotalScore, g_nScore);
    if (!m_bTimeStopped) r.nTimeLeftSum = AddCapped(r.nTimeLeftSum, m_nTimeLeft);
    r.nPlayTimeSum = AddCapped(r.nPlayTimeSum, m_nPlayTime);
    r.nHpSum = AddCapped(r.nHpSum, p ? p->m_nHP : 0);
    r.nSpSum = AddCapped(r.nSpSum, p ? p->m_nSP : 0);

    const u32 step = SysSwitch(SW_EXTRA_LIFE_SCORE);
    if (g_nLives != kInfiniteLives && SysSwitch(SW_EXTRA_LIFE) && step != 0) {
        const u32 extra = g_nTotalScore / step - old / step;
        for (u32 k = 0; k < extra; ++k) {
            g_nLives = std::min(g_nLives + 1, kMaxLives);
            // Every life counts, but only the first few are shown: a score far past the step
            // would otherwise hold the game for minutes, 30 frames a notice.
            if (k >= static_cast<u32>(kMaxExtraLifeNotices) || m_bQuit.load()) continue;
            PlaySE(15);
            m_vNotice.push_back(PLAYNOTICE{PLAYNOTICE::EXTRA_LIFE, 30, {static_cast<i32>(g_nLives), 0, 0}});
            HoldFrames(30);
            m_vNotice.clear();
        }
    }

    m_bNameEntry = 0;
    m_bNameEntered = 0;
    m_vResult.assign(5, -1);
    std::string path;
    if (g_bDirectStart ||
        (g_Game.g_bUseRanking &&
         MakeRankingPath(path, g_Game.g_nPlayKind, r.strStageFile, r.bStageVar, r.nStageVarIndex, r.nStageVarValue))) {
        m_vRankValue = {static_cast<i32>(g_nTotalScore), static_cast<i32>(r.nTimeLeftSum), static_cast<i32>(r.nPlayTimeSum),
                        static_cast<i32>(r.nHpSum), static_cast<i32>(r.nSpSum)};
        if (!g_bFromEditor) {
            const cItemSwitches& kind = g_SystemData.RankingSetting(g_Game.g_nPlayKind);
            for (int k = 0; k < kRankTables; ++k) {
                const bool on = k < kind.vItem.Size() && kind.vItem[k] && StageSettings::RankEnabled(g_Stage, k);
                if (!on || k >= g_Ranking.vTable.Size()) continue;
                m_vResult[k] = g_Ranking.vTable[k].FindRank(m_vRankValue[k]);
                if (m_vResult[k] != -1) m_bNameEntry = 1;
            }
        }
    }
}

void cGameScene::EnterName() {
    // Once per clear: a second key press must not file the same result twice.
    if (!g_Game.g_bUseRanking || !m_bNameEntry || m_bNameEntered || m_bQuit.load()) return;
    m_bNameEntered = 1;
    cPlayRecord& r = g_PlayRecord;
    // The settings with a registration name offer it as the name's default; every setting
    // asks the player for the name.
    const u32 mode = g_OptionData.nRankingMode;
    if (mode == 1 || mode == 3) r.strRankName = g_OptionData.strRankingName;
    g_bNameDone.store(0);
    SendMessage(g_hWnd, WM_GAME_NAMEDLG, 0, 0);
    while (!g_bNameDone.load())
        if (SleepMs(1)) return; // closing: the dialog will not answer
    for (int k = 0; k < kRankTables && k < g_Ranking.vTable.Size(); ++k)
        if (m_vResult[k] != -1) g_Ranking.vTable[k].Insert(r.strRankName, m_vRankValue[k]);
    if (!SaveRanking(g_Ranking, g_Game.g_nPlayKind, r.strStageFile, r.bStageVar, r.nStageVarIndex, r.nStageVarValue))
        WriteFailureReport("EnterName : the ranking was not saved");
    RankingLoop();
}

void cGameScene::BuildHudTiles() {
    // Decision: the two generated pictures are tiled from the small item pictures (63) and the
    // symbols (64), the two 16-dot sheets of the picture table.
    const struct {
        i32 dst, src;
    } kTiles[2] = {{PLAYPIC_HUD_A, PLAYPIC_ITEM_MINI}, {PLAYPIC_HUD_B, PLAYPIC_SYMBOL}};
    for (const auto& t : kTiles) {
        DDSURFACEDATA* dst = PlayPicture(t.dst);
        DDSURFACEDATA* src = PlayPicture(t.src);
        if (!PlayPictureLoaded(t.dst)) continue;
        DDFillSurface(dst, 0);
        if (!PlayPictureLoaded(t.src)) continue;
        for (i32 row = 0; row < 30; ++row)
            for (i32 k = 0; k < 4; ++k) {
                DDBlt(dst, 8 + 64 * k, 8 + 32 * row, 16, 16, src, 32 * k, 16 * row, DDBLT_KEY);
                DDBlt(dst, 40 + 64 * k, 8 + 32 * row, 16, 16, src, 16 + 32 * k, 16 * row, DDBLT_KEY);
            }
        dst->restored = 0;
    }
}
