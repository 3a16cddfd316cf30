#!/usr/bin/env bash
# The probe's merged windows (--merge): rows of several logs by time, then by the order of the files, a
# record's continuation lines under it, each row's letter after it (src=), paging, Home and End, Go to Time,
# Go to Line in the top row's file, Copy Screen without the letters, and a file that cannot be merged.
. "$(dirname "$0")/lib/expect.bash" "$@"
export TZ=UTC

printf '%s\n' '2026-12-07 06:00:00.000Z INFO a1' '2026-12-07 06:00:03.000Z INFO a2' '    under a2' \
  '2026-12-07 06:00:05.000Z WARN a3' > "$dir/a.log"
printf '%s\r\n' '2026-12-07 06:00:01.000Z INFO b1' '2026-12-07 06:00:03.000Z ERROR b2' > "$dir/b.log"
printf '%s\n' 'before any record' '2026-12-07 06:00:02.000Z DEBUG c1' '2026-12-07 06:00:09.000Z INFO c2' > "$dir/c.log"
printf '%s\n' 'no time here' 'nor here' > "$dir/plain.txt"

expect "three logs by time, equal times in the order of the files, a record's lines together" 'merged top=A:0 line=1 end=0
|2026-12-07 06:00:00.000Z INFO a1|  src=A
|2026-12-07 06:00:01.000Z INFO b1|  src=B
|before any record|  src=C
|2026-12-07 06:00:02.000Z DEBUG c1|  src=C
|2026-12-07 06:00:03.000Z INFO a2|  src=A
|    under a2|  src=A' \
  "$probe" --rows 6 --index-wait --merge "$dir/a.log" --merge "$dir/b.log" "$dir/c.log" print

expect "the letters and equal times follow the order of the files given" 'merged top=A:34 line=2 end=0
|2026-12-07 06:00:03.000Z ERROR b2|  src=A
|2026-12-07 06:00:03.000Z INFO a2|  src=B
|    under a2|  src=B' \
  "$probe" --rows 3 --index-wait --merge "$dir/b.log" --merge "$dir/a.log" "$dir/c.log" gototime:2026-12-07T06:00:03Z print

states() { "$@" | grep -v '^|'; }  # the state lines alone
expect "paging down, one row up, End, Home" 'merged top=C:18 line=2 end=0
merged top=C:0 line=1 end=0
merged top=B:34 line=2 end=1
merged top=A:0 line=1 end=0' \
  states "$probe" --rows 3 --index-wait --merge "$dir/a.log" --merge "$dir/b.log" "$dir/c.log" \
  key:pgdn key:pgdn key:pgdn print key:up print key:end print key:home print

expect "Go to Time: the first row at or after the time; Go to Line: a line of the top row's file" 'merged top=A:79 line=4 end=1
|2026-12-07 06:00:05.000Z WARN a3|  src=A
|2026-12-07 06:00:09.000Z INFO c2|  src=C
merged top=A:33 line=2 end=0
|2026-12-07 06:00:03.000Z INFO a2|  src=A
|    under a2|  src=A' \
  "$probe" --rows 2 --index-wait --merge "$dir/a.log" --merge "$dir/b.log" "$dir/c.log" \
  gototime:2026-12-07T06:00:03.5Z print key:down gotoline:2 print

expect "Copy Screen: each row as its file holds it, without the letters" 'clip text 2026-12-07 06:00:01.000Z INFO b1\r\nbefore any record\n2026-12-07 06:00:02.000Z DEBUG c1\n' \
  "$probe" --rows 2 --merge "$dir/a.log" --merge "$dir/b.log" "$dir/c.log" key:down copy

gzip -c "$dir/b.log" > "$dir/b.log.gz"
expect "a compressed log is merged once it is read, wherever it stands among the files" 'merged top=A:0 line=1 end=0
|2026-12-07 06:00:00.000Z INFO a1|  src=A
|2026-12-07 06:00:01.000Z INFO b1|  src=B
|before any record|  src=C
|2026-12-07 06:00:02.000Z DEBUG c1|  src=C' \
  "$probe" --rows 4 --merge "$dir/a.log" --merge "$dir/b.log.gz" "$dir/c.log" print

expect "standard input is a file of a merge; it can be read once" 'merged top=B:0 line=1 end=0
|2026-12-07 06:00:00.000Z INFO a1|  src=B
|2026-12-07 06:00:02.500Z INFO p1|  src=A
|2026-12-07 06:00:03.000Z INFO a2|  src=B
error: -: it cannot be opened' \
  sh -c 'piped() { printf "%s\n" "2026-12-07 06:00:02.500Z INFO p1" | "$@"; }
         piped "$0" --rows 3 --merge - "$1" print; piped "$0" --merge - --merge - "$1" print 2>&1' "$probe" "$dir/a.log"

