#include "platform/sound/VorbisLibrary.h"

#include <cstdlib>
#include <mutex>

#include "platform/system/Report.h"
#include "platform/system/RuntimeLibrary.h"

const VorbisLibrary* VorbisApi() {
    static std::once_flag once;
    static VorbisLibrary api{};
    static bool ok = false;
    std::call_once(once, [] {
        // TOBRELK_VORBISFILE names another library file (tests: one that cannot be opened).
        const char* other = std::getenv("TOBRELK_VORBISFILE");
        cRuntimeLibrary lib(other ? other : TOBRELK_VORBISFILE_SONAME, other ? other : "libvorbisfile.so");
        lib.Find(api.openCallbacks, "ov_open_callbacks");
        lib.Find(api.info, "ov_info");
        lib.Find(api.readFloat, "ov_read_float");
        lib.Find(api.clear, "ov_clear");
        if (!lib.FoundAll()) WriteReport("Ogg %s を読み込めません", other ? other : TOBRELK_VORBISFILE_SONAME);
        ok = lib.FoundAll();
    });
    return ok ? &api : nullptr;
}
