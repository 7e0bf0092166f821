// Status operations and knock-back.
#include "flow/FlowEngine.h"
#include "play/objects/Chara.h"

i32 AddHp(cChara&, i32, i32, i32) { return 0; }

i32 AddSp(cChara&, i32, i32) { return 0; }

void ApplyImpact(cChara&, i8, double, double) {}

void ApplyImpactFromChara(cChara&, cChara&) {}

void ApplyImpactFromShot(cChara&, cShot&) {}
