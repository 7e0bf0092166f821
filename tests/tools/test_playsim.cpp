// Headless play of the demo game: every demo stage played from a script, recorded, saved,
// loaded and played back gives the recording's hash sequence and draws its frames, and the same seed and input give
// the same hashes twice; the play screen's golden frames; the demo's shots end to end; a picture
// missing from the demo's folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "platform/graphics/Graphics.h"
#include "platform/graphics/Presenter.h"
#include "platform/system/PathResolver.h"
#include "platform/system/WindowMessages.h"
#include "play/GameScene.h"
#include "play/shots/ShotCommands.h"
#include "records/EdSettings.h"
#include "records/DataFile.h"
#include "records/Stage.h"
#include "records/StageSettings.h"
#include "app/PlayRecordNames.h"
#include "tools/DemoCmdKinds.h"
#include "tools/DemoFlows.h"
#include "tests/support/DemoGameCopy.h"
#include "tools/DemoShots.h"
#include "tools/PlaySim.h"
#include "tests/platform/graphics/GfxTestUtil.h"
#include "tests/records/ActorsStage.h"

namespace fs = std::filesystem;

namespace {

// The demo hero walks and jumps by its flows: the script keeps it clear of the pits, so that
// every stage records to the script's end. Buttons 2 and 3 fire the hero's shot and swing its
// sword; the last stage's boss fires at the hero from the start: the replays hold with shots and
// swords about.
const char* const kScript = "R*10 RJ*12 R2 .*10 3 LJ*6 L*20 J*3 .*15 2 .*4 2 R*10 UJ*4 3 D*8 .*20 L*30";

class DemoPlay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = fs::temp_directory_path() / ("tobrelk_playsim_" + std::to_string(::getpid()));
        fs::remove_all(s_dir);
        std::string error;
        ASSERT_TRUE(CopyDemoGame(s_dir, error)) << error;
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    // The frame just drawn, as a hash of its pixels.
    static u64 FrameHash() {
        std::vector<u32> argb;
        i32 w = 0, h = 0;
        DDSnapshotFrame(&argb, &w, &h);
        u64 hash = 1469598103934665603ull;
        for (u32 p : argb) hash = (hash ^ p) * 1099511628211ull;
        return hash;
    }

    // Plays a stage from the script: its hashes; the replay written when asked; the play
    // frames' pictures into frames when given.
    static std::vector<u64> Play(const std::string& stage, u32 seed, const std::string& replay = {},
                                 std::vector<u64>* frames = nullptr, const char* script = kScript) {
        playsim::cPlaySim sim;
        std::string error;
        EXPECT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
        EXPECT_TRUE(sim.StartStage(stage, seed, error)) << error;
        std::vector<playsim::SIMKEYS> keys;
        EXPECT_TRUE(playsim::ParseScript(script, keys));
        for (const auto& k : keys) {
            if (sim.Frame(k) && frames) frames->push_back(FrameHash());
        }
        if (!replay.empty()) {
            EXPECT_TRUE(sim.SaveReplay(replay));
        }
        return sim.Hashes();
    }
    static std::vector<u64> PlayBack(const std::string& replay, std::vector<u64>* frames = nullptr) {
        playsim::cPlaySim sim;
        std::string error;
        EXPECT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
        EXPECT_TRUE(sim.StartReplay(replay, error)) << error;
        for (int f = 0; f < 5000 && (f == 0 || sim.Playing()); ++f) {
            if (sim.Frame() && frames) frames->push_back(FrameHash());
        }
        return sim.Hashes();
    }

    // A demo stage (the first unless named), changed by edit, saved under another name in the
    // demo folder.
    static void EditStage(const std::string& to, const std::function<void(cStage&)>& edit,
                          const std::string& from = "data\\stg4\\Demo-1.stg4_001") {
        const fs::path old = GetGameRoot();
        SetGameRoot(s_dir);
        cStage st;
        ASSERT_TRUE(LoadFromFile(st, from));
        edit(st);
        ASSERT_TRUE(SaveToFile(st, to));
        SetGameRoot(old);
    }

    static fs::path s_dir;
};
fs::path DemoPlay::s_dir;

} // namespace

