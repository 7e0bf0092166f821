// Picture files come from game folders we did not make: any bytes must decode or be refused,
// never read or write outside a buffer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/graphics/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cImage image;
    std::string error;
    if (DecodeImage(data, size, &image, &error)) {
        // A decoded picture must be as big as it says.
        if (image.argb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
            __builtin_trap();
        if (image.hasIndices && image.indices.size() != image.argb.size()) __builtin_trap();
    }
    return 0;
}
