#!/usr/bin/env bash
# Shell-level scenarios of the headless driver: its output format, exit codes
# and a few behaviours end to end.
. "$(dirname "$0")/lib/expect.bash" "$@"
expect_exit() {  # name, code, command...
  local name=$1 want=$2; shift 2
  "$@" >/dev/null 2>&1
  local rc=$?
  if [ "$rc" == "$want" ]; then passed=$((passed + 1)); else
    failures=$((failures + 1)); printf 'FAIL %s: exit %s, expected %s\n' "$name" "$rc" "$want"
  fi
}

printf 'alpha\nbeta\n' > "$dir/ab.txt"
expect "basic print" 'top=0 last=0 total=11 enc="ANSI / ASCII" hoff=0 longest=6 hl=none line=1
|alpha|
|beta|
| |' "$probe" --rows 3 "$dir/ab.txt" print

seq 1 50 | sed 's/^/entry /' > "$dir/n.txt"
expect "opens at the end, home and page down" 'top=405 last=405 total=441 enc="ANSI / ASCII" hoff=0 longest=9 hl=none line=?
|entry 47|
|entry 48|
|entry 49|
|entry 50|
top=16 last=405 total=441 enc="ANSI / ASCII" hoff=0 longest=9 hl=none line=?
|entry 3|
|entry 4|
|entry 5|
|entry 6|' "$probe" --rows 4 "$dir/n.txt" print key:home key:pgdn print

expect "thumb into a line lands on its start, clamped like a bar" 'top=90 last=423 total=441 enc="ANSI / ASCII" hoff=0 longest=9 hl=none line=?
|entry 12|
|entry 13|
top=423 last=423 total=441 enc="ANSI / ASCII" hoff=0 longest=9 hl=none line=?
|entry 49|
|entry 50|' "$probe" --rows 2 "$dir/n.txt" thumb:93 print thumb:999999 print

printf 'ab\r\ncd\r\nef\r\ngh\r\nij\r\n' > "$dir/crlf.txt"
printf 'a\n\r\nb' > "$dir/lfcrlf.txt"
expect "thumb between CR and LF lands on the line they end; the bar's end is the last screenful" 'top=4 last=8 total=20 enc="ANSI / ASCII" hoff=0 longest=4 hl=none line=?
|cd|
|ef|
|gh|
top=2 last=2 total=5 enc="ANSI / ASCII" hoff=0 longest=3 hl=none line=?
| |
|b|' bash -c '"$0" --rows 3 "$1" thumb:7 print && "$0" --rows 2 "$2" key:home thumb:9 print' \
  "$probe" "$dir/crlf.txt" "$dir/lfcrlf.txt"

printf '\xfe\xff\x00H\x00i\x00\t\x00\\\x00\x0a\x00\xab' > "$dir/be.txt"
expect "mismatch prompt answered no, escapes in wide rows" 'message "User requested loading file with encoding ANSI / ASCII but file header indicates encoding Unicode UTF 16 Big Endian.\r\nClick Yes to proceed with user requested encoding, No to proceed with file specified encoding." no
top=0 last=0 total=6 enc="Unicode UTF 16 Big Endian" hoff=0 longest=6 hl=none line=1
|Hi  \u005C|
|\u00AB|
clip unicode H\x00i\x00\t\x00\\\x00\n\x00\xAB\x00' "$probe" --rows 2 --encoding 1 --answer no "$dir/be.txt" print copy

printf 'start\n' > "$dir/nul.log"; head -c 100 /dev/zero >> "$dir/nul.log"
printf 'important error line\nlast line\n' >> "$dir/nul.log"
expect "End reaches the text after a run of NULs shorter than a screenful" 'top=106 last=106 total=137 enc="ANSI / ASCII" hoff=0 longest=21 hl=none line=?
|important error line|
|last line|
| |
| |' "$probe" --rows 4 "$dir/nul.log" key:home key:end print

printf 'a\x01\x81\\b\xe9\n' > "$dir/ctl.txt"
expect "escapes in narrow rows, sentence case" 'top=0 last=0 total=7 enc="ANSI / ASCII" hoff=0 longest=7 hl=none line=1
|A\x01\x81\x5CBé|
| |' "$probe" --rows 2 --case 1 "$dir/ctl.txt" print

printf 'x. \xe9t\xe9 fini. \xfcber. \xe9\nnext\n' > "$dir/accents.txt"
expect "sentence case: an accented letter goes on with its word, also right of the window" 'top=0 last=0 total=26 enc="ANSI / ASCII" hoff=0 longest=21 hl=none line=1
|X. été fini. über|
|next|' "$probe" --rows 2 --cols 17 --case 3 "$dir/accents.txt" print

