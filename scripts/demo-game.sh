#!/usr/bin/env bash
# Makes the demo game in FOLDER with MAKER when the folder has none yet, or when the maker is not
# the one that made it (a stamp of the maker's contents is kept in the folder). What the player
# changed stays: System.ini and everything under user_data are carried over into a demo made
# again, and a demo that is up to date is not touched at all.
#   scripts/demo-game.sh MAKER FOLDER
set -euo pipefail
maker=$1 game=$2
stamp=$(sha256sum < "$maker" | cut -d' ' -f1)
if [ -f "$game/.demo-made-by" ] && [ "$(cat "$game/.demo-made-by")" = "$stamp" ]; then exit 0; fi
# Made aside and swapped in, so that a failed make leaves the old demo as it was.
new="$game.new" old="$game.old"
rm -rf "$new" "$old"
"$maker" "$new" >/dev/null
if [ -e "$game/System.ini" ]; then cp -p "$game/System.ini" "$new/System.ini"; fi
if [ -d "$game/user_data" ]; then rm -rf "$new/user_data"; cp -a "$game/user_data" "$new/user_data"; fi
echo "$stamp" > "$new/.demo-made-by"
if [ -e "$game" ]; then mv "$game" "$old"; fi
mv "$new" "$game"
rm -rf "$old"