gzip -c "$dir/plain.txt" > "$dir/plain.txt.gz"
expect "a compressed file found without a log format once read leaves the rows, and the probe says which and why" "error: $dir/plain.txt.gz: no log format recognised in it, so its lines have no time to merge by
|2026-12-07 06:00:00.000Z INFO a1|  src=A
|2026-12-07 06:00:03.000Z INFO a2|  src=A" \
  sh -c '"$0" --rows 2 --merge "$1" "$2" print 2>&1 | grep -v ^merged' "$probe" "$dir/a.log" "$dir/plain.txt.gz"

expect "a file without a log format is not merged, and the probe says which and why" "error: $dir/plain.txt: no log format recognised in it, so its lines have no time to merge by" \
  "$probe" --merge "$dir/a.log" "$dir/plain.txt" print

finds() { "$@" | grep -e '^merged' -e '«'; }  # the state lines and the rows with the match
expect "find on the merged rows: the next match in time order, round at the end, and back" 'merged top=A:0 line=1 end=0
|2026-12-07 06:00:00.000Z «INFO» a1|  src=A
merged top=A:0 line=1 end=0
|2026-12-07 06:00:01.000Z «INFO» b1|  src=B
merged top=C:0 line=1 end=0
|2026-12-07 06:00:03.000Z «INFO» a2|  src=A
merged top=A:66 line=3 end=1
|2026-12-07 06:00:09.000Z «INFO» c2|  src=C
merged top=A:0 line=1 end=0
|2026-12-07 06:00:00.000Z «INFO» a1|  src=A
merged top=A:66 line=3 end=1
|2026-12-07 06:00:09.000Z «INFO» c2|  src=C' \
  finds "$probe" --rows 4 --index-wait --merge "$dir/a.log" --merge "$dir/b.log" "$dir/c.log" \
  find:INFO print next:INFO print next:INFO print next:INFO print next:INFO print prev:INFO print

# Highlight rules colour the merged rows, each read in its own file: a rule that covers a row names it.
cat > "$dir/rules.ini" <<'INI'
[HighlightRules]
1\name=Errors
1\pattern=ERROR
1\text=#e0443a
size=1
INI
expect "highlight rules on the merged rows, before src=" 'merged top=B:34 line=2 end=1
|2026-12-07 06:00:03.000Z ERROR b2|  rule=Errors  src=B
|2026-12-07 06:00:05.000Z WARN a3|  src=A
|2026-12-07 06:00:09.000Z INFO c2|  src=C' \
  "$probe" --rows 3 --index-wait --rules "$dir/rules.ini" --merge "$dir/a.log" --merge "$dir/b.log" "$dir/c.log" \
  key:end print

# The filter stack on the merged rows: each file decides its own lines (its level, its context), the rows stay
# in time order, - marks a row whose file hid lines before it, and shown N of M sums the files.
expect "a lowest level: lines without a level pass, each file's hidden lines marked" 'merged top=C:0 line=1 end=1
|before any record|  src=C
-2026-12-07 06:00:03.000Z ERROR b2|  src=B
-2026-12-07 06:00:05.000Z WARN a3|  src=A
| |
shown 3 of 9' \
  "$probe" --rows 4 --index-wait --merge "$dir/a.log" --merge "$dir/b.log" "$dir/c.log" level:warn print

expect "context lines are of the matching record's own file" 'merged top=A:0 line=1 end=1
|2026-12-07 06:00:00.000Z INFO a1|  src=A
|2026-12-07 06:00:03.000Z INFO a2|  src=A
|    under a2|  src=A
|2026-12-07 06:00:05.000Z WARN a3|  src=A
shown 4 of 9' \
  "$probe" --rows 4 --index-wait --merge "$dir/a.log" --merge "$dir/b.log" "$dir/c.log" include:a2 context:1 print

expect "filtered Go to Time: the first shown row at or after the time; Home: the first shown row" 'merged top=A:33 line=2 end=1
|2026-12-07 06:00:03.000Z INFO a2|  src=A
|    under a2|  src=A
-2026-12-07 06:00:09.000Z INFO c2|  src=C
shown 5 of 9
merged top=A:0 line=1 end=0
|2026-12-07 06:00:00.000Z INFO a1|  src=A
|2026-12-07 06:00:01.000Z INFO b1|  src=B
|2026-12-07 06:00:03.000Z INFO a2|  src=A
shown 5 of 9' \
  "$probe" --rows 3 --index-wait --merge "$dir/a.log" --merge "$dir/b.log" "$dir/c.log" include:INFO \
  gototime:2026-12-07T06:00:02Z print key:home print

finish
