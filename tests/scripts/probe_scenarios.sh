#!/usr/bin/env bash
# Shell-level scenarios of the headless driver: its output format, exit codes
# and a few behaviours end to end.
set -u
bin=${1:?usage: probe_scenarios.sh BIN_DIR}
probe="$bin/ostrel-probe"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0; passed=0

expect() {  # name, expected output, command...
  local name=$1 want=$2; shift 2
  local got
  got=$("$@" 2>&1)
  if [ "$got" == "$want" ]; then passed=$((passed + 1)); else
    failures=$((failures + 1))
    printf 'FAIL %s\n--- expected\n%s\n--- got\n%s\n' "$name" "$want" "$got"
  fi
}
expect_exit() {  # name, code, command...
  local name=$1 want=$2; shift 2
  "$@" >/dev/null 2>&1
  local rc=$?
  if [ "$rc" == "$want" ]; then passed=$((passed + 1)); else
    failures=$((failures + 1)); printf 'FAIL %s: exit %s, expected %s\n' "$name" "$rc" "$want"
  fi
}

printf 'alpha\nbeta\n' > "$dir/ab.txt"
expect "basic print" 'top=0 last=0 total=11 enc="ANSI / ASCII" hoff=0 longest=6 hl=none
|alpha|
|beta|
| |' "$probe" --rows 3 "$dir/ab.txt" print

seq 1 50 | sed 's/^/entry /' > "$dir/n.txt"
expect "opens at the end, home and page down" 'top=405 last=405 total=441 enc="ANSI / ASCII" hoff=0 longest=9 hl=none
|entry 47|
|entry 48|
|entry 49|
|entry 50|
top=16 last=405 total=441 enc="ANSI / ASCII" hoff=0 longest=9 hl=none
|entry 3|
|entry 4|
|entry 5|
|entry 6|' "$probe" --rows 4 "$dir/n.txt" print key:home key:pgdn print

expect "thumb into a line lands on its start, clamped like a bar" 'top=90 last=423 total=441 enc="ANSI / ASCII" hoff=0 longest=9 hl=none
|entry 12|
|entry 13|
top=423 last=423 total=441 enc="ANSI / ASCII" hoff=0 longest=9 hl=none
|entry 49|
|entry 50|' "$probe" --rows 2 "$dir/n.txt" thumb:93 print thumb:999999 print

printf 'ab\r\ncd\r\nef\r\ngh\r\nij\r\n' > "$dir/crlf.txt"
printf 'a\n\r\nb' > "$dir/lfcrlf.txt"
expect "thumb between CR and LF lands on the line they end; the bar's end is the last screenful" 'top=4 last=8 total=20 enc="ANSI / ASCII" hoff=0 longest=4 hl=none
|cd|
|ef|
|gh|
top=2 last=2 total=5 enc="ANSI / ASCII" hoff=0 longest=3 hl=none
| |
|b|' bash -c '"$0" --rows 3 "$1" thumb:7 print && "$0" --rows 2 "$2" key:home thumb:9 print' \
  "$probe" "$dir/crlf.txt" "$dir/lfcrlf.txt"

printf '\xfe\xff\x00H\x00i\x00\t\x00\\\x00\x0a\x00\xab' > "$dir/be.txt"
expect "mismatch prompt answered no, escapes in wide rows" 'message "User requested loading file with encoding ANSI / ASCII but file header indicates encoding Unicode UTF 16 Big Endian.\r\nClick Yes to proceed with user requested encoding, No to proceed with file specified encoding." no
top=0 last=0 total=6 enc="Unicode UTF 16 Big Endian" hoff=0 longest=6 hl=none
|Hi  \u005C|
|\u00AB|
clip unicode H\x00i\x00\t\x00\\\x00\n\x00\xAB\x00' "$probe" --rows 2 --encoding 1 --answer no "$dir/be.txt" print copy

printf 'start\n' > "$dir/nul.log"; head -c 100 /dev/zero >> "$dir/nul.log"
printf 'important error line\nlast line\n' >> "$dir/nul.log"
expect "End reaches the text after a run of NULs shorter than a screenful" 'top=106 last=106 total=137 enc="ANSI / ASCII" hoff=0 longest=21 hl=none
|important error line|
|last line|
| |
| |' "$probe" --rows 4 "$dir/nul.log" key:home key:end print

