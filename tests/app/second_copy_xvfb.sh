#!/usr/bin/env bash
# Under Xvfb: a second copy of the runtime asks its Yes/No question in a real box before its
# window exists; Return answers Yes, which ends the first copy, and the second one starts.
# Before that, copies that cannot show the question (no DISPLAY, the dummy driver) end their
# start as No does and leave the first copy and its report as they were; so do copies whose
# question another program closes (destroyed, its connection killed, its process killed), within
# 1 s, with the question left unanswered and not asked again another way (zenity).
# Arguments: the runtime, the demo-game maker, a work folder. Exit 77 (skipped) without the
# X tools or the X server's core fonts that SDL's box draws with.
set -u
exe=$1 maker=$2 work=$3
. "$(dirname "$0")/../support/x_windows.sh"
for tool in xdotool xwininfo xev xprop import xlsfonts; do command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }; done
xlsfonts -fn '-*-*-medium-r-normal--*-120-*-*-*-*-*-*' >/dev/null 2>&1 || { echo "no X core fonts: skipped"; exit 77; }
rm -rf "$work" && mkdir -p "$work" && "$maker" "$work/game" >/dev/null || exit 1
cd "$work/game" || exit 1
x_events_start "$work/x_events.log" || { echo "the X event log did not start"; exit 1; }
# Every wait is on an event with a bound far beyond what it takes on an idle machine.
owner() { cat user_data/ゲーム.lock 2>/dev/null | tr -d '\n'; }
"$exe" 2>/dev/null & first=$!
# The copy that holds the lock names itself in it, once it can be asked to close.
for _ in $(seq 600); do [ "$(owner)" = "$first" ] && break; sleep 0.1; done
# Its window is shown before the second copy asks.
shown=""
for _ in $(seq 600); do shown=$(game_windows_shown); [ -n "$shown" ] && break; sleep 0.1; done
fail=0
x_case "copies that cannot ask"
for how in no-display dummy-driver; do
    cp Report_Game.txt "$work/report_before"
    # Should it start after all, Escape ends it.
    if [ $how = no-display ]; then env -u DISPLAY -u SDL_VIDEODRIVER TOBRELK_INPUT_SCRIPT=40:27+,41:27- "$exe" 2>/dev/null
    else SDL_VIDEODRIVER=dummy TOBRELK_INPUT_SCRIPT=40:27+,41:27- "$exe" 2>/dev/null; fi
    code=$?
    [ $code -eq 0 ] || { echo "$how: the copy that cannot ask ended with $code"; fail=1; }
    kill -0 $first 2>/dev/null && [ "$(owner)" = "$first" ] || { echo "$how: the first copy stopped or lost its lock"; fail=1; }
    size=$(stat -c %s "$work/report_before")
    cmp -s -n "$size" "$work/report_before" Report_Game.txt || { echo "$how: the first copy's report lost lines"; fail=1; }
    tail -c +$((size + 1)) Report_Game.txt | grep -q '^\[二重起動\] 表示できないため「いいえ」と答えました' ||
        { echo "$how: the report does not say why the copy gave up"; fail=1; }
done
x_case "the question closed from outside"
# The question closed from outside. A zenity of the test's own, first on the path, tells whether
# SDL was let ask again through zenity.
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "$@" >> "%s"\nexit 129\n' "$work/zenity.log" > "$work/bin/zenity"
chmod +x "$work/bin/zenity"
: > "$work/closed_boxes"
for how in windowclose windowkill; do
    cp Report_Game.txt "$work/report_before"
    PATH="$work/bin:$PATH" "$exe" 2>>"$work/closed.err" & closed=$!
    box=$(box_window "二重起動")
    if [ -z "$box" ]; then echo "$how: no box appeared"; fail=1; kill -KILL $closed; wait $closed; continue; fi
    echo "$box" >> "$work/closed_boxes"
    xdotool $how "$box"
    ends_within $closed 1 || { echo "$how: the second copy still runs 1 s after its question went"; ends_within $closed 10 || kill -KILL $closed; fail=1; }
    wait $closed; code=$?
    [ $code -eq 0 ] || { echo "$how: the second copy ended with $code"; fail=1; }
    kill -0 $first 2>/dev/null && [ "$(owner)" = "$first" ] || { echo "$how: the first copy stopped or lost its lock"; fail=1; }
    size=$(stat -c %s "$work/report_before")
    added=$(tail -c +$((size + 1)) Report_Game.txt)
    grep -q '^MessageBox : the box was closed from outside or lost its display, it is left unanswered' <<<"$added" ||
        { echo "$how: the question is not reported as left unanswered"; fail=1; }
    grep -q '表示できないため' <<<"$added" && { echo "$how: the report says the question could not be shown"; fail=1; }
    [ -e "$work/zenity.log" ] && { echo "$how: zenity was asked: $(cat "$work/zenity.log")"; rm -f "$work/zenity.log"; fail=1; }
