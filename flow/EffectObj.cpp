#include "flow/EffectObj.h"

#include "flow/FlowEngine.h"

void FlowObjDeleter::operator()(cEffectObj* p) const noexcept { delete p; }

i32 StepDrawEffectObj(cGameScene&, cEffectObj&, i32) { return 0; }

void AddHitEffect(cGameScene&, i16, const HITRECT&, const HITRECT&, i32) {}
