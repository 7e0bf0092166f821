#pragma once
// Named settings: the one form of every table through which the play and flow engines read
// stored fields by meaning (the stage header, the system switches, the movement and shot
// records, the play record).
//
// Each table is one list in its header, one line per setting:
//     X(Name, ..., field, Stated|Chosen, "why", shared)
// The list generates the setting's enumerator, its accessor and its entry below. An accessor
// is an inline switch over the list: with the setting named at the call site it compiles to a
// plain read of the field, so the engines may call it in their per-step loops. The accessors are
// marked TOBRELK_SETTING_READ: GCC judges the whole switch too large to inline and would call it
// out of line, a call and a jump table for what is one load.
//
//   table                 header                       accessor
//   stage header          records/StageSettings.h      StageSettings::Get(stage, eStage::TimeLimit)
//                                                      StageSettings::Get(stage, eStageD::Gravity)
//   system switches       database/SystemSwitches.h    SysSwitch(SW_START_ALL_FLOWS)
//   movement record       records/EdSettings.h         MoveSettings::Get(move, eMove::Speed)
//   shot record           records/EdSettings.h         ShotSettings::Get(shot, eShot::Power)
//   play record           app/PlayRecordNames.h        playrec::Lives(record)
//
// Marks. Stated: the data format or the reader of the field says which field holds the
// setting (the why says where). Chosen: nothing says so; the why gives the evidence and the
// choice, so that a wrong guess is mended on that one line. A setting that no stored field is
// known to hold is listed, chosen, with the field "-": it reads 0 and writes nothing, and its
// why says what 0 means. Two entries may read one field only where the later one's `shared`
// says why. tests/support/NamedSettingsCheck.h holds every table to these rules.
#include <cstddef>
#include <span>

#include "platform/system/Types.h"

#define TOBRELK_SETTING_READ [[gnu::always_inline]] inline

enum class eMark : u8 { Stated, Chosen };

struct NAMEDSETTING {
    const char* name;   // the setting, as the engines call it
    const char* field;  // the stored field it reads ("-" for none)
    eMark mark;
    const char* why;    // stated: who states it; chosen: the evidence and the choice
    const char* shared; // null, or why this entry reads a field that another entry also reads
};

