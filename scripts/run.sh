#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds and installs the program into a folder of the user's
# (default ~/Amperlane) and starts it, under Xvfb when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${AMPERLANE_BUILD_DIR:-build}"
prefix="${AMPERLANE_PREFIX:-$HOME/Amperlane}"
cmake -S . -B "$build" -G Ninja
cmake --build "$build"
cmake --install "$build" --prefix "$prefix"

# WebEngine refuses its sandbox when run as root.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1

program="$prefix/1.0.0.14/Amperlane"
[ -x "$prefix/Amperlane" ] && program="$prefix/Amperlane"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$program"
fi
exec "$program"
