#!/usr/bin/env bash
# Installs what is missing, builds the runtime and starts it on a game folder.
#   [JOBS=N] ./run.sh [GAME_FOLDER] [STAGE_FILE]   (JOBS: compile jobs, every core by default)
# Without a folder it plays the demo game that the build makes.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
./scripts/install-deps.sh

# The game and its demo-game maker only: the tests have their own command.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTOBRELK_TESTS=OFF -DTOBRELK_BENCH=OFF >/dev/null
cmake --build build/release -j "${JOBS:-$(nproc)}"

GAME=${1:-}
if [ -z "$GAME" ]; then
    GAME=$ROOT/build/release/demo-game
    # Made when missing or when its maker changed; the player's System.ini and user_data stay.
    if [ -x build/release/tools/make-demo-game ]; then
        scripts/demo-game.sh build/release/tools/make-demo-game "$GAME"
    fi
    mkdir -p "$GAME"
fi
GAME=$(cd "$GAME" && pwd)
shift || true
ARGS=()
if [ $# -gt 0 ]; then
    # A stage file given relative to where the user stands must still be found from the game folder.
    if [ -e "$1" ]; then ARGS+=("$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"); else ARGS+=("$1"); fi
fi

# The game folder is the runtime's working folder: data, pictures, music and user_data live there.
cd "$GAME"
exec "$ROOT/build/release/app/tobrelk" "${ARGS[@]}"