TEST_F(DemoPlay, EveryStageReplaysItsRecording) {
    // The last run walks Demo-3 up to its boss, a character drawn from a bitmap of its own.
    const std::pair<const char*, const char*> stages[] = {
        {"data\\stg4\\Demo-1.stg4_001", kScript}, {"data\\stg4\\Demo-2.stg4_001", kScript},
        {"data\\stg4\\Demo-3.stg4_001", kScript}, {"data\\stg4\\c01-1.stg4_001", kScript},
        {"data\\stg4\\c02-1.stg4_001", kScript},  {"data\\stg4\\c03-1.stg4_001", kScript},
        {"data\\stg4\\Demo-4.stg4_001", kScript},
        {"data\\stg4\\Demo-3.stg4_001", ".*5 R*40 RJ*30 .*20 R*6 RJ*20 R*8 .*40 R*25 RJ*24 R*10 .*100"}};
    int n = 0;
    for (const auto& [stage, script] : stages) {
        SCOPED_TRACE(stage);
        const std::string replay = (s_dir / ("play" + std::to_string(n++) + ".rpl4_824")).string();
        std::vector<u64> live, shown;
        const std::vector<u64> recorded = Play(stage, 12345, replay, &live, script);
        ASSERT_FALSE(recorded.empty());
        const std::vector<u64> replayed = PlayBack(replay, &shown);
        // The recording ends where the script ends, or earlier when the stage ended.
        ASSERT_GE(replayed.size(), recorded.size());
        EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), replayed.begin()));
        // What the replay draws is what the play drew: every character, its own bitmap's too.
        ASSERT_EQ(live.size(), recorded.size());
        ASSERT_GE(shown.size(), live.size());
        const auto differ = std::mismatch(live.begin(), live.end(), shown.begin());
        EXPECT_TRUE(differ.first == live.end()) << "the replay's play frame " << (differ.first - live.begin())
                                                << " differs from the play's";
    }
}

// The step's copy of what the attack passes read of each character (cGameScene::StepWork) follows
// the characters through the frames of every demo stage: walking, jumping, riding, hit, copied.
// Checked after each frame that destroyed nothing (a sweep retires the copy). So do the attack
// sides kept from it for the next step: the player first, then the copy's characters by side.
TEST_F(DemoPlay, TheStepCopyOfTheCharactersFollowsThem) {
    const char* const stages[] = {"data\\stg4\\Demo-1.stg4_001", "data\\stg4\\Demo-2.stg4_001", "data\\stg4\\Demo-3.stg4_001",
                                  "data\\stg4\\c01-1.stg4_001",  "data\\stg4\\c02-1.stg4_001",  "data\\stg4\\c03-1.stg4_001"};
    std::vector<playsim::SIMKEYS> keys;
    ASSERT_TRUE(playsim::ParseScript(kScript, keys));
    int checked = 0, keptChecked = 0;
    for (const char* stage : stages) {
        SCOPED_TRACE(stage);
        playsim::cPlaySim sim;
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
        ASSERT_TRUE(sim.StartStage(stage, 12345, error)) << error;
        for (std::size_t f = 0; f < keys.size() && sim.Playing(); ++f) {
            sim.Frame(keys[f]);
            cGameScene& s = sim.Scene();
            const cGameScene::StepWork& w = s.m_StepWork;
            if (!w.Current(s.m_lstChara)) continue;
            SCOPED_TRACE(f);
            ++checked;
            // Every character of the walk in list order, each entry as the character is now.
            int live = 0;
            for (int i = 0; i < w.nSize; ++i) live += s.m_lstChara.Live(i) != nullptr;
            int in = 0, last = -1;
            for (const cGameScene::StepWork::Walked& e : w.walked) {
                const int at = s.m_lstChara.IndexOf(*e.chara);
                ASSERT_GT(at, last);
                ASSERT_LT(at, w.nSize);
                last = at;
                EXPECT_EQ(e.out != 0, e.chara->IsRemoved());
                if (e.out) continue;
                ++in;
                EXPECT_EQ(e.side, e.chara->m_nSide);
                EXPECT_TRUE(e.body == e.chara->m_rcBody.rc);
                EXPECT_TRUE(e.damage == e.chara->m_rcDamage.rc);
            }
            EXPECT_EQ(in, live);
            if (!w.bSidesKept) continue;
            ++keptChecked;
            std::array<std::size_t, kSideCount> at{};
            if (w.nSidesPlayerSide >= 0) {
                const cGameScene::AttackSide& side = s.m_AttackSides[static_cast<std::size_t>(w.nSidesPlayerSide)];
                ASSERT_GE(side.nKept, 1u);
                EXPECT_EQ(side.chara[0], s.Player0());
                at[static_cast<std::size_t>(w.nSidesPlayerSide)] = 1;
            }
            for (const cGameScene::StepWork::Walked& e : w.walked) {
                if (e.out || e.side < 0 || e.side >= kSideCount) continue;
                const cGameScene::AttackSide& side = s.m_AttackSides[static_cast<std::size_t>(e.side)];
                std::size_t& k = at[static_cast<std::size_t>(e.side)];
                ASSERT_LT(k, side.nKept);
                EXPECT_EQ(side.chara[k], e.chara);
                EXPECT_TRUE(side.body[k] == e.body);
                EXPECT_TRUE(side.damage[k] == e.damage);
                ++k;
            }
            for (std::size_t i = 0; i < kSideCount; ++i) EXPECT_EQ(at[i], s.m_AttackSides[i].nKept);
        }
    }
    EXPECT_GT(checked, 100);
    EXPECT_GT(keptChecked, 100);
}

