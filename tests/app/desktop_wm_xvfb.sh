#!/usr/bin/env bash
# Under Xvfb with a window manager (openbox), windowed:
#  1. The window comes back where it was: started again it is where the last run left it, and
#     after the player moved it, where the player put it (Window.dat keeps the frame's corner,
#     which is where the window manager puts a window placed before it is shown).
#  2. Another program killing the game's X connection (`xdotool windowkill`, as xkill does)
#     ends the game without a crash: exit code 0, a report line, the window's place saved,
#     nothing else under user_data changed, the lock released.
# Arguments: the runtime, the demo-game maker, a work folder. Exit 77 (skipped) without the tools.
set -u
exe=$(realpath "$1") maker=$(realpath "$2") work=$3
. "$(dirname "$0")/../support/x_windows.sh"
for tool in openbox xdotool xwininfo xprop import convert flock md5sum; do command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }; done
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
# The game's window once shown (inside the window manager's frame), or nothing.
game_window() { game_window_visible; }
# Where the window's client area is on the screen, as "x,y".
place() { xwininfo -id "$1" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print x","y}'; }
# Starts the game and sets pid and id, and returns once the title menu has faded in (most of
# the client area is lit): the game runs its frames, and its window thread has long taken the
# window manager's news of where the window is.
start() {
    "$exe" 2>>"$work/game.err" & pid=$!
    id=$(game_window)
    [ -n "$id" ] || { echo "$1: no window"; kill -KILL $pid; wait $pid; exit 1; }
    local at lit
    for _ in $(seq 240); do
        at=$(place "$id")
        import -window root "$work/screen.png"
        lit=$(convert "$work/screen.png" -crop "640x480+${at%,*}+${at#*,}" +repage -threshold 1% -format "%[fx:mean]" info:)
        awk -v m="$lit" 'BEGIN{exit !(m > 0.5)}' && return
        sleep 0.5
    done
    echo "$1: the title menu never showed"
    fail=1
}
# Closes the game in order (as a second copy does) and waits for its end.
stop() {
    kill -TERM $pid
    wait $pid || { echo "$1: ended with $?"; fail=1; }
}

start first
first=$(place "$id")
stop first
start second
second=$(place "$id")
[ "$second" = "$first" ] || { echo "started again at $second, not where it was ($first)"; fail=1; }
# The player moves it; the move is seen by the game before it closes.
xdotool windowmove "$id" 300 200
for _ in $(seq 50); do [ "$(place "$id")" != "$second" ] && break; sleep 0.1; done
sleep 0.5
moved=$(place "$id")
[ "$moved" != "$second" ] || { echo "the window did not move"; fail=1; }
stop second
start third
third=$(place "$id")
[ "$third" = "$moved" ] || { echo "started again at $third, not where the player left it ($moved)"; fail=1; }

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
[ $fail -eq 0 ] || { echo "--- report"; cat Report_Game.txt; echo "--- standard error"; cat "$work/game.err"; }
exit $fail
