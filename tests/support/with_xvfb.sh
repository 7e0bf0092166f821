#!/usr/bin/env bash
# Runs a command on an Xvfb server of its own, which takes the first free display number itself
# (x_server_start): two runs started at the same moment (two build trees, two checkouts) never
# share a display, which xvfb-run -a's probe of lock files does not promise.
# Arguments: the screen's geometry (e.g. 800x600x24), then the command.
set -u
geometry=$1; shift
# No leak check at the exit of what runs on this server: on a loaded machine, LeakSanitizer's
# thread tracer crashed there now and then ("Tracer caught signal 11", then "LeakSanitizer has
# encountered a fatal error", status 134) as the program ended, with the X and GL libraries'
# own threads about. The same code is leak-checked by the tests under the dummy video driver;
# every other sanitizer check stays on here.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
command -v Xvfb >/dev/null || { echo "Xvfb missing: skipped"; exit 77; }
# The server's own messages are kept, and shown when it ends before the command does: a test
# that lost its display says so instead of failing on a window that never came.
serverlog=$(mktemp)
. "$(dirname "$0")/x_windows.sh"
x_server_start "$geometry" "$serverlog" || { echo "Xvfb did not start"; cat "$serverlog"; rm -f "$serverlog"; exit 1; }
server=$X_SERVER_PID
"$@"; code=$?
if ! kill -0 $server 2>/dev/null; then
    wait $server; echo "Xvfb ended during the test with status $?:"; cat "$serverlog"
fi
rm -f "$serverlog"
kill $server 2>/dev/null; wait $server 2>/dev/null
exit $code
