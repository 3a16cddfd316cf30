#!/usr/bin/env bash
# The demonstration log of `make run`: both files are written, the UTF-16 one
# with its mark, and the writer appends, rotates once and stops on time.
set -u
bin=${1:?usage: demo_log.sh BIN_DIR}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$bin/demo_log" generate "$dir" || fail "generate"
[ "$(stat -c %s "$dir/demo.log")" -gt 1000000 ] || fail "demo.log is smaller than 1 MB"
[ "$(head -c 2 "$dir/demo-utf16.log" | od -An -tx1 | tr -d ' ')" = fffe ] || fail "demo-utf16.log has no UTF-16 LE mark"
grep -q $'\t' "$dir/demo.log" || fail "demo.log holds no tab"

# Two seconds: the rotation comes after one.
: > "$dir/follow.log"
timeout 10 "$bin/demo_log" follow "$dir/follow.log" 2 || fail "the writer did not stop on time"
[ -s "$dir/follow.log.1" ] || fail "no rotated copy"
[ -s "$dir/follow.log" ] || fail "nothing appended after the rotation"
echo "demo log: ok"
