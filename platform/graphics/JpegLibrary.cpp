#include "platform/graphics/JpegLibrary.h"

#include <dlfcn.h>

#include <mutex>
#include <type_traits>

const JpegLibrary* JpegApi() {
    static std::once_flag once;
    static JpegLibrary api{};
    static bool ok = false;
    std::call_once(once, [] {
        void* lib = dlopen(TOBRELK_JPEG_SONAME, RTLD_LAZY | RTLD_LOCAL);
        if (!lib) lib = dlopen("libjpeg.so", RTLD_LAZY | RTLD_LOCAL);
        bool all = lib != nullptr;
        auto find = [&](auto& fn, const char* name) {
            if (lib) fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            all = all && fn;
        };
        find(api.stdError, "jpeg_std_error");
        find(api.createDecompress, "jpeg_CreateDecompress");
        find(api.memSrc, "jpeg_mem_src");
        find(api.readHeader, "jpeg_read_header");
        find(api.startDecompress, "jpeg_start_decompress");
        find(api.readScanlines, "jpeg_read_scanlines");
        find(api.finishDecompress, "jpeg_finish_decompress");
        find(api.destroyDecompress, "jpeg_destroy_decompress");
        find(api.createCompress, "jpeg_CreateCompress");
        find(api.memDest, "jpeg_mem_dest");
        find(api.setDefaults, "jpeg_set_defaults");
        find(api.setQuality, "jpeg_set_quality");
        find(api.startCompress, "jpeg_start_compress");
        find(api.writeScanlines, "jpeg_write_scanlines");
        find(api.finishCompress, "jpeg_finish_compress");
        find(api.destroyCompress, "jpeg_destroy_compress");
        ok = all;
    });
    return ok ? &api : nullptr;
}