printf 'xy\tz match\n' > "$dir/tab.txt"
expect "a match after a tab: its own columns inverse, scrolled into view, in the range" 'top=0 last=0 total=11 enc="ANSI / ASCII" hoff=3 longest=12 hl=5-10 line=1
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
expect "horizontal offset past a short line paints an empty row" 'top=0 last=0 total=107 enc="ANSI / ASCII" hoff=20 longest=101 hl=none line=1
|xxxxxxxxxx|
||
||' "$probe" --rows 3 --cols 10 "$dir/wide.txt" key:home hthumb:20 hwheel:left hwheel:right print

printf 'user=m\xc3\xbcller caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac x\n' > "$dir/u.log"
expect "UTF-8: decoded, a wide character fills two cells (the x in cell 23), a match of decoded text" 'top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=24 hl=none line=1
|user=müller café 日本 x|
top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=24 hl=none line=1
|user=müller café 日本 |
top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=24 hl=none line=1
|user=müller café 日本 x|
top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=24 hl=13-18 line=1
|user=müller «café» 日本 x|' bash -c '"$0" --code-page utf-8 --rows 1 --cols 40 "$1" print &&
  "$0" --code-page utf-8 --rows 1 --cols 22 "$1" print && "$0" --code-page utf-8 --rows 1 --cols 23 "$1" print &&
  "$0" --code-page utf-8 --rows 1 --cols 40 "$1" ifind:CAFÉ print' "$probe" "$dir/u.log"

printf 'caf\xe9 e\xcc\x81t\xc3\xa9\t\xe6\x97\xa5\tz \x81\\\n' > "$dir/mixed.log"
acute=$'\xcc\x81'  # a combining mark, printed after its base
expect "UTF-8: a lone byte as Windows-1252, a mark after its base, tabs by column; é finds no lone E9; copy as drawn" 'top=0 last=0 total=21 enc="ANSI / ASCII" hoff=0 longest=17 hl=9-11 line=1
|café e'"$acute"'t«é»日  z \u0081\u005C|
clip unicode café e'"$acute"'té\t日\tz \u0081\\\n' "$probe" --code-page utf-8 --rows 1 --cols 20 "$dir/mixed.log" find:é print copy
expect "Windows-1252, by default and when asked: byte for byte as before" 'top=0 last=0 total=21 enc="ANSI / ASCII" hoff=0 longest=23 hl=none line=1
|café eÌ\x81tÃ©   æ—¥ z |
top=0 last=0 total=21 enc="ANSI / ASCII" hoff=0 longest=23 hl=none line=1
|café eÌ\x81tÃ©   æ—¥ z |' bash -c '"$0" --rows 1 --cols 20 "$1" print && "$0" --code-page 1252 --rows 1 --cols 20 "$1" print' \
  "$probe" "$dir/mixed.log"
expect_exit "unknown code page" 2 "$probe" --code-page latin1 "$dir/u.log"

# Line numbers: LF CR LF is a pair and a lone LF; a NUL is an ordinary character.
printf 'a\nb\r\nc\n\rd\n\r\ne\x00f\n' > "$dir/lines.txt"
expect "gotoline counts up to its target; unknown lines are ?, --index-wait knows them all" 'top=5 last=14 total=16 enc="ANSI / ASCII" hoff=0 longest=3 hl=none line=3
|c|
|d|
| |
top=12 last=14 total=16 enc="ANSI / ASCII" hoff=0 longest=3 hl=none line=6
|e|
| |
| |
top=14 last=14 total=16 enc="ANSI / ASCII" hoff=0 longest=2 hl=none line=?
top=14 last=14 total=16 enc="ANSI / ASCII" hoff=0 longest=2 hl=none line=6' bash -c '"$0" --rows 3 "$1" gotoline:3 print gotoline:-1 print &&
  "$0" --rows 3 "$1" print | head -1 && "$0" --index-wait --rows 3 "$1" print | head -1' "$probe" "$dir/lines.txt"
expect "a line out of range leaves the view and warns" 'warning: line out of range
warning: line out of range
top=14 last=14 total=16 enc="ANSI / ASCII" hoff=0 longest=2 hl=none line=6' \
  bash -c '"$0" --rows 3 "$1" gotoline:7 gotoline:0 print | head -1' "$probe" "$dir/lines.txt"
printf '\xff\xfe' > "$dir/wide.txt"; printf 'a\r\n\r\nb\nc\n' | iconv -f ascii -t utf-16le >> "$dir/wide.txt"
expect "UTF-16: numbers by units" 'top=3 last=5 total=9 enc="Unicode UTF 16 Little Endian" hoff=0 longest=2 hl=none line=2
| |
|b|' "$probe" --rows 2 "$dir/wide.txt" gotoline:2 print

