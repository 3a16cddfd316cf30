#!/usr/bin/env bash
# The headless driver on command:CMD: a command's output and errors in the order they come, followed while it
# runs, read as a log (levels and times), how it ended in the strip's words, and no process left behind.
. "$(dirname "$0")/lib/expect.bash" "$@"
export TZ=UTC

# A fake build: writes, pauses, writes to standard error, writes again and fails.
cat > "$dir/build.sh" <<'SCRIPT'
printf '2026-12-08 10:00:00.000 INFO  compiling\n'
sleep 0.3
echo '2026-12-08 10:00:01.000 WARN  cache miss' >&2
sleep 0.3
printf '2026-12-08 10:00:02.000 ERROR link failed\n'
exit 3
SCRIPT
expect "the output and errors in order, read as a log, and the status" 'strip "The command ended with status 3." [Run Again]
format ISO 8601
+ info 2026-12-08T10:00:00.000000Z	|2026-12-08 10:00:00.000 INFO  compiling|
+ warn 2026-12-08T10:00:01.000000Z	|2026-12-08 10:00:01.000 WARN  cache miss|
+ error 2026-12-08T10:00:02.000000Z	|2026-12-08 10:00:02.000 ERROR link failed|' \
  "$probe" --rows 4 "command:sh '$dir/build.sh'" wait:1500 records
expect "followed while it runs: the first line, then all" '|first|
|first|
|second|' bash -c '"$0" --rows 2 "command:echo first; sleep 0.5; echo second" print wait:1200 print | grep "^|[a-z]"' "$probe"
expect "a command that succeeds says so" 'strip "The command ended with status 0." [Run Again]' \
  bash -c '"$0" --rows 1 "command:echo done here" wait:800 2>&1 | grep ^strip' "$probe"
expect "a command whose shell cannot run it: the shell's words, then its status" \
  'strip "The command ended with status 127." [Run Again]' \
  bash -c '"$0" --rows 1 "command:no-such-program-here-$$" wait:800 2>&1 | grep ^strip' "$probe"
# The probe ends the command's whole group when it goes: a child that sleeps on is not left running.
"$probe" --rows 1 "command:echo up; sleep 30 & echo \$! > '$dir/child'; wait" wait:300 print > /dev/null 2>&1
sleep 0.3
child=$(cat "$dir/child" 2>/dev/null)
if [ -z "$child" ]; then
  failures=$((failures + 1)); echo "FAIL the command's child did not start"
elif kill -0 "$child" 2>/dev/null; then
  failures=$((failures + 1)); echo "FAIL the command's child $child was left running"; kill "$child"
else
  passed=$((passed + 1))
fi

finish
