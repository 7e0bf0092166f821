// Writes the Ogg seeds into the folder given: Debian's sound-theme files when installed, the
// demo game's music, and the hostile files that once reached memory errors (regressions).
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/DemoMedia.h"

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    namespace fs = std::filesystem;
    const fs::path dir = argv[1];
    fs::create_directories(dir);
    std::error_code ec;
    for (const fs::path& from : {fs::path("/usr/share/sounds/freedesktop/stereo"), fs::path(TOBRELK_OGG_REGRESSIONS)}) {
        for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string ext = it->path().extension().string();
            if (ext == ".oga" || ext == ".ogg")
                fs::copy_file(it->path(), dir / it->path().filename(), fs::copy_options::overwrite_existing, ec);
        }
    }
    std::ofstream(dir / "demo_field.ogg", std::ios::binary) << MakeOgg();
    return 0;
}
