#include "records/Flow.h"

#include "records/RecordVector.h"

namespace {
// A flow body is at least its two generic counts and its three vector counts.
constexpr std::size_t kMinFlowBytes = 20;

// How far past a flow's commands the records freed after them are asked for.
constexpr std::size_t kFreeAheadBytes = 1536;

// How deep the flow being read sits (flows in commands in flows). Per thread, as loads are.
thread_local int t_nFlowDepth = 0;

struct FlowDepth {
    FlowDepth() { ++t_nFlowDepth; }
    ~FlowDepth() { --t_nFlowDepth; }
    FlowDepth(const FlowDepth&) = delete;
    FlowDepth& operator=(const FlowDepth&) = delete;
};

bool FlowAtLeast(u8 v, int threshold) { return static_cast<i8>(v) >= threshold; }
} // namespace

cFlow::cFlow() = default;
// A stage going away frees its flows by the thousand, long after they were read: their
// commands are no longer near the processor, and each would be waited for in turn. Asked for
// all at once, they arrive together.
cFlow::~cFlow() {
    const char* const begin = reinterpret_cast<const char*>(cmds.data());
    const char* const end = reinterpret_cast<const char*>(cmds.data() + cmds.size());
    for (const char* p = begin; p < end; p += 64) __builtin_prefetch(p, 1);
    // The records read after these (the next flows' commands, the next character's flows) lie
    // after them in the record pool, in the order they are freed: they are asked for one flow
    // ahead. (A prefetch never faults, so asking past the pool's storage is harmless.)
    if (begin)
        for (const char* p = end; p < end + kFreeAheadBytes; p += 64) __builtin_prefetch(p, 1);
}

cFlow::cFlow(const cFlow& src) : cRecord(src) { CopyMembers(src); }

cFlow::cFlow(cFlow&& src) noexcept
    : subKind(src.subKind), idLetter(src.idLetter), editorOnly(src.editorOnly), combine(src.combine),
      latch(src.latch), trigger(src.trigger), targetOther(src.targetOther), targetSlot(src.targetSlot),
      keyGap(src.keyGap), keyLatch(src.keyLatch), name(std::move(src.name)), conds(std::move(src.conds)),
      keyConds(std::move(src.keyConds)), cmds(std::move(src.cmds)) {}

cFlow& cFlow::operator=(const cFlow& src) {
    if (this != &src) {
        cRecord::operator=(src);
        CopyMembers(src);
    }
    return *this;
}

cFlow& cFlow::operator=(cFlow&& src) noexcept {
    if (this != &src) {
        subKind = src.subKind;
        idLetter = src.idLetter;
        editorOnly = src.editorOnly;
        combine = src.combine;
        latch = src.latch;
        trigger = src.trigger;
        targetOther = src.targetOther;
        targetSlot = src.targetSlot;
        keyGap = src.keyGap;
        keyLatch = src.keyLatch;
        name = std::move(src.name);
        conds = std::move(src.conds);
        keyConds = std::move(src.keyConds);
        cmds = std::move(src.cmds);
    }
    return *this;
}

void cFlow::CopyMembers(const cFlow& src) {
    name = src.name;
    subKind = src.subKind;
    idLetter = src.idLetter;
    editorOnly = src.editorOnly;
    conds = src.conds;
    combine = src.combine;
    latch = src.latch;
    trigger = src.trigger;
    targetOther = src.targetOther;
    targetSlot = src.targetSlot;
    keyGap = src.keyGap;
    keyLatch = src.keyLatch;
    keyConds = src.keyConds;
    cmds = src.cmds;
}

void cFlow::RegisterFields(u32 version) {
    ResetFieldLists();
    AddFieldU8(&subKind);
    AddFieldU8(&idLetter);
    AddFieldU8(&editorOnly);
    AddFieldU8(&combine);
    AddFieldU8(&latch);
    AddFieldU8(&trigger);
    if (version >= 762) AddFieldU8(&targetOther);
    if (version >= 767) AddFieldU8(&targetSlot);
    AddFieldU8(&keyGap);
    AddFieldU8(&keyLatch);
    if (version >= 676) AddString(&name);
}

void cFlow::Load(cRecordReader& r) {
    FlowDepth depth;
    if (t_nFlowDepth > kMaxFlowNesting) {
        // Flows in commands in flows deeper than any editor makes: a damaged or hostile file.
        r.Fail();
        return;
    }
    // The body at the versions since its last field (767).
    if (r.Version() < 767 ||
        !ReadPlainBody<&cFlow::subKind, &cFlow::idLetter, &cFlow::editorOnly, &cFlow::combine, &cFlow::latch,
                       &cFlow::trigger, &cFlow::targetOther, &cFlow::targetSlot, &cFlow::keyGap, &cFlow::keyLatch>(
            r, *this, &name))
        cRecord::Load(r);
    if (r.Failed()) return;
    if (!ReadEmptyList(r, conds) && !ReadCondList(conds, r)) return;
    if (!ReadEmptyList(r, keyConds) && !ReadKeyCondList(keyConds, r)) return;
    if (!ReadFlowCmdList(cmds, r)) return;
    const u32 v = r.Version();
    if (v < kProgVer) {
        // Triggers were inserted over the versions; the old editors compared signed bytes.
        if (v <= 131 && FlowAtLeast(trigger, 11)) ++trigger;
        if (v < 163 && trigger != 0) idLetter = 0;
        if (v < 164 && FlowAtLeast(trigger, 5)) trigger = static_cast<u8>(trigger + 2);
        if (v < 762 && FlowAtLeast(trigger, 18)) trigger = static_cast<u8>(trigger + 3);
    }
    name.clear();
    // Each command checked its parameters as it was read.
}

void cFlow::Save(cRecordWriter& w) {
    FixCmdList(cmds);
    cRecord::Save(w);
    WriteRecordVector(w, conds);
    WriteRecordVector(w, keyConds);
    WriteFlowCmdList(cmds, w);
}

bool ReadFlowList(cVector<cFlow>& v, cRecordReader& r) { return ReadRecordsBounded(v, r, kMinFlowBytes); }

void WriteFlowList(cVector<cFlow>& v, cRecordWriter& w) {
    w.WriteU32(static_cast<u32>(v.size()));
    for (cFlow& f : v) f.Save(w);
}

const char* const g_FlowTriggerNames[kFlowTriggerCount + 1] = {
    "常時",
    "ダメージを受けた時",
    "衝撃を受けた時",
    "死亡した時",
    "キャラに当たった時",
    "ブロックキャラに当たった時",
    "ブロックキャラに乗っている時",
    "ショットに当たった時",
    "アイテムに当たった時",
    "ブロックに当たった時",
    "自分の左右にブロックが当たった時",
    "自分の左にブロックが当たった時",
    "自分の右にブロックが当たった時",
    "自分の上下にブロックが当たった時",
    "自分の上にブロックが当たった時",
    "自分の下にブロックが当たった時",
    "主人公に乗られている時",
    "キャラに乗られている時",
    "アタックでダメージを与えた時",
    "アタックで衝撃を与えた時",
    "アタックを当てた時",
    "ステージ開始前",
    "なし（フローの操作コマンドで実行）",
    "",
};
