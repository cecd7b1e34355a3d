#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test, and the packages named
# as arguments (what one tool needs beyond that).
# Idempotent: packages already present are left alone, the package lists are refreshed once.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build ccache pkg-config clang-format
  # Qt 6
  qt6-base-dev qt6-websockets-dev qt6-serialport-dev qt6-webengine-dev qt6-webchannel-dev
  qt6-tools-dev-tools qt6-l10n-tools libqt6opengl6-dev
  # windows under test, tray host, screenshots
  xvfb xauth trayer x11-utils imagemagick
  # unit tests, benchmarks, fuzzing
  libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
  # NUT, 7-Zip, pseudo-terminals
  nut-server nut-client 7zip socat procps psmisc
  # Windows side: cross compiler and Wine
  g++-mingw-w64-x86-64-posix wine64 wine
  # page and browser tests; the page's Chinese and Japanese need a CJK font
  chromium fonts-noto-cjk
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
