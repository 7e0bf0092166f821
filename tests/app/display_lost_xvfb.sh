#!/usr/bin/env bash
# The X server ends (a logout, a crashed or restarted X, a dropped forwarded session) while one
# of the game's own dialogs waits for the player, windowed, no window manager. Each time the game
# is gone within 1 s with exit code 0, the report line "X11 : the connection to the display was
# lost", the window's place saved where it can be, and the lock released. A write to the closed
# connection raises SIGPIPE, now and then before a read has told the game that the server is
# gone: the game gets one just before (from the test, so that it comes every time) and goes on:
#  1. the stage choice (title menu: Down x3, Z, each key struck shorter than a frame), after the
#     player moved the window;
#  2. the ranking-name dialog (F3 at the clear of a stage, the ranking entered by hand);
#  3. the drawing-mode question, before the game has started, the window moved while it is open.
# The same when another program destroys the window (`xdotool windowclose`) under the question,
# with the report line "X11 : the window ... no longer exists"; a window that did not move keeps
# the place it had: Window.dat is not written.
# A message box that the player cannot answer any more is left unanswered, never taken for Yes:
#  4. the start's question whether to make `data` from `default`, destroyed by another program,
#     its connection killed (`xdotool windowkill`), or its X server ended: the start ends in
#     order within 1 s (exit code 0, the lock released), and `data` is not made; the box's own
#     process gets a SIGPIPE just before, which must not end its box as if it had been answered;
#  5. an error box in play (a damaged stage chosen in the stage choice), destroyed: the game goes
#     on (the title menu takes keys again), and Escape then closes it in order;
#  6. an error box at the start after the window is shown (a damaged WorldMap.dat), its X server
#     ended: the box's end ends the start before the game's own connection has told it that the
#     server is gone, and the start ends in order all the same within 1 s (exit code 0, the
#     lock released, the window's place not written). Three times: which one hears first varies.
# Each case runs on an X server of its own, which it ends, in a copy of the game of its own.
# Arguments: the runtime, the demo-game maker, a work folder. Exit 77 (skipped) without the tools.
set -u
exe=$(realpath "$1") maker=$(realpath "$2") work=$3
. "$(dirname "$0")/../support/x_windows.sh"
for tool in Xvfb xdotool xwininfo import convert flock od; do command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }; done
rm -rf "$work" && mkdir -p "$work" && "$maker" "$work/game" >/dev/null || exit 1
fail=0
# Whatever a failed case leaves running (games, servers) is ended with the test.
trap 'kill -KILL $(jobs -p) 2>/dev/null' EXIT

