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
# at it (with_xvfb.sh runs each desktop test on one; a test that ends its display starts its
# own, so as not to end the one it runs on). The server takes the first free display number
# itself (-displayfd). Sets X_SERVER_PID; fails if
# the server does not start within a minute. The server's own messages go to the file $2, if
# given. -noreset: a server resets when its last client goes, and refuses connections for that
# moment; a test's next client (the game started again, an xwininfo) must never meet it.
x_server_start() {
    local numfile n=""
    numfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$numfile" 2>"${2:-/dev/null}" & X_SERVER_PID=$!
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

# The window $1's client area on the screen as "x y".
place() { xwininfo -id "$1" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print x" "y}'; }

# The mean red, green and blue of the w x h region at (x, y) of the game's frame: the window $id
# (the caller's), photographed into $work/screen.png. A window can be made anew while the game
# starts (the drawing mode chosen): the one shown now is measured, and becomes $id.
region() {
    local at
    xwininfo -id "$id" >/dev/null 2>&1 || id=$(game_window_visible)
    at=$(place "$id")
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "$3x$4+$((${at% *} + $1))+$((${at#* } + $2))" +repage \
        -format "%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]" info:
}
# True when the region ($1 to $4) is lit brighter than $5 on average (the title menu faded in, a
# file choice's white list), or with "grey" the dialogs' light grey panel.
region_is() {
    region "$1" "$2" "$3" "$4" | awk -v t="$5" '{ m = ($1 + $2 + $3) / 3
        exit !(t == "grey" ? $1 > 0.75 && $3 < 0.9 && $1 - $3 < 0.1 && $3 - $1 < 0.1 : m > t) }'
}
# Waits, with a bound far beyond an idle machine's time, until region_is holds.
wait_region() {
    for _ in $(seq 240); do region_is "$@" && return 0; sleep 0.25; done
    return 1
}
# A key pressed and let go as a player does, with time for the game to take it.
press() { xdotool keydown "$1"; sleep 0.1; xdotool keyup "$1"; sleep 0.25; }
# True once the process $1 has ended, looked at every 50 ms for $2 whole seconds; false if it
# still runs then.
ends_within() {
    for _ in $(seq $(($2 * 20))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done
    ! kill -0 "$1" 2>/dev/null
}
