#include "platform/graphics/JpegLibrary.h"

#include <mutex>

#include "platform/system/RuntimeLibrary.h"

const JpegLibrary* JpegApi() {
    static std::once_flag once;
    static JpegLibrary api{};
    static bool ok = false;
    std::call_once(once, [] {
        cRuntimeLibrary lib(TOBRELK_JPEG_SONAME, "libjpeg.so");
        lib.Find(api.stdError, "jpeg_std_error");
        lib.Find(api.createDecompress, "jpeg_CreateDecompress");
        lib.Find(api.memSrc, "jpeg_mem_src");
        lib.Find(api.readHeader, "jpeg_read_header");
        lib.Find(api.startDecompress, "jpeg_start_decompress");
        lib.Find(api.readScanlines, "jpeg_read_scanlines");
        lib.Find(api.finishDecompress, "jpeg_finish_decompress");
        lib.Find(api.destroyDecompress, "jpeg_destroy_decompress");
        lib.Find(api.createCompress, "jpeg_CreateCompress");
        lib.Find(api.memDest, "jpeg_mem_dest");
        lib.Find(api.setDefaults, "jpeg_set_defaults");
        lib.Find(api.setQuality, "jpeg_set_quality");
        lib.Find(api.startCompress, "jpeg_start_compress");
        lib.Find(api.writeScanlines, "jpeg_write_scanlines");
        lib.Find(api.finishCompress, "jpeg_finish_compress");
        lib.Find(api.destroyCompress, "jpeg_destroy_compress");
        ok = lib.FoundAll();
    });
    return ok ? &api : nullptr;
}
