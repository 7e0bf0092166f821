#!/usr/bin/env bash
# Under Xvfb with a window manager (openbox), windowed:
#  1. The window comes back where it was: started again it is where the last run left it, and
#     after the player moved it, where the player put it (Window.dat keeps the frame's corner,
#     which is where the window manager puts a window placed before it is shown).
#  2. Another program killing the game's X connection (`xdotool windowkill`, as xkill does)
#     ends the game without a crash: exit code 0, a report line, the window's place saved,
#     nothing else under user_data changed, the lock released.
#  3. Five starts without the drawing-mode question and five with it: the window's client area
#     is at the same place each time, the question's too, and Window.dat stays as it was. A move
#     made while the question is open is kept once it is answered, and the next question is
#     asked there.
#  4. The start's question whether to make `data` from `default`, closed by another program
#     (destroyed, then its connection killed): the start ends in order within 1 s, exit code 0,
#     and `data` is not made.
#  5. The box of a System.ini that cannot be read (no `Exit`), in a game whose own defaults ask
#     the drawing-mode question, destroyed by another program: the start ends there within 1 s,
#     exit code 0, without asking the question; and (5b) the same box's own process killed.
#  6. The drawing-mode question closed with Alt+F4 after the player moved the window: the start
#     ends in order as for a signal, exit code 0, and Window.dat holds the moved place.
# Arguments: the runtime, the demo-game maker, a work folder. Exit 77 (skipped) without the tools.
set -u
exe=$(realpath "$1") maker=$(realpath "$2") work=$3
. "$(dirname "$0")/../support/x_windows.sh"
for tool in openbox xdotool xwininfo xprop import convert flock md5sum od perl; do command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }; done
rm -rf "$work" && mkdir -p "$work" && "$maker" "$work/game" >/dev/null || exit 1
# The window manager keeps its settings and cache in the work folder, not in the user's home.
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
openbox >"$work/openbox.log" 2>&1 & wm=$!
trap 'kill $wm 2>/dev/null; wait $wm 2>/dev/null' EXIT
for _ in $(seq 300); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || { echo "openbox did not start"; exit 1; }
cd "$work/game" || exit 1
printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini
fail=0

# Every wait ends on what it waits for, with a bound far beyond an idle machine's time.
# Starts the game and sets pid and id, and returns once the title menu takes keys: the game runs
# its frames, and its window thread has long taken the window manager's news of where the window
# is. With the drawing-mode question ($2 "question"), its start button (which has the focus)
# starts the game first.
start() {
    "$exe" 2>>"$work/game.err" & pid=$!
    id=$(game_window_visible)
    [ -n "$id" ] || { echo "$1: no window"; kill -KILL $pid; wait $pid; exit 1; }
    if [ "${2:-}" = question ]; then
        wait_shows question || { echo "$1: the drawing-mode question did not show"; fail=1; }
        asked=$(place "$id")
        xdotool windowfocus --sync "$id"
        press Return
    fi
    wait_shows title 0 || { echo "$1: the title menu never showed"; fail=1; }
}
# Closes the game in order (as a second copy does) and waits for its end.
stop() {
    kill -TERM $pid
    wait $pid || { echo "$1: ended with $?"; fail=1; }
}

x_case "back where it was"
start first
first=$(place "$id")
stop first
start second
second=$(place "$id")
[ "$second" = "$first" ] || { echo "started again at $second, not where it was ($first)"; fail=1; }
# The player moves it; a key pressed after the move comes to the game after it, so the menu's
# cursor moving tells that the game has seen the move before it closes.
move_window "$id" 300 200
moved=$(place "$id")
[ "$moved" != "$second" ] || { echo "the window did not move"; fail=1; }
xdotool windowfocus --sync "$id"
press Down
wait_shows title 1 || { echo "the title menu did not take Down"; fail=1; }
stop second
start third
third=$(place "$id")
[ "$third" = "$moved" ] || { echo "started again at $third, not where the player left it ($moved)"; fail=1; }

x_case "the X connection killed"
# The connection killed: what the earlier runs saved stays as it was; the window's place is
# saved in order once more.
rm -f Report_Game.txt
sums=$(find user_data -type f ! -name Window.dat ! -name '*.lock' -print0 | sort -z | xargs -0 md5sum)
xdotool windowkill "$id"
ends_within $pid 60 || { echo "still running after its connection was killed"; kill -KILL $pid; fail=1; }
wait $pid; code=$?
[ $code -eq 0 ] || { echo "ended with $code after its connection was killed"; fail=1; }
grep -q 'X11 : the connection to the display was lost' Report_Game.txt || { echo "no report line"; fail=1; }
now=$(find user_data -type f ! -name Window.dat ! -name '*.lock' -print0 | sort -z | xargs -0 md5sum)
[ "$now" = "$sums" ] || { echo "files under user_data changed: $(diff <(echo "$sums") <(echo "$now") | tr '\n' ' ')"; fail=1; }
flock -n user_data/ゲーム.lock true || { echo "the lock is still held"; fail=1; }
start fourth
fourth=$(place "$id")
[ "$fourth" = "$third" ] || { echo "after the kill, started at $fourth, not where it was ($third)"; fail=1; }
stop fourth

