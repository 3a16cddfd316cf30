#!/usr/bin/env bash
# CI: the desktop files are valid, `make package` builds the Debian package, and
# the package holds what a desktop needs, depends on Qt 6 Widgets and carries a
# program that starts and reports the project's version.
#
# tools/check-package.sh [BUILD_DIR]: with a build folder that is built already
# (CI passes the one `make test` built), the package is made from it by CPack
# instead of from a Release build of its own: the same install rules and
# package settings, one full build less.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "check-package: $*" >&2; exit 1; }

desktop-file-validate dist/ostrel-viewer.desktop || fail "dist/ostrel-viewer.desktop is not valid"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net dist/*.metainfo.xml || fail "the metainfo is not valid"
fi
# The manual page formats without a warning, on narrow terminals too.
for width in 60 78; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z -rLL="${width}n" dist/ostrel-viewer.1 2>&1)
  [ -z "$warnings" ] || fail "dist/ostrel-viewer.1 at $width columns: $warnings"
done

if [ -n "${1:-}" ]; then
  build=$1 out=$1/package
  [ -f "$build/CPackConfig.cmake" ] || fail "$build has no CPack configuration (configure and build it first)"
  cpack --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
else
  build=build-package out=build-package
  make package
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
deb="$out/ostrel-viewer_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "$deb was not made"

[ "$(dpkg-deb -f "$deb" Package)" = ostrel-viewer ] || fail "the package is not named ostrel-viewer"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package version is not the project's $version"
[ "$(dpkg-deb -f "$deb" Section)" = utils ] || fail "the package is not in section utils"
depends=$(dpkg-deb -f "$deb" Depends)
grep -Eq '(^|, )libqt6widgets6( |,|$)' <<<"$depends" || fail "Depends does not name libqt6widgets6: $depends"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
expected=(./usr/bin/ostrel-viewer
          ./usr/share/applications/ostrel-viewer.desktop
          ./usr/share/icons/hicolor/scalable/apps/ostrel-viewer.svg
          ./usr/share/metainfo/org.example.Ostrel.metainfo.xml
          ./usr/share/man/man1/ostrel-viewer.1.gz)
sizes=(16 32 48 64 128 256)
for size in "${sizes[@]}"; do expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/ostrel-viewer.png"); done
for path in "${expected[@]}"; do
  grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root/pkg"
# Each PNG is drawn at the size its folder names (width and height from the IHDR chunk).
for size in "${sizes[@]}"; do
  png="$root/pkg/usr/share/icons/hicolor/${size}x${size}/apps/ostrel-viewer.png"
  read -r w3 w2 w1 w0 h3 h2 h1 h0 < <(od -An -tu1 -j16 -N8 "$png")
  w=$(( (w3 << 24) | (w2 << 16) | (w1 << 8) | w0 ))
  h=$(( (h3 << 24) | (h2 << 16) | (h1 << 8) | h0 ))
  if [ "$w" != "$size" ] || [ "$h" != "$size" ]; then fail "${size}x${size} icon is ${w}x${h}"; fi
done
# The installed metainfo names the desktop entry the package installs.
if command -v appstreamcli >/dev/null; then
  appstreamcli validate-tree --no-net "$root/pkg" || fail "the installed metainfo does not match the installed files"
fi

# The program as installed, against the system's Qt, with its settings kept in the throwaway folder.
mkdir -m 700 "$root/home" "$root/runtime"
status=0
out=$(HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config" XDG_DATA_HOME="$root/home/.local/share" \
      XDG_RUNTIME_DIR="$root/runtime" QT_QPA_PLATFORM=offscreen \
      timeout 30 "$root/pkg/usr/bin/ostrel-viewer" --version 2>&1) || status=$?
[ "$status" = 0 ] || fail "ostrel-viewer --version ended with status $status (124: still running after 30 s): $out"
grep -Eq "(^|[^0-9.])${version//./\\.}([^0-9.]|$)" <<<"$out" || fail "ostrel-viewer --version does not print $version: $out"
echo "check-package: $deb is complete; ostrel-viewer --version: $out"
