#!/usr/bin/env bash
# ./run.sh's game folder and stage, in a copy of it whose set-up, build and game only say what
# they were given (the game: its folder and arguments). Named from another folder than the
# repository, the game folder and the stage are found from there, a stage named without its
# number too; a stage not found there goes to the game as named (the game's own name for it, from
# its folder). Without a folder the demo game plays, from the repository as from elsewhere. A
# folder that does not exist is said so before anything is built, and nothing starts.
# Arguments: run.sh, a work folder.
set -u
work=$(realpath -m "$2")
rm -rf "$work" && mkdir -p "$work/repo/scripts" "$work/repo/build/release/app" "$work/bin" || exit 1
cp "$1" "$work/repo/run.sh"
printf '#!/bin/sh\nexit 0\n' > "$work/repo/scripts/install-deps.sh"
printf '#!/bin/sh\necho "$*" >> "%s"\n' "$work/built" > "$work/bin/cmake"
printf '#!/bin/sh\necho "$PWD|$*"\n' > "$work/repo/build/release/app/tobrelk"
chmod +x "$work/repo/run.sh" "$work/repo/scripts/install-deps.sh" "$work/bin/cmake" "$work/repo/build/release/app/tobrelk"
mkdir -p "$work/user/g6/data/stg4" "$work/user/mine" && touch "$work/user/mine/s.stg4_001"
export PATH="$work/bin:$PATH"
fail=0
# Runs run.sh from the folder $1 with the arguments after it, and checks that the game ran in
# the folder $2 with the arguments $3.
ran() {
    local from=$1 in=$2 with=$3 got
    shift 3
    got=$(cd "$from" && "$work/repo/run.sh" "$@" 2>&1)
    [ "$got" = "$in|$with" ] || { echo "run.sh $* from $from: \"$got\", not \"$in|$with\""; fail=1; }
}
u=$work/user
ran "$u" "$u/g6" "" g6
ran "$u" "$u/g6" "$u/mine/s.stg4_001" g6 mine/s.stg4_001
ran "$u" "$u/g6" "$u/mine/s" g6 mine/s
ran "$u" "$u/g6" "$u/mine/s.stg4_001" ./g6/ "$u/mine/s.stg4_001"
ran "$u" "$u/g6" "data/stg4/c01-1" g6 data/stg4/c01-1
ran "$u/g6" "$u/g6" "$u/g6/data/stg4/c01-1" . data/stg4/c01-1
ran "$u" "$work/repo/build/release/demo-game" ""
ran "$work/repo" "$work/repo/build/release/demo-game" ""
rm -f "$work/built"
got=$(cd "$u" && "$work/repo/run.sh" g7 2>&1); code=$?
[ $code -eq 1 ] && [ "$got" = "run.sh: there is no game folder g7 (from $u)" ] ||
    { echo "run.sh g7 (no such folder): exit code $code, \"$got\""; fail=1; }
[ -e "$work/built" ] && { echo "run.sh g7 (no such folder): built first"; fail=1; }
exit $fail
