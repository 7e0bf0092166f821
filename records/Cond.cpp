#include "records/Cond.h"

#include "records/RecordVector.h"

void cCond::RegisterFields(u32 version) {
    ResetFieldLists();
    AddFieldU8(&kind);
    AddFieldU32(&value);
    if (version >= 110) {
        AddFieldU32(&rangeMin);
        AddFieldU32(&rangeMax);
        AddFieldU8(&subject);
        AddFieldU8(&selector);
        AddFieldU8(&leftKind);
        AddFieldU8(&leftVarScope);
        AddFieldU16(&index);
        AddFieldU8(&source);
        AddFieldU8(&srcSubject);
        AddFieldU8(&srcSelector);
        AddFieldU8(&srcVarScope);
        AddFieldU16(&srcIndex);
    } else {
        // Two values the old format kept here; nothing reads them any more.
        AddFieldU16(m_wDropped, 2);
    }
    AddFieldU8(&op);
    if (version >= 43) AddFieldU8(&percent);
    AddFieldU8(&shape);
}

namespace {
// The old editors compared these bytes as signed chars: a stored 200 is -56 and is never raised.
bool AtLeast(u8 v, int threshold) { return static_cast<i8>(v) >= threshold; }

// Status numbers of kind 4 shifted when statuses were inserted; the system (subject 2 at the
// time) kept its numbering.
void ShiftStatus4(cCond& c, int threshold) {
    if (c.leftKind == 0 && c.subject != 2 && AtLeast(c.selector, threshold)) ++c.selector;
    if (c.source == 2 && c.srcSubject != 2 && AtLeast(c.srcSelector, threshold)) ++c.srcSelector;
}
} // namespace

void cCond::Load(cRecordReader& r) {
    // The body at the versions since its last field (110; the percentage came at 43).
    if (r.Version() < 110 ||
        !ReadPlainBody<&cCond::kind, &cCond::value, &cCond::rangeMin, &cCond::rangeMax, &cCond::subject,
                       &cCond::selector, &cCond::leftKind, &cCond::leftVarScope, &cCond::index, &cCond::source,
                       &cCond::srcSubject, &cCond::srcSelector, &cCond::srcVarScope, &cCond::srcIndex, &cCond::op,
                       &cCond::percent, &cCond::shape>(r, *this))
        cRecord::Load(r);
    const u32 v = r.Version();
    if (r.Failed() || v >= kProgVer) return;
    if (v < 160 && AtLeast(kind, 5)) kind = static_cast<u8>(kind + 2);
    if (v < 161 && kind == 6 && selector == 2) op ^= 1;
    if (v < 168 && kind == 4) ShiftStatus4(*this, 10);
    if (v < 203 && kind == 4) ShiftStatus4(*this, 5);
    if (v < 210 && kind == 5 && subject != 2 && AtLeast(selector, 6)) ++selector;
    if (v < 657 && kind == 7) subject = 0;
    if (v < 745 && kind == 7) leftKind = 0;
    if (v < 746 && kind == 7) {
        source = 1;
        srcSubject = 1;
    }
    // Target slots 1-4 were inserted before the system, which moved from 2 to 5.
    if (v < 767 && (kind == 4 || kind == 5)) {
        if (AtLeast(subject, 2)) subject = static_cast<u8>(subject + 3);
        if (AtLeast(srcSubject, 2)) srcSubject = static_cast<u8>(srcSubject + 3);
    }
}

void cCondList::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU8(&enabled);
    AddFieldU8(&combine);
}

void cCondList::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    if (r.Version() >= 766)
        ReadCondList(conds, r);
    else
        conds.clear();
}

void cCondList::Save(cRecordWriter& w) {
    cRecord::Save(w);
    WriteRecordVector(w, conds);
}

void cKeyCond::RegisterFields(u32 /*version*/) {
    ResetFieldLists();
    AddFieldU8(&mirror);
    AddFieldU16(&minFrames);
    AddFieldU16(&maxFrames);
    AddFieldU8(&anyLength);
    AddFieldU8(&mode);
}

void cKeyCond::Load(cRecordReader& r) {
    cRecord::Load(r);
    if (r.Failed()) return;
    u32 n = 0;
    if (!r.ReadCount(n, 1)) return;
    keys.resize(n, 0);
    r.ReadBytes(keys.data(), n);
}

void cKeyCond::Save(cRecordWriter& w) {
    cRecord::Save(w);
    w.WriteU32(static_cast<u32>(keys.size()));
    w.WriteBytes(keys.data(), keys.size());
}

bool ReadCondList(cVector<cCond>& v, cRecordReader& r) { return ReadRecordsBounded(v, r); }

bool ReadKeyCondList(cVector<cKeyCond>& v, cRecordReader& r) { return ReadRecordsBounded(v, r); }

void NewCondList(cRecordBox<cCondList>& p) { p.emplace().Clear(); }

void NewCondList(std::shared_ptr<cCondList>& p) {
    auto list = MakePooledShared<cCondList>();
    list->Clear();
    p = std::move(list);
}

const char* const g_CondKindLabels[9] = {
    "", "コモン変数条件", "ステージ変数条件", "キャラ変数条件", "ステータス条件",
    "ステータス条件2", "ステータス条件3", "距離条件", "",
};
const char* const g_CondDistSubjectLabels[6] = {"主人公", "ターゲット1", "ターゲット2", "ターゲット3",
                                                "ターゲット4", ""};
const char* const g_CondShapeLabels[8] = {"横", "前", "後", "縦", "前Y", "後Y", "円", ""};
const char* const g_CondInsideLabels[3] = {"以内", "外", ""};
const char* const g_CondCombineLabels[3] = {"全ての条件が真なら成立", "1つ以上の条件が真なら成立", ""};
const char* const g_CondDisplayLabels[4] = {"表示しない", "表示する", "テストプレイ時のみ表示", ""};
const char* const g_KeyCondModeLabels[4] = {"全てのキーが真なら成立", "1つ以上のキーが真なら成立",
                                            "1つだけキーが真なら成立", ""};
