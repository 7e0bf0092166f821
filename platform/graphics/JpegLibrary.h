#pragma once
// The JPEG codec, opened by the first JPEG picture rather than with the program: loading it
// cost every start time that a game of BMP and PNG pictures never needs back.
#include <cstdio>

#include <jpeglib.h>

struct JpegLibrary {
    decltype(&jpeg_std_error) stdError;
    decltype(&jpeg_CreateDecompress) createDecompress;
    decltype(&jpeg_mem_src) memSrc;
    decltype(&jpeg_read_header) readHeader;
    decltype(&jpeg_start_decompress) startDecompress;
    decltype(&jpeg_read_scanlines) readScanlines;
    decltype(&jpeg_finish_decompress) finishDecompress;
    decltype(&jpeg_destroy_decompress) destroyDecompress;
    decltype(&jpeg_CreateCompress) createCompress;
    decltype(&jpeg_mem_dest) memDest;
    decltype(&jpeg_set_defaults) setDefaults;
    decltype(&jpeg_set_quality) setQuality;
    decltype(&jpeg_start_compress) startCompress;
    decltype(&jpeg_write_scanlines) writeScanlines;
    decltype(&jpeg_finish_compress) finishCompress;
    decltype(&jpeg_destroy_compress) destroyCompress;
};

// Null when the library or one of its functions cannot be found.
const JpegLibrary* JpegApi();
