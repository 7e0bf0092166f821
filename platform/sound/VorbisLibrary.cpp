#include "platform/sound/VorbisLibrary.h"

#include <dlfcn.h>

#include <mutex>
#include <type_traits>

#include "platform/system/Report.h"

const VorbisLibrary* VorbisApi() {
    static std::once_flag once;
    static VorbisLibrary api{};
    static bool ok = false;
    std::call_once(once, [] {
        void* lib = dlopen(TOBRELK_VORBISFILE_SONAME, RTLD_LAZY | RTLD_LOCAL);
        if (!lib) lib = dlopen("libvorbisfile.so", RTLD_LAZY | RTLD_LOCAL);
        bool all = lib != nullptr;
        auto find = [&](auto& fn, const char* name) {
            if (lib) fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            all = all && fn;
        };
        find(api.openCallbacks, "ov_open_callbacks");
        find(api.info, "ov_info");
        find(api.readFloat, "ov_read_float");
        find(api.clear, "ov_clear");
        if (!all) WriteReport("Ogg %s を読み込めません", TOBRELK_VORBISFILE_SONAME);
        ok = all;
    });
    return ok ? &api : nullptr;
}