// A write of a character's boxes or side that leaves them as the step's copy holds them is passed
// over: every demo stage plays to the same hashes, with the same kept attack sides after each
// frame, as when every write is taken.
TEST_F(DemoPlay, WritesThatChangeNothingArePassedOverAndPlayAsTakingThemDoes) {
    const char* const stages[] = {"data\\stg4\\Demo-1.stg4_001", "data\\stg4\\Demo-2.stg4_001", "data\\stg4\\Demo-3.stg4_001",
                                  "data\\stg4\\c01-1.stg4_001",  "data\\stg4\\c02-1.stg4_001",  "data\\stg4\\c03-1.stg4_001"};
    std::vector<playsim::SIMKEYS> keys;
    ASSERT_TRUE(playsim::ParseScript(kScript, keys));
    u64 passed = 0;
    for (const char* stage : stages) {
        SCOPED_TRACE(stage);
        std::vector<u64> hashes;
        std::vector<u32> kept;
        for (const bool every : {true, false}) {
            playsim::cPlaySim sim;
            std::string error;
            ASSERT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
            ASSERT_TRUE(sim.StartStage(stage, 12345, error)) << error;
            cGameScene::StepWork& w = sim.Scene().m_StepWork;
            w.bEveryChange = every ? 1 : 0;
            w.nPassedOver = 0;
            std::vector<u32> keptNow;
            for (std::size_t f = 0; f < keys.size() && sim.Playing(); ++f) {
                sim.Frame(keys[f]);
                keptNow.push_back(w.bSidesKept);
            }
            if (every) {
                EXPECT_EQ(w.nPassedOver, 0u);
                hashes = sim.Hashes();
                kept = keptNow;
                continue;
            }
            passed += w.nPassedOver;
            EXPECT_EQ(sim.Hashes(), hashes);
            EXPECT_EQ(keptNow, kept);
        }
    }
    EXPECT_GT(passed, 1000u);
}

// The step start passes over the characters it found asleep that nothing has reached since and
// that the view still misses (cGameScene::StepWork::sleep): every demo stage plays to the same
// hashes as with every character taken in full at each step, and after each frame every sleeper
// the next walk would pass over is as the walk left it.
TEST_F(DemoPlay, TheStepStartPassesOverOnlySleepersItWouldLeaveAsTheyAre) {
    const char* const stages[] = {"data\\stg4\\Demo-1.stg4_001", "data\\stg4\\Demo-2.stg4_001", "data\\stg4\\Demo-3.stg4_001",
                                  "data\\stg4\\c01-1.stg4_001",  "data\\stg4\\c02-1.stg4_001",  "data\\stg4\\c03-1.stg4_001"};
    std::vector<playsim::SIMKEYS> keys;
    ASSERT_TRUE(playsim::ParseScript(kScript, keys));
    u64 skipped = 0;
    int checked = 0;
    for (const char* stage : stages) {
        SCOPED_TRACE(stage);
        std::vector<u64> full;
        for (const bool fullWalk : {true, false}) {
            playsim::cPlaySim sim;
            std::string error;
            ASSERT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
            ASSERT_TRUE(sim.StartStage(stage, 12345, error)) << error;
            sim.Scene().m_StepWork.bFullWalk = fullWalk ? 1 : 0;
            for (std::size_t f = 0; f < keys.size() && sim.Playing(); ++f) {
                sim.Frame(keys[f]);
                if (fullWalk) continue;
                cGameScene& s = sim.Scene();
                const cGameScene::StepWork& w = s.m_StepWork;
                skipped += w.nSkipped;
                if (w.nWalkedOf != s.m_lstChara.Version() || w.sleep.size() != static_cast<std::size_t>(s.m_lstChara.Size()))
                    continue;
                SCOPED_TRACE(f);
                for (int i = 0; i < s.m_lstChara.Size(); ++i) {
                    const cGameScene::StepWork::Sleep& e = w.sleep[static_cast<std::size_t>(i)];
                    const cStageChara* c = s.m_lstChara.Live(i);
                    if (!c || !e.asleep || s.m_Registry.Reached(e.slot)) continue;
                    ++checked;
                    EXPECT_EQ(e.slot, cObjRegistry::SlotOf(*c));
                    EXPECT_TRUE(e.x == c->m_dX && e.right == c->m_dRight && e.y == c->m_dY && e.bottom == c->m_dBottom);
                    EXPECT_EQ(e.ignoreX != 0, c->m_bIgnoreRangeX != 0);
                    EXPECT_EQ(e.ignoreY != 0, c->m_bIgnoreRangeY != 0);
                    EXPECT_TRUE(c->m_bPresent && !c->m_bOnScreen && !c->m_bInRange && !c->m_bActive && !c->IsDying());
                    EXPECT_TRUE(c->m_nInvincible <= 0 && c->m_nHitByCount == 0 && !c->m_bContactL && !c->m_bContactR &&
                                !c->m_bContactT && !c->m_bContactB);
                    EXPECT_TRUE(!c->m_bFlowMarked && !c->m_bFloorFlagA && !c->m_bFloorFlagB && c->m_CharaEffect.Type() == 0);
                }
            }
            if (fullWalk) full = sim.Hashes();
            else EXPECT_EQ(sim.Hashes(), full);
        }
    }
    // The demo's stages are small: some hundreds of sleepers passed over in the frames' last steps.
    EXPECT_GT(skipped, 500u);
    EXPECT_GT(checked, 500);
}

