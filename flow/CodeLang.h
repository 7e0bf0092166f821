#pragma once
// The code command's language: one assignment statement per command, such as
//     my.v1 = (C5 + rand(1, 6)) * 2
// Words are separated by blanks; "name." prefixes pick the character a status belongs to
// (my, tg, tg1-tg4, pl; sys for the play-wide values); C<n> and S<n> are the common and stage
// variables. "*", "/", "%" bind tighter than "+", "-", which bind tighter than "=".
// Arithmetic is 32-bit and wraps; every assignment is kept in its target's range.
//
// The language works on a host that owns the values: the play scene binds it to the running
// character, its targets, the player and the stage; tests bind it to plain values.
#include <span>
#include <string>

#include "platform/system/Random.h"

enum eCodeStatus {
    CODE_V1 = 0, // v1..v8: the character's variables 1..8
    CODE_HP = 8,
    CODE_SP,
    CODE_MHP,
    CODE_MSP,
    CODE_CID,
    CODE_Z,
    CODE_MARK,
    CODE_SIGHT,
    CODE_POWER,
    CODE_IMP,
    CODE_DEF,
    CODE_IMPD,
    CODE_STOP,
    CODE_GETSC,
    CODE_STATUS_COUNT
};

enum eCodeSys { CODE_TIME, CODE_SCRLX, CODE_SCRLY, CODE_SCORE, CODE_LIFE, CODE_SYS_COUNT };

// The objects a prefix names (g_CodeObjects order).
enum eCodeObject { CODE_MY, CODE_TG, CODE_TG1, CODE_TG2, CODE_TG3, CODE_TG4, CODE_PL, CODE_SYS, CODE_OBJECT_COUNT };

// A character as the host knows it; null when the prefix names nobody.
using CodeObj = void*;

class cCodeHost {
public:
    virtual ~cCodeHost() = default;
    // The character a prefix names (CODE_MY .. CODE_PL); CODE_MY is never null.
    virtual CodeObj Object(int object) = 0;
    // A status of a character (eCodeStatus), sign-extended; false when it has none. Writes
    // are already in the status's range; the host stores them in the field's width.
    virtual bool ReadStatus(CodeObj obj, int status, i32& value) = 0;
    virtual void WriteStatus(CodeObj obj, int status, i32 value) = 0;
    virtual std::span<i32> CommonVars() = 0;
    virtual std::span<i32> StageVars() = 0;
    // Play-wide values as stored (lives: 999999 when unlimited); setting a scroll speed
    // takes effect at once.
    virtual i32 SysValue(int sys) = 0;
    virtual void SetSysValue(int sys, i32 value) = 0;
    // The system data's unlimited-lives setting: unlimited lives read as 0 when set, else 100.
    virtual bool UnlimitedLivesReadZero() = 0;
    // A character other than the running one may have died: the play update checks.
    virtual void RequestDeathCheck() = 0;
    // A character's view range changed (the host acts only for the player).
    virtual void SightChanged(CodeObj obj, i32 sight) = 0;
    // The running character's HP / SP changed by the statement.
    virtual void StartHpGauge(i32 delta) = 0;
    virtual void StartSpGauge(i32 delta) = 0;
    // The play's random sequence (rand() in statements draws from it).
    virtual cCrtRandom& Random() = 0;
    // g_bCodeError: the error flag of the statement being run.
    virtual i32& CodeError() = 0;
};

// Runs one statement for the host's running character: 1 when it ran without error, else 0.
// Assignments made before an error keep their effect.
i32 ExecCodeText(const std::string& text, cCodeHost& host);
// Replaces every parenthesised group and function call by its value, then evaluates.
i32 CodeSubstFuncs(const std::string& text, cCodeHost& host);
// Evaluates a statement without parentheses.
i32 CodeEvalAssign(const std::string& text, cCodeHost& host);
