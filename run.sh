#!/usr/bin/env bash
# Installs what is missing, builds the runtime and starts it on a game folder.
#   [JOBS=N] ./run.sh [GAME_FOLDER] [STAGE_FILE]   (JOBS: compile jobs, every core by default)
# Without a folder it plays the demo game that the build makes.
set -euo pipefail
# The folder and the stage given are found from where the user stands, before anything is built.
GAME=""
if [ -n "${1:-}" ]; then
    GAME=$(cd "$1" 2>/dev/null && pwd) || { echo "run.sh: there is no game folder $1 (from $PWD)" >&2; exit 1; }
fi
ARGS=()
if [ $# -gt 1 ]; then
    # A stage file, or a stage named without its number (data/stg4/c01-1), whose folder is here
    # is named to the game by its full path; another is the game's own name for it, found from
    # the game folder.
    STAGE=$2
    if [ -e "$STAGE" ] || [ -d "$(dirname "$STAGE")" ]; then
        STAGE=$(cd "$(dirname "$STAGE")" && pwd)/$(basename "$STAGE")
    fi
    ARGS+=("$STAGE")
fi
cd "$(dirname "$0")"
ROOT=$PWD
./scripts/install-deps.sh

# The game and its demo-game maker only: the tests have their own command.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTOBRELK_TESTS=OFF -DTOBRELK_BENCH=OFF >/dev/null
cmake --build build/release -j "${JOBS:-$(nproc)}"

if [ -z "$GAME" ]; then
    GAME=$ROOT/build/release/demo-game
    # Made when missing or when its maker changed; the player's System.ini and user_data stay.
    if [ -x build/release/tools/make-demo-game ]; then
        scripts/demo-game.sh build/release/tools/make-demo-game "$GAME"
    fi
    mkdir -p "$GAME"
fi

# The game folder is the runtime's working folder: data, pictures, music and user_data live there.
cd "$GAME"
exec "$ROOT/build/release/app/tobrelk" "${ARGS[@]}"
