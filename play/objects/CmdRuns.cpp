#include "play/objects/CmdRuns.h"

#include <algorithm>
#include <stdexcept>

#include "platform/system/Report.h"

cCmdRuns::cCmdRuns(const cCmdRuns& other) : m_nCount(other.m_nCount), m_nDone(other.m_nDone), m_vHead(other.m_vHead) {
    // A copy's commands execute in no one: it starts without a hold.
    if (other.m_pPast) {
        m_pPast = std::make_unique<PAST>(*other.m_pPast);
        m_pPast->lastKey = -1;
        m_pPast->last = nullptr;
        AddHeld(static_cast<i64>(m_pPast->made.size()));
    }
}

cCmdRuns::cCmdRuns(cCmdRuns&& other) noexcept { Take(other); }

cCmdRuns& cCmdRuns::operator=(const cCmdRuns& other) {
    if (this != &other) *this = cCmdRuns(other);
    return *this;
}

cCmdRuns& cCmdRuns::operator=(cCmdRuns&& other) noexcept {
    if (this != &other) {
        if (m_pPast) AddHeld(-static_cast<i64>(m_pPast->made.size()));
        Take(other);
    }
    return *this;
}

cCmdRuns::~cCmdRuns() {
    if (m_pPast) AddHeld(-static_cast<i64>(m_pPast->made.size()));
}

// The command runs stay where they are: the head's buffer and the map move whole.
void cCmdRuns::Take(cCmdRuns& other) {
    m_nCount = other.m_nCount;
    m_nDone = other.m_nDone;
    m_nBusy = other.m_nBusy;
    m_vHead = std::move(other.m_vHead);
    m_pPast = std::move(other.m_pPast);
    other.m_vHead.clear();
    other.m_nCount = other.m_nDone = other.m_nBusy = 0;
}

void cCmdRuns::AddHeld(i64 n) {
    if (m_pPast && m_pPast->held) m_pPast->held->held += n;
}

void cCmdRuns::SetHeld(std::shared_ptr<CMDRUNSHELD> held) {
    if (!m_pPast) return;
    AddHeld(-static_cast<i64>(m_pPast->made.size()));
    m_pPast->held = std::move(held);
    AddHeld(static_cast<i64>(m_pPast->made.size()));
}

cCmdRun cCmdRuns::Fresh(const SOURCE& source, i32 k, i32 done) {
    cCmdRun run;
    run.m_bDone = k < done ? 1 : 0;
    FreshCmdRun(source, k, run);
    return run;
}

cCmdRun cCmdRuns::FreshPast(i32 k) const {
    cCmdRun run = Fresh(m_pPast->source, k, m_nDone);
    auto own = m_pPast->own.find(k);
    if (own != m_pPast->own.end()) {
        run.m_pOwnCmd = own->second;
        run.m_pCmd = run.m_pOwnCmd.get();
    }
    return run;
}

void cCmdRuns::Bind(const SOURCE& source, i32 count) {
    m_nCount = std::max(count, 0);
    m_nDone = std::min(m_nDone, m_nCount);
    const i32 head = std::min(m_nCount, kHead);
    if (m_vHead.Size() > head) m_vHead.resize(static_cast<std::size_t>(head));
    for (i32 k = 0; k < m_vHead.Size(); ++k) {
        cCmdRun& run = m_vHead.data()[k];
        run.m_pCmd = run.m_pOwnCmd ? run.m_pOwnCmd.get() : SourceCmd(source, k);
    }
    if (m_vHead.Size() < head) {
        m_vHead.reserve(static_cast<std::size_t>(head));
        for (i32 k = m_vHead.Size(); k < head; ++k) m_vHead.push_back(Fresh(source, k, m_nDone));
    }
    if (m_nCount <= kHead) {
        if (m_pPast) AddHeld(-static_cast<i64>(m_pPast->made.size()));
        m_pPast.reset();
        return;
    }
    if (!m_pPast) m_pPast = std::make_unique<PAST>();
    PAST& past = *m_pPast;
    past.source = source;
    auto from = past.made.lower_bound(m_nCount);
    AddHeld(-static_cast<i64>(std::distance(from, past.made.end())));
    past.made.erase(from, past.made.end());
    past.own.erase(past.own.lower_bound(m_nCount), past.own.end());
    past.lastKey = -1;
    past.last = nullptr;
    for (auto& [k, run] : past.made) run.m_pCmd = run.m_pOwnCmd ? run.m_pOwnCmd.get() : SourceCmd(source, k);
}

void cCmdRuns::Rebind(cCmdList* list, cVector<cFlowCmd>* cmds, i32 count) {
    // What the run was made with stays; a run of no more than the first commands has made them
    // all, so only a flow's own commands that grow get new (blank) ones.
    SOURCE source = m_pPast ? m_pPast->source : SOURCE{};
    source.list = list;
    source.cmds = list ? nullptr : cmds;
    Bind(source, count);
}

cCmdRun& cCmdRuns::Make(i32 k) {
    PAST& past = *m_pPast;
    auto [it, made] = past.made.try_emplace(k, FreshPast(k));
    if (made) {
        AddHeld(1);
        // The command of its own is the command run's alone again, as an arrange expects it.
        past.own.erase(k);
    }
    past.lastKey = k;
    past.last = &it->second;
    return it->second;
}

