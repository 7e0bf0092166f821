#include "platform/ui/TtfLibrary.h"

#include <mutex>

#include "platform/system/Report.h"
#include "platform/system/RuntimeLibrary.h"

const TtfLibrary* TtfApi() {
    static std::once_flag once;
    static TtfLibrary api{};
    static bool ok = false;
    std::call_once(once, [] {
        cRuntimeLibrary lib(TOBRELK_SDL2_TTF_SONAME, "libSDL2_ttf.so");
        lib.Find(api.wasInit, "TTF_WasInit");
        lib.Find(api.init, "TTF_Init");
        lib.Find(api.openFont, "TTF_OpenFont");
        lib.Find(api.renderUtf8Blended, "TTF_RenderUTF8_Blended");
        lib.Find(api.sizeUtf8, "TTF_SizeUTF8");
        if (!lib.FoundAll()) WriteReport("Dialog : %s を読み込めません", TOBRELK_SDL2_TTF_SONAME);
        ok = lib.FoundAll();
    });
    return ok ? &api : nullptr;
}
