// The stage reader over arbitrary bytes: a stage file (version word and body). Whatever the
// bytes, reading must fail or succeed without touching memory it does not own, and a stage
// that was read must write again.
#include <cstdint>
#include <cstring>
#include <string>

#include "records/Stage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    u32 version;
    std::memcpy(&version, data, 4);
    if (version > g_nProgVer) return 0; // refused before reading
    cRecordReader r(std::string(reinterpret_cast<const char*>(data) + 4, size - 4), version);
    cStage st;
    {
        StagePaletteScope scope(st);
        st.Load(r);
    }
    if (r.Failed()) return 0;
    cRecordWriter w;
    st.Save(w);
    return 0;
}
