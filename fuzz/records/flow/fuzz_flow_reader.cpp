// Fuzzes the reader of flow lists (flows, commands, conditions, key rows, movements, shots,
// nested flows). Input: a u32 data version, then a flow list as a character record holds it.
// Besides not crashing, whatever loads must write back and load again to the same bytes.
#include <cstdint>
#include <cstring>
#include <string>

#include "records/Flow.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    u32 version;
    std::memcpy(&version, data, 4);
    if (version > kProgVer) return 0; // refused before any record is read
    cRecordReader r(std::string(reinterpret_cast<const char*>(data) + 4, size - 4), version);
    cVector<cFlow> flows;
    if (!ReadFlowList(flows, r)) return 0;

    cRecordWriter first;
    WriteFlowList(flows, first);
    cRecordReader again(first.Bytes(), kProgVer);
    cVector<cFlow> reread;
    if (!ReadFlowList(reread, again) || !again.AtEnd()) __builtin_trap();
    cRecordWriter second;
    WriteFlowList(reread, second);
    if (first.Bytes() != second.Bytes()) __builtin_trap();
    return 0;
}
