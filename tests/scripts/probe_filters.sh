#!/usr/bin/env bash
# The probe's filter stack: include and exclude rules, how includes combine,
# the lowest level, the time range, context lines, and print's marks for rows
# that follow hidden lines.
EXPECT_DROP='^top='
. "$(dirname "$0")/lib/expect.bash" "$@"
export TZ=UTC

printf '%s\n' '2026-12-07 10:00:00 INFO start' '2026-12-07 10:00:01 ERROR disk full' '    at write()' \
  '2026-12-07 10:00:02 INFO healthcheck ok' '2026-12-07 10:00:03 WARN slow timeout' \
  '2026-12-07 10:00:04 ERROR healthcheck failed' '2026-12-07 10:00:05 DEBUG tick' '2026-12-07 10:00:06 INFO done' \
  > "$dir/app.log"

expect "an include keeps a record with its continuation line; a row that follows hidden ones starts with -" \
'-2026-12-07 10:00:01 ERROR disk full|
|    at write()|
-2026-12-07 10:00:04 ERROR healthcheck failed|
| |
shown 3 of 8' "$probe" --rows 4 "$dir/app.log" include:ERROR key:home print

expect "any include, minus an exclude (ignoring case), with a line of context" \
'|2026-12-07 10:00:00 INFO start|
|2026-12-07 10:00:01 ERROR disk full|
|    at write()|
|2026-12-07 10:00:02 INFO healthcheck ok|
|2026-12-07 10:00:03 WARN slow timeout|
|2026-12-07 10:00:04 ERROR healthcheck failed|
shown 6 of 8' "$probe" --rows 6 "$dir/app.log" include:ERROR include:timeout iexclude:HEALTHCHECK context:1 key:home print

expect "allof: a record must match every include" \
'-2026-12-07 10:00:04 ERROR healthcheck failed|
| |
shown 1 of 8' "$probe" --rows 2 "$dir/app.log" include:ERROR include:health allof key:home print

expect "the lowest level and a time range" \
'-2026-12-07 10:00:03 WARN slow timeout|
-2026-12-07 10:00:06 INFO done|
| |
shown 2 of 8' "$probe" --rows 3 "$dir/app.log" level:info "since:2026-12-07 10:00:03" \
  "until:2026-12-07 10:00:06" exclude:ERROR key:home print

expect "paging stops at the last screenful of shown lines; showall shows every line from the same top" \
'|    at write()|
|2026-12-07 10:00:02 INFO healthcheck ok|' "$probe" --rows 2 "$dir/app.log" include:ERROR key:home key:down key:down showall print

got=$("$probe" "$dir/app.log" context:10 2>&1); rc=$?
if [ $rc -eq 2 ] && [[ $got == *"bad command 'context:10'"* ]]; then passed=$((passed + 1)); else
  failures=$((failures + 1)); echo "FAIL context past 9 is refused (rc $rc)"; fi

finish
