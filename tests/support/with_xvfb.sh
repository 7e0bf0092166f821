#!/usr/bin/env bash
# Runs a command on an Xvfb server of its own: with -displayfd the server takes the first free
# display number itself and says which. Two runs started at the same moment (two build trees, two
# checkouts) never share a display, which xvfb-run -a's probe of lock files does not promise.
# Arguments: the screen's geometry (e.g. 800x600x24), then the command.
set -u
geometry=$1; shift
command -v Xvfb >/dev/null || { echo "Xvfb missing: skipped"; exit 77; }
numfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3>"$numfile" 2>/dev/null & server=$!
n=""
for _ in $(seq 600); do
    n=$(tr -dc 0-9 < "$numfile")
    [ -n "$n" ] && break
    kill -0 $server 2>/dev/null || break
    sleep 0.1
done
rm -f "$numfile"
[ -n "$n" ] || { echo "Xvfb did not start"; kill $server 2>/dev/null; exit 1; }
DISPLAY=:$n "$@"; code=$?
kill $server 2>/dev/null; wait $server 2>/dev/null
exit $code
