#pragma once
// Writes records as a program of an older data version wrote them, so that the upgrade steps of
// the readers can be tested. The generic body is the record's own registration at that version
// (the base writer with the program version set back); the sections that a class writes after
// its body follow that version's layout. No check or fix-up runs: the bytes are the record's.
//
// Classes with sections of their own get an overload of WriteOld; every other record is written
// as its generic body.
#include <string>

#include "records/Cond.h"
#include "records/EdMove.h"
#include "records/EdShot.h"
#include "records/Flow.h"
#include "records/FlowCmd.h"
#include "records/Record.h"

namespace oldver {

// Sets the program version for the life of the object.
class ScopedProgVer {
public:
    explicit ScopedProgVer(u32 v) : m_saved(g_nProgVer) { g_nProgVer = v; }
    ~ScopedProgVer() { g_nProgVer = m_saved; }
    ScopedProgVer(const ScopedProgVer&) = delete;
    ScopedProgVer& operator=(const ScopedProgVer&) = delete;

private:
    u32 m_saved;
};

// The generic body (fields and strings) as version v registers them.
inline void WriteBody(cRecord& rec, u32 v, cRecordWriter& w) {
    ScopedProgVer at(v);
    rec.cRecord::Save(w);
}

template <class T>
void WriteOld(T& rec, u32 v, cRecordWriter& w) {
    WriteBody(rec, v, w);
}
void WriteOld(cCondList& rec, u32 v, cRecordWriter& w);
void WriteOld(cKeyCond& rec, u32 v, cRecordWriter& w);
void WriteOld(cFlow& rec, u32 v, cRecordWriter& w);
void WriteOld(cFlowCmd& rec, u32 v, cRecordWriter& w);

template <class T>
void WriteOldVector(cVector<T>& vec, u32 v, cRecordWriter& w) {
    w.WriteU32(static_cast<u32>(vec.size()));
    for (T& e : vec) WriteOld(e, v, w);
}

template <class T>
void WriteOldOwned(const cRecordBox<T>& p, u32 v, cRecordWriter& w) {
    w.WriteU32(p ? 1 : 0);
    if (p) WriteOld(*p, v, w);
}

inline void WriteOld(cCondList& rec, u32 v, cRecordWriter& w) {
    WriteBody(rec, v, w);
    if (v >= 766) WriteOldVector(rec.conds, v, w);
}

inline void WriteOld(cKeyCond& rec, u32 v, cRecordWriter& w) {
    WriteBody(rec, v, w);
    w.WriteU32(static_cast<u32>(rec.keys.size()));
    w.WriteBytes(rec.keys.data(), rec.keys.size());
}

inline void WriteOld(cFlow& rec, u32 v, cRecordWriter& w) {
    WriteBody(rec, v, w);
    WriteOldVector(rec.conds, v, w);
    WriteOldVector(rec.keyConds, v, w);
    WriteOldVector(rec.cmds, v, w);
}

inline void WriteOld(cFlowCmd& rec, u32 v, cRecordWriter& w) {
    WriteBody(rec, v, w);
    WriteOldOwned(rec.move, v, w);
    WriteOldOwned(rec.shot, v, w);
    if (v >= 764) WriteOldOwned(rec.condList, v, w);
    WriteOldVector(rec.flows, v, w);
    w.WriteU32(static_cast<u32>(rec.params.size()));
    w.WriteBytes(rec.params.data(), rec.params.size() * 4);
}

// The body of rec as version v wrote it, and a reader over it as a file of that version.
template <class T>
std::string OldBody(T& rec, u32 v) {
    cRecordWriter w;
    WriteOld(rec, v, w);
    return w.Take();
}

template <class T>
cRecordReader OldReader(T& rec, u32 v) {
    return cRecordReader(OldBody(rec, v), v);
}

// Reads a record of class T from rec's bytes at version v (each read starts from a cleared T,
// as the readers of record vectors make them).
template <class T>
T ReadBackAt(T& rec, u32 v) {
    cRecordReader r = OldReader(rec, v);
    T out;
    out.Clear();
    out.Load(r);
    return out;
}

} // namespace oldver
