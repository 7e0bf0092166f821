// The expanded command lists of a stage's flows, made once per distinct list and shared.
//
// Every character set up from a definition (and every flow an item or a command hands over)
// used to copy and expand its loops afresh: a stage whose loop reaches the list's bound then
// held a 10,000-command copy per character and wrote its report line at every set-up. The
// lists are keyed by the bytes of the commands before expansion, so characters of one
// definition, and copies of one definition, share one list.
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
    cVector<cFlowCmd> cmds = given;
    cRecordWriter key;
    WriteFlowCmdList(cmds, key);
    auto found = m_map.find(key.Bytes());
    if (found != m_map.end()) return found->second;

    if (m_nHeld >= kBudget) {
        // The stage's lists already hold their budget: the loops run their bodies once.
        if (!m_bBudgetReported) {
            m_bBudgetReported = true;
            WriteReport("ループの展開で命令が合わせて %lld 個を超えるため、以降のループは 1 回ずつ実行します。",
                        static_cast<long long>(kBudget));
        }
        std::erase_if(cmds, [](const cFlowCmd& c) { return IsLoopCmd(c); });
        return std::make_shared<cVector<cFlowCmd>>(std::move(cmds));
    }
    const i64 kept = ExpandLoopCmdsQuiet(cmds);
    if (kept > 0)
        WriteReport("ループの展開で命令が %d 個を超えるため、繰り返しを %lld 回に減らしました。", kMaxExpandedCmds,
                    static_cast<long long>(kept));
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
    m_bBudgetReported = false;
}