done
# The question's own process killed (SIGKILL, as a task manager ends a program): left unanswered
# as a question closed from outside is, and not asked again through zenity.
x_case "the question's process killed"
cp Report_Game.txt "$work/report_before"
PATH="$work/bin:$PATH" "$exe" 2>>"$work/closed.err" & closed=$!
if ! box_process_killed "二重起動" $closed "killed: the second copy"; then fail=1; else
    echo "$box" >> "$work/closed_boxes"
    [ $code -eq 0 ] || { echo "killed: the second copy ended with $code"; fail=1; }
    kill -0 $first 2>/dev/null && [ "$(owner)" = "$first" ] || { echo "killed: the first copy stopped or lost its lock"; fail=1; }
    added=$(tail -c +$(($(stat -c %s "$work/report_before") + 1)) Report_Game.txt)
    grep -q '^MessageBox : the box was closed from outside or lost its display, it is left unanswered' <<<"$added" ||
        { echo "killed: the question is not reported as left unanswered"; fail=1; }
    grep -q '表示できないため' <<<"$added" && { echo "killed: the report says the question could not be shown"; fail=1; }
    [ -e "$work/zenity.log" ] && { echo "killed: zenity was asked: $(cat "$work/zenity.log")"; rm -f "$work/zenity.log"; fail=1; }
fi
"$exe" 2>"$work/second.err" & second=$!
x_case "the question answered Yes"
box=$(box_window "二重起動")
if [ -z "$box" ]; then echo "no box appeared"; fail=1; else
    # Asked before its own window exists: the only game window shown is the first copy's, the
    # same one that was up before the second copy started.
    now=$(game_windows_shown)
    [ -n "$shown" ] && [ "$now" = "$shown" ] ||
        { echo "game windows shown while the box is up: [${now//$'\n'/ }], before it: [${shown//$'\n'/ }]"; fail=1; }
    # No window came up and vanished again (the first copy's on its way up, the box), but for the
    # questions closed above.
    cp "$work/x_events.log" "$work/x_events_before_answer.log"
    flashed=$(x_events_flashed "$work/x_events_before_answer.log" | grep -v -x -F -f "$work/closed_boxes")
    [ -z "$flashed" ] || { echo "windows shown and destroyed again before the answer: ${flashed//$'\n'/ }"; fail=1; }
    # The box is shown (box_window waits for that); a key sent now waits in its queue.
    import -window root "$work/second_copy_box.png"
    xdotool windowfocus --sync "$box" key Return
fi
wait $first; code=$?
# Closed in order, or ended after the second copy's grace when the machine is too busy.
[ $code -eq 0 ] || [ $code -eq 137 ] || { echo "the first copy ended with $code"; fail=1; }
for _ in $(seq 600); do [ "$(owner)" = "$second" ] && break; sleep 0.1; done
[ "$(owner)" = "$second" ] && kill -0 $second 2>/dev/null || { echo "the second copy did not start"; fail=1; }
# Asked to close; forced if it does not (a box left open would keep it waiting).
kill -TERM $second 2>/dev/null
ends_within $second 60 || { echo "the second copy did not close when asked"; kill -KILL $second; fail=1; }
wait $second
grep -q '\[二重起動\]' Report_Game.txt && { echo "the question went to the report instead of a box"; fail=1; }
x_events_stop
exit $fail
