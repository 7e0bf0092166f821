#pragma once
// Rule tests: a play scene from the fixture whose player and stage characters the test sets up
// and steps itself, in the order the play update runs the rules, with a one-line trace per step.
#include <functional>
#include <string>

#include "tests/play/PlayFixture.h"

namespace rulestest {

using EditChara = std::function<void(cEdChara&)>;

// A headless play of a stage (by default 20 x 15 cells, the floor on row 14) in its play state.
struct RulePlay {
    explicit RulePlay(cStage st = playtest::MakeStage(20, 15));
    playtest::PlayFixture fixture;
    cGameScene& s;
};

// A flow of a trigger whose one command (a status operation that changes nothing) keeps it
// running for its step: a started run shows as running.
cFlow WaitingFlow(u8 trigger);

// The player set up from a hero definition (edit changes it first) at a stage cell.
cPlayer& SetUpPlayer(cGameScene& s, i32 cellX, i32 cellY, const EditChara& edit = {});
// A stage character set up from a definition at a stage cell, in the scene's list.
cStageChara& AddStageChara(cGameScene& s, i32 cellX, i32 cellY, const EditChara& edit = {});

// One play step of the player as the update runs it: timers, contacts and saved position, its
// update, then the motion. 0, or the number of the death it met ("Dead 1" to "Dead 6": 1-6).
// duringUpdate runs after the update, where the player's commands run.
i32 PlayerStep(cGameScene& s, cPlayer& p, const std::function<void()>& duringUpdate = {});
// One play step of a stage character: its update and motion; 0, 4 or 8 (removed), 7 (crushed).
i32 CharaStep(cGameScene& s, cStageChara& c);

// A number with up to three decimals, trailing zeros dropped.
std::string Num(double v);
// "x,y vx,vy [LRTB] floor" of a character.
std::string State(const cChara& c);

} // namespace rulestest
