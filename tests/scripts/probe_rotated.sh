#!/usr/bin/env bash
# The probe's rotation sets (--rotated): a log and its older parts as one log, oldest first, each part's letter
# after its rows (src=); the current file's end at once, a compressed part read when the view reaches it, the
# parts of each naming style in their order, decoys left out, and a log without parts shown alone.
. "$(dirname "$0")/lib/expect.bash" "$@"

printf 'p2 line %d\n' 1 2 3 | gzip > "$dir/app.log.2.gz"
printf 'p1 line %d\n' 1 2 3 > "$dir/app.log.1"
printf 'p0 line %d\n' 1 2 3 > "$dir/app.log"
printf 'not a part\n' > "$dir/app.log.bak"
printf 'nor this\n' > "$dir/app.log.1.swp"
rows() { "$@" | grep '^|'; }  # the rows alone

expect "at the end: the current file's last rows under the last older part's" '|p1 line 2|  src=B
|p1 line 3|  src=B
|p0 line 1|  src=C
|p0 line 2|  src=C
|p0 line 3|  src=C' \
  rows "$probe" --rows 5 --rotated "$dir/app.log" print

expect "Home reaches the compressed part: its first line on top, then the parts one after another" '|p2 line 1|  src=A
|p2 line 2|  src=A
|p2 line 3|  src=A
|p1 line 1|  src=B
|p1 line 1|  src=B
|p1 line 2|  src=B
|p1 line 3|  src=B
|p0 line 1|  src=C' \
  rows "$probe" --rows 4 --rotated "$dir/app.log" key:home print key:pgdn key:down print

printf 'd1\n' > "$dir/web.log-20261205.gz.tmp"
printf 'd1\n' | gzip > "$dir/web.log-20261205.gz"
printf 'd2\n' > "$dir/web.log.2026-12-06"
printf 'n2\n' > "$dir/web.log.2"
printf 'n1\n' > "$dir/web.log.1"
printf 'now\n' > "$dir/web.log"
printf 'other\n' > "$dir/other.log.1"
expect "dates before numbers, earlier dates and higher numbers first" '|d1|  src=A
|d2|  src=B
|n2|  src=C
|n1|  src=D
|now|  src=E' \
  rows "$probe" --rows 5 --rotated "$dir/web.log" key:home print

printf 'alone\n' > "$dir/alone.log"
expect "a log without older parts is shown alone" '|alone|' rows "$probe" --rows 1 --rotated "$dir/alone.log" print

finish