// A crowd of patrollers ahead of the hero, more than a run of the walk's sleepers wide (64): as
// the hero walks into them, the view reaches run after run and wakes them in turn, and the play
// holds to the hashes of a play that takes every character in full at each step.
TEST_F(DemoPlay, ACrowdWakesAsTheViewReachesIt) {
    const std::string stage = "data\\stg4\\Crowd.stg4_001";
    ASSERT_NO_FATAL_FAILURE(EditStage(stage, [](cStage& st) {
        const cEdChara* hero = nullptr;
        for (const cEdChara& c : st.vChara)
            if (c.byOperation == 0) hero = &c;
        ASSERT_NE(hero, nullptr);
        const cEdChara h = *hero;
        st.vChara.assign(1, h);
        const i16 width = static_cast<i16>(st.dwWidth());
        for (i16 x = static_cast<i16>(h.sPosX + 8); x < width - 1; ++x)
            for (i16 row = 0; row < 6; ++row) {
                cEdChara c = DemoPatroller();
                c.sPosX = x;
                c.sPosY = static_cast<i16>(h.sPosY - row);
                st.vChara.push_back(c);
            }
        st.Prepare();
    }));
    std::vector<playsim::SIMKEYS> keys;
    ASSERT_TRUE(playsim::ParseScript("R*300", keys));
    std::vector<u64> full;
    u64 skipped = 0;
    for (const bool fullWalk : {true, false}) {
        playsim::cPlaySim sim;
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
        ASSERT_TRUE(sim.StartStage(stage, 12345, error)) << error;
        ASSERT_GT(sim.Scene().m_lstChara.Size(), 2 * cGameScene::StepWork::kRun);
        sim.Scene().m_StepWork.bFullWalk = fullWalk ? 1 : 0;
        for (std::size_t f = 0; f < keys.size() && sim.Playing(); ++f) {
            sim.Frame(keys[f]);
            skipped += sim.Scene().m_StepWork.nSkipped;
        }
        if (fullWalk) {
            full = sim.Hashes();
            continue;
        }
        EXPECT_EQ(sim.Hashes(), full);
        int woken = 0;
        sim.Scene().ForEachChara([&](cStageChara& c) { woken += c.m_bWoken != 0; });
        EXPECT_GT(woken, 2 * cGameScene::StepWork::kRun);
    }
    EXPECT_GT(skipped, 10000u);
}

// Shots that hit sleepers reach them: a shot of the hero's put where each of the first sleepers
// of a stage stands hurts it in the attack passes of the next steps,
// and the play goes on as with every character taken in full at each step.
TEST_F(DemoPlay, ShotsWakeTheSleepersTheyHit) {
    // The first stage, its hero's side's shots kept off the view (no removal area).
    const std::string stage = "data\\stg4\\Sleepers.stg4_001";
    ASSERT_NO_FATAL_FAILURE(EditStage(stage, [](cStage& st) {
        cStageParams& area = st.aParams[3];
        area.dwValue1 = area.dwValue2 = area.dwValue3 = area.dwValue4 = 0;
    }));
    cEdShot def;
    def.Clear();
    ShotSettings::Set(def, eShot::ShotsPerVolley, 1);
    ShotSettings::Set(def, eShot::Scale, 1);
    ShotSettings::Set(def, eShot::Picture, 1);
    ShotSettings::Set(def, eShot::Power, 1);
    ShotSettings::Set(def, eShot::PierceBlocks, 1);
    int hurt = 0;
    std::vector<u64> full;
    for (const bool fullWalk : {true, false}) {
        playsim::cPlaySim sim;
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
        ASSERT_TRUE(sim.StartStage(stage, 12345, error)) << error;
        cGameScene& s = sim.Scene();
        s.m_StepWork.bFullWalk = fullWalk ? 1 : 0;
        for (int f = 0; f < 10 && sim.Playing(); ++f) sim.Frame({});
        std::vector<std::pair<cObjHandle, i32>> shot;
        const cGameScene::StepWork& w = s.m_StepWork;
        for (std::size_t i = 0; i < w.sleep.size() && shot.size() < 4; ++i) {
            cStageChara* c = s.m_lstChara.Live(static_cast<int>(i));
            if (!c || !w.sleep[i].asleep || c->m_nSide == 0) continue;
            cCmdRun run;
            const int fired = s.m_lstShot.Size();
            FireShot(s, *s.Player0(), run, def);
            // Without speed, it stays where it is put: over the sleeper.
            for (int k = fired; k < s.m_lstShot.Size(); ++k)
                if (cShot* sh = s.m_lstShot.Live(k)) {
                    sh->m_dX = c->m_dX;
                    sh->m_dY = c->m_dY;
                    sh->UpdateEdgesX();
                    sh->UpdateEdgesY();
                }
            shot.emplace_back(cObjHandle(c), c->m_nHP);
        }
        ASSERT_FALSE(shot.empty());
        for (int f = 0; f < 30 && sim.Playing(); ++f) sim.Frame({});
        if (fullWalk) {
            full = sim.Hashes();
            continue;
        }
        EXPECT_EQ(sim.Hashes(), full);
        for (const auto& [h, hp] : shot) {
            const cStageChara* c = h.StageChara();
            hurt += !c || c->m_nHP < hp || c->IsDying();
        }
    }
    EXPECT_GT(hurt, 0);
}

