#!/usr/bin/env bash
# Under Xvfb (a 1024x768 screen, no window manager), windowed: a termination signal closes the
# game in order whatever is open: exit code 0 within 2 s, a report line, the window's place
# saved where the player left it, the lock released.
#  1. SIGTERM with the stage choice open (a dialog of the game's own kit, which runs a loop of
#     its own on the window thread), after the player moved the window.
#  2. SIGINT with an SDL message box open: the box of a damaged stage named with 240 letters.
#     The box is no wider than the screen and lies on it, and its Japanese text is drawn with the
#     X server's JIS X 0208 font (screenshot: WORK/long_name_box.png).
#  3. SIGTERM with the same box open at the start (the stage named on the command line): the box
#     is in the middle of the screen, though no window manager framed the game's window, which
#     stays where the start put it: its place is not saved.
#     Killed outright instead, the game takes the box's own process, and the box, along.
#  4. SIGHUP with the drawing-mode question open, before the game has started, after the player
#     moved the window: the start ends, and the window's place is saved. The window has the
#     game's title from its first showing.
# Arguments: the runtime, the demo-game maker, a work folder. Exit 77 (skipped) without the tools.
set -u
exe=$(realpath "$1") maker=$(realpath "$2") work=$3
. "$(dirname "$0")/../support/x_windows.sh"
for tool in xdotool xwininfo xlsfonts import convert flock od; do command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }; done
# The set-up installs the core fonts that SDL's boxes are drawn with (scripts/install-deps.sh).
xlsfonts -fn '*-jisx0208.*' >/dev/null 2>&1 ||
    { echo "the X server has no JIS X 0208 font: the boxes' Japanese texts cannot be read (run scripts/install-deps.sh)"; exit 1; }
rm -rf "$work" && mkdir -p "$work" && "$maker" "$work/game" >/dev/null || exit 1
cd "$work/game" || exit 1
printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini
long=$(printf 'a%.0s' $(seq 240)).stg4_001
head -c 200 /dev/zero | tr '\0' 'x' > "data/stg4/$long"
fail=0

game_window() { game_window_visible; }
# Starts the game, waits for the title menu, and opens the stage choice (the fourth entry). The
# player may move the window first, to $2: the keys that follow come to the game after the move,
# so that the menu's answer to them tells that the game has seen it.
open_stage_choice() {
    "$exe" 2>>"$work/game.err" & pid=$!
    id=$(game_window)
    [ -n "$id" ] || { echo "$1: no window"; kill -KILL $pid; wait $pid; exit 1; }
    if [ -n "${2:-}" ]; then
        xdotool windowmove "$id" $2
        for _ in $(seq 50); do [ "$(place "$id")" = "$2" ] && break; sleep 0.1; done
    fi
    xdotool windowfocus --sync "$id"
    title_choose 3 || { echo "$1: the title menu did not take the keys"; fail=1; }
    wait_shows files || { echo "$1: the stage choice did not open"; fail=1; }
}
# Sends the signal $2 and checks the close: in order, within 2 s, with the report line $3.
close_by() {
    local t0 code
    t0=$(date +%s%N)
    kill -"$2" $pid
    if ! ends_within $pid 2; then
        echo "$1: still running 2 s after SIG$2"; fail=1
        ends_within $pid 10 || { echo "$1: still running 12 s after SIG$2"; kill -KILL $pid; }
    fi
    wait $pid; code=$?
    echo "$1: closed $(( ($(date +%s%N) - t0) / 1000000 )) ms after SIG$2"
    [ $code -eq 0 ] || { echo "$1: ended with $code"; fail=1; }
    grep -q "$3" Report_Game.txt || { echo "$1: no report line \"$3\""; fail=1; }
    flock -n user_data/ゲーム.lock true || { echo "$1: the lock is still held"; fail=1; }
}

# 1. The stage choice, the window moved by the player before.
x_case "SIGTERM at the stage choice"
rm -f Report_Game.txt user_data/Window.dat
open_stage_choice "stage choice" "100 50"
title=$(xdotool getwindowname "$id")
close_by "stage choice" TERM "signal 15 (.*) : closing in order"
read -r x y <<<"$(od -An -t d4 -j 8 -N 8 user_data/Window.dat 2>/dev/null)"
[ "${x:-}" = 100 ] && [ "${y:-}" = 50 ] || { echo "stage choice: Window.dat holds ${x:-?},${y:-?}, not 100,50"; fail=1; }

# 2. The box of the damaged stage: the third row of the file list, after [..] and [old_ver].
x_case "SIGINT at a box in play"
rm -f Report_Game.txt
open_stage_choice "box"
for key in Down Down Return; do press $key; done
box=$(box_window "エラー")
if [ -z "$box" ]; then echo "box: no box appeared"; fail=1; else
    import -window root "$work/long_name_box.png"
    read -r bx by bw bh <<<"$(xwininfo -id "$box" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print x" "y" "w" "h}')"
    [ "$bw" -le 1024 ] || { echo "box: ${bw} px wide on a 1024 px screen"; fail=1; }
    [ "$bx" -ge 0 ] && [ $((bx + bw)) -le 1024 ] && [ "$by" -ge 0 ] && [ $((by + bh)) -le 768 ] ||
        { echo "box: at ${bw}x${bh}+${bx}+${by}, not on the 1024x768 screen"; fail=1; }