# 3. Started again and again, with and without the drawing-mode question: what is saved is what
#    is restored.
x_case "ten starts, five with the question"
saved=$(md5sum < user_data/Window.dat)
for run in 1 2 3 4 5 6 7 8 9 10; do
    if [ $run -le 5 ]; then ask=""; else ask=question; fi
    printf 'Direct3D=%s\nWindowMode=1\nBpp=0\nExit\n' "$([ -n "$ask" ] && echo 2 || echo 1)" > System.ini
    start "start $run${ask:+ (question)}" $ask
    at=$(place "$id")
    stop "start $run"
    [ "$at" = "$fourth" ] || { echo "start $run${ask:+ (question)}: at $at, not at $fourth"; fail=1; }
    [ -z "$ask" ] || [ "$asked" = "$fourth" ] || { echo "start $run (question): asked at $asked, not at $fourth"; fail=1; }
    [ "$(md5sum < user_data/Window.dat)" = "$saved" ] ||
        { echo "start $run${ask:+ (question)}: Window.dat holds $(od -An -t d4 -j 8 -N 8 user_data/Window.dat)"; fail=1; }
done

# The window moved while the question is open: answered, it starts the game there.
x_case "a move during the question kept"
"$exe" 2>>"$work/game.err" & pid=$!
id=$(game_window_visible)
[ -n "$id" ] || { echo "moved at the question: no window"; kill -KILL $pid; wait $pid; exit 1; }
wait_shows question || { echo "moved at the question: the drawing-mode question did not show"; fail=1; }
move_window "$id" 250 150
moved=$(place "$id")
[ "$moved" != "$fourth" ] || { echo "moved at the question: the window did not move"; fail=1; }
xdotool windowfocus --sync "$id"
press Return
wait_shows title 0 || { echo "moved at the question: the title menu never showed"; fail=1; }
at=$(place "$id")
[ "$at" = "$moved" ] || { echo "moved at the question: the game started at $at, not where the player put it ($moved)"; fail=1; }
stop "moved at the question"
read -r x y <<<"$(od -An -t d4 -j 8 -N 8 user_data/Window.dat 2>/dev/null)"
[ "${x:-}" = 250 ] && [ "${y:-}" = 150 ] || { echo "moved at the question: Window.dat holds ${x:-?},${y:-?}, not 250,150"; fail=1; }
start "asked again" question
[ "$asked" = "$moved" ] || { echo "asked again: asked at $asked, not where the player left it ($moved)"; fail=1; }
stop "asked again"
printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini

# 4. The default-data question, closed from outside.
x_case "the default-data box closed from outside"
mv data default || exit 1
for how in windowclose windowkill; do
    rm -f Report_Game.txt
    "$exe" 2>>"$work/game.err" & pid=$!
    box=$(box_window "デフォルトデータ作成の確認")
    if [ -z "$box" ]; then echo "$how: no box"; fail=1; kill -KILL $pid; wait $pid; continue; fi
    xdotool $how "$box"
    ends_within $pid 1 || { echo "$how: still running 1 s after the box went"; ends_within $pid 10 || kill -KILL $pid; fail=1; }
    wait $pid; code=$?
    [ $code -eq 0 ] || { echo "$how: ended with $code"; fail=1; }
    [ -e data ] && { echo "$how: data was made from default"; rm -rf data; fail=1; }
    grep -q "MessageBox : the box was closed from outside or lost its display, it is left unanswered" Report_Game.txt ||
        { echo "$how: the box is not reported as left unanswered"; fail=1; }
    flock -n user_data/ゲーム.lock true || { echo "$how: the lock is still held"; fail=1; }
done
mv default data || exit 1

