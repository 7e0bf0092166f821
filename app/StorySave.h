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
};

extern cVector<cStorySlotInfo> g_StorySlots;

void MakeStorySlotName(std::string& out, int slot);
// Stamps the record with the local time and writes it: 1 saved (the slot list shows it); 0 with
// the old file intact, a report line and an error box. A slot outside 0..98 writes nothing.
int SaveStorySlot(cPlayRecord& record, int slot);
// 1 when the slot was read into the record (lives rule applied); 0 with the record unchanged.
int LoadStorySlot(cPlayRecord& record, int slot);
// 1 when Challenge.dat was read into the record; 0 with the record unchanged.
int LoadChallenge(cPlayRecord& record);
// Writes the record to Challenge.dat: 1 saved; 0 reported, old file intact.
int SaveChallenge(cPlayRecord& record);
void LoadStorySlotList(cVector<cStorySlotInfo>& slots);
// "YYYY/MM/DD hh:mm\n" of a used slot; empty for an empty one.
std::string FormatSaveTime(const cStorySlotInfo& slot);
// The lives rule after loading (kind 0 story, 1 challenge).
void ApplyLivesRule(cPlayRecord& record, int kind);
