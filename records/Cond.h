#pragma once
// Stored conditions: one comparison (cCond), a switchable list of them held by a command
// (cCondList) and one step of a flow's key-input sequence (cKeyCond). Evaluating them belongs
// to the flow engine.
#include <memory>

#include "records/Record.h"
#include "records/RecordPool.h"

class cCond final : public cRecord {
public:
    void RegisterFields(u32 version) override;
    // Generic body, then the upgrades of older files.
    void Load(cRecordReader& r) override;

    u8 kind = 0;      // 0 none, 1-3 variables, 4-6 status tests, 7 distance
    i32 value = 0;    // kind 4 overwrites it with the computed right-hand value at each test
    i32 rangeMin = 0; // from 110 on, like every field up to srcIndex
    i32 rangeMax = 0;
    u8 subject = 0;
    u8 selector = 0;
    u8 leftKind = 0;  // kind 7: the display choice (g_CondDisplayLabels)
    u8 leftVarScope = 0;
    i16 index = 0;
    u8 source = 0;
    u8 srcSubject = 0;
    u8 srcSelector = 0;
    u8 srcVarScope = 0;
    i16 srcIndex = 0;
    u8 op = 0;        // COMPAREOP; kind 7: 0 within, 1 outside
    u8 percent = 0;   // from 43
    u8 shape = 0;     // kind 7: distance shape

    // For a list freeing its elements: a condition holds nothing to free but its field lists,
    // when it ever made them (see cRecordAlloc::destroy).
    static bool GiveBackIfPlain(cCond* c) noexcept { return !c->HasFieldLists(); }

private:
    // Files older than 110 hold two 16-bit values between value and op; they are dropped.
    u16 m_wDropped[2] = {0, 0};
};

template <>
inline constexpr bool kFreshIsCleared<cCond> = true;

class cCondList final : public cRecord {
public:
    void RegisterFields(u32 version) override;
    // Generic body; the conditions only from version 766.
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;

    u8 enabled = 0; // zero: the owner acts as if the list held
    u8 combine = 0; // 0 all, 1 one or more
    cVector<cCond> conds;
};

class cKeyCond final : public cRecord {
public:
    static constexpr int kKeySlots = 19; // ten direction entries, nine buttons
    cKeyCond() : keys(kKeySlots, 0) {}

    void RegisterFields(u32 version) override;
    void Load(cRecordReader& r) override;
    void Save(cRecordWriter& w) override;

    u8 mirror = 0;     // exchange left/right slots while the character faces 0
    u16 minFrames = 0;
    u16 maxFrames = 0;
    u8 anyLength = 0;
    u8 mode = 0;       // 0 every used key, 1 one or more, 2 exactly one
    // Per slot: 0 unused, 1 pressed, 2 released. A stored row may hold fewer or more than 19
    // entries and keeps them: readers walk min(size, 19).
    cVector<u8> keys;
};

// Reads a u32 count and that many conditions (each cleared first) into v.
bool ReadCondList(cVector<cCond>& v, cRecordReader& r);
// The same, inline: most placed records hold no conditions, and their empty list then costs
// one count read.
inline bool ReadCondListInline(cVector<cCond>& v, cRecordReader& r) {
    return ReadRecordVector(r, v);
}
bool ReadKeyCondList(cVector<cKeyCond>& v, cRecordReader& r);

// Makes p own a new cleared condition list.
void NewCondList(cRecordBox<cCondList>& p);
void NewCondList(std::shared_ptr<cCondList>& p);

// Label tables, in value order, each ending with an empty label.
extern const char* const g_CondKindLabels[9];         // index 0 empty, 1-7
extern const char* const g_CondDistSubjectLabels[6];  // hero, target 1-4
extern const char* const g_CondShapeLabels[8];        // 0-6
extern const char* const g_CondInsideLabels[3];       // within, outside
extern const char* const g_CondCombineLabels[3];      // all, one or more
extern const char* const g_CondDisplayLabels[4];      // hide, show, test play only
extern const char* const g_KeyCondModeLabels[4];      // every, one or more, exactly one
