#!/usr/bin/env bash
# Fails when an include points the wrong way: up a layer (platform <- file <-
# engine <- textwnd <- view <- app), out of a shell room into one it may not see, from a plain layer into Qt or a qt/ folder, from
# any layer into app/ or tools/, or from file/, engine/, textwnd/ or view/ to a system
# header of the operating system (its calls belong in platform/). The layer
# libraries catch wrong-way calls at link time; this catches what the linker
# cannot see (types, inline functions, constants).
set -uo pipefail
cd "$(dirname "$0")/.."

rank() {
  case $1 in
    platform) echo 0 ;; file) echo 1 ;; engine) echo 2 ;; textwnd) echo 3 ;; view) echo 4 ;; app) echo 5 ;; *) echo 9 ;;
  esac
}
os_header='^(unistd|fcntl|pthread|pwd|dirent|poll|spawn|signal|dlfcn|windows|io|direct)\.h$|^sys/|^csignal$'

failures=0
fail() { echo "$1: $2"; failures=$((failures + 1)); }

while IFS= read -r f; do
  layer=${f%%/*}
  own=$(rank "$layer")
  plain=1
  [[ $f == */qt/* ]] && plain=0
  while IFS= read -r line; do
    if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
      inc=${BASH_REMATCH[1]}
      [[ $inc == */* ]] || continue  # a generated file beside the sources
      target=${inc%%/*}
      if (( $(rank "$target") > own )); then
        fail "$f" "includes $inc, a layer above it"
      elif (( plain )) && [[ $inc == */qt/* ]]; then
        fail "$f" "includes $inc from a layer without Qt"
      fi
    elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
      inc=${BASH_REMATCH[1]}
      if (( plain )) && [[ $inc =~ ^Q ]]; then
        fail "$f" "includes <$inc> from a layer without Qt"
      elif (( plain )) && [[ $layer != platform && $inc =~ $os_header ]]; then
        fail "$f" "includes <$inc>: system calls belong in platform/"
      fi
    fi
  done < "$f"
done < <(find platform file engine textwnd view -name '*.h' -o -name '*.cpp' | sort)

# The shell's rooms: what each may include of the program, by path prefix. The
# general widget sets (ribbon, tab groups) include nothing of the program; the
# bars and dialogs include no frame or application; only the shell sees all.
core='platform/ file/ engine/ textwnd/ view/'
allowed_for() {
  case $1 in
    res) echo "res/" ;;
    app/ribbon) echo "app/ribbon/" ;;
    app/tabgroups) echo "app/tabgroups/" ;;
    app/bars) echo "app/bars/ res/ $core" ;;
    app/ribbon_content) echo "app/ribbon_content/ app/ribbon/ res/ $core" ;;
    app/shell) echo "app/ res/ $core textwnd/qt/ view/qt/" ;;
  esac
}
while IFS= read -r f; do
  room=$(dirname "$f")
  allowed=$(allowed_for "$room")
  if [[ -z $allowed ]]; then
    fail "$f" "lies in no room of the shell (app/<room>/ with its own CMakeLists.txt)"
    continue
  fi
  while IFS= read -r inc; do
    ok=0
    for prefix in $allowed; do
      [[ $inc == "$prefix"* ]] && ok=1
    done
    (( ok )) || fail "$f" "includes $inc, which its room may not see"
  done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+\/[^"]+)".*/\1/p' "$f")
done < <(find app res -name '*.h' -o -name '*.cpp' | sort)

if (( failures )); then
  echo "check-layers: $failures include(s) against the layering"
  exit 1
fi
echo "check-layers: ok"
