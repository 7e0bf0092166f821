// make-demo-game OUT: writes a small complete game into the folder OUT.
#include <cstdio>

#include "tools/DemoGame.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-demo-game FOLDER\n");
        return 2;
    }
    std::string error;
    if (!MakeDemoGame(argv[1], error)) {
        std::fprintf(stderr, "make-demo-game: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
