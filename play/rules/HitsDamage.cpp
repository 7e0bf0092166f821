// The timers that follow a hit: invincibility and the recent attackers.
#include <algorithm>

#include "play/rules/Hits.h"

void cChara::TickTimers() {
    if (m_nInvincible > 0) --m_nInvincible;
    // The count sits in the line the step-start walks read anyway; the list's own line is read
    // only when it holds something.
    if (m_nHitByCount == 0) return;
    for (HITBY& h : m_vHitBy) --h.nSteps;
    std::erase_if(m_vHitBy, [](const HITBY& h) { return h.nSteps < 1; });
    m_nHitByCount = static_cast<u32>(m_vHitBy.size());
}
