#!/usr/bin/env bash
# ./run.sh's demo game (scripts/demo-game.sh): made when missing; left alone at the next start,
# so that the player's System.ini (WindowMode=0, as the README tells) and saves stay; made again
# when the maker changed, still with the player's System.ini and user_data.
# Arguments: the demo-game maker, a work folder.
set -u
maker=$(realpath "$1") work=$2 script=$(dirname "$0")/../../scripts/demo-game.sh
rm -rf "$work" && mkdir -p "$work" || exit 1
game=$work/demo-game fail=0
"$script" "$maker" "$game" || { echo "the demo was not made"; exit 1; }
[ -f "$game/data/System.dat" ] || { echo "no demo game"; exit 1; }
sed -i 's/^WindowMode=.*/WindowMode=0/' "$game/System.ini"
mkdir -p "$game/user_data/story" && printf 'saved' > "$game/user_data/story/Story01.dat"
echo gone > "$game/data/System.dat.marker"
"$script" "$maker" "$game" || fail=1
grep -qx 'WindowMode=0' "$game/System.ini" || { echo "System.ini written over at the next start"; fail=1; }
[ -e "$game/data/System.dat.marker" ] || { echo "the demo was made again with its maker unchanged"; fail=1; }
# Another maker: the same program with a byte more, which changes its stamp.
cp "$maker" "$work/maker2" && printf '\n' >> "$work/maker2"
"$script" "$work/maker2" "$game" || fail=1
[ -e "$game/data/System.dat.marker" ] && { echo "the demo was not made again for a changed maker"; fail=1; }
[ -f "$game/data/System.dat" ] || { echo "the demo made again has no data"; fail=1; }
grep -qx 'WindowMode=0' "$game/System.ini" || { echo "System.ini lost when the demo was made again"; fail=1; }
[ "$(cat "$game/user_data/story/Story01.dat" 2>/dev/null)" = saved ] || { echo "user_data lost when the demo was made again"; fail=1; }
exit $fail
