#include "play/objects/Player.h"

cPlayer::cPlayer() = default;
cPlayer::~cPlayer() = default;

i32 cPlayer::ScaleBoxes(i32 scale) {
    m_rcBody.Scale(scale);
    m_rcDamage.Scale(scale);
    m_rcPickup.Scale(scale);
    return 0;
}

void cPlayer::UpdateBoxesX() {
    const i32 x = Trunc32(m_dX);
    m_rcBody.UpdateX(x);
    m_rcDamage.UpdateX(x);
    m_rcPickup.UpdateX(x);
}

void cPlayer::UpdateBoxesY() {
    const i32 y = Trunc32(m_dY);
    m_rcBody.UpdateY(y);
    m_rcDamage.UpdateY(y);
    m_rcPickup.UpdateY(y);
}

void cPlayer::Assign(const cChara& src) { cChara::Assign(src); }

// The player's motion and update rules (camera follow, steps, jump) live with the rules.
i32 cPlayer::OnMovedX() { return 0; }
i32 cPlayer::OnMovedY() { return 0; }
i32 cPlayer::StepX() { return 0; }
i32 cPlayer::StepY() { return 0; }
i32 cPlayer::Update(i32) { return 0; }
void cPlayer::Jump(cCmdRun&) {}
