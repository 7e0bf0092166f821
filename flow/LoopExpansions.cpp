// The expanded command lists of a stage's flows, made once per distinct list and shared.
//
// Every character set up from a definition (and every flow an item or a command hands over)
// used to copy and expand its loops afresh: a stage whose loop reaches the list's bound then
// held a full copy per character and wrote its report line at every set-up. The lists are
// keyed by the bytes of the commands before expansion, so characters of one definition, and
// copies of one definition, share one list.
#include "flow/FlowEngine.h"
#include "platform/system/Report.h"
#include "records/RecordStream.h"

namespace {

bool HasLoop(const cVector<cFlowCmd>& cmds) {
    for (const cFlowCmd& c : cmds)
        if (IsLoopCmd(c)) return true;
    return false;
}

} // namespace

std::shared_ptr<cVector<cFlowCmd>> cLoopExpansions::Expand(const cVector<cFlowCmd>& given) {
    // A list without a loop is the owner's own, as it was.
    if (!HasLoop(given)) return std::make_shared<cVector<cFlowCmd>>(given);
    // The key is the list as a save writes it; writing checks the parameters of the copy, as
    // loading a stage did already, so the key and the list expanded below are the same commands.
    cVector<cFlowCmd> cmds = given;
    cRecordWriter key;
    WriteFlowCmdList(cmds, key);
    auto found = m_map.find(key.Bytes());
    if (found != m_map.end()) return found->second;

    const i64 kept = ExpandLoopCmdsQuiet(cmds, m_nListBound);
    if (kept > 0) ReportLoopCut(kept, m_nListBound);
    auto list = std::make_shared<cVector<cFlowCmd>>(std::move(cmds));
    m_nHeld += list->Size();
    m_map.emplace(key.Take(), list);
    return list;
}

void cLoopExpansions::ForStage(const std::string& stage) {
    if (stage == m_strStage) return;
    Clear();
    m_strStage = stage;
}

void cLoopExpansions::Clear() {
    m_map.clear();
    m_nHeld = 0;
}