// The first stage's villager holds the game while his message is up: a replay holds with holds
// of any length (a tenth of a second, under a second, three seconds).
TEST_F(DemoPlay, ReplaysHoldWithMessagesOfDifferentWaits) {
    for (u32 tenths : {1u, 7u, 30u}) {
        SCOPED_TRACE(tenths);
        const std::string stage = "data\\stg4\\Wait" + std::to_string(tenths) + ".stg4_001";
        ASSERT_NO_FATAL_FAILURE(EditStage(stage, [&](cStage& st) {
            for (cEdChara& c : st.vChara)
                if (c.wPaletteIndex == 3) {
                    cEdChara villager = DemoVillager(tenths);
                    villager.sPosX = c.sPosX;
                    villager.sPosY = c.sPosY;
                    c = villager;
                }
        }));
        const std::string replay = (s_dir / ("wait" + std::to_string(tenths) + ".rpl4_824")).string();
        const std::vector<u64> recorded = Play(stage, 99, replay);
        ASSERT_EQ(g_CommonVars[kDemoTalkCounter], 1) << "the villager talked";
        const std::vector<u64> replayed = PlayBack(replay);
        ASSERT_GE(replayed.size(), recorded.size());
        EXPECT_TRUE(std::equal(recorded.begin(), recorded.end(), replayed.begin()));
    }
}

TEST_F(DemoPlay, SameSeedAndInputSameHashes) {
    const std::vector<u64> a = Play("data\\stg4\\Demo-1.stg4_001", 7);
    const std::vector<u64> b = Play("data\\stg4\\Demo-1.stg4_001", 7);
    EXPECT_EQ(a, b);
    // Every frame's state is its own: the hash moves with the play.
    EXPECT_NE(a.front(), a.back());
}

// A stage header's gravity that is not finite counts as 0: the stage whose NaN gravity hung the
// play (its hero walks right by a ground-turn move) plays ten seconds to the right exactly as
// with a gravity of 0, the same state at every frame, and so it does under either infinity;
// playsim's report says so once for each such file. (Its gravity of 0.4 plays otherwise.)
TEST_F(DemoPlay, AGravityThatIsNotFinitePlaysAsAGravityOf0) {
    // A frame that hangs ends the program here (SIGALRM) rather than at ctest's time limit.
    ::alarm(240);
    const fs::path report = s_dir / "not_finite_report.txt";
    auto play = [&](const std::string& name, const std::string& bytes) {
        stagetest::WriteFile(s_dir / "data" / "stg4" / name, bytes);
        fs::remove(report);
        playsim::cPlaySim sim;
        std::string error;
        EXPECT_TRUE(sim.Open({s_dir.string(), true, 32, report.string()}, error)) << error;
        EXPECT_TRUE(sim.StartStage("data\\stg4\\" + name, 1, error)) << error;
        for (int f = 0; f < 600; ++f) sim.Frame(playsim::SIMKEYS{2, 0});
        return sim.Hashes();
    };
    auto lines = [&](const std::string& name) {
        const std::string text = stagetest::ReadFile(report);
        const std::string line = "data\\stg4\\" + name + " に数でない値 (NaN、無限大) があるため 0 として読みました。";
        std::size_t n = 0;
        for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
        return n;
    };
    using stagetest::GroundTurnActorsFile;
    const std::vector<u64> zero = play("GravityZero.stg4_001", GroundTurnActorsFile(0, stagetest::kDamagedWidth));
    ASSERT_EQ(zero.size(), 600u);
    EXPECT_EQ(lines("GravityZero.stg4_001"), 0u);
    EXPECT_EQ(play("GravityNaN.stg4_001", stagetest::NanGravityStageBytes()), zero);
    EXPECT_EQ(lines("GravityNaN.stg4_001"), 1u);
    for (const u64 bits : {0x7FF0000000000000ull, 0xFFF0000000000000ull}) {
        EXPECT_EQ(play("GravityInf.stg4_001", GroundTurnActorsFile(bits, stagetest::kDamagedWidth)), zero) << std::hex << bits;
        EXPECT_EQ(lines("GravityInf.stg4_001"), 1u) << std::hex << bits;
    }
    EXPECT_NE(play("GravityOwn.stg4_001", GroundTurnActorsFile(0x3FD999999999999Aull, stagetest::kDamagedWidth)), zero);
    ::alarm(0);
}

