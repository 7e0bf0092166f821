#pragma once
// The firing machinery the shot and summon commands share: a volley's placement by shot kind
// and the making of each object it places.
#include "play/GameScene.h"
#include "play/shots/Shot.h"

// One command firing: the scene, the shooter (or summoner), its command run (null for a
// firing outside a flow), the definition and the command kind (11 shot, 13-15 summons).
struct SHOTCALL {
    cGameScene& scene;
    cChara& shooter;
    cCmdRun* run;
    const cEdShot& def;
    u8 cmdKind;
    i64 Get(eShot s) const { return ShotSettings::Get(def, s); }
};

inline i64 Sv(const cEdShot& def, eShot s) { return ShotSettings::Get(def, s); }

// The direction code a shooter fires in: facing-relative codes (0, 1, 4, 5) by its facing, 12
// by the direction held on the hero's keys (none: the facing); the others as they are.
i32 ResolveShotDirection(cGameScene& scene, const cChara& shooter, i32 code);
// Places one volley by the definition's shot kind (an unknown kind places nothing).
void RunShotKind(const SHOTCALL& c, SHOTSPEC& spec);
// The firing angle (degrees) from (x, y) toward the shooter's target in the definition's target
// slot; false, angle unchanged, when the slot is empty. When the target rides the auto-scroll
// and the shot does not, the angle leads the target and spec's speed becomes that motion's.
bool AimAngleAt(const SHOTCALL& c, double x, double y, SHOTSPEC& spec, double& angle);
// Makes the object of one placement: a shot (entered in its target's and its owner's lists), or
// for the summon commands the summoned block, character or item.
void SpawnFromCommand(const SHOTCALL& c, const SHOTSPEC& spec);
// A sword's rows of the sword types: the row of its parts (size, placement, frame times) and
// the row of its pictures; -1 when none is valid (no sword is made; no graphic is drawn).
i32 SwordFormRow(const cEdShot& def);
i32 SwordGraphicRow(const cEdShot& def);
// The summon branches of SpawnFromCommand (Summon.cpp).
void SpawnSummon(const SHOTCALL& c, const SHOTSPEC& spec);