# Starts the game in a copy of its own with the System.ini line Direct3D=$1, on a server of its
# own, with the environment $2 (NAME=VALUE, or nothing) and the command line $3, and sets pid and
# id.
start() {
    cp -r "$work/game" "$work/$case" && cd "$work/$case" || exit 1
    printf 'Direct3D=%s\nWindowMode=1\nBpp=0\nExit\n' "$1" > System.ini
    x_server_start 1024x768x24 "$work/$case.xvfb.log" || { echo "$case: Xvfb did not start"; exit 1; }
    env ${2:-} "$exe" ${3:-} 2>>"$work/game.err" & pid=$!
    id=$(game_window_visible)
    [ -n "$id" ] || { echo "$case: no window"; exit 1; }
}
# The player moves the window to $1 $2. The keys pressed after it come to the game after the
# move: what the game shows in answer to them tells that it has seen the move.
move() {
    xdotool windowmove "$id" "$1" "$2"
    for _ in $(seq 50); do [ "$(place "$id")" = "$1 $2" ] && break; sleep 0.1; done
    xdotool windowfocus --sync "$id"
}
# Checks that the game ended within 1 s of $1 (what happened, at the time $2 in ns), with exit
# code 0, and ends the case's X server.
gone_after() {
    local code
    if ! ends_within $pid 1; then
        echo "$case: still running 1 s after $1 ($(ps -o %cpu= -p $pid)% of a core)"; fail=1
        ends_within $pid 10 || { echo "$case: still running 11 s after, ended by SIGKILL"; kill -KILL $pid; }
    fi
    wait $pid; code=$?
    echo "$case: gone $(( ($(date +%s%N) - $2) / 1000000 )) ms after $1"
    kill -TERM $X_SERVER_PID 2>/dev/null; wait $X_SERVER_PID 2>/dev/null
    [ $code -eq 0 ] || { echo "$case: ended with $code"; fail=1; }
}
# Ends the X server ($1 server) or destroys the window ($1 window) and checks how the game ended.
# Window.dat: $2 $3 the place it holds, "-" that it is not written, nothing that it is written.
end_display() {
    local t0 x y was=$fail what
    t0=$(date +%s%N)
    if [ "$1" = server ]; then
        what="the X server ended"
        kill -PIPE $pid
        kill -TERM $X_SERVER_PID
    else
        what="its window was destroyed"
        xdotool windowclose "$id"
    fi
    gone_after "$what" "$t0"
    if [ "$1" = server ]; then
        grep -q "X11 : the connection to the display was lost" Report_Game.txt || { echo "$case: no report line"; fail=1; }
    else
        grep -q "X11 : the window 0x[0-9a-f]* no longer exists" Report_Game.txt || { echo "$case: no report line"; fail=1; }
    fi
    flock -n user_data/ゲーム.lock true || { echo "$case: the lock is still held"; fail=1; }
    if [ "${2:-}" = - ]; then
        [ -e user_data/Window.dat ] && { echo "$case: the place of a window that did not move was saved"; fail=1; }
    else
        [ -s user_data/Window.dat ] || { echo "$case: the window's place was not saved"; fail=1; }
    fi
    if [ $# -eq 3 ]; then
        read -r x y <<<"$(od -An -t d4 -j 8 -N 8 user_data/Window.dat 2>/dev/null)"
        [ "${x:-}" = "$2" ] && [ "${y:-}" = "$3" ] || { echo "$case: Window.dat holds ${x:-?},${y:-?}, not $2,$3"; fail=1; }
    fi
    [ $fail -eq $was ] || { echo "--- report"; cat Report_Game.txt; }
}

# The ranking case first: while its hero walks to the goal (right and F3 held from the start, so
# that the name is asked at the clear), the others run.
x_case "ranking name, on its way"
start 1 TOBRELK_INPUT_SCRIPT=1:39+,1:114+ data/stg4/c01-1
ranking=("$DISPLAY" $X_SERVER_PID $pid $id "$PWD")

x_case "stage choice"
start 1
move 100 50
title_choose 3 tap || { echo "$case: the title menu did not take the keys"; fail=1; }
wait_shows files || { echo "$case: the stage choice did not open"; fail=1; }
end_display server 100 50

# Asked at every start while Boot.dat does not say otherwise. Tab takes the focus from the start
# button (its ring goes).
x_case "drawing-mode question"
start 2
wait_shows question || { echo "$case: the question did not show"; fail=1; }
move 200 100
press_seen Tab 263 275 114 68 || { echo "$case: the question did not take Tab"; fail=1; }
end_display server 200 100

x_case "question, window destroyed"
start 2
wait_shows question || { echo "$case: the question did not show"; fail=1; }
end_display window -

# 4. The question whether to make data from default: no window is shown yet. $1: how the box
#    goes (windowclose, windowkill, or the server ended).
default_box() {
    local t0 drawer was=$fail
    cp -r "$work/game" "$work/$case" && cd "$work/$case" && mv data default || exit 1
    printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini
    x_server_start 1024x768x24 || { echo "$case: Xvfb did not start"; exit 1; }
    "$exe" 2>>"$work/game.err" & pid=$!
    box=$(box_window "デフォルトデータ作成の確認")
    [ -n "$box" ] || { echo "$case: no box"; exit 1; }
    # The box's own process is the game's child (SDL forks it to draw the box).
    drawer=$(pgrep -P $pid)
    if [ -n "$drawer" ]; then kill -PIPE $drawer; else echo "$case: the box's process was not found, no SIGPIPE sent"; fail=1; fi
    t0=$(date +%s%N)
    if [ "$1" = server ]; then kill -TERM $X_SERVER_PID; else xdotool "$1" "$box"; fi
    gone_after "the box went" "$t0"
    [ -e data ] && { echo "$case: data was made from default"; fail=1; }
    grep -q "MessageBox : the box was closed from outside or lost its display, it is left unanswered" Report_Game.txt ||
        { echo "$case: the box is not reported as left unanswered"; fail=1; }
    grep -q "「data」フォルダの作成に失敗" Report_Game.txt && { echo "$case: reported as a failure to make data"; fail=1; }
    flock -n user_data/ゲーム.lock true || { echo "$case: the lock is still held"; fail=1; }
    [ $fail -eq $was ] || { echo "--- report"; cat Report_Game.txt; }
}
x_case "default box destroyed"; default_box windowclose
x_case "default box killed"; default_box windowkill
x_case "default box, server ended"; default_box server

# 5. An error box in play, destroyed: the third row of the stage choice, after [..] and
#    [old_ver], is a damaged stage. Only the box goes: the game returns to the title menu.
x_case "error box destroyed"
cp -r "$work/game" "$work/$case" && cd "$work/$case" || exit 1
head -c 200 /dev/zero | tr '\0' 'x' > data/stg4/aaa.stg4_001
printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini
x_server_start 1024x768x24 || { echo "$case: Xvfb did not start"; exit 1; }
"$exe" 2>>"$work/game.err" & pid=$!
id=$(game_window_visible)
[ -n "$id" ] || { echo "$case: no window"; exit 1; }
xdotool windowfocus --sync "$id"
title_choose 3 || { echo "$case: the title menu did not take the keys"; fail=1; }
wait_shows files || { echo "$case: the stage choice did not open"; fail=1; }
for key in Down Down Return; do press $key; done
box=$(box_window "エラー")
if [ -z "$box" ]; then echo "$case: no box"; fail=1; else
    xdotool windowclose "$box"
    xdotool windowfocus --sync "$id"
    wait_shows title 3 || { echo "$case: the title menu did not come back"; fail=1; }
    press Down
    wait_shows title 4 || { echo "$case: the title menu does not take keys"; fail=1; }
fi
press Escape
ends_within $pid 10 || { echo "$case: still running after Escape"; kill -KILL $pid; fail=1; }
wait $pid; code=$?
[ $code -eq 0 ] || { echo "$case: ended with $code"; fail=1; }
grep -q "MessageBox : the box was closed from outside or lost its display, it is left unanswered" Report_Game.txt ||
    { echo "$case: the box is not reported as left unanswered"; fail=1; }
kill -TERM $X_SERVER_PID; wait $X_SERVER_PID 2>/dev/null

# 6. The error box of a damaged world map, shown once the window is.
x_case "start error box, server ended"
for n in 1 2 3; do
    case="start error box, server ended $n"
    cp -r "$work/game" "$work/$case" && cd "$work/$case" || exit 1
    head -c 200 /dev/zero | tr '\0' 'x' > data/WorldMap.dat
    printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini
    x_server_start 1024x768x24 || { echo "$case: Xvfb did not start"; exit 1; }
    "$exe" 2>>"$work/game.err" & pid=$!
    box=$(box_window "エラー")
    [ -n "$box" ] || { echo "$case: no box"; exit 1; }
    was=$fail t0=$(date +%s%N)
    kill -TERM $X_SERVER_PID
    gone_after "the X server ended" "$t0"
    grep -q "MessageBox : the box was closed from outside or lost its display, it is left unanswered" Report_Game.txt ||
        { echo "$case: the box is not reported as left unanswered"; fail=1; }
    flock -n user_data/ゲーム.lock true || { echo "$case: the lock is still held"; fail=1; }
    [ -e user_data/Window.dat ] && { echo "$case: the place of a window that did not move was saved"; fail=1; }
    [ $fail -eq $was ] || { echo "--- report"; cat Report_Game.txt; }
done

x_case "ranking name"
cd "${ranking[4]}" || exit 1
DISPLAY=${ranking[0]} X_SERVER_PID=${ranking[1]} pid=${ranking[2]} id=${ranking[3]}
# Its server has run all along; should it have ended meanwhile, its own messages say why.
kill -0 $X_SERVER_PID 2>/dev/null || { echo "$case: its X server ended while the other cases ran:"; cat "${ranking[4]}.xvfb.log"; }
wait_shows name || { echo "$case: the name dialog did not open"; fail=1; }
end_display server
exit $fail
