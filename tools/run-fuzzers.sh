#!/usr/bin/env bash
# Runs every fuzz target of a build for a few seconds on its seed corpus.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-30}
cd "$(dirname "$0")/.."
shopt -s nullglob
targets=("$build"/bin/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then echo "no fuzz targets in $build"; exit 1; fi
for t in "${targets[@]}"; do
  name=$(basename "$t"); name=${name#fuzz_}
  work=$(mktemp -d)
  seeds=fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=
  echo "fuzzing $name for ${seconds}s"
  "$t" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=20 -print_final_stats=0 $work $seeds \
      >"$work.log" 2>&1 || { tail -50 "$work.log"; echo "fuzz target $name failed"; exit 1; }
  tail -1 "$work.log"
  rm -rf "$work" "$work.log"
done
