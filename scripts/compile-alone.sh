#!/usr/bin/env bash
# Compiles every file of the project on its own, syntax only: each source file of a build tree
# with the options its target gives it, and each header of the project included alone. A unity
# batch or a precompiled header hands a file whatever its neighbours included, so a file that
# forgets a header of its own still builds there and fails in a build without them (the
# project's default options); this finds it in a fraction of such a build's time.
#   scripts/compile-alone.sh BUILD_DIR [JOBS]
# BUILD_DIR: a tree configured without TOBRELK_UNITY and TOBRELK_PCH (its compile_commands.json
# names every source file of every target, so a file added later is checked as soon as a target
# has it). A header is compiled with the options of a source file in its own folder, or in the
# nearest folder above it that has one.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$(cd "${1:?usage: scripts/compile-alone.sh BUILD_DIR [JOBS]}" && pwd)
JOBS=${2:-$(nproc)}
DB=$BUILD/compile_commands.json
[ -f "$DB" ] || { echo "compile-alone: no $DB (configure the tree first)" >&2; exit 2; }
if grep -q 'cmake_pch\|unity_[0-9]*_cxx' "$DB"; then
    echo "compile-alone: $BUILD is configured with TOBRELK_UNITY or TOBRELK_PCH" >&2
    exit 2
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# One job a line: the folder to run in, the file checked, the compile command. The object file
# goes and -fsyntax-only takes the place of -c: nothing is written.
# (@tsv would double the backslashes of the quoted definitions: the fields are joined by hand.)
jq -r '.[] | .directory + "\t" + .file + "\t" + .command' "$DB" |
    awk -F '\t' '{ sub(/ -o [^ ]+/, "", $3); sub(/ -c [^ ]+$/, " -fsyntax-only " $2, $3); print $1 "\t" $2 "\t" $3 }' \
        > "$WORK/jobs"

# Headers: the options of a source file that includes the header (a header may need what its
# target defines), else of the first one found in the header's folder or above it. The header is
# included by its path from the root, as the project's files include it.
jq -r '.[] | .directory + "\t" + .file + "\t" + .command' "$DB" > "$WORK/sources"
cut -f 2 "$WORK/sources" | sort -u > "$WORK/files"
git ls-files --cached --others --exclude-standard '*.h' | while read -r header; do
    user=$(xargs grep -lF "#include \"$header\"" < "$WORK/files" | head -n 1 || true)
    line=$(awk -F '\t' -v f="$user" '$2 == f { print; exit }' "$WORK/sources")
    dir=$(dirname "$header")
    while [ -z "$line" ]; do
        line=$(awk -F '\t' -v d="$ROOT/$dir/" 'index($2, d) == 1 { print; exit }' "$WORK/sources")
        [ "$dir" != . ] || break
        dir=$(dirname "$dir")
    done
    [ -n "$line" ] || { echo "compile-alone: no options for $header" >&2; exit 2; }
    IFS=$'\t' read -r directory _ command <<< "$line"
    command=$(sed -E 's/ -o [^ ]+//; s/ -c [^ ]+$//' <<< "$command")
    printf '%s\t%s\t%s\n' "$directory" "$ROOT/$header" \
        "echo '#include \"$header\"' | $command -x c++ -fsyntax-only -" >> "$WORK/jobs"
done

# Each job's messages go to a folder of its own and are shown, one file after the other, only
# when the file failed.
check() {
    local directory file command out
    IFS=$'\t' read -r directory file command <<< "$1"
    out=$(mktemp -d "$WORK/job.XXXXXX")
    if ! (cd "$directory" && eval "$command") > "$out/messages" 2>&1; then
        echo "${file#"$ROOT"/}" > "$out/failed"
    fi
}
export -f check
export WORK ROOT
tr '\n' '\0' < "$WORK/jobs" | xargs -0 -n 1 -P "$JOBS" bash -c 'check "$1"' _
total=$(wc -l < "$WORK/jobs")
failed=0
for f in "$WORK"/job.*/failed; do
    [ -e "$f" ] || continue
    failed=$((failed + 1))
    echo "== does not compile on its own: $(cat "$f")"
    head -n 40 "$(dirname "$f")/messages"
done
echo "compile-alone: $((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
