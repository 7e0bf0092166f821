#include "play/objects/StageChara.h"

cStageChara::cStageChara() = default;
cStageChara::~cStageChara() = default;

void cStageChara::Assign(const cChara& src) { cChara::Assign(src); }

// The stage character's boxes, motion and update rules live with the rules.
i32 cStageChara::ScaleBoxes(i32 scale) {
    m_rcBody.Scale(scale);
    m_rcDamage.Scale(scale);
    return 0;
}

void cStageChara::UpdateBoxesX() {
    const i32 x = Trunc32(m_dX);
    m_rcBody.UpdateX(x);
    m_rcDamage.UpdateX(x);
}

void cStageChara::UpdateBoxesY() {
    const i32 y = Trunc32(m_dY);
    m_rcBody.UpdateY(y);
    m_rcDamage.UpdateY(y);
}

i32 cStageChara::OnMovedX() { return 0; }
i32 cStageChara::OnMovedY() { return 0; }
i32 cStageChara::StepX() { return 0; }
i32 cStageChara::StepY() { return 0; }
i32 cStageChara::Update(i32) { return 0; }
void cStageChara::Jump(cCmdRun&) {}