printf 'a\x01\x81\\b\xe9\n' > "$dir/ctl.txt"
expect "escapes in narrow rows, sentence case" 'top=0 last=0 total=7 enc="ANSI / ASCII" hoff=0 longest=7 hl=none
|A\x01\x81\x5CBé|
| |' "$probe" --rows 2 --case 1 "$dir/ctl.txt" print

printf 'x. \xe9t\xe9 fini. \xfcber. \xe9\nnext\n' > "$dir/accents.txt"
expect "sentence case: an accented letter goes on with its word, also right of the window" 'top=0 last=0 total=26 enc="ANSI / ASCII" hoff=0 longest=21 hl=none
|X. été fini. über|
|next|' "$probe" --rows 2 --cols 17 --case 3 "$dir/accents.txt" print

printf 'xy\tz match\n' > "$dir/tab.txt"
expect "a match after a tab: its own columns inverse, scrolled into view, in the range" 'top=0 last=0 total=11 enc="ANSI / ASCII" hoff=3 longest=12 hl=5-10
| z «match»|' "$probe" --rows 1 --cols 10 "$dir/tab.txt" find:match print

printf '\xff\xfe\x00\x00abcd' > "$dir/u32.txt"
expect "UTF-32 refused" 'message "Error: 32bit unicode is not supported."
load failed' "$probe" "$dir/u32.txt" print
expect_exit "UTF-32 exit code" 3 "$probe" "$dir/u32.txt"
: > "$dir/empty.txt"
expect_exit "empty file cannot load" 3 "$probe" "$dir/empty.txt"
expect_exit "missing file" 3 "$probe" "$dir/missing.txt"
expect_exit "unknown command" 2 "$probe" "$dir/ab.txt" jump
expect "a bad command anywhere stops the script before it prints" '2' \
  bash -c '"$0" "$1" print key:foo 2>/dev/null; echo $?' "$probe" "$dir/ab.txt"
# Only regular files open, and nothing named may block: a FIFO without a
# writer, a directory, a character device, a /proc file (size 0, refused as empty).
mkfifo "$dir/fifo"
for f in "$dir/fifo" "$dir" /dev/zero /dev/tty /proc/self/status; do
  expect "refused without blocking: $f" 'load failed
3' bash -c 'timeout 10 "$0" "$1" print; echo $?' "$probe" "$f"
done
expect_exit "bad option" 2 "$probe" --rows x "$dir/ab.txt"
expect_exit "no file" 2 "$probe"

printf '%s\n' "$(printf 'x%.0s' $(seq 1 100))" short > "$dir/wide.txt"
expect "horizontal offset past a short line paints an empty row" 'top=0 last=0 total=107 enc="ANSI / ASCII" hoff=20 longest=101 hl=none
|xxxxxxxxxx|
||
||' "$probe" --rows 3 --cols 10 "$dir/wide.txt" key:home hthumb:20 hwheel:left hwheel:right print

printf 'user=m\xc3\xbcller caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac x\n' > "$dir/u.log"
expect "UTF-8: decoded, a wide character fills two cells (the x in cell 23), a match of decoded text" 'top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=24 hl=none
|user=müller café 日本 x|
top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=24 hl=none
|user=müller café 日本 |
top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=24 hl=none
|user=müller café 日本 x|
top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=24 hl=13-18
|user=müller «café» 日本 x|' bash -c '"$0" --code-page utf-8 --rows 1 --cols 40 "$1" print &&
  "$0" --code-page utf-8 --rows 1 --cols 22 "$1" print && "$0" --code-page utf-8 --rows 1 --cols 23 "$1" print &&
  "$0" --code-page utf-8 --rows 1 --cols 40 "$1" ifind:CAFÉ print' "$probe" "$dir/u.log"

