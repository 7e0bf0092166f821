#include "platform/ui/TtfLibrary.h"

#include <dlfcn.h>

#include <mutex>
#include <type_traits>

#include "platform/system/Report.h"

const TtfLibrary* TtfApi() {
    static std::once_flag once;
    static TtfLibrary api{};
    static bool ok = false;
    std::call_once(once, [] {
        void* lib = dlopen(TOBRELK_SDL2_TTF_SONAME, RTLD_LAZY | RTLD_LOCAL);
        if (!lib) lib = dlopen("libSDL2_ttf.so", RTLD_LAZY | RTLD_LOCAL);
        bool all = lib != nullptr;
        auto find = [&](auto& fn, const char* name) {
            if (lib) fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            all = all && fn;
        };
        find(api.wasInit, "TTF_WasInit");
        find(api.init, "TTF_Init");
        find(api.openFont, "TTF_OpenFont");
        find(api.renderUtf8Blended, "TTF_RenderUTF8_Blended");
        find(api.sizeUtf8, "TTF_SizeUTF8");
        if (!all) WriteReport("Dialog : %s を読み込めません", TOBRELK_SDL2_TTF_SONAME);
        ok = all;
    });
    return ok ? &api : nullptr;
}