fi
close_by "box" INT "signal 2 (.*) : closing in order"
grep -q "^\[エラー\] .*aaaa" Report_Game.txt || { echo "box: its text is not in the report"; fail=1; }
grep -q "MessageBox : signal 2, the box is left unanswered" Report_Game.txt || { echo "box: not reported as unanswered"; fail=1; }

# 3. The same stage named on the command line: its box comes before the window is shown, in the
#    middle of the screen (not off it by as much as the window is from the screen's corner),
#    and SIGTERM ends the start. The window comes where it does for a new player: centred.
x_case "SIGTERM at the start's box"
rm -f Report_Game.txt user_data/Window.dat
"$exe" "data/stg4/$long" 2>>"$work/game.err" & pid=$!
box=$(box_window "エラー")
if [ -z "$box" ]; then echo "start box: no box appeared"; fail=1; else
    read -r bx bw <<<"$(xwininfo -id "$box" | awk '/Absolute upper-left X:/{x=$4} /Width:/{w=$2} END{print x" "w}')"
    [ $((bx + bw / 2 - 512)) -ge -8 ] && [ $((bx + bw / 2 - 512)) -le 8 ] ||
        { echo "start box: its middle at $((bx + bw / 2)), not the screen's 512"; fail=1; }
fi
close_by "start box" TERM "signal 15 (.*) : the start is ended"
[ -e user_data/Window.dat ] && { echo "start box: the place of a window that did not move was saved"; fail=1; }

x_case "killed at the start's box"
# The same box when the game is killed outright (SIGKILL, nothing closes in order): the box's
# own process, which SDL forks to draw it, goes with the game, within 2 s, and its box with it;
# nothing keeps the lock. (A process ended is gone, or a zombie that nobody has waited for yet.)
running() { case $(ps -o stat= -p "$1" 2>/dev/null) in "" | Z*) return 1 ;; esac; }
"$exe" "data/stg4/$long" 2>>"$work/game.err" & pid=$!
box=$(box_window "エラー")
if [ -z "$box" ]; then echo "killed: no box appeared"; fail=1; kill -KILL $pid; wait $pid 2>/dev/null; else
    drawer=$(pgrep -P $pid)
    [ -n "$drawer" ] || { echo "killed: the box has no process of its own"; fail=1; }
    kill -KILL $pid; wait $pid 2>/dev/null
    for _ in $(seq 40); do running "$drawer" || xwininfo -id "$box" >/dev/null 2>&1 || break; sleep 0.05; done
    running "$drawer" && { echo "killed: the box's process still runs 2 s after the game was killed"; fail=1; kill -KILL $drawer; }
    xwininfo -id "$box" >/dev/null 2>&1 && { echo "killed: the box is still on the screen 2 s after the game was killed"; fail=1; }
    flock -n user_data/ゲーム.lock true || { echo "killed: the lock is still held"; fail=1; }
fi
# The box's process was forked with the game's X connection open: the killed game's window went
# with it. The next case must not take it for its own.
for _ in $(seq 100); do [ -z "$(game_windows_shown)" ] && break; sleep 0.1; done
[ -z "$(game_windows_shown)" ] || { echo "killed: the game's window is still shown 10 s after"; fail=1; }

# 4. The drawing-mode question, asked at the start before the game runs; its light grey panel in
#    the middle of the window tells that it is up.
x_case "SIGHUP at the question"
printf 'Direct3D=2\nWindowMode=1\nBpp=0\nExit\n' > System.ini
rm -f Report_Game.txt user_data/Boot.dat user_data/Window.dat
"$exe" 2>>"$work/game.err" & pid=$!
id=$(game_window)
[ -n "$id" ] || { echo "question: no window"; kill -KILL $pid; wait $pid; exit 1; }
wait_shows question || { echo "question: the drawing-mode question did not show"; fail=1; }
shown=$(xdotool getwindowname "$id")
[ -n "$shown" ] && [ "$shown" = "$title" ] || { echo "question: the window is titled \"$shown\", not \"$title\""; fail=1; }
xdotool windowmove "$id" 150 80
for _ in $(seq 50); do [ "$(place "$id")" = "150 80" ] && break; sleep 0.1; done
# Tab takes the focus from the start button (its ring goes): the game has seen the move before it.
xdotool windowfocus --sync "$id"
press_seen Tab 263 275 114 68 || { echo "question: the question did not take Tab"; fail=1; }
close_by "question" HUP "signal 1 (.*) : the start is ended"
read -r x y <<<"$(od -An -t d4 -j 8 -N 8 user_data/Window.dat 2>/dev/null)"
[ "${x:-}" = 150 ] && [ "${y:-}" = 80 ] || { echo "question: Window.dat holds ${x:-?},${y:-?}, not 150,80"; fail=1; }
[ $fail -eq 0 ] || { echo "--- report"; cat Report_Game.txt; echo "--- standard error"; cat "$work/game.err"; }
exit $fail
