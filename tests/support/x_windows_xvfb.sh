#!/usr/bin/env bash
# The desktop tests' own helpers (x_windows.sh) under Xvfb, on the game: a script whose wait does
# not see what it waits for ends at its next wait, and says where and what it did not run.
#  1. A wait for a screen that does not come (the stage choice, with a bound of 4 s): the script goes on to its next wait,
#     one run in a command substitution, and ends there with exit code 1, naming the case it
#     stopped in and the two cases it did not run; the game it started is ended with it.
#  2. The same when the next case starts before any other wait.
#  3. A message box where the title menu should be (a damaged world map): the wait ends a few
#     seconds after the box came, not at its bound of a minute, naming the box; the script ends at
#     the game's end it waits for next. A wait for that box (box_window) is not ended by it.
# Arguments: the runtime, the demo-game maker, a work folder. Exit 77 (skipped) without the tools.
set -u
exe=$(realpath "$1") maker=$(realpath "$2") work=$(realpath -m "$3")
helpers=$(realpath "$(dirname "$0")/x_windows.sh")
for tool in xdotool xwininfo xprop import convert; do command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }; done
rm -rf "$work" && mkdir -p "$work" && "$maker" "$work/game" >/dev/null || exit 1
printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > "$work/game/System.ini"
fail=0

# Writes the script $1 (under $work/$1, a game folder of its own) from the body on standard
# input, runs it, and sets out (its output), code and took (its seconds).
run() {
    local dir=$work/$1 t0
    mkdir -p "$dir" && cp -r "$work/game" "$dir/game" || exit 1
    { printf '#!/usr/bin/env bash\nset -u\nexe=%q work=%q\n. %q\ncd "$work/game" || exit 1\n' "$exe" "$dir" "$helpers"; cat; } > "$dir/$1.sh"
    t0=$SECONDS
    # Into a file: a game the script leaves running must not hold up the test.
    timeout -k 5 240 bash "$dir/$1.sh" > "$dir/out" 2>&1; code=$?
    out=$(cat "$dir/out")
    took=$((SECONDS - t0))
    echo "--- $1 (exit code $code, $took s)"; echo "$out"
}
# Checks that the script $1 failed and ended within $2 seconds, saying "$3", without the lines
# "$4", and that the game it started has ended.
check() {
    [ $code -eq 1 ] || { echo "$1: exit code $code, not 1"; fail=1; }
    [ $took -le "$2" ] || { echo "$1: took $took s, more than $2"; fail=1; }
    grep -q -F -- "$3" <<<"$out" || { echo "$1: does not say: $3"; fail=1; }
    grep -q -E -- "$4" <<<"$out" && { echo "$1: ran on: $(grep -E -- "$4" <<<"$out" | tr '\n' ' ')"; fail=1; }
    local game
    game=$(cat "$work/$1/pid" 2>/dev/null)
    [ -n "$game" ] || { echo "$1: started no game"; fail=1; return; }
    for _ in $(seq 50); do kill -0 "$game" 2>/dev/null || return 0; sleep 0.1; done
    echo "$1: its game still runs"; kill -KILL "$game"; fail=1
}

run next_wait <<'EOF'
x_case "the title menu"
"$exe" 2>/dev/null & pid=$!
echo $pid > "$work/pid"
id=$(game_window_visible)
wait_shows title 0 || echo "waited in vain for the title menu"
x_case "a screen that never comes"
X_WAIT_BOUND=4
wait_shows files || echo "the stage choice did not show"
echo "went on to the next wait"
id=$(game_window_visible)
echo "past the next wait"
x_case "not run 1"
echo "ran not run 1"
x_case "not run 2"
echo "ran not run 2"
exit 0
EOF
check next_wait 150 'stopped in the case "a screen that never comes", the wait for the state files having failed; cases not run: "not run 1", "not run 2"' \
    'waited in vain|past the next wait|ran not run'
grep -q -x "the stage choice did not show" <<<"$out" && grep -q -x "went on to the next wait" <<<"$out" ||
    { echo "next_wait: the case did not go on to its next wait"; fail=1; }

run next_case <<'EOF'
x_case "a screen that never comes"
"$exe" 2>/dev/null & pid=$!
echo $pid > "$work/pid"
id=$(game_window_visible)
X_WAIT_BOUND=4
wait_shows files || echo "the stage choice did not show"
x_case "not run"
echo "ran not run"
exit 0
EOF
check next_case 150 'stopped in the case "a screen that never comes", the wait for the state files having failed; cases not run: "not run"' \
    'ran not run'

run box <<'EOF'
head -c 200 /dev/zero | tr '\0' 'x' > data/WorldMap.dat
x_case "a box in place of the title menu"
"$exe" 2>/dev/null & pid=$!
echo $pid > "$work/pid"
id=$(game_window_visible)
[ -n "$(box_window "エラー")" ] && echo "the box came at $SECONDS"
# Looks every second: a wait for the box it finds is not ended by that box.
for _ in 1 2 3 4 5 6; do sleep 1; [ -n "$(box_window "エラー")" ] || echo "the box was not found"; done
[ -e "$work/failed_wait" ] && echo "a wait for the box failed"
wait_shows title 0 || echo "the title menu did not show at $SECONDS"
ends_within $pid 60
echo "past the game's end"
exit 0
EOF
check box 150 'stopped in the case "a box in place of the title menu", the wait for the state title 0 (the box "エラー" stands in its place) having failed; cases not run: none' \
    'the box was not found|a wait for the box failed|past the game.s end'
came=$(sed -n 's/^the box came at //p' <<<"$out") ended=$(sed -n 's/^the title menu did not show at //p' <<<"$out")
[ -n "$came" ] && [ -n "$ended" ] && [ $((ended - came)) -le 30 ] ||
    { echo "box: the wait for the title menu ended at ${ended:-?} s, the box came at ${came:-?} s"; fail=1; }
exit $fail
