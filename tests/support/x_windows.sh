# Shell helpers for the Xvfb tests, sourced: the game's windows as the X server has them, and a
# log of the top-level windows being created, mapped and destroyed. Without a window manager the
# game's windows are the root's own children.

# The ids of the game's windows that are mapped, one a line: what a player sees. The root's list
# also names windows that are created but not (or no longer) shown.
game_windows_shown() {
    local id
    for id in $(xwininfo -root -children | grep '("tobrelk" "tobrelk")' | awk '{print $1}'); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && echo "$id"
    done
}

# Starts logging the root's children being created, mapped, unmapped and destroyed to the file
# $1, and returns once the log is live: a marker property set on the root has reached it. Sets
# X_EVENTS_PID. Fails if the logger does not start.
x_events_start() {
    local log=$1
    xev -root -event substructure -event property >"$log" 2>&1 & X_EVENTS_PID=$!
    for _ in $(seq 600); do
        xprop -root -f TOBRELK_TEST_MARK 8s -set TOBRELK_TEST_MARK live 2>/dev/null
        grep -q 'TOBRELK_TEST_MARK' "$log" && return 0
        kill -0 $X_EVENTS_PID 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

x_events_stop() {
    kill $X_EVENTS_PID 2>/dev/null
    wait $X_EVENTS_PID 2>/dev/null
}

# The windows that the log $1 shows mapped and later destroyed, one a line: windows a player saw
# come up and vanish again.
x_events_flashed() {
    awk '/^[A-Za-z]+ event,/ { ev = $1; next }
         ev != "" {
             if (match($0, /window 0x[0-9a-f]+/)) {
                 id = substr($0, RSTART + 7, RLENGTH - 7)
                 if (ev == "MapNotify") mapped[id] = 1
                 else if (ev == "DestroyNotify" && (id in mapped)) print id
             }
             ev = ""
         }' "$1"
}

# The id of the game's window once the window manager (or the server, without one) shows it, or
# nothing after a minute.
game_window_visible() {
    local id
    for _ in $(seq 600); do
        id=$(xdotool search --onlyvisible --class tobrelk 2>/dev/null | head -1)
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
}

# The id of the top-level window titled $1 (a message box) once it exists, or nothing after a
# minute.
box_window() {
    local id
    for _ in $(seq 600); do
        id=$(xwininfo -root -children | grep "\"$1\"" | grep -o '0x[0-9a-f]*' | head -1)
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
}

# Starts an X server of the caller's own (Xvfb, screen $1, e.g. 1024x768x24) and points DISPLAY
# at it: a test that ends its display must not end the one it runs on. As in with_xvfb.sh, the
# server takes the first free display number itself (-displayfd). Sets X_SERVER_PID; fails if
# the server does not start within a minute.
x_server_start() {
    local numfile n=""
    numfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$numfile" 2>/dev/null & X_SERVER_PID=$!
    for _ in $(seq 600); do
        n=$(tr -dc 0-9 < "$numfile")
        [ -n "$n" ] && break
        kill -0 $X_SERVER_PID 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$numfile"
    [ -n "$n" ] || { kill $X_SERVER_PID 2>/dev/null; wait $X_SERVER_PID 2>/dev/null; return 1; }
    export DISPLAY=:$n
}
