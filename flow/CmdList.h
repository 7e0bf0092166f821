#pragma once
// A command list as a flow run or an item steps it: its loops expanded, every run of a loop's
// body naming the commands it repeats instead of holding copies of them.
//
// A copy per run cost a whole command (its parameters, movement, shot and condition list: some
// 460 bytes) for every command run, so a loop of a million command runs took some 460 MB. The
// list keeps the commands it was given once and one entry per command run. Entries that name
// the same command share it, as characters of one definition share the list: nothing changes a
// command of a list that others step (an arrange override changes a command run's own copy, or
// an entry that the list's owner made its own, Own).
#include <cstddef>
#include <deque>

#include "records/FlowCmd.h"

class cCmdList {
public:
    cCmdList() = default;
    // The commands as given, one entry each (loops not expanded yet).
    explicit cCmdList(cVector<cFlowCmd> cmds);

    int Size() const { return m_vAt.Size(); }
    std::size_t size() const { return m_vAt.size(); }
    bool empty() const { return m_vAt.empty(); }
    // The command of entry k (a bad index is reported as every container's is).
    cFlowCmd& operator[](long long k) { return At(m_vAt[k]); }
    const cFlowCmd& operator[](long long k) const { return At(m_vAt[k]); }
    // The commands held, each once, whatever the entries that name them.
    int Commands() const { return m_vCmd.Size() + static_cast<int>(m_dOwn.size()); }

    // Entry k's command as its own, which no other entry names (copied the first time), for an
    // override to change in place. Commands made so stay where they are while the list lives.
    cFlowCmd& Own(long long k);

    // One loop expansion: the first loop's body named count - 1 more times right after it, the
    // loop's entry removed; 1, or 0 when no loop is left. The list never grows past bound
    // entries: when that cuts the runs short, kept is set to the runs the loop keeps.
    int ExpandFirstLoop(i64& kept, i64 bound);
    // Expands until no loop is left; once the bound cuts a loop short, the loops still left are
    // removed without their bodies repeated. 0, or the runs kept by the loop that was cut.
    i64 ExpandLoops(i64 bound);

    // The entries as a command list, one full copy per entry.
    cVector<cFlowCmd> Copies() const;

private:
    cFlowCmd& At(u32 at) {
        const std::size_t given = m_vCmd.size();
        return at < given ? m_vCmd.data()[at] : m_dOwn[at - given];
    }
    const cFlowCmd& At(u32 at) const {
        const std::size_t given = m_vCmd.size();
        return at < given ? m_vCmd.data()[at] : m_dOwn[at - given];
    }

    cVector<cFlowCmd> m_vCmd;   // the commands given
    std::deque<cFlowCmd> m_dOwn; // entries' own commands (a deque: made ones never move)
    cVector<u32> m_vAt;         // per entry, its command: m_vCmd's index, then m_dOwn's
};
