#!/usr/bin/env bash
# Compiles every header of the project on its own (syntax only): a header must bring in what it
# uses, whichever file includes it first. A build without unity batches and precompiled headers
# (the project's default options) compiles each source file on its own, and with it each header
# that a source file includes first; a header that leans on what its includers happen to include
# before it is found only here.
#   scripts/headers-alone.sh BUILD_DIR [JOBS]
# BUILD_DIR: a tree configured without TOBRELK_UNITY and TOBRELK_PCH and built (so its headers
# first included are checked already); its compile_commands.json gives each other header the
# options of a source file that includes it (a header may need what its target defines), else
# those of the first source file found in its folder or the nearest folder above. Every header
# git knows of, or that is new beside them, is checked: one added later is checked from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$(cd "${1:?usage: scripts/headers-alone.sh BUILD_DIR [JOBS]}" && pwd)
JOBS=${2:-$(nproc)}
DB=$BUILD/compile_commands.json
[ -f "$DB" ] || { echo "headers-alone: no $DB (configure the tree first)" >&2; exit 2; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# One source file a line: its folder, its path, its compile command (joined by hand: @tsv would
# double the backslashes of the quoted definitions).
jq -r '.[] | .directory + "\t" + .file + "\t" + .command' "$DB" > "$WORK/sources"
cut -f 2 "$WORK/sources" | sort -u > "$WORK/files"
if grep -q '/unity_[0-9]*_cxx\.cxx$' "$WORK/files" || grep -q 'cmake_pch' "$WORK/sources"; then
    echo "headers-alone: configure $BUILD without TOBRELK_UNITY and TOBRELK_PCH" >&2
    exit 2
fi
# The headers that a source file of the tree includes before anything else: its build compiled
# them on their own already.
xargs grep -m 1 -h '^#include' < "$WORK/files" | sed -n 's/^#include "\(.*\)".*/\1/p' | sort -u > "$WORK/first"

# One job a line: the folder to run in, the header, the command that includes it alone by its
# path from the root (as the project's files include it); the object file goes: nothing is
# written.
git ls-files --cached --others --exclude-standard '*.h' > "$WORK/headers"
: > "$WORK/jobs"
{ grep -vxF -f "$WORK/first" "$WORK/headers" || true; } | while read -r header; do
    user=$(xargs grep -lF "#include \"$header\"" < "$WORK/files" | head -n 1 || true)
    line=$(awk -F '\t' -v f="$user" '$2 == f { print; exit }' "$WORK/sources")
    dir=$(dirname "$header")
    while [ -z "$line" ]; do
        line=$(awk -F '\t' -v d="$ROOT/$dir/" 'index($2, d) == 1 { print; exit }' "$WORK/sources")
        [ "$dir" != . ] || break
        dir=$(dirname "$dir")
    done
    [ -n "$line" ] || { echo "headers-alone: no options for $header" >&2; exit 2; }
    IFS=$'\t' read -r directory _ command <<< "$line"
    command=$(sed -E 's/ -o [^ ]+//; s/ -c [^ ]+$//' <<< "$command")
    printf '%s\t%s\t%s\n' "$directory" "$header" \
        "echo '#include \"$header\"' | $command -x c++ -fsyntax-only -" >> "$WORK/jobs"
done

# Each job's messages go to a folder of its own and are shown, one header after the other, only
# when the header failed.
check() {
    local directory header command out
    IFS=$'\t' read -r directory header command <<< "$1"
    out=$(mktemp -d "$WORK/job.XXXXXX")
    if ! (cd "$directory" && eval "$command") > "$out/messages" 2>&1; then
        echo "$header" > "$out/failed"
    fi
}
export -f check
export WORK
tr '\n' '\0' < "$WORK/jobs" | xargs -0 -n 1 -P "$JOBS" bash -c 'check "$1"' _
total=$(wc -l < "$WORK/jobs")
failed=0
for f in "$WORK"/job.*/failed; do
    [ -e "$f" ] || continue
    failed=$((failed + 1))
    echo "== does not compile on its own: $(cat "$f")"
    head -n 40 "$(dirname "$f")/messages"
done
built=$(($(wc -l < "$WORK/headers") - total))
if [ "$failed" -eq 0 ]; then
    echo "headers-alone: $total headers compile on their own here, and $built did in the build"
else
    echo "headers-alone: $failed of the $total headers compiled here do not compile on their own"
    exit 1
fi
