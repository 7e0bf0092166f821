#include "flow/CmdList.h"

#include <algorithm>

#include "flow/CmdParams.h"

cCmdList::cCmdList(cVector<cFlowCmd> cmds) : m_vCmd(std::move(cmds)) {
    m_vAt.resize(m_vCmd.size());
    for (std::size_t k = 0; k < m_vAt.size(); ++k) m_vAt.data()[k] = static_cast<u32>(k);
}

cFlowCmd& cCmdList::Own(long long k) {
    u32& at = m_vAt[k];
    const std::size_t given = m_vCmd.size();
    if (at >= given) return m_dOwn[at - given];
    m_dOwn.push_back(m_vCmd.data()[at]);
    at = static_cast<u32>(given + m_dOwn.size() - 1);
    return m_dOwn.back();
}

int cCmdList::ExpandFirstLoop(i64& kept, i64 bound) {
    i64 at = -1;
    for (std::size_t i = 0; i < m_vAt.size(); ++i) {
        if (IsLoopCmd(At(m_vAt.data()[i]))) {
            at = static_cast<i64>(i);
            break;
        }
    }
    if (at < 0) return 0;
    const cFlowCmd& loop = At(m_vAt[at]);
    const i64 count = loop.params.Size() > 0 ? static_cast<i32>(loop.params[0]) : 0;
    i64 n = loop.params.Size() > 1 ? static_cast<i32>(loop.params[1]) : 0;
    const i64 size = m_vAt.Size();
    if (at + n >= size) n = size - at - 1;

    i64 copies = n > 0 && count > 1 ? count - 1 : 0;
    if (copies > 0) {
        // Every run adds n entries; the list stays within its bound.
        const i64 room = (bound - size) / n;
        if (copies > room) {
            copies = room > 0 ? room : 0;
            kept = copies + 1;
        }
    }
    if (copies == 0) {
        m_vAt.erase(m_vAt.begin() + at);
        return 1;
    }
    // Before the loop's place, the extra runs of the body, then the body itself and the rest.
    cVector<u32> out;
    out.reserve(static_cast<std::size_t>(size - 1 + copies * n));
    out.insert(out.end(), m_vAt.begin(), m_vAt.begin() + at);
    for (i64 c = 0; c < copies; ++c) out.insert(out.end(), m_vAt.begin() + at + 1, m_vAt.begin() + at + 1 + n);
    out.insert(out.end(), m_vAt.begin() + at + 1, m_vAt.end());
    m_vAt = std::move(out);
    return 1;
}

i64 cCmdList::ExpandLoops(i64 bound) {
    i64 kept = 0;
    while (kept == 0 && ExpandFirstLoop(kept, bound)) {
    }
    // Once the bound is reached the remaining loops add nothing more.
    if (kept > 0) std::erase_if(m_vAt, [this](u32 at) { return IsLoopCmd(At(at)); });
    return kept;
}

cVector<cFlowCmd> cCmdList::Copies() const {
    cVector<cFlowCmd> out;
    out.reserve(m_vAt.size());
    for (std::size_t k = 0; k < m_vAt.size(); ++k) out.push_back((*this)[static_cast<long long>(k)]);
    return out;
}
