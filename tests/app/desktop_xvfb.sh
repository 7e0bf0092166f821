#!/usr/bin/env bash
# Under Xvfb (a 1024x600 screen, no window manager): the runtime on a real X display.
#  1. Full screen in DirectDraw 16 and Direct3D 16 covers the screen: the 640x480 picture scaled
#     with its aspect kept (to 800x600), centred, black bars left and right, its bottom rows (the
#     status bar, the frame counter) on the screen. Screenshots: WORK/fullscreen_*.png.
#  2. Windowed, the window comes up where the player left it (Window.dat), also when the
#     drawing-mode question shows it first; a move made while the question is open is kept once
#     the question is answered (Return), and saved at the close.
#  3. Another program destroying the game's window (xdotool windowclose) ends the game in order:
#     exit code 0, a report line, the window's place saved, the lock released.
# In every run, no window comes up and vanishes again before the game is closed.
# Arguments: the runtime, the demo-game maker, a work folder. Exit 77 (skipped) without the tools.
set -u
exe=$(realpath "$1") maker=$(realpath "$2") work=$3
. "$(dirname "$0")/../support/x_windows.sh"
for tool in xdotool xwininfo xev xprop import convert flock; do command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }; done
rm -rf "$work" && mkdir -p "$work" && "$maker" "$work/game" >/dev/null || exit 1
cd "$work/game" || exit 1
x_events_start "$work/x_events.log" || { echo "the X event log did not start"; exit 1; }
fail=0

# Every wait ends on what it waits for, with a bound far beyond an idle machine's time: a
# sanitizer build on a busy machine starts and draws many times slower (wait_end: after a
# failed wait, each later one looks once).
# The id of the game's window once it is shown, or nothing. The window shown is the one that
# stays: a renderer that needs another kind of X window is made before it is shown.
game_window() {
    local id end
    end=$(wait_end 120)
    while :; do
        for id in $(game_windows_shown); do
            xwininfo -id "$id" | grep -q -- '-geometry 1x1+' || { echo "$id"; return; }
        done
        past "$end" "the game's window" && return
        sleep 0.1
    done
}
# Marks where the X event log stands at a run's start; flashed_since prints the windows that
# were shown and destroyed again since then.
run_start() { run_from=$(($(wc -l < "$work/x_events.log") + 1)); }
flashed_since() {
    tail -n +$run_from "$work/x_events.log" > "$work/x_events_run.log"
    x_events_flashed "$work/x_events_run.log" | tr '\n' ' '
}
# Waits until the screen holds the title menu, faded in (most of the region $2 of the screenshot
# $1 is lit): the game's frames are running. False if it does not come.
wait_lit() {
    local end
    end=$(wait_end 120)
    while :; do
        import -window root "$1"
        lit=$(convert "$1" -crop "$2" +repage -threshold 1% -format "%[fx:mean]" info:)
        awk -v m="$lit" 'BEGIN{exit !(m > 0.5)}' && return 0
        past "$end" "the title menu lit" && return 1
        sleep 0.5
    done
}
# The colour of one screen pixel as "r,g,b".
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

x_case "full screen"
for mode in "0 16 dd16" "1 16 d3d16"; do
    set -- $mode
    printf 'Direct3D=%s\nWindowMode=0\nBpp=%s\nShowFps=1\nExit\n' "$1" "$2" > System.ini
    rm -f Report_Game.txt
    run_start
    "$exe" 2>"$work/$3.err" & pid=$!
    id=$(game_window)
    if [ -z "$id" ]; then echo "$3: no window"; cat "$work/$3.err"; fail=1; kill -TERM $pid; wait $pid; continue; fi
    shot="$work/fullscreen_$3.png"
    wait_lit "$shot" 800x600+112+0
    geometry=$(xwininfo -id "$id" | awk '/Width:/{w=$2} /Height:/{h=$2} /Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print w"x"h"+"x"+"y}')
    [ "$geometry" = "1024x600+0+0" ] || { echo "$3: the window is $geometry, not the whole screen"; fail=1; }
    # The bars left and right of the 800x600 picture are black; the picture reaches the screen's
    # bottom (its lowest rows are not cut off) and its right edge at x 911.
    for at in "20 300" "1003 300" "100 590" "924 10"; do
        [ "$(pixel "$shot" $at)" = "0,0,0" ] || { echo "$3: not black at $at"; fail=1; }
    done
    lit=$(convert "$shot" -crop 800x600+112+0 +repage -threshold 1% -format "%[fx:mean]" info:)
    awk -v m="$lit" 'BEGIN{exit !(m > 0.5)}' || { echo "$3: the picture is mostly black ($lit)"; fail=1; }
    bottom=$(convert "$shot" -crop 800x8+112+592 +repage -threshold 1% -format "%[fx:mean]" info:)
    awk -v m="$bottom" 'BEGIN{exit !(m > 0)}' || { echo "$3: the picture's bottom rows are not on the screen"; fail=1; }
    flashed=$(flashed_since)
    [ -z "$flashed" ] || { echo "$3: windows shown and destroyed again: $flashed"; fail=1; }
    kill -TERM $pid
    wait $pid || { echo "$3: ended with $?"; cat "$work/$3.err"; fail=1; }