// The play screen in each drawing mode against its golden frame (TOBRELK_UPDATE_GOLDENS=1
// writes them): the first demo stage with only its hero, a time limit and the status bar, after
// a few frames of play: background, blocks, items, the hero, the status bar and the time.
TEST_F(DemoPlay, PlayScreenGoldenFrames) {
    ASSERT_NO_FATAL_FAILURE(EditStage("data\\stg4\\Golden.stg4_001", [](cStage& st) {
        cVector<cEdChara> hero;
        for (const cEdChara& c : st.vChara)
            if (c.byOperation == 0) hero.push_back(c);
        st.vChara = hero;
        StageSettings::Set(st, eStage::TimeLimitOn, 1);
        StageSettings::Set(st, eStage::TimeLimit, 150);
    }));
    const struct {
        bool d3d;
        int bpp;
        const char* name;
    } modes[] = {{true, 32, "d3d32"}, {false, 32, "dd32"}, {false, 8, "dd8"}, {true, 16, "d3d16"}, {false, 16, "dd16"}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.name);
        playsim::cPlaySim sim;
        std::string error;
        ASSERT_TRUE(sim.Open({s_dir.string(), m.d3d, m.bpp}, error)) << error;
        ASSERT_TRUE(sim.StartStage("data\\stg4\\Golden.stg4_001", 1, error)) << error;
        for (int f = 0; f < 10; ++f) sim.Frame();
        std::vector<u32> frame;
        i32 w = 0, h = 0;
        DDSnapshotFrame(&frame, &w, &h);
        EXPECT_TRUE(MatchesGolden("play_screen_" + std::string(m.name), frame, w, h));
    }
}

namespace {

struct SHOTCOUNT {
    int hero = 0, enemy = 0, swords = 0;
};
SHOTCOUNT Count(cGameScene& s) {
    SHOTCOUNT n;
    s.ForEachShot([&](cShot& sh) {
        if (!sh.m_bIsShot) ++n.swords;
        else if (sh.m_nSide == 0) ++n.hero;
        else ++n.enemy;
    });
    return n;
}

// The gunner (side 1, 3 HP) or the boss (20 HP).
cStageChara* Enemy(cGameScene& s, u32 hp) {
    cStageChara* found = nullptr;
    s.ForEachChara([&](cStageChara& c) {
        if (c.m_nSide == 1 && c.m_Def.dwMaxHP == hp) found = &c;
    });
    return found;
}

// Puts the hero with its left edge at x and its feet at `bottom`, facing right, at rest.
void HeroAt(cGameScene& s, double x, double bottom) {
    cPlayer& p = *s.Player0();
    p.m_dX = x;
    p.m_dY = bottom - p.m_nBoxH + 1;
    p.m_dSpeedY = 0; // held in the air, it gathers no fall
    p.m_nDir = 1;
    p.UpdateEdgesX();
    p.UpdateEdgesY();
    p.OnMovedX();
    p.OnMovedY();
}

// Puts the hero `cells` blocks left of where a character stands (stood, once it is gone), at
// its feet's row, facing right; it stays put there whatever hits it.
struct HeroBeside {
    cObjHandle of;
    int cells = 0;
    double x = 0, bottom = 0;
    void operator()(cGameScene& s) {
        if (const cChara* c = of.Chara()) x = c->m_dX, bottom = c->m_dBottom;
        HeroAt(s, x - cells * 32, bottom);
    }
};

playsim::SIMKEYS Press(int button) { return playsim::SIMKEYS{0, static_cast<u16>(1u << (button - 1))}; }

class DemoShots : public DemoPlay {};

} // namespace

