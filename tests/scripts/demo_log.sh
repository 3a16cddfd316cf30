#!/usr/bin/env bash
# The demonstration log of `make run`: both files are written, the UTF-16 one
# with its mark, every stamp later than the one before (the generated lines,
# then what the writer appends), and the writer appends, rotates once and
# stops on time.
set -u
bin=${1:?usage: demo_log.sh BIN_DIR}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# In UTC: a change of local time would move the stamps back by itself.
TZ=UTC "$bin/demo_log" generate "$dir" || fail "generate"
[ "$(stat -c %s "$dir/demo.log")" -gt 1000000 ] || fail "demo.log is smaller than 1 MB"
[ "$(head -c 2 "$dir/demo-utf16.log" | od -An -tx1 | tr -d ' ')" = fffe ] || fail "demo-utf16.log has no UTF-16 LE mark"
grep -q $'\t' "$dir/demo.log" || fail "demo.log holds no tab"

# Two seconds on the generated log, as the demonstration does: the rotation comes after one.
TZ=UTC timeout 10 "$bin/demo_log" follow "$dir/demo.log" 2 || fail "the writer did not stop on time"
[ -s "$dir/demo.log.1" ] || fail "no rotated copy"
[ -s "$dir/demo.log" ] || fail "nothing appended after the rotation"
[ "$(wc -l < "$dir/demo.log.1")" -gt 40000 ] || fail "the writer appended nothing before the rotation"
back=$(cat "$dir/demo.log.1" "$dir/demo.log" | awk '
  { stamp = substr($0, 1, 23) }
  stamp !~ /^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9][.][0-9][0-9][0-9]$/ { print "unstamped line " NR; exit }
  NR > 1 && stamp <= last { n++; if (n == 1) first = NR }
  { last = stamp }
  END { if (n) print n " lines stamped no later than the line before, the first at line " first }')
[ -z "$back" ] || fail "$back"
echo "demo log: ok"
