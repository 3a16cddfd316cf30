# The harness the probe's script tests share (sourced, never run on its own): the probe of the build folder
# given as the first argument, a temporary folder `dir` removed at the end, and `expect`, which compares a
# command's output with what it should print and counts the result; `finish` says the counts and fails the
# script when any check failed. EXPECT_DROP, when set, is a pattern of lines left out of every output.
set -u
bin=${1:?usage: $(basename "$0") BIN_DIR}
probe="$bin/ostrel-probe"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0; passed=0
EXPECT_DROP=${EXPECT_DROP:-}

expect() {  # name, expected output, command...
  local name=$1 want=$2; shift 2
  local got
  if [ -n "$EXPECT_DROP" ]; then got=$("$@" 2>&1 | grep -v -- "$EXPECT_DROP"); else got=$("$@" 2>&1); fi
  if [ "$got" == "$want" ]; then passed=$((passed + 1)); else
    failures=$((failures + 1))
    printf 'FAIL %s\n--- expected\n%s\n--- got\n%s\n' "$name" "$want" "$got"
  fi
}

finish() {
  echo "$(basename "$0" .sh): $passed passed, $failures failed"
  [ "$failures" -eq 0 ]
}
