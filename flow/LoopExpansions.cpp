// The expanded command lists of a stage's flows, made once per distinct list and shared (lists
// without loops as well).
//
// Every character set up from a definition (and every flow an item or a command hands over)
// used to copy and expand its loops afresh: a stage whose loop reaches the list's bound then
// held a full copy per character and wrote its report line at every set-up. The lists are
// keyed by the bytes of the commands before expansion, so characters of one definition, and
// copies of one definition, share one list.
//
// A bound per list alone let a stage of many looping definitions ask for gigabytes: each list
// up to its bound, and each character that stepped one kept a command run's state per entry.
// The stage's lists are bounded together as well, each counted with a command run's state per
// entry (all that one character running through it could hold; characters now hold the states
// of what they run, play/objects/CmdRuns.h, bounded on their own). A bound on them once counted
// commands and sat so low (50,000) that stored games' loops were cut; this one counts bytes and
// sits far above what they make.
#include <algorithm>

#include "flow/FlowEngine.h"
#include "platform/system/Report.h"
#include "records/RecordStream.h"

namespace {

bool HasLoop(const cVector<cFlowCmd>& cmds) {
    for (const cFlowCmd& c : cmds)
        if (IsLoopCmd(c)) return true;
    return false;
}

// Writing a list checks its parameters: true when that changed none of them (a list loaded from
// a stage was checked as it loaded), so the written copy runs exactly as the given list would.
// A command with flows or conditions of its own is never taken for unchanged.
bool WrittenAsGiven(const cVector<cFlowCmd>& given, const cVector<cFlowCmd>& written) {
    if (given.size() != written.size()) return false;
    for (std::size_t k = 0; k < given.size(); ++k) {
        const cFlowCmd& a = given[static_cast<long long>(k)];
        const cFlowCmd& b = written[static_cast<long long>(k)];
        if (!a.flows.empty() || a.condList || a.params != b.params || a.sound != b.sound || a.anime != b.anime)
            return false;
        if (a.shot && (!b.shot || a.shot->bySize != b.shot->bySize || a.shot->wEffect != b.shot->wEffect)) return false;
    }
    return true;
}

} // namespace

std::shared_ptr<cCmdList> cLoopExpansions::Expand(const cVector<cFlowCmd>& given, eStepper stepper) {
    // The key is the list as a save writes it; writing checks the parameters of the copy, as
    // loading a stage did already, so the key and the list expanded below are the same commands.
    cVector<cFlowCmd> cmds = given;
    cRecordWriter key;
    WriteFlowCmdList(cmds, key);
    if (!HasLoop(given)) {
        // A list without a loop is shared too: thousands of characters of one definition then
        // step one copy of its commands rather than one each, spread over memory.
        if (!WrittenAsGiven(given, cmds)) return std::make_shared<cCmdList>(given);
        auto plain = m_mapPlain.find(key.Bytes());
        if (plain != m_mapPlain.end()) return plain->second;
        auto list = std::make_shared<cCmdList>(std::move(cmds));
        m_mapPlain.emplace(key.Take(), list);
        return list;
    }
    auto found = m_map.find(key.Bytes());
    if (found != m_map.end()) return found->second;

    const i64 entryBytes =
        static_cast<i64>(sizeof(u32) + (stepper == eStepper::Chara ? sizeof(cCmdRun) : 0));
    const i64 commandBytes = static_cast<i64>(given.size() * sizeof(cFlowCmd));
    // The entries that the stage's lists leave room for, counted before the list grows.
    const i64 room = std::max<i64>(m_nStageBytes - m_nHeldBytes - commandBytes, 0) / entryBytes;
    const i64 bound = std::min(m_nListBound, room);
    auto list = std::make_shared<cCmdList>(std::move(cmds));
    if (const i64 kept = list->ExpandLoops(bound)) {
        if (bound < m_nListBound)
            WriteReport("ループの展開で命令が合わせて %lld MB を超えるため、繰り返しを %lld 回に減らしました。",
                        static_cast<long long>(m_nStageBytes >> 20), static_cast<long long>(kept));
        else
            ReportLoopCut(kept, m_nListBound);
    }
    m_nHeld += list->Size();
    m_nHeldBytes += commandBytes + list->Size() * entryBytes;
    m_map.emplace(key.Take(), list);
    return list;
}

void cLoopExpansions::ForStage(const std::string& stage) {
    if (stage == m_strStage) return;
    Clear();
    m_strStage = stage;
}

void cLoopExpansions::Clear() {
    // The runs of the stage before count on the old tally until they go.
    m_pRunStates = NewRunStates(m_pRunStates->bound);
    m_map.clear();
    m_mapPlain.clear();
    m_nHeld = 0;
    m_nHeldBytes = 0;
}
