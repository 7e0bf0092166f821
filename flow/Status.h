#pragma once
// Reading character and system statuses by selector, shared by the status conditions and the
// status operation.
#include "flow/FlowEngine.h"

class cGameScene;

// A status value with the width of the field it lives in (8, 16 or 32 bits).
struct STATUSVALUE {
    i64 value = 0;
    i32 width = 32;
};

// The character a subject names: 0 self, 1-4 the object in target slot 1-4 (when it is a
// character); null for an empty slot or another value.
cChara* SubjectChara(cChara& self, i32 subject);
// Character status `selector` (kCharaVarDesc order; varIndex for the character variable):
// false for a selector past the table or a variable index past the list.
bool ReadCharaStatus(const cChara& c, i32 selector, i32 varIndex, STATUSVALUE& out);
// System value `selector` (kSysVarDesc order): the remaining time (0 while it is stopped),
// the two auto-scroll speeds, the score and the lives. Unlimited lives read as 0 when the
// system switch is set, else as 100; asked for a comparison (asSource false) with the switch
// set, there is no value (false).
bool ReadSystemStatus(cGameScene& scene, i32 selector, bool asSource, STATUSVALUE& out);
i32 StatusMaxHp(const cChara& c);
// The gauge shown under a character whose HP (SP) changed by delta; nothing for 0.
void StartHpGauge(cChara& c, i32 delta);
void StartSpGauge(cChara& c, i32 delta);
i32 StatusMaxSp(const cChara& c);
