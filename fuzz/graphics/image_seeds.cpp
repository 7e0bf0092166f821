// Writes the seed pictures of the picture decoder's fuzz target: BMPs of every depth the games
// use, bottom-up and top-down, a JPEG and a PNG, all small.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/graphics/Image.h"
#include "platform/graphics/Presenter.h"

namespace {

void Write(const std::filesystem::path& path, const std::vector<u8>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

cImage Picture(int w, int h) {
    cImage image;
    image.width = w;
    image.height = h;
    image.argb.resize(static_cast<std::size_t>(w) * h);
    image.indices.resize(image.argb.size());
    image.hasIndices = true;
    image.colorCount = 16;
    for (int i = 0; i < 16; ++i) image.colorTable[i] = static_cast<u32>(i * 0x101010);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const u8 index = static_cast<u8>((x + y) % 16);
            image.indices[static_cast<std::size_t>(y) * w + x] = index;
            image.argb[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | image.colorTable[index];
        }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    const cImage image = Picture(7, 5);
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        Write(out / ("seed_" + std::to_string(bits) + ".bmp"), EncodeBmp(image, bits));
        Write(out / ("seed_" + std::to_string(bits) + "_topdown.bmp"), EncodeBmp(image, bits, true));
    }
    Write(out / "seed.jpg", EncodeJpeg(image, 80));
    if (!WritePngFile((out / "seed.png").string(), image.argb.data(), image.width, image.height))
        return 1;
    return 0;
}