printf '2026-12-07 06:41:07.123 INFO start\n2026-12-07 06:41:08 INFO two\n  at stack\n2026-12-07 06:42:00 WARN three\n2026-12-07 07:00:00Z ERR four\n2026-12-07 08:00:00 INFO five\n' > "$dir/t.log"
expect "gototime: the first line at or after the time; before the first the first line, after the last the end" 'top=75 last=136 total=166 enc="ANSI / ASCII" hoff=0 longest=31 hl=none line=?
|2026-12-07 06:42:00 WARN three|
top=0 last=136 total=166 enc="ANSI / ASCII" hoff=0 longest=35 hl=none line=1
|2026-12-07 06:41:07.123 INFO start|
warning: after the last timestamp
top=136 last=136 total=166 enc="ANSI / ASCII" hoff=0 longest=35 hl=none line=?
|2026-12-07 08:00:00 INFO five|' bash -c 'export TZ=UTC; "$0" --rows 1 "$1" "gototime:2026-12-07 06:41:30" print gototime:2026-12-07T05:00 print \
  "gototime:2027-01-01 00:00+01:00" print 2>&1' "$probe" "$dir/t.log"
expect "gototime without timestamps warns and leaves the view" 'warning: no timestamps recognised
top=0 last=0 total=11 enc="ANSI / ASCII" hoff=0 longest=6 hl=none line=1' bash -c '"$0" --rows 3 "$1" "gototime:2026-01-01 00:00" print 2>&1 | head -2' "$probe" "$dir/ab.txt"
expect_exit "gototime with a time it cannot read" 2 "$probe" "$dir/t.log" "gototime:yesterday"
printf 'alpha ERROR one\r\nbeta\tWARN two\rgamma\n\ndelta error x\nlast ERROR' > "$dir/filter.log"
expect "filter: byte offsets of the lines, every break rule, the last line without its break" 'filter 2
0	|alpha ERROR one|
52	|last ERROR|
filter 3
0	|alpha ERROR one|
38	|delta error x|
52	|last ERROR|
filter 4
17	|beta    WARN two|
31	|gamma|
37	||
38	|delta error x|' "$probe" "$dir/filter.log" filter:ERROR ifilter:error xfilter:ERROR
expect "filter --regex: anchors at every break, alternation, an empty line has no match" 'filter 2
17	|beta    WARN two|
31	|gamma|
filter 2
17	|beta    WARN two|
52	|last ERROR|
filter 1
37	||' "$probe" --regex "$dir/filter.log" 'filter:^(beta|gamma)' 'filter:WARN|ERROR$' 'xfilter:.'
printf '\xff\xfeo\x00k\x00 \x00E\x00\r\x00\n\x00n\x00o\x00\n\x00e\x00\xe9\x00' > "$dir/filter16.log"
expect "filter in UTF-16: offsets count the mark, the case of é" 'filter 2
2	|ok E|
20	|eé|
filter 1
20	|eé|' "$probe" "$dir/filter16.log" ifilter:e ifilter:É
expect "an invalid pattern says why" 'error: invalid repetition size: {2,1}' "$probe" --regex "$dir/filter.log" 'filter:a{2,1}'
expect_exit "an invalid pattern exits 2" 2 "$probe" --regex "$dir/filter.log" 'filter:('
# Log rotation by renaming: the window goes on with the new file under the name only with --follow-name.
rotate() {  # follow-name option or nothing
  mkdir -p "$dir/rot" && cd "$dir/rot" && rm -f app.log*
  for i in $(seq 100); do echo "old $i"; done > app.log
  ( sleep 0.5; mv app.log app.log.1; echo NEW > app.log ) & "$probe" "$@" --rows 2 app.log wait:2500 print
  wait; cd - >/dev/null
}
expect "rotation followed by name" 'strip "Reopened: the file was replaced"
top=0 last=0 total=4 enc="ANSI / ASCII" hoff=0 longest=4 hl=none line=1
|NEW|
| |' rotate --follow-name
expect "rotation without Follow Name: the old file stays, the strip offers the new one" 'strip "The name of this file now names another file." [Reopen]
top=677 last=677 total=692 enc="ANSI / ASCII" hoff=0 longest=8 hl=none line=?
|old 99|
|old 100|' rotate

# Compressed logs open by their magic, whatever the name; damaged ones warn, ones over the limit fail.
seq 1 2000 | sed 's/^/entry /' > "$dir/c.log"
gzip -c "$dir/c.log" > "$dir/c.gz"; xz -c "$dir/c.log" > "$dir/c.xz"; zstd -q -c "$dir/c.log" > "$dir/c.zst"
bzip2 -c "$dir/c.log" > "$dir/c.bz2"; cat "$dir/c.gz" "$dir/c.gz" > "$dir/cc.gz"; cp "$dir/c.xz" "$dir/c.log.1"
for f in c.gz c.xz c.zst c.bz2 cc.gz c.log.1; do
  expect "compressed $f shows its last screenful" '|entry 2000|' bash -c '"$0" --rows 1 "$1" print | tail -1' "$probe" "$dir/$f"
