#!/usr/bin/env bash
# Installs the Debian packages this project needs, only when some are missing.
set -euo pipefail
PKGS=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-svg-dev libgtest-dev libgmock-dev
      zlib1g-dev liblzma-dev libzstd-dev libbz2-dev  # the decompression of compressed logs
      gzip xz-utils zstd bzip2  # their command-line tools: test inputs and the benchmark's baseline
      libsqlite3-dev  # the store of marks and sessions
      libsystemd-dev systemd-journal-remote  # reading journals; making test journals from the export format
      openssh-server openssh-client  # the tests' own sshd on 127.0.0.1, and the client remote files are read with
      libbenchmark-dev libicu-dev libre2-dev xvfb xauth fonts-dejavu-core fonts-liberation
      clang libclang-rt-14-dev clang-format
      desktop-file-utils appstream dpkg-dev  # validators of the desktop entry and metainfo; dpkg-shlibdeps
      # The end-to-end tests: a window manager, keys and clicks, the clipboard, the window list, their own
      # D-Bus session and the accessibility tree from Debian's Python.
      openbox xdotool xclip x11-utils dbus-daemon at-spi2-core gir1.2-atspi-2.0 python3-gi)
# Only for the benchmarks (comparisons against other tools) and screenshots.
if [ "${OSTREL_BENCH_DEPS:-0}" = 1 ]; then PKGS+=(ripgrep imagemagick x11-apps); fi
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
$SUDO apt-get update -qq
# Installing a server package must not start a service that listens on the machine: the tests start their
# own sshd on 127.0.0.1. A policy that refuses every start is put in place only for this install.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null && $SUDO chmod 755 "$policy" && own_policy=1
fi
trap '[ "$own_policy" = 1 ] && $SUDO rm -f "$policy"' EXIT
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