cCmdRun* cCmdRuns::FindPast(i32 k) const {
    if (!m_pPast) return nullptr;
    PAST& past = *m_pPast;
    if (k == past.lastKey) return past.last;
    auto it = past.made.find(k);
    if (it == past.made.end()) return nullptr;
    past.lastKey = k;
    past.last = &it->second;
    return past.last;
}

cCmdRun* cCmdRuns::ReachPast(i32 k) {
    if (k < 0 || k >= m_nCount || !m_pPast) return nullptr;
    if (cCmdRun* run = FindPast(k)) return run;
    CMDRUNSHELD* held = m_pPast->held.get();
    if (held && held->held >= held->bound) {
        if (!held->told) {
            held->told = true;
            WriteReport("実行中の命令の状態が合わせて %lld MB を超えるため、続く命令は空きができるまで始めません。",
                        static_cast<long long>(held->bound * CMDRUNSHELD::kEntryBytes >> 20));
        }
        return nullptr;
    }
    return &Make(k);
}

bool cCmdRuns::DonePast(i32 k) const {
    if (k < 0) return false;
    if (const cCmdRun* run = FindPast(k)) return run->m_bDone != 0;
    return k < m_nDone;
}

cCmdRun& cCmdRuns::operator[](long long k) {
    if (k >= 0 && k < m_nCount) [[likely]] {
        if (cCmdRun* run = Find(static_cast<i32>(k))) return *run;
        return Make(static_cast<i32>(k));
    }
    ReportBadIndex('V', k, size(), sizeof(cCmdRun));
    if (m_nCount > 0) return (*this)[0];
    throw std::out_of_range("invalid vector<T> subscript");
}

cCmdRun cCmdRuns::View(long long k) const {
    if (k >= 0 && k < m_nCount) [[likely]] {
        if (const cCmdRun* run = Find(static_cast<i32>(k))) return *run;
        return FreshPast(static_cast<i32>(k));
    }
    ReportBadIndex('V', k, size(), sizeof(cCmdRun));
    if (m_nCount > 0) return View(0);
    throw std::out_of_range("invalid vector<T> subscript");
}

const cFlowCmd* cCmdRuns::Cmd(i32 k) const {
    if (k < 0 || k >= m_nCount) return nullptr;
    if (const cCmdRun* run = Find(k)) return run->m_pCmd;
    auto own = m_pPast->own.find(k);
    return own != m_pPast->own.end() ? own->second.get() : SourceCmd(m_pPast->source, k);
}

i32 cCmdRuns::IndexOf(const cCmdRun* run) const {
    if (!m_vHead.empty() && run >= m_vHead.data() && run < m_vHead.data() + m_vHead.size())
        return static_cast<i32>(run - m_vHead.data());
    if (!m_pPast) return -1;
    for (const auto& [k, r] : m_pPast->made)
        if (&r == run) return k;
    return -1;
}

void cCmdRuns::SetDone(i32 k) {
    (*this)[k].m_bDone = 1;
    // The done count passes over every command done from it on; those behind it past the first
    // ones need nothing more than the count while they are like fresh ones.
    while (m_nDone < m_nCount) {
        if (m_nDone < m_vHead.Size()) {
            if (!m_vHead.data()[m_nDone].m_bDone) break;
            ++m_nDone;
            continue;
        }
        auto it = m_pPast->made.find(m_nDone);
        if (it == m_pPast->made.end() || !it->second.m_bDone) break;
        ++m_nDone;
        Forget(it);
    }
}

void cCmdRuns::ClearDone() {
    m_nDone = 0;
    for (cCmdRun& run : m_vHead) run.m_bDone = 0;
    if (!m_pPast) return;
    for (auto& [k, run] : m_pPast->made) run.m_bDone = 0;
    ForgetAll();
}

void cCmdRuns::ClearFramesLeft() {
    for (cCmdRun& run : m_vHead) run.m_nFramesLeft = 0;
    if (!m_pPast) return;
    for (auto& [k, run] : m_pPast->made) run.m_nFramesLeft = 0;
    ForgetAll();
}

bool cCmdRuns::Forgettable(i32 k, const cCmdRun& run) const {
    if (run.m_nFramesLeft != 0 || run.m_bDone != (k < m_nDone ? 1 : 0)) return false;
    cCmdRun fresh = Fresh(m_pPast->source, k, m_nDone);
    // A command of its own is kept aside for the command run made again.
    fresh.m_pOwnCmd = run.m_pOwnCmd;
    if (run.m_pOwnCmd) fresh.m_pCmd = run.m_pOwnCmd.get();
    return AlikeFromStart(run, fresh);
}

std::map<i32, cCmdRun>::iterator cCmdRuns::Forget(std::map<i32, cCmdRun>::iterator it) {
    if (m_nBusy > 0 || !Forgettable(it->first, it->second)) return std::next(it);
    PAST& past = *m_pPast;
    if (&it->second == past.last) {
        past.lastKey = -1;
        past.last = nullptr;
    }
    AddHeld(-1);
    if (it->second.m_pOwnCmd) past.own[it->first] = std::move(it->second.m_pOwnCmd);
    return past.made.erase(it);
}

void cCmdRuns::ForgetAll() {
    if (m_nBusy > 0 || !m_pPast) return;
    for (auto it = m_pPast->made.begin(); it != m_pPast->made.end();) it = Forget(it);
}
