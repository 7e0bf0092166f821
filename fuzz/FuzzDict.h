#pragma once
// A target built with a dictionary (tobrelk_add_fuzzer DICT) uses it however it is started, by
// hand or by the regression test: unless the command line names one, "-dict=<its file>" is
// added before libFuzzer reads its flags.
#include <cstring>
#include <string>
#include <vector>

#ifdef TOBRELK_FUZZ_DICT
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "-dict=", 6) == 0) return 0;
    static std::string flag = std::string("-dict=") + TOBRELK_FUZZ_DICT;
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    // The flag goes right after the program's name: libFuzzer takes flags anywhere before the
    // corpus folders, and "-dict=" must not be read as one.
    args.insert(args.begin() + 1, flag.data());
    args.push_back(nullptr);
    *argc += 1;
    *argv = args.data();
    return 0;
}
#endif