// The demo game's shots and swords played end to end: the hero's shot and sword on their buttons,
// the gunner firing at the hero once it comes near and bursting when the hero's shots bring it
// down, and the boss of the last stage, whose HP gauge falls as the hero's shots hit it, until
// the hero takes the goal and the stage clears through its screen wave.
TEST_F(DemoShots, GunnerBossGaugeAndClearEndToEnd) {
    playsim::cPlaySim sim;
    std::string error;
    ASSERT_TRUE(sim.Open({s_dir.string(), true, 32}, error)) << error;
    ASSERT_TRUE(sim.StartStage("data\\stg4\\Demo-2.stg4_001", 1, error)) << error;
    cGameScene& s = sim.Scene();
    cPlayer& hero = *s.Player0();
    const cObjHandle gunner = Enemy(s, 3);
    ASSERT_TRUE(gunner);

    // The shot button fires one shot ahead, which flies its 10 half blocks and goes.
    sim.Frame();
    sim.Frame(Press(kDemoShotButton));
    ASSERT_EQ(Count(s).hero, 1);
    const double x0 = s.m_lstShot[0].m_dX;
    sim.Frame();
    EXPECT_GT(s.m_lstShot[0].m_dX, x0);
    for (int f = 0; f < 30; ++f) sim.Frame();
    EXPECT_EQ(Count(s).hero, 0);
    // The sword button swings the sword in front of the hero for its two parts.
    sim.Frame(Press(kDemoSwordButton));
    ASSERT_EQ(Count(s).swords, 1);
    EXPECT_GT(s.m_lstShot[0].m_dX, hero.m_dRight);
    int swung = 0;
    while (Count(s).swords == 1 && swung < 100) sim.Frame(), ++swung;
    EXPECT_EQ(swung, 12);

    // Near the gunner, it fires at the hero and hits; the hero's shots bring it down, and it
    // bursts as it goes.
    HeroBeside nearGunner{gunner, 4};
    nearGunner(s);
    const i32 hp = hero.m_nHP;
    int enemyShots = 0;
    bool burst = false;
    for (int f = 0; f < 120; ++f) {
        sim.Frame(f % 8 == 0 ? Press(kDemoShotButton) : playsim::SIMKEYS{});
        enemyShots = std::max(enemyShots, Count(s).enemy);
        if (const cChara* c = gunner.Chara(); c && c->IsDying())
            burst = burst || (c->m_CharaEffect.IsRunning() && c->m_CharaEffect.Type() == 1); // 破裂
        nearGunner(s);
    }
    EXPECT_GE(enemyShots, 1);
    EXPECT_LT(hero.m_nHP, hp);
    EXPECT_TRUE(burst);
    EXPECT_FALSE(gunner);

    // The boss of the last stage fires spreads and bursts; each hit shows its HP gauge falling,
    // down to its defeat. The hero is kept alive meanwhile.
    ASSERT_TRUE(sim.StartStage("data\\stg4\\Demo-3.stg4_001", 1, error)) << error;
    cGameScene& s3 = sim.Scene();
    const cObjHandle boss = Enemy(s3, 20);
    ASSERT_TRUE(boss);
    EXPECT_EQ(boss.Chara()->m_nScale, 2);
    HeroBeside nearBoss{boss, 5};
    int most = 0, shown = 0, falls = 0;
    i32 bossHp = 20;
    for (int f = 0; f < 1200 && boss; ++f) {
        s3.Player0()->m_nHP = 10;
        nearBoss(s3);
        sim.Frame(f % 8 == 0 ? Press(kDemoShotButton) : playsim::SIMKEYS{});
        most = std::max(most, Count(s3).enemy);
        const cChara* b = boss.Chara();
        if (!b) break;
        shown += b->m_HpGauge.nFrames > 0;
        if (b->m_nHP < bossHp) {
            ++falls;
            EXPECT_LT(b->m_HpGauge.dDelta, 0);
            bossHp = b->m_nHP;
        }
    }
    EXPECT_GE(most, 8); // a burst is out
    EXPECT_EQ(bossHp, 0);
    EXPECT_EQ(falls, 20); // one per shot that hits
    EXPECT_GT(shown, 0);
    EXPECT_FALSE(boss);

    // The goal on the high ledge (its first command the wave): taking it waves the screen, then
    // the stage clears.
    const cItem* goal = nullptr;
    s3.ForEachItem([&](cItem& it) {
        if (!it.m_Def.vCmd.empty() && it.m_Def.vCmd[0].cmdSet == 1 && it.m_Def.vCmd[0].cmdKind == 16) goal = &it;
    });
    ASSERT_NE(goal, nullptr);
    HeroAt(s3, goal->m_dX, goal->m_dBottom);
    bool waved = false;
    for (int f = 0; f < 300 && s3.m_nState == 2; ++f) {
        sim.Frame();
        waved = waved || (s3.m_ScreenEffect.IsRunning() && s3.m_ScreenEffect.Type() == 6); // 波（横）
    }
    EXPECT_TRUE(waved);
    EXPECT_EQ(s3.m_nState, 4);
}

