#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${AMPERLANE_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j2
