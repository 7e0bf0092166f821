#pragma once
// A flow: the event that starts it (trigger), the conditions and key-input steps under which it
// may start, and the commands it runs in order.
#include <string>

#include "records/Cond.h"
#include "records/FlowCmd.h"
#include "records/Record.h"

class cFlow final : public cRecord {
public:
    cFlow();
    cFlow(const cFlow& src);
    cFlow(cFlow&& src) noexcept;
    cFlow& operator=(const cFlow& src);
    cFlow& operator=(cFlow&& src) noexcept;
    ~cFlow() override;

    void RegisterFields(u32 version) override;
    // Body, conditions, key steps, commands; trigger upgrades of older files; the name is not
    // kept; the commands' parameters are checked. Fails r on a damaged file.
    void Load(cRecordReader& r) override;
    // Checks the commands' parameters, then writes.
    void Save(cRecordWriter& w) override;

    // Stored fields, in file order.
    u8 subKind = 0;     // when 1 or more, starts only when the trigger's sub-kind equals it
    u8 idLetter = 0;    // identification mark: 0 none, 1-26 "A"-"Z"
    u8 editorOnly = 0;  // dropped on read unless editor-only flows are kept
    u8 combine = 0;     // conds: 0 all, 1 one or more
    u8 latch = 0;       // conditions are not tested again once they held in this run
    u8 trigger = 0;     // starting event (g_FlowTriggerNames)
    u8 targetOther = 0; // from 762: the trigger's other object goes into targetSlot
    u8 targetSlot = 0;  // from 767
    u8 keyGap = 0;      // frames allowed between two key-input steps
    u8 keyLatch = 0;    // the key sequence keeps holding once it held in this run
    std::string name;   // from 676; memo only, emptied on read

    cVector<cCond> conds;
    cVector<cKeyCond> keyConds;
    cVector<cFlowCmd> cmds;

private:
    void CopyMembers(const cFlow& src);
};

template <>
inline constexpr bool kFreshIsCleared<cFlow> = true;

// Reads a u32 count and that many flows into v (each a cleared flow of this version).
bool ReadFlowList(cVector<cFlow>& v, cRecordReader& r);
void WriteFlowList(cVector<cFlow>& v, cRecordWriter& w);

// Labels of the triggers, in value order, ending with an empty label.
constexpr int kFlowTriggerCount = 23;
extern const char* const g_FlowTriggerNames[kFlowTriggerCount + 1];
