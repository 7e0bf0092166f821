#pragma once
// The busy stage of the play benchmarks: 300 patrollers (bench/play/PatrolStage.h), twenty of
// them brought into the view ahead of the hero, 20 dots apart on its row, and 200 shots among
// them; with effects, the twenty drawn through the demo's burst and the screen through its clear
// wave, both looping.
//
// Left alone the scene empties: the patrollers walk out of the view within a few hundred frames,
// and the shots leave it within a few thousand (the weaving ones drift out after some 4,700
// frames, the homing ones stop homing after some 8,000 and fly off), all the shots of one firing
// in the same frame. A benchmark plays more frames than that. So between two timed frames (never
// inside one) Restore puts back the twenty that are no longer wholly in view, restarts an effect
// that ended, takes out a shot that has been in play for kShotFrames frames (the oldest, one a
// frame: those fired together go one after the other) and fires shots again up to 200, each
// from one of the twenty far enough inside the view for the shot to start in it: every timed
// frame plays and draws what the benchmark's name says.
#include <algorithm>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/play/PatrolStage.h"
#include "database/Database.h"
#include "play/GameScene.h"
#include "play/shots/ShotCommands.h"
#include "records/EdSettings.h"
#include "tools/PlaySim.h"

namespace bench_play {

constexpr int kBusyCharas = 300;
constexpr int kBusyInView = 20;
constexpr int kBusyShots = 200;
constexpr const char* kBusyStageFile = "data\\stg4\\Busy.stg4_001";
// Frames a shot plays before it is fired anew: well within the frames its kind lives.
constexpr int kShotFrames = 1000;

// What a frame shows of the scene.
struct BusyView {
    int charas = 0;   // of the twenty, those on the screen
    int effects = 0;  // characters on the screen drawn through an effect
    int shots = 0;    // live shots
    bool screenEffect = false;
};

// What a frame lost of the scene the busy stage's name promises ("" when nothing): every one
// of the twenty on the screen, nearly all the shots (a homing shot that reaches the hero in the
// frame goes), and with effects the twenty drawn through theirs and the screen effect running.
inline std::string BusyViewShortfall(const BusyView& v, bool withEffects) {
    std::string lost;
    auto add = [&](const std::string& what) { lost += (lost.empty() ? "a timed frame showed " : ", ") + what; };
    if (v.charas < kBusyInView) add(std::to_string(v.charas) + " of the " + std::to_string(kBusyInView) + " characters");
    if (v.shots < kBusyShots * 9 / 10) add(std::to_string(v.shots) + " shots");
    if (withEffects && v.effects < kBusyInView) add(std::to_string(v.effects) + " character effects");
    if (withEffects && !v.screenEffect) add("no screen effect");
    return lost;
}

class cBusyStage {
public:
    // Plays the busy stage (written by WritePatrolStage into the game folder) up to its first
    // frame with the scene set. False with a reason.
    bool Start(const std::filesystem::path& game, bool withEffects, std::string& error) {
        m_bEffects = withEffects;
        if (!m_sim.Open({game.string(), true, 32}, error) || !m_sim.StartStage(kBusyStageFile, 1, error)) return false;
        cGameScene& s = m_sim.Scene();
        const cPlayer* hero = s.Player0();
        if (!hero) {
            error = "no hero";
            return false;
        }
        m_nBurst = FirstOfKind(g_Database.m_vCharaEffect);
        m_nWave = FirstOfKind(g_Database.m_vScrEffect);
        s.ForEachChara([&](cStageChara& c) {
            if (static_cast<int>(m_vShown.size()) == kBusyInView) return;
            const int i = static_cast<int>(m_vShown.size());
            m_vShown.push_back({c.m_nId, hero->m_dX + 64 + 20 * i, hero->m_dBottom + 1 - c.m_nBoxH});
            PutHome(c, m_vShown.back());
            if (withEffects) c.m_CharaEffect.Set(m_nBurst, 0, 1);
        });
        if (withEffects) s.m_ScreenEffect.Set(m_nWave, 0, 1);
        if (cPlayer* p = s.Player0()) p->m_nHP = 999999;
        m_sim.Frame({});
        FireShots();
        return true;
    }

    // One frame as the game plays it (the benchmarks' timed work).
    void Frame() { PlayFrame(m_sim); }

    // Between frames: the scene as it was set (see the top of this file).
    void Restore() {
        ++m_nFrames;
        cGameScene& s = m_sim.Scene();
        s.ForEachChara([&](cStageChara& c) {
            const Home* h = HomeOf(c.m_nId);
            if (!h) return;
            if (!WhollyInView(s, c)) PutHome(c, *h);
            if (m_bEffects && !c.m_CharaEffect.IsRunning()) c.m_CharaEffect.Set(m_nBurst, 0, 1);
        });
        if (m_bEffects && !s.m_ScreenEffect.IsRunning()) s.m_ScreenEffect.Set(m_nWave, 0, 1);
        RetireOldestShot();
        FireShots();
    }

