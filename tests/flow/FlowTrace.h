#pragma once
// A flow fixture: characters with hand-made flows in a headless play scene, stepped frame by
// frame the way the play update steps them (marks reset, trigger 0 scanned, the flow pass, the
// letters cleaned up), with a printed trace of every frame.
//
// Commands are status operations that add 1 to character variable k, so each frame's trace
// shows which commands executed. Per flow: its state (- idle, R running, P paused, S stopped
// for good), then per command '.' not started, the frames it has left, or '*' done; then the
// variables that executed this frame and the ID letters held.
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "flow/FlowEngine.h"
#include "play/GameScene.h"
#include "tests/play/PlayFixture.h"

namespace flowtest {

// A command that adds 1 to character variable `var` (a status operation), of duration frames.
cFlowCmd AddCmd(i32 var, bool chain = false);
cFlow MakeFlow(u8 trigger, std::vector<cFlowCmd> cmds, u8 letter = 0, u8 id = 0);
// A command of this kind, its parameters sized to the kind's, the first ones set.
cFlowCmd Cmd(u8 kind, std::initializer_list<i64> params = {});
// A condition of a kind with its comparison, right-hand value and index.
cCond Cond(u8 kind, u8 op, i32 value, i16 index = 0);

// A stage character placed for play at a cell, flying (so that nothing falls), with these flows.
cEdChara PlacedFlyer(i16 x, i16 y, std::vector<cFlow> flows, const std::function<void(cEdChara&)>& edit = {});

// A headless play of a 40 x 15 stage in its play state, with its hero.
struct HeroPlay {
    explicit HeroPlay(playtest::PLAYOPTIONS options = {}, const cStage& st = playtest::MakeStage(40, 15));
    playtest::PlayFixture play;
    cGameScene& s;
    cPlayer& hero;
};

class FlowFixture {
public:
    FlowFixture();
    cGameScene& Scene() { return m_play->Scene(); }
    // A stage character with these flows; durations of the commands set to `duration` frames.
    cStageChara& AddChara(std::vector<cFlow> flows, i32 duration = 2);
    // Sets the duration of every command run of c.
    static void SetDurations(cChara& c, i32 duration);
    // One frame of the flow engine for every character added; appends a trace line.
    void Frame();
    void Frames(int n);
    // A line of the trace: the label and the state of every added character's flows.
    void Note(const std::string& label);
    std::string Line(const std::string& label);
    // Appends a line as it is.
    void Raw(const std::string& line) { m_trace.append(line).append("\n"); }
    const std::string& Trace() const { return m_trace; }
    std::vector<cStageChara*> m_chara;

private:
    std::unique_ptr<playtest::PlayFixture> m_play;
    std::string m_trace;
    int m_frame = 0;
    std::vector<std::vector<i32>> m_lastVars;
};

} // namespace flowtest