// Damaged data: shot definitions whose side lies outside the eight (the hero's shot 9, its
// sword -1, the gunners' shot 100). Each writes the side lists' bad-index line to the report
// the first time it makes a shot, and never again however often it fires, however many
// characters carry a copy of it (two gunners here). Their shots play on as side 0's, and the
// game is not closed.
TEST_F(DemoShots, AShotSideOutsideTheEightIsReportedOnceAndPlaysOn) {
    const std::string stage = "data\\stg4\\TwoGunners.stg4_001";
    auto edit = [](cStage& st) {
        for (const cEdChara& c : cVector<cEdChara>(st.vChara))
            if (c.sPosX == 22 && c.sPosY == 11) st.vChara.push_back(c), st.vChara.back().sPosX = 23;
        for (cEdChara& c : st.vChara)
            for (cFlow& f : c.vFlow)
                for (cFlowCmd& cmd : f.cmds) {
                    if (!cmd.shot) continue;
                    const i64 side = c.byOperation == 0 ? (cmd.cmdKind == CMD_SWORD ? -1 : 9) : 100;
                    ShotSettings::Set(*cmd.shot, eShot::TakeShooterSide, 0);
                    ShotSettings::Set(*cmd.shot, eShot::Side, side);
                }
    };
    ASSERT_NO_FATAL_FAILURE(EditStage(stage, edit, "data\\stg4\\Demo-2.stg4_001"));
    const fs::path report = s_dir / "bad_side_report.txt";
    fs::remove(report);
    playsim::cPlaySim sim;
    std::string error;
    ASSERT_TRUE(sim.Open({s_dir.string(), true, 32, report.string()}, error)) << error;
    ASSERT_TRUE(sim.StartStage(stage, 1, error)) << error;
    const u32 closes = CloseRequestCount();
    cGameScene& s = sim.Scene();
    // Frames with the buttons pressed on every `every`th; the sides of the shots made, by owner.
    std::string sides;
    std::vector<cObjHandle> seen;
    std::vector<const cChara*> owners;
    auto play = [&](int frames, int every, u16 buttons) {
        for (int f = 0; f < frames; ++f) {
            sim.Frame(playsim::SIMKEYS{0, f % every == 0 ? buttons : u16{0}});
            s.ForEachShot([&](cShot& sh) {
                if (std::find(seen.begin(), seen.end(), sh.Handle()) != seen.end()) return;
                seen.push_back(sh.Handle());
                const cChara* o = sh.m_Owner.Chara();
                if (std::find(owners.begin(), owners.end(), o) == owners.end()) owners.push_back(o);
                sides += std::to_string(sh.m_nSide);
            });
        }
    };
    sim.Frame();
    play(40, 10, Press(kDemoShotButton).buttons);
    play(40, 20, Press(kDemoSwordButton).buttons);
    EXPECT_EQ(sides, "000000");
    // Near the two gunners, which fire at the hero (kept alive) every two seconds.
    HeroBeside near{Enemy(s, 3), 4};
    for (int f = 0; f < 200; ++f) {
        near(s);
        s.Player0()->m_nHP = 10;
        play(1, 1, 0);
    }
    EXPECT_GE(sides.size(), 9u);
    EXPECT_EQ(sides.find_first_not_of('0'), std::string::npos);
    EXPECT_EQ(owners.size(), 3u) << "the hero and both gunners fired";
    EXPECT_TRUE(sim.Playing());
    EXPECT_EQ(CloseRequestCount(), closes);

    std::ifstream in(report);
    std::string line, errs;
    while (std::getline(in, line))
        if (const auto at = line.find("err "); at != std::string::npos)
            errs += line.substr(at, line.find('\r') - at) + "\n";
    EXPECT_EQ(errs, "err V[9] ( 8 , 12 )\nerr V[-1] ( 8 , 12 )\nerr V[100] ( 8 , 12 )\n");
}

// Demo-1 starts by the sign post, whose board a flow shows anew every frame while the hero
// stands near. Without the board's picture, a minute of play there reports it once, with the
// two lines of its first failed load; the game goes on looking for it, and a board put back
// shows at the next frame, with nothing more in the report.
TEST_F(DemoPlay, AMissingPictureShownEveryFrameIsReportedOnceAndShowsWhenPutBack) {
    const fs::path sign = s_dir / "bmp" / "picture" / "Sign.bmp";
    const fs::path aside = s_dir / "Sign.bmp.aside";
    fs::rename(sign, aside);
    struct PutBack {
        const fs::path &from, &to;
        ~PutBack() {
            std::error_code ec;
            if (fs::exists(from, ec)) fs::rename(from, to, ec);
        }
    } putBack{aside, sign};
    const fs::path report = s_dir / "missing_sign_report.txt";
    fs::remove(report);
    auto signLines = [&] {
        std::ifstream in(report);
        std::string line, lines;
        while (std::getline(in, line))
            if (line.find("Sign.bmp") != std::string::npos) lines += line.substr(0, line.find('\r')) + "\n";
        return lines;
    };
    playsim::cPlaySim sim;
    std::string error;
    ASSERT_TRUE(sim.Open({s_dir.string(), true, 32, report.string()}, error)) << error;
    ASSERT_TRUE(sim.StartStage("data\\stg4\\Demo-1.stg4_001", 1, error)) << error;
    for (int f = 0; f < 3600; ++f) sim.Frame();
    const std::string once = "LoadImage Err bmp\\picture\\Sign.bmp (cannot open the file)\n"
                             "bmp\\picture\\Sign.bmp 読み込み失敗！\n";
    EXPECT_EQ(signLines(), once);
    cGameScene& s = sim.Scene();
    EXPECT_TRUE(s.m_lstPicture.empty());

    fs::rename(aside, sign);
    sim.Frame();
    ASSERT_EQ(s.m_lstPicture.size(), 1u);
    EXPECT_NE(SurfacePixels(&s.m_vPictureSurface[s.m_lstPicture[0].nSurface]), nullptr);
    EXPECT_EQ(signLines(), once);
    EXPECT_TRUE(sim.Playing());
}
