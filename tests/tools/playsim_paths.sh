#!/usr/bin/env bash
# playsim as a user runs it beside a game: the recording and the replay are paths from where it
# runs, and the report goes to standard error (or the file --report names), never to the game
# folder's Report_Game.txt, which a game running there writes.
# Arguments: playsim, the demo-game maker, a work folder.
set -u
sim=$(realpath "$1") maker=$(realpath "$2") work=$3
rm -rf "$work" && mkdir -p "$work/here/sub" && "$maker" "$work/game" >/dev/null || exit 1
printf 'the running game'"'"'s report\r\n' > "$work/game/Report_Game.txt"
cp "$work/game/Report_Game.txt" "$work/report.before"
cd "$work/here" || exit 1
fail=0
"$sim" --game ../game --stage 'data\stg4\Demo-1.stg4_001' --input "R*30 RJ*12 .*20" --record rec.rpl4_824 \
    >live.txt 2>live.err || { echo "the play failed: $(cat live.err)"; fail=1; }
[ -s rec.rpl4_824 ] || { echo "no recording where playsim ran"; fail=1; }
[ -e ../game/rec.rpl4_824 ] && { echo "the recording went into the game folder"; fail=1; }
grep -q 'DDInit\|VSync : ' live.err || { echo "no report on standard error: $(cat live.err)"; fail=1; }
cd sub || exit 1
"$sim" --game ../../game --replay ../rec.rpl4_824 --report replay_report.txt >replay.txt 2>replay.err ||
    { echo "the replay failed: $(cat replay.err)"; fail=1; }
[ -s replay_report.txt ] || { echo "no report in the file named"; fail=1; }
[ -s ../live.txt ] && [ "$(head -n "$(wc -l < ../live.txt)" replay.txt)" = "$(cat ../live.txt)" ] ||
    { echo "the replay's hashes differ from the play's"; fail=1; }
cmp -s "$work/report.before" "$work/game/Report_Game.txt" || { echo "the game's report was written"; fail=1; }

# A soak run's resident memory beside the same hashes as the plain play's.
cd "$work/here" || exit 1
"$sim" --game ../game --stage 'data\stg4\Demo-1.stg4_001' --input "R*30 RJ*12 .*20" --rss 25 >rss.txt 2>rss.err ||
    { echo "the soak run failed: $(cat rss.err)"; fail=1; }
cmp -s live.txt rss.txt || { echo "--rss changed the hashes: $(diff live.txt rss.txt | head -n 4)"; fail=1; }
[ "$(grep -c '^frame [0-9]* rss [0-9]* kB$' rss.err)" = 3 ] || { echo "not one memory line every 25 frames: $(cat rss.err)"; fail=1; }

# A folder whose name Shift-JIS cannot hold, which the game's file choices take: recorded into
# it and played back from it, by its full path and from inside it.
mkdir -p "$work/josé"
"$sim" --game ../game --stage 'data\stg4\Demo-1.stg4_001' --input "R*30 RJ*12 .*20" --record "$work/josé/rec.rpl4_824" \
    >/dev/null 2>odd.err || { echo "no recording into josé: $(cat odd.err)"; fail=1; }
cmp -s "$work/josé/rec.rpl4_824" rec.rpl4_824 || { echo "the recording in josé differs from the one beside"; fail=1; }
cd "$work/josé" || exit 1
"$sim" --game ../game --replay rec.rpl4_824 >replay.txt 2>replay.err ||
    { echo "no replay from josé: $(cat replay.err)"; fail=1; }
[ "$(head -n "$(wc -l < ../here/live.txt)" replay.txt)" = "$(cat ../here/live.txt)" ] ||
    { echo "the replay from josé differs from the play"; fail=1; }
# A replay that does not load names the file as it is on disk.
"$sim" --game ../game --replay "$work/josé/none.rpl4_824" >/dev/null 2>missing.err
grep -q "josé/none.rpl4_824" missing.err || { echo "the missing replay is not named: $(cat missing.err)"; fail=1; }
exit $fail
