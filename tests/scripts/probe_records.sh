#!/usr/bin/env bash
# The probe's records command: each visible row's record (start or
# continuation, level, time in UTC) under the file's log format, users' formats
# from --formats DIR, and Go to Time by a family that only the formats read.
. "$(dirname "$0")/lib/expect.bash" "$@"
export TZ=UTC

printf '%s\n' 'started by hand' '2026-12-07 10:00:00,123 INFO  [main] App - up' \
  'java.lang.IllegalStateException: ERROR in state' '    at App.main(App.java:10)' \
  '2026-12-07 10:00:01,5 ERROR [main] App - down' > "$dir/java.log"
expect "a Java log: the preamble, a record with its stack trace, the next record" 'format ISO 8601
+ - -	|started by hand|
+ info 2026-12-07T10:00:00.123000Z	|2026-12-07 10:00:00,123 INFO  [main] App - up|
~ info 2026-12-07T10:00:00.123000Z	|java.lang.IllegalStateException: ERROR in state|
~ info 2026-12-07T10:00:00.123000Z	|    at App.main(App.java:10)|
+ error 2026-12-07T10:00:01.500000Z	|2026-12-07 10:00:01,5 ERROR [main] App - down|' \
  "$probe" --rows 6 "$dir/java.log" records

printf '%s\n' '--------- beginning of main' '12-31 23:59:58.000  1702  2395 I Tag: old year' \
  '01-01 00:00:01.250  1702  2395 W Tag: new year' '01-01 00:00:02.000  1702  2395 E Tag: late' > "$dir/cat.log"
touch -d '2027-01-02 00:00:00' "$dir/cat.log"
expect "logcat: letters as levels, the year from the file's time, Go to Time by the format" 'format logcat threadtime
+ warn 2027-01-01T00:00:01.250000Z	|01-01 00:00:01.250  1702  2395 W Tag: new year|
+ error 2027-01-01T00:00:02.000000Z	|01-01 00:00:02.000  1702  2395 E Tag: late|
format logcat threadtime
+ - -	|--------- beginning of main|
+ info 2026-12-31T23:59:58.000000Z	|12-31 23:59:58.000  1702  2395 I Tag: old year|' \
  bash -c '"$0" --rows 2 "$1" "gototime:2027-01-01 00:00:01" records gototime:2026-12-01T00:00 records' "$probe" "$dir/cat.log"

mkdir "$dir/formats"
printf '[Format]\nname=Pipes\npattern=^(?P<time>[0-9.]+)\\|(?P<level>[A-Z])\\|\nlayout=%%s.%%f\nlevels=X:fatal,N:info\n' \
  > "$dir/formats/pipes.ini"
printf '[Format]\nname=Broken\npattern=(?P<time>[0-9\nlayout=%%s\n' > "$dir/formats/broken.ini"
printf '%s\n' '1796637600.5|X|disk gone' '1796637601.25|N|back' '  the disk came back' > "$dir/pipes.log"
expect "a user's format from --formats; a bad file is named on stderr and skipped" "warning: $dir/formats/broken.ini: pattern: missing ]: [0-9
format Pipes
+ fatal 2026-12-07T10:00:00.500000Z	|1796637600.5|X|disk gone|
+ info 2026-12-07T10:00:01.250000Z	|1796637601.25|N|back|
~ info 2026-12-07T10:00:01.250000Z	|  the disk came back|" \
  "$probe" --rows 3 --formats "$dir/formats" "$dir/pipes.log" records

printf '%s\n' 'started by hand' '2026-12-07 10:00:00,000 INFO  [main] App - up' \
  '2026-12-07 10:00:01,000 ERROR [main] App - a' '    at App.main(App.java:10)' \
  '2026-12-07 10:00:02,000 ERROR [main] App - b' '2026-12-07 10:00:03,000 WARN  [main] App - c' \
  '2026-12-07 10:00:03,500 [main] no level' '2026-12-07 10:00:04,000 FATAL [main] App - d' \
  '2026-12-07 10:00:05,000 DEBUG [main] App - e' '2026-12-07 10:00:07,999 TRACE [main] App - f' > "$dir/spread.log"
expect "the timeline: the span, then each column's first time and records per level, none last" 'timeline 2026-12-07T10:00:00.000000Z 2026-12-07T10:00:07.999000Z
2026-12-07T10:00:00.000000Z 0 1 0 1 0 0 0
2026-12-07T10:00:01.999751Z 0 1 1 0 0 0 1
2026-12-07T10:00:03.999501Z 1 0 0 0 1 0 0
2026-12-07T10:00:05.999251Z 0 0 0 0 0 1 0
timeline 2026-12-07T10:00:00.000000Z 2026-12-07T10:00:07.999000Z
2026-12-07T10:00:00.000000Z 1 2 1 1 1 1 1' \
  bash -c '"$0" --rows 3 "$1" timeline:4 timeline:1' "$probe" "$dir/spread.log"

printf 'alpha\nbeta\n' > "$dir/plain.txt"
expect "a file without a format: every line a record of its own, and no timeline" 'format none
+ - -	|alpha|
+ - -	|beta|
timeline none' "$probe" --rows 3 "$dir/plain.txt" records timeline:3

finish
