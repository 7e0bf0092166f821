// A target for the regression driver's own test: an input "crash" aborts, an input "hang" never
// returns; any other input returns at once.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto is = [&](const char* word) { return size == std::strlen(word) && std::memcmp(data, word, size) == 0; };
    if (is("crash")) std::abort();
    if (is("hang"))
        for (;;) ::pause();
    return 0;
}
