// Fuzzes the "#" escapes of message texts. Besides not crashing, the result always fits the
// message buffer and a text without "#" comes back as it went in (cut to the buffer).
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "flow/MessageText.h"
#include "flow/TextLimit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<i32> common = [] {
        std::vector<i32> v(1001);
        for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<i32>(i * 7919) - 4000000;
        v[1] = INT_MIN;
        v[2] = INT_MAX;
        return v;
    }();
    static const std::vector<i32> stage(1000, -1);
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string out = ExpandMessageVars(text, MESSAGEVARS{common, stage});
    if (out.size() >= kTextBufferSize) __builtin_trap();
    if (text.find('#') == std::string::npos && out != StrCopyVia(text)) __builtin_trap();
    return 0;
}