    BusyView View() {
        BusyView v;
        cGameScene& s = m_sim.Scene();
        s.ForEachChara([&](cStageChara& c) {
            const bool on = c.IsOnScreen() != 0;
            v.charas += on && HomeOf(c.m_nId) ? 1 : 0;
            v.effects += on && c.m_CharaEffect.IsRunning() ? 1 : 0;
        });
        v.shots = static_cast<int>(s.m_lstShot.LiveCount());
        v.screenEffect = s.m_ScreenEffect.IsRunning();
        return v;
    }

    cGameScene& Scene() { return m_sim.Scene(); }
    bool WithEffects() const { return m_bEffects; }

private:
    struct Home {
        u32 id;
        double x, y;
    };
    struct Fired {
        cObjHandle shot;
        int frame; // the frames played when it was fired
    };

    template <class List>
    static int FirstOfKind(const List& list) {
        for (int i = 1; i < static_cast<int>(list.size()); ++i)
            if (list[static_cast<std::size_t>(i)].nEffectType != 0) return i;
        return 0;
    }

    const Home* HomeOf(u32 id) const {
        for (const Home& h : m_vShown)
            if (h.id == id) return &h;
        return nullptr;
    }

    static void PutHome(cStageChara& c, const Home& h) {
        c.m_dX = h.x;
        c.m_dY = h.y;
        c.UpdateEdgesX(), c.UpdateEdgesY(), c.OnMovedX(), c.OnMovedY();
    }

    // Its box inside the view: a character at the view's edge walks out of it in the next frame.
    static bool WhollyInView(const cGameScene& s, const cStageChara& c) {
        const double x = c.m_dX - s.m_ScrollX.m_dPos, right = c.m_dRight - s.m_ScrollX.m_dPos;
        const double y = c.m_dY - s.m_ScrollY.m_dPos, bottom = c.m_dBottom - s.m_ScrollY.m_dPos;
        return x >= 0 && right < 640 && y >= 0 && bottom < 480;
    }

    // Its box a shot's width and more inside the view on either side: the shot starts beside it.
    static bool RoomToShoot(const cGameScene& s, const cStageChara& c) {
        constexpr double kRoom = 64;
        const double x = c.m_dX - s.m_ScrollX.m_dPos, right = c.m_dRight - s.m_ScrollX.m_dPos;
        return WhollyInView(s, c) && x >= kRoom && right < 640 - kRoom;
    }

    // The oldest shot, once it has played kShotFrames frames, taken out for FireShots to fire
    // anew (the shots gone already are forgotten).
    void RetireOldestShot() {
        cGameScene& s = m_sim.Scene();
        std::erase_if(m_Fired, [](const Fired& f) { return !f.shot.Shot(); });
        if (m_Fired.empty() || m_nFrames - m_Fired.front().frame < kShotFrames) return;
        s.EraseShot(*m_Fired.front().shot.Shot());
        m_Fired.pop_front();
        s.Sweep();
    }

    // Shots up to 200: half weave on their spot (a wave without speed), half home on the hero,
    // fired by those of the twenty whose shot starts in the view, whichever way they face (a shot
    // off the view leaves it in its first frame, by the stage's areas).
    void FireShots() {
        cGameScene& s = m_sim.Scene();
        std::vector<cStageChara*> shooters;
        s.ForEachChara([&](cStageChara& c) {
            if (HomeOf(c.m_nId) && RoomToShoot(s, c)) shooters.push_back(&c);
        });
        cCmdRun run;
        for (int live = static_cast<int>(s.m_lstShot.LiveCount()); live < kBusyShots && !shooters.empty(); ++live) {
            cEdShot def;
            def.Clear();
            ShotSettings::Set(def, eShot::ShotsPerVolley, 1);
            ShotSettings::Set(def, eShot::Scale, 1);
            ShotSettings::Set(def, eShot::TakeShooterSide, 1);
            ShotSettings::Set(def, eShot::Picture, m_nFired % 30);
            ShotSettings::Set(def, eShot::Power, 1);
            ShotSettings::Set(def, eShot::PierceBlocks, 1);
            if (m_nFired % 2 == 0) {
                ShotSettings::Set(def, eShot::AimMode, 8);
                ShotSettings::Set(def, eShot::AimParam1, 1);
                ShotSettings::Set(def, eShot::AimParam2, 10);
            } else {
                ShotSettings::Set(def, eShot::AimMode, 4);
                ShotSettings::Set(def, eShot::AimParam2, 999);
                ShotSettings::Set(def, eShot::Speed, 20);
            }
            const int before = s.m_lstShot.Size();
            FireShot(s, *shooters[static_cast<std::size_t>(m_nFired) % shooters.size()], run, def);
            if (s.m_lstShot.Size() > before) m_Fired.push_back({s.m_lstShot.Live(s.m_lstShot.Size() - 1), m_nFrames});
            ++m_nFired;
        }
    }

    playsim::cPlaySim m_sim;
    std::vector<Home> m_vShown;
    // The shots fired, oldest first.
    std::deque<Fired> m_Fired;
    int m_nBurst = 0, m_nWave = 0, m_nFired = 0, m_nFrames = 0;
    bool m_bEffects = false;
};

} // namespace bench_play
