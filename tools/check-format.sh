#!/usr/bin/env bash
# Every C++ file of the project in the house style (.clang-format); run by CI.
# To fix: clang-format -i $(git ls-files '*.cpp' '*.h')
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/ostrel-format.$$; then
  grep -m 20 -E "(warning|error):" /tmp/ostrel-format.$$ >&2 || true
  rm -f /tmp/ostrel-format.$$
  echo "check-format: files above are not in the house style; run clang-format -i on them" >&2
  exit 1
fi
rm -f /tmp/ostrel-format.$$
echo "check-format: ok (${#files[@]} files)"