printf 'caf\xe9 e\xcc\x81t\xc3\xa9\t\xe6\x97\xa5\tz \x81\\\n' > "$dir/mixed.log"
acute=$'\xcc\x81'  # a combining mark, printed after its base
expect "UTF-8: a lone byte as Windows-1252, a mark after its base, tabs by column; é finds no lone E9; copy as drawn" 'top=0 last=0 total=21 enc="ANSI / ASCII" hoff=0 longest=17 hl=9-11
|café e'"$acute"'t«é»日  z \u0081\u005C|
clip unicode café e'"$acute"'té\t日\tz \u0081\\\n' "$probe" --code-page utf-8 --rows 1 --cols 20 "$dir/mixed.log" find:é print copy
expect "Windows-1252, by default and when asked: byte for byte as before" 'top=0 last=0 total=21 enc="ANSI / ASCII" hoff=0 longest=23 hl=none
|café eÌ\x81tÃ©   æ—¥ z |
top=0 last=0 total=21 enc="ANSI / ASCII" hoff=0 longest=23 hl=none
|café eÌ\x81tÃ©   æ—¥ z |' bash -c '"$0" --rows 1 --cols 20 "$1" print && "$0" --code-page 1252 --rows 1 --cols 20 "$1" print' \
  "$probe" "$dir/mixed.log"
expect_exit "unknown code page" 2 "$probe" --code-page latin1 "$dir/u.log"

# Highlight rules from a settings file: a row that one rule covers more than half of names it.
printf '12:00 INFO start\n12:01 ERROR disk full\nuser=m\xc3\xbcller warn\n' > "$dir/levels.log"
cat > "$dir/rules.ini" <<'INI'
[Highlight]
Enabled=false

[HighlightRules]
1\name=Errors
1\pattern="\\b(ERROR|FATAL)\\b"
1\regex=true
1\caseSensitive=true
1\text=#e0443a
2\name=Broken
2\pattern=(
2\regex=true
3\name=User
3\pattern=M\xdcLLER WARN
3\scope=match
size=3
INI
expect "rules: whole lines and matches, an invalid pattern skipped with a warning" 'warning: rule "Broken" skipped: missing ): (
top=0 last=0 total=57 enc="ANSI / ASCII" hoff=0 longest=22 hl=none
|12:00 INFO start|
|12:01 ERROR disk full|  rule=Errors
|user=müller warn|  rule=User' "$probe" --code-page utf-8 --rows 3 --rules "$dir/rules.ini" "$dir/levels.log" print
printf 'user=m\xc3\xbcller warn: and more\n' > "$dir/half.log"
expect "rules: a match covering half a row or less names nothing" 'top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=27 hl=none
|user=müller warn: and more|' bash -c '"$0" --code-page utf-8 --rows 1 --rules "$1" "$2" print 2>/dev/null' \
  "$probe" "$dir/rules.ini" "$dir/half.log"
printf '[Other]\nx=1\n' > "$dir/norules.ini"
expect_exit "rules: unreadable rule file" 2 "$probe" --rules "$dir/missing.ini" "$dir/levels.log" print
expect "rules: a file without the array" 'error: cannot read highlight rules from '"$dir/norules.ini" \
  "$probe" --rules "$dir/norules.ini" "$dir/levels.log" print

# Alerts and stop on a match, from a file that grows while the probe waits.
cat > "$dir/stop.ini" <<'INI'
[HighlightRules]
size=2
1\name=Warn
1\pattern=WARN
1\alert=true
2\name=Fatal
2\pattern=FATAL
2\alert=true
2\stop=true
INI
seq 1 10 | sed 's/^/line /' > "$dir/grow.log"
expect "rules: an alert, then following stops at the first stop match" 'alerts marked=0 stopped=0
alerts marked=1 stopped=1
top=78 last=103 total=108 enc="ANSI / ASCII" hoff=0 longest=10 hl=78-83
|«FATAL» one|  rule=Fatal' bash -c '(sleep 0.3; printf "a WARN\nFATAL one\nnext\nFATAL two\nlast\n" >> "$2") &
  "$0" --rows 1 --rules "$1" "$2" alerts wait:1500 alerts print; wait' "$probe" "$dir/stop.ini" "$dir/grow.log"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