done

# Windowed, where the player left it: Window.dat holds x 300, y 40, 640x480, not maximised.
x_case "windowed where it was left"
printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini
mkdir -p user_data
printf '\x38\x03\0\0\x05\0\0\0\x2c\x01\0\0\x28\0\0\0\x80\x02\0\0\xe0\x01\0\0\0\0\0\0\0\0\0\0' > user_data/Window.dat
run_start
"$exe" 2>"$work/placed.err" & pid=$!
id=$(game_window)
if [ -z "$id" ]; then echo "placed: no window"; cat "$work/placed.err"; fail=1; else
    wait_lit "$work/windowed_placed.png" 640x480+300+40 || { echo "placed: the title menu did not light up ($lit)"; fail=1; }
    geometry=$(xwininfo -id "$id" | awk '/Width:/{w=$2} /Height:/{h=$2} /Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print w"x"h"+"x"+"y}')
    [ "$geometry" = "640x480+300+40" ] || { echo "placed: the window is at $geometry, not where Window.dat put it"; fail=1; }
    flashed=$(flashed_since)
    [ -z "$flashed" ] || { echo "placed: windows shown and destroyed again: $flashed"; fail=1; }
fi
kill -TERM $pid
wait $pid || { echo "placed: ended with $?"; cat "$work/placed.err"; fail=1; }

# The drawing-mode question shows the window where Window.dat puts it; the player moves it there.
x_case "the question where it was left"
printf 'Direct3D=2\nWindowMode=1\nBpp=0\nExit\n' > System.ini
rm -f user_data/Boot.dat
"$exe" 2>"$work/question.err" & pid=$!
id=$(game_window)
if [ -z "$id" ]; then echo "question: no window"; cat "$work/question.err"; fail=1; else
    wait_shows question || { echo "question: the drawing-mode question did not show"; fail=1; }
    at=$(place "$id")
    [ "$at" = "300 40" ] || { echo "question: shown at $at, not where Window.dat put it (300 40)"; fail=1; }
    move_window "$id" 200 100
    xdotool windowfocus --sync "$id"
    press Return
    wait_shows title 0 || { echo "question: the title menu did not show"; fail=1; }
    at=$(place "$id")
    [ "$at" = "200 100" ] || { echo "question: the game started at $at, not where the player moved it (200 100)"; fail=1; }
fi
kill -TERM $pid
wait $pid || { echo "question: ended with $?"; cat "$work/question.err"; fail=1; }
read -r x y <<<"$(od -An -t d4 -j 8 -N 8 user_data/Window.dat 2>/dev/null)"
[ "${x:-}" = 200 ] && [ "${y:-}" = 100 ] || { echo "question: Window.dat holds ${x:-?},${y:-?}, not 200,100"; fail=1; }
printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini

# Windowed, then the window destroyed by another program once the game runs its frames (its
# place is saved only from then on).
x_case "the window destroyed"
rm -f Report_Game.txt user_data/Window.dat
"$exe" 2>"$work/closed.err" & pid=$!
id=$(game_window)
if [ -z "$id" ]; then echo "no window"; kill -TERM $pid; wait $pid; exit 1; fi
wait_lit "$work/windowed.png" 640x480+192+60 || { echo "the title menu did not light up ($lit)"; fail=1; }
xdotool windowclose "$id"
ends_within $pid 120 || { echo "still running after its window was destroyed"; kill -KILL $pid; fail=1; }
wait $pid; code=$?
[ $code -eq 0 ] || { echo "ended with $code after its window was destroyed"; cat "$work/closed.err"; fail=1; }
grep -q 'ウインドウが外から破棄されました' Report_Game.txt || { echo "no report line"; fail=1; }
[ -s user_data/Window.dat ] || { echo "the window's place was not saved"; fail=1; }
flock -n user_data/ゲーム.lock true || { echo "the lock is still held"; fail=1; }
x_events_stop
exit $fail
