# Shell helpers for the Xvfb tests, sourced: the game's windows as the X server has them, and a
# log of the top-level windows being created, mapped and destroyed. Without a window manager the
# game's windows are the root's own children.

# ---- Cases, and how long a wait lasts ----
# A script's cases are blocks of their own, each started by x_case with its name written out:
# the script's list of cases is read from its own text, so that a block added anywhere is in it.
# A wait for what the game shows ends on it, or after a bound far beyond an idle machine's time:
# a sanitizer build on a loaded machine starts and draws many times slower. The bound is of the
# clock, X_WAIT_BOUND seconds, whatever each look costs (a screenshot can take a good part of a
# second there). A wait also ends when a message box has stood for X_BOX_GRACE seconds where the
# game should show what it waits for: the game waits for the box's answer and shows nothing
# else meanwhile (a box that a wait expects is waited for by box_window).
# A wait that ends so fails the test, and is noted in the work folder ($work/failed_wait). What
# follows it would wait in vain: a game that shows an error where its title menu should be
# fails every later wait too. So the case goes on only to its next wait, to the next end of the
# game it waits for (ends_within) or to the next case: there the script ends, naming the case it
# stopped in and the cases it did not run, and fails within its first wait's bound.
X_WAIT_BOUND=60
X_BOX_GRACE=3
# The script that sourced this file, whose text lists its cases.
X_SCRIPT=$(realpath "${BASH_SOURCE[1]:-$0}")
X_BEGUN=()
# Starts the case $1 (also $case, for the script's messages), unless a wait has failed before.
x_case() {
    x_go_on
    grep -q -x -F -- "$1" < <(x_cases) ||
        { echo "x_case: \"$1\" is not a case written out as x_case \"NAME\" in $X_SCRIPT"; exit 1; }
    case=$1
    X_BEGUN+=("$1")
}
# The script's cases, in the order they are written, one a line.
x_cases() { sed -n 's/^[[:space:]]*x_case "\([^"$`]*\)".*/\1/p' "$X_SCRIPT"; }
# Ends the script when a wait of it has failed: at once in the script's own shell, and from a
# command substitution (where a wait often runs) as soon as that has returned.
x_go_on() {
    [ -e "$work/failed_wait" ] || return 0
    if [ "$BASHPID" = "$$" ]; then x_stop; else kill -USR1 $$; fi
}
# Says where the script stopped and what it did not run, with the report of the game folder it
# stands in, ends everything it started, and fails.
x_stop() {
    local name begun where job not=""
    trap - USR1
    while IFS= read -r name; do
        for begun in "${X_BEGUN[@]}"; do [ "$begun" = "$name" ] && continue 2; done
        not="$not${not:+, }\"$name\""
    done < <(x_cases)
    where="its set-up"
    [ -n "${case:-}" ] && where="the case \"$case\""
    echo "stopped in $where, the wait for $(cat "$work/failed_wait") having failed; cases not run: ${not:-none}"
    [ -f Report_Game.txt ] && { echo "--- report ($PWD)"; cat Report_Game.txt; }
    [ -s "$work/game.err" ] && { echo "--- standard error (its end)"; tail -n 40 "$work/game.err"; }
    # A game's box is drawn by a process of its own, which would outlive the game.
    for job in $(jobs -p); do pkill -KILL -P "$job"; kill -KILL "$job"; done 2>/dev/null
    wait 2>/dev/null
    exit 1
}
trap x_stop USR1
# The moment (in the shell's SECONDS) at which a wait that starts now gives up: $1 seconds
# (X_WAIT_BOUND without it) from now. After a failed wait there is none: the script ends (and
# the wait, should it run on meanwhile, looks once).
wait_end() {
    x_go_on
    if [ -e "$work/failed_wait" ]; then echo $SECONDS; else echo $((SECONDS + ${1:-$X_WAIT_BOUND})); fi
}
# True once the wait that ends at the moment $1 has failed: the moment has come, or (unless $3 is
# "box": the wait is for a box) a message box has stood for X_BOX_GRACE seconds. The first wait
# to fail notes what it waited for ($2) as the failed one.
past() {
    local box="" why=""
    if [ $SECONDS -lt "$1" ]; then
        [ "${3:-}" = box ] && return 1
        box=$(box_shown)
        [ -n "$box" ] || { X_BOX_SINCE=""; return 1; }
        # Since when, for this wait (the one that ends at $1).
        [ "${X_BOX_SINCE%% *}" = "$1" ] || X_BOX_SINCE="$1 $SECONDS"
        [ $((SECONDS - ${X_BOX_SINCE#* })) -ge $X_BOX_GRACE ] || return 1
        why=" (the box \"$box\" stands in its place)"
        echo "(waiting for $2: the message box \"$box\" stands where it should show)" >&2
    fi
    [ -e "$work/failed_wait" ] || echo "$2$why" > "$work/failed_wait"
}
X_BOX_SINCE=""
# The title of a message box that is shown, or nothing: SDL draws a box in a dialog window that
# has a title and no class.
box_shown() {
    local line id
    xwininfo -root -tree 2>/dev/null | grep -F '": ()' | while read -r line; do
        id=${line%% *}
        xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' || continue
        xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '_NET_WM_WINDOW_TYPE_DIALOG' || continue
        line=${line#*\"}
        echo "${line%%\": ()*}"
        break
    done
}

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
# nothing (wait_end).
game_window_visible() {
    local id end
    end=$(wait_end)
    while :; do
        id=$(xdotool search --onlyvisible --class tobrelk 2>/dev/null | head -1)
        [ -n "$id" ] && { echo "$id"; return; }
        past "$end" "the game's window" && return
        sleep 0.1
    done
}

# The id of the message box titled $1 once it is shown (mapped; with a window manager, inside its
# frame), or nothing (wait_end).
box_window() {
    local id end
    end=$(wait_end)
    while :; do
        for id in $(xwininfo -root -tree | grep -F "\"$1\":" | grep -o '0x[0-9a-f]*' | head -1); do
            xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && { echo "$id"; return; }
        done
        past "$end" "the box $1" box && return
        sleep 0.1
    done
}

# The message box titled $1 that the game's process $2 shows has its own process killed (SIGKILL,
# as a task manager ends a program): sets $box, waits for the game to end (1 s; a failure, said
# with the words $3, past it) and sets $code to its exit code. Fails when no box comes, or no
# process of its own draws it (the game is then killed).
box_process_killed() {
    local drawer
    box=$(box_window "$1")
    drawer=$(pgrep -P "$2")
    if [ -z "$box" ] || [ -z "$drawer" ]; then
        echo "$3: no box, or no process of its own (${drawer:-none})"; kill -KILL "$2"; wait "$2"; return 1
    fi
    kill -KILL $drawer
    ends_within "$2" 1 || { echo "$3: still running 1 s after the box's process"; ends_within "$2" 10 || kill -KILL "$2"; fail=1; }
    wait "$2"; code=$?
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

# The player moves the window $1 to $2 $3; waits (5 s at the most) until it is seen to have left
# where it was. A window manager may put it a frame's width off the asked place.
move_window() {
    local from
    from=$(place "$1")
    xdotool windowmove "$1" "$2" "$3"
    for _ in $(seq 50); do [ "$(place "$1")" != "$from" ] && break; sleep 0.1; done
}

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
# The share of the region's pixels ($1 to $4, as region takes them) in the yellow of the title
# menu's cursor: about half where it stands, none elsewhere (the hero beside the menu has none).
region_marked() {
    local at
    xwininfo -id "$id" >/dev/null 2>&1 || id=$(game_window_visible)
    at=$(place "$id")
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "$3x$4+$((${at% *} + $1))+$((${at#* } + $2))" +repage \
        -fx "(r > 0.8 && g > 0.7 && b < 0.4) ? 1 : 0" -format "%[fx:mean]" info:
}
# True when the region ($1 to $4) is lit brighter than $5 on average (the title menu faded in, a
# file choice's white list), with "grey" the dialogs' light grey panel, with "mark" the title
# menu's cursor.
region_is() {
    if [ "$5" = mark ]; then
        awk -v m="$(region_marked "$1" "$2" "$3" "$4")" 'BEGIN { exit !(m > 0.3) }'
        return
    fi
    region "$1" "$2" "$3" "$4" | awk -v t="$5" '{ m = ($1 + $2 + $3) / 3
        if (t == "grey") exit !($1 > 0.75 && $3 < 0.9 && $1 - $3 < 0.1 && $3 - $1 < 0.1)
        exit !(m > t) }'
}
# Waits until region_is holds (wait_end).
wait_region() {
    local end
    end=$(wait_end)
    while :; do
        region_is "$@" && return 0
        past "$end" "the region $*" && return 1
        sleep 0.25
    done
}

# ---- What the game shows ----
# A key is pressed only once the game shows the state that takes it: what the game does with a
# key depends on what it shows, and a machine, loaded or not, can always take longer than any
# fixed time. The states by name ($1, with $2), as the region of the 640x480 frame that shows
# them and region_is's test:
#   title N   the title menu's cursor (the demo's yellow mark) beside its entry N, 0 the first:
#             the menu has ended its fade-in, which reads no keys, and N is the entry chosen;
#   lit       the title menu's picture lit (the game runs its frames);
#   files     a file choice's white list (the stage choice, the replay choice and save);
#   question  the drawing-mode question's panel;
#   name      the ranking-name dialog's grey panel.
view_of() {
    case $1 in
    title) echo "168 $((244 + 32 * ${2:-0})) 12 24 mark" ;;
    lit) echo "0 0 640 440 0.3" ;;
    files) echo "110 120 400 150 0.85" ;;
    question) echo "120 150 300 100 0.6" ;;
    name) echo "250 295 50 25 grey" ;;
    *) echo "view_of: no state $1" >&2; return 1 ;;
    esac
}
# True when the game's window ($id, the caller's) shows the state $1 ($2) now.
shows() {
    local v
    v=$(view_of "$@") || return 1
    region_is $v
}
# Waits until the game shows the state $1 ($2) (wait_end). When it does not, says what was there
# instead: the region's mean colour, the entry of the title menu's cursor, and the screenshot,
# kept as $work/not_$1$2.png.
wait_shows() {
    local v n at="" end
    v=$(view_of "$@") || return 1
    end=$(wait_end)
    while :; do
        region_is $v && return 0
        past "$end" "the state $*" && break
        sleep 0.25
    done
    set -- "$1" "${2:-}" $v
    for n in 0 1 2 3 4 5; do region_is 168 $((244 + 32 * n)) 12 24 mark && at="$at $n"; done
    cp "$work/screen.png" "$work/not_$1$2.png" 2>/dev/null
    echo "(not shown: $1 $2; the region $3,$4 ${5}x$6 has the mean colour $(region $3 $4 $5 $6)," \
         "the title menu's cursor is ${at:+at entry}${at:-not shown}; screenshot $work/not_$1$2.png)"
    return 1
}
# A key pressed and let go as a player does, held 0.1 s. The caller waits for what it changes.
# One xdotool does both: on a loaded machine a second one took long enough to start that the key
# stayed down past the menus' repeat (18 frames, 0.3 s) and the cursor moved twice.
press() { xdotool keydown "$1" sleep 0.1 keyup "$1"; }
# A key struck and let go at once (xdotool's own: a few milliseconds down), far shorter than a
# frame: the game must take it all the same.
tap() { xdotool key "$1"; }
# Chooses the title menu's entry $1 as a player does: Down once the cursor is on each entry
# before it, then button 1 (Z) on it; with $2 "tap", each key struck shorter than a frame. False,
# having said what was shown, when the cursor does not come where it should.
title_choose() {
    local n key=press
    [ "${2:-}" = tap ] && key=tap
    wait_shows title 0 || return 1
    for n in $(seq "$1"); do $key Down; wait_shows title "$n" || return 1; done
    $key z
}
# The region $1 to $4 of the game's frame as a checksum, to see it change.
region_sum() {
    local at
    at=$(place "$id")
    import -window root "$work/screen.png"
    convert "$work/screen.png" -crop "$3x$4+$((${at% *} + $1))+$((${at#* } + $2))" +repage rgb:- | md5sum
}
# Presses the key $1 and waits until the region $2 to $5 changes: the game has taken every event
# sent before the key (a move of its window among them), since its events come in order.
press_seen() {
    local before end
    before=$(region_sum "$2" "$3" "$4" "$5")
    press "$1"
    end=$(wait_end)
    while :; do
        [ "$(region_sum "$2" "$3" "$4" "$5")" != "$before" ] && return 0
        past "$end" "a change after the key $1" && break
        sleep 0.25
    done
    echo "(the key $1 changed nothing in the region $2,$3 ${4}x$5; screenshot $work/screen.png)"
    return 1
}
# True once the process $1 has ended, looked at every 50 ms for $2 whole seconds; false if it
# still runs then. After a failed wait the script ends here instead (x_go_on).
ends_within() {
    x_go_on
    for _ in $(seq $(($2 * 20))); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done
    ! kill -0 "$1" 2>/dev/null
}
