#!/usr/bin/env bash
# Under Xvfb (a 1024x768 screen, no window manager), windowed: a stage whose name is as long as
# the system takes (255 bytes, a copy of the demo's first stage) in a game folder 200 bytes deep.
#  1. Chosen in the stage choice (title menu: Down x3, Z; the first file of the list), it is
#     played; F1 in play opens the replay-save dialog with its proposed name, and Return saves
#     it as proposed: the stage's part cut so that the name, with its date and extension, takes
#     255 bytes.
#  2. Named in full on the command line (an absolute path of more than 460 bytes), it is played,
#     and its replay saved the same way, numbered " (2)" when the minute is the same.
# Each run ends with Escape: exit code 0, no failure line in the report.
# Arguments: the runtime, the demo-game maker, a work folder. Exit 77 (skipped) without the tools.
set -u
exe=$(realpath "$1") maker=$(realpath "$2") work=$(realpath -m "$3")
. "$(dirname "$0")/../support/x_windows.sh"
for tool in xdotool xwininfo import convert; do command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }; done
rm -rf "$work" && mkdir -p "$work" || exit 1
deep=$work
while [ ${#deep} -lt 195 ]; do deep=$deep/$(printf 'd%.0s' $(seq 40)); done
game=$deep/game
"$maker" "$game" >/dev/null || exit 1
cd "$game" || exit 1
[ ${#game} -ge 200 ] || { echo "the game folder is ${#game} bytes deep, not 200"; exit 1; }
printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini
stem=$(printf 'a%.0s' $(seq 246))
cp data/stg4/Demo-1.stg4_001 "data/stg4/$stem.stg4_001"
fail=0

# In play, F1 held until the replay-save dialog comes (the game asks for it only once the
# recording holds a frame: the play's first frames may come long after the window on a loaded
# machine), let go in the dialog; then Return saves the proposal. $1 names the run.
save_replay() {
    local end
    xdotool keydown F1
    wait_shows files || { echo "$1: F1 opened no replay-save dialog"; xdotool keyup F1; fail=1; return; }
    xdotool keyup F1
    import -window root "$work/$2"
    press Return
    end=$(wait_end)
    while shows files; do
        past "$end" "the replay-save dialog closed" && { echo "$1: the replay-save dialog stayed open"; fail=1; return; }
        sleep 0.25
    done
}
# Escape ends the play and the game: exit code 0, and no line of a failed load or save.
finish() {
    local code
    press Escape
    ends_within $pid 10 || { echo "$1: still running after Escape"; kill -KILL $pid; fail=1; }
    wait $pid; code=$?
    [ $code -eq 0 ] || { echo "$1: ended with $code"; fail=1; }
    grep -q "失敗" Report_Game.txt && { echo "$1: a failure in the report"; fail=1; }
}
# The replays saved: each name 255 bytes, the stage's part cut, the date and extension kept.
saved_replays() {
    local count=0 name
    for name in user_data/rpl4/*.rpl4_824; do
        [ -e "$name" ] || continue
        name=${name#user_data/rpl4/}
        count=$((count + 1))
        [ ${#name} -eq 255 ] || { echo "$1: the replay $name is ${#name} bytes long"; fail=1; }
        [[ "$name" =~ ^a{222,226}__[0-9]{4}__[0-9]{2}_[0-9]{2}__[0-9]{2}_[0-9]{2}(\ \([0-9]+\))?\.rpl4_824$ ]] ||
            { echo "$1: the replay is saved as $name"; fail=1; }
    done
    [ $count -eq "$2" ] || { echo "$1: $count replays saved, not $2"; ls user_data/rpl4; fail=1; }
}

# 1. The stage choice: the long name is the list's first file, after [..] and [old_ver].
x_case "the stage choice"
rm -f Report_Game.txt
"$exe" 2>>"$work/game.err" & pid=$!
id=$(game_window_visible)
[ -n "$id" ] || { echo "stage choice: no window"; kill -KILL $pid; wait $pid; exit 1; }
xdotool windowfocus --sync "$id"
title_choose 3 || { echo "stage choice: the title menu did not take the keys"; fail=1; }
wait_shows files || { echo "stage choice: the stage choice did not open"; fail=1; }
import -window root "$work/stage_choice.png"
for key in Down Down Return; do press $key; done
save_replay "stage choice" replay_save_1.png
finish "stage choice"
saved_replays "stage choice" 1

# 2. The command line: the absolute path of the whole name.
x_case "the command line"
rm -f Report_Game.txt
"$exe" "$game/data/stg4/$stem.stg4_001" 2>>"$work/game.err" & pid=$!
id=$(game_window_visible)
[ -n "$id" ] || { echo "command line: no window"; kill -KILL $pid; wait $pid; exit 1; }
xdotool windowfocus --sync "$id"
save_replay "command line" replay_save_2.png
finish "command line"
saved_replays "command line" 2

[ $fail -eq 0 ] || { echo "--- report"; cat Report_Game.txt; echo "--- standard error"; cat "$work/game.err"; }
exit $fail
