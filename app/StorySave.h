#pragma once
// Story saves in 99 slot files (user_data\story\Story01.dat .. Story99.dat) and the challenge
// results (user_data\challenge\Challenge.dat): each a data version and a whole play record.
#include <string>

#include "app/PlayRecord.h"

constexpr int kStorySlots = 99;

// The summary of one slot in memory; never written.
class cStorySlotInfo : public cRecord {
public:
    cStorySlotInfo() { Clear(); }
    void RegisterFields(u32 version) override;

    u32 bUsed = 0;
    SYSTEMTIME tSaved;
    u32 bDamaged = 0; // the slot's file is there but does not load (it counts as used)
};

extern cVector<cStorySlotInfo> g_StorySlots;

void MakeStorySlotName(std::string& out, int slot);
// Stamps the record with the local time and writes it: 1 saved (the slot list shows it); 0 with
// the old file intact, a report line and an error box. A slot outside 0..98 writes nothing. A
// damaged file in the slot's place is kept aside first.
int SaveStorySlot(cPlayRecord& record, int slot);
// 1 when the slot was read into the record (lives rule applied); 0 with the record unchanged.
int LoadStorySlot(cPlayRecord& record, int slot);
// 1 when Challenge.dat was read into the record; 0 with the record unchanged (and a report line
// when the file is there but does not load).
int LoadChallenge(cPlayRecord& record);
// Writes the record to Challenge.dat: 1 saved; 0 reported, old file intact. A damaged file in
// its place is kept aside first.
int SaveChallenge(cPlayRecord& record);
// Reads every slot file's save time. A slot whose file does not load shows as damaged, with a
// report line when it is first found so.
void LoadStorySlotList(cVector<cStorySlotInfo>& slots);
// "YYYY/MM/DD hh:mm\n" of a used slot, the damaged mark of a damaged one (Shift-JIS); empty for
// an empty one.
std::string FormatSaveTime(const cStorySlotInfo& slot);
// The lives rule after loading (kind 0 story, 1 challenge).
void ApplyLivesRule(cPlayRecord& record, int kind);
