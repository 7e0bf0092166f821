// A target's own libFuzzer flags (tobrelk_add_fuzzer DICT and FLAGS), used however the target is
// started, by hand or by a test: each is put before the flags of the command line unless the
// command line names the same flag, which then wins.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// TOBRELK_FUZZ_DEFAULTS holds the flags joined by '|'.
std::vector<std::string> DefaultFlags() {
    std::vector<std::string> out;
    const std::string all = TOBRELK_FUZZ_DEFAULTS;
    for (std::size_t at = 0; at <= all.size();) {
        const std::size_t end = std::min(all.find('|', at), all.size());
        if (end > at) out.push_back(all.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

// "-dict=x" -> "-dict="; the name with its '=' is what a command line's flag is matched by.
std::string FlagName(const std::string& flag) { return flag.substr(0, flag.find('=') + 1); }

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<std::string> flags;
    for (const std::string& f : DefaultFlags()) {
        bool named = false;
        for (int i = 1; i < *argc && !named; ++i) named = std::strncmp((*argv)[i], FlagName(f).c_str(), FlagName(f).size()) == 0;
        if (!named) flags.push_back(f);
    }
    if (flags.empty()) return 0;
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    // Right after the program's name: libFuzzer takes flags anywhere before the corpus folders.
    for (std::size_t k = 0; k < flags.size(); ++k) args.insert(args.begin() + 1 + static_cast<long>(k), flags[k].data());
    *argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    *argv = args.data();
    return 0;
}