# 5. The System.ini box, destroyed. The demo's system data has System.ini's Direct3D default
#    at 1; a game made with the kit's default has 2, which asks the question.
x_case "the System.ini box destroyed"
cp data/System.dat "$work/System.dat"
perl -0777 -pi -e 's/\x01\0\0\0(\x02\0\0\0\x09\0\0\0Direct3D\0)/\x02\0\0\0$1/' data/System.dat
cmp -s data/System.dat "$work/System.dat" && { echo "System.ini box: the system data's Direct3D default was not found"; fail=1; }
printf 'Direct3D=2\nWindowMode=1\nBpp=0\n' > System.ini
rm -f Report_Game.txt
"$exe" 2>>"$work/game.err" & pid=$!
box=$(box_window "エラー")
if [ -z "$box" ]; then echo "System.ini box: no box"; fail=1; kill -KILL $pid; wait $pid; else
    xdotool windowclose "$box"
    ends_within $pid 1 || { echo "System.ini box: still running 1 s after the box went (the question asked?)"; ends_within $pid 10 || kill -KILL $pid; fail=1; }
    wait $pid; code=$?
    [ $code -eq 0 ] || { echo "System.ini box: ended with $code"; fail=1; }
    grep -q "message box lost : the start is ended" Report_Game.txt || { echo "System.ini box: the start is not reported as ended"; fail=1; }
    flock -n user_data/ゲーム.lock true || { echo "System.ini box: the lock is still held"; fail=1; }
fi
cp "$work/System.dat" data/System.dat

# 5b. The System.ini box's own process killed (SIGKILL, as a task manager ends a program): the
#     start ends as for the box destroyed, and SDL does not ask again through zenity (a zenity of
#     the test's own, first on the path, notes whether it was asked).
x_case "the System.ini box's process killed"
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "$@" >> "%s"\nexit 129\n' "$work/zenity.log" > "$work/bin/zenity"
chmod +x "$work/bin/zenity"
printf 'Direct3D=1\nWindowMode=1\nBpp=0\n' > System.ini
rm -f Report_Game.txt "$work/zenity.log"
PATH="$work/bin:$PATH" "$exe" 2>>"$work/game.err" & pid=$!
if ! box_process_killed "エラー" $pid "System.ini box killed"; then fail=1; else
    [ $code -eq 0 ] || { echo "System.ini box killed: ended with $code"; fail=1; }
    grep -q "MessageBox : the box was closed from outside or lost its display, it is left unanswered" Report_Game.txt ||
        { echo "System.ini box killed: the box is not reported as left unanswered"; fail=1; }
    grep -q "message box lost : the start is ended" Report_Game.txt || { echo "System.ini box killed: the start is not reported as ended"; fail=1; }
    [ -e "$work/zenity.log" ] && { echo "System.ini box killed: zenity was asked: $(cat "$work/zenity.log")"; fail=1; }
    flock -n user_data/ゲーム.lock true || { echo "System.ini box killed: the lock is still held"; fail=1; }
fi

# 6. The drawing-mode question closed with Alt+F4 (the window manager's close), the window moved
#    before: a key that the question takes after the move tells that the game has seen it.
x_case "the question closed with Alt+F4"
printf 'Direct3D=2\nWindowMode=1\nBpp=0\nExit\n' > System.ini
rm -f Report_Game.txt user_data/Window.dat
"$exe" 2>>"$work/game.err" & pid=$!
id=$(game_window_visible)
[ -n "$id" ] || { echo "question: no window"; kill -KILL $pid; wait $pid; exit 1; }
if wait_shows question; then
    move_window "$id" 250 150
    xdotool windowfocus --sync "$id"
    press_seen Tab 263 275 114 68 || { echo "question: the question did not take Tab"; fail=1; }
    xdotool key alt+F4
    ends_within $pid 2 || { echo "question: still running 2 s after Alt+F4"; ends_within $pid 10 || kill -KILL $pid; fail=1; }
else
    echo "question: the drawing-mode question did not show"; fail=1; kill -KILL $pid
fi
wait $pid; code=$?
[ $code -eq 0 ] || { echo "question: ended with $code after Alt+F4"; fail=1; }
read -r x y <<<"$(od -An -t d4 -j 8 -N 8 user_data/Window.dat 2>/dev/null)"
[ "${x:-}" = 250 ] && [ "${y:-}" = 150 ] || { echo "question: Window.dat holds ${x:-?},${y:-?}, not 250,150"; fail=1; }
grep -q "drawing-mode question cancelled : the start is ended" Report_Game.txt || { echo "question: the start is not reported as ended"; fail=1; }
grep -q "起動に失敗しました" Report_Game.txt && { echo "question: the start is reported as failed"; fail=1; }
flock -n user_data/ゲーム.lock true || { echo "question: the lock is still held"; fail=1; }
printf 'Direct3D=1\nWindowMode=1\nBpp=0\nExit\n' > System.ini
[ $fail -eq 0 ] || { echo "--- report"; cat Report_Game.txt; echo "--- standard error"; cat "$work/game.err"; }
exit $fail
