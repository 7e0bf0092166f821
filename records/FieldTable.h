#pragma once
// Records whose stored fields are described by a static table instead of one registration call
// per member. The table gives each field's place in a plain data block, its width, the data
// version that introduced it and its inherit group, so that registration, the record stream and
// the per-group copies of palette inheritance all walk the same list.
//
// The big record lists of a stage (a hundred thousand placed blocks) are streamed straight from
// the table, without building the base class's descriptor lists for every element; the byte
// form is exactly that of cRecord::Load and cRecord::Save.
#include <cstddef>
#include <span>
#include <string>

#include "records/Record.h"

constexpr u8 kNoGroup = 0xFF;

struct FIELDDEF {
    u32 offset; // within the record's data block
    u8 size;    // 1, 2, 4 or 8 bytes
    u16 from;   // first data version whose files hold the field (0: all)
    u8 group;   // inherit group, kNoGroup when none
};

#define TOBRELK_FIELD(Data, member, from, group)                                                 \
    FIELDDEF {                                                                                   \
        static_cast<u32>(offsetof(Data, member)), static_cast<u8>(sizeof(Data::member)),         \
            static_cast<u16>(from), static_cast<u8>(group)                                       \
    }

class cTableRecord : public cRecord {
protected:
    // Registers the table's fields present at version, then the string (null: none).
    void RegisterTable(void* data, std::span<const FIELDDEF> table, u32 version, std::string* str);
    // The record stream at the reader's version into data and str; fails r on a damaged body.
    // Fields absent from the file keep their values.
    bool LoadTable(cRecordReader& r, void* data, std::span<const FIELDDEF> table, std::string* str);
    // The record stream at the program's version.
    void SaveTable(cRecordWriter& w, void* data, std::span<const FIELDDEF> table, std::string* str);
};

// Zeroes every field of the table (the base's Clear, without the descriptor lists).
void ClearTable(void* data, std::span<const FIELDDEF> table);
// Copies the fields of one inherit group from src to dst (both data blocks of the same table).
void CopyTableGroup(void* dst, const void* src, std::span<const FIELDDEF> table, u8 group);