done
head -c 3000 "$dir/c.gz" > "$dir/cut.gz"
expect "a cut stream shows what came out and warns" 'warning: The text stops after 13619 bytes: the compressed data ends early.
top=13611 last=13611 total=13619 enc="ANSI / ASCII" hoff=0 longest=8 hl=none line=?
|entry 13|' "$probe" --rows 1 "$dir/cut.gz" print
expect "a declared size over the limit" 'error: The text would be 20893 bytes, more than the limit of 1000 bytes (Compressed/MaxBytes): it was not decompressed.' \
  "$probe" --max-decompressed 1000 "$dir/c.zst" print
expect_exit "over the limit exits 1" 1 "$probe" --max-decompressed 1000 "$dir/c.gz" print
# Standard input, as it arrives; compressed on a pipe too (a named FIFO is refused, above).
expect "standard input followed while it arrives" '|one|
|one|
|two|' bash -c '(echo one; sleep 0.5; echo two) | "$0" --rows 2 - print wait:1200 print | grep "^|[a-z]"' "$probe"
expect "compressed standard input" '|entry 2000|' bash -c '"$0" --rows 1 - print < "$1" | tail -1' "$probe" "$dir/c.bz2"
printf 'alpha 12\r\nbeta 345\ngamma 6789\r\n' > "$dir/re.log"
expect "regular expressions: next after the match, previous by the line's forward scan, anchors at every break, empty matches none" 'top=0 last=0 total=31 enc="ANSI / ASCII" hoff=0 longest=12 hl=15-18 line=1
|alpha 12|
|beta «345»|
|gamma 6789|
top=0 last=0 total=31 enc="ANSI / ASCII" hoff=0 longest=12 hl=19-24 line=1
|alpha 12|
|beta 345|
|«gamma» 6789|
top=0 last=0 total=31 enc="ANSI / ASCII" hoff=0 longest=12 hl=none line=1
|alpha 12|
|beta 345|
|gamma 6789|' "$probe" --regex --rows 3 "$dir/re.log" 'find:[0-9]{3,}' 'next:[0-9]{3,}' 'prev:[0-9]{3,}' print \
  'ifind:^GAMMA' print 'find:^$' print
iconv -f UTF-8 -t UTF-16 "$dir/re.log" > "$dir/re16.log"
expect "regular expressions in UTF-16: the last match of the file, case by the command" 'top=0 last=0 total=31 enc="Unicode UTF 16 Little Endian" hoff=0 longest=12 hl=23-29 line=1
top=0 last=0 total=31 enc="Unicode UTF 16 Little Endian" hoff=0 longest=12 hl=none line=1' \
  bash -c '"$0" --regex --rows 3 "$1" "iprev:A\s\d+$" print | head -1 && "$0" --regex --rows 3 "$1" "prev:A\s\d+$" print | head -1' \
  "$probe" "$dir/re16.log"
expect "an invalid pattern: an error before anything runs" 'error: missing ): (a' "$probe" --regex "$dir/re.log" print 'find:(a'
expect_exit "an invalid pattern exits 2" 2 "$probe" --regex "$dir/re.log" 'ifind:x{2,1}'
expect "without --regex a pattern is plain text" 'top=0 last=0 total=31 enc="ANSI / ASCII" hoff=0 longest=12 hl=none line=1' \
  bash -c '"$0" --rows 3 "$1" "find:[0-9]{3,}" print | head -1' "$probe" "$dir/re.log"
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
top=0 last=0 total=57 enc="ANSI / ASCII" hoff=0 longest=22 hl=none line=1
|12:00 INFO start|
|12:01 ERROR disk full|  rule=Errors
|user=müller warn|  rule=User' "$probe" --code-page utf-8 --rows 3 --rules "$dir/rules.ini" "$dir/levels.log" print
printf 'user=m\xc3\xbcller warn: and more\n' > "$dir/half.log"
expect "rules: a match covering half a row or less names nothing" 'top=0 last=0 total=28 enc="ANSI / ASCII" hoff=0 longest=27 hl=none line=1
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
top=78 last=103 total=108 enc="ANSI / ASCII" hoff=0 longest=10 hl=78-83 line=?
|«FATAL» one|  rule=Fatal' bash -c '(sleep 0.3; printf "a WARN\nFATAL one\nnext\nFATAL two\nlast\n" >> "$2") &
  "$0" --rows 1 --rules "$1" "$2" alerts wait:1500 alerts print; wait' "$probe" "$dir/stop.ini" "$dir/grow.log"

finish
