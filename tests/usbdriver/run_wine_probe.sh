#!/usr/bin/env bash
# Runs the Windows driver setup probe under Wine in a private prefix.
# Usage: run_wine_probe.sh <probe.exe> <prefix folder>
#
# Wine's first client starts services that keep the standard streams they inherit; were those
# CTest's pipes, CTest would wait for its time-out. So every Wine process here writes to files or
# /dev/null, the probe's output is printed afterwards, and this prefix's server is stopped at exit.
set -uo pipefail

probe="$1"
export WINEPREFIX="$2"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if ! command -v wine >/dev/null; then
  echo "wine is not installed" >&2
  exit 1
fi

trap 'wineserver -k </dev/null >/dev/null 2>&1' EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  timeout 120 wineboot -i </dev/null >"$WINEPREFIX/../wineboot.log" 2>&1 || {
    echo "creating the Wine prefix failed:" >&2
    cat "$WINEPREFIX/../wineboot.log" >&2
    exit 1
  }
fi

out="$WINEPREFIX/../wineprobe.out"
timeout 60 wine "$probe" </dev/null >"$out" 2>&1
status=$?
cat "$out"
if [ $status -ne 0 ]; then
  echo "probe exited with $status" >&2
  exit 1
fi
# The probe writes text-mode output: lines end in CR LF.
tr -d "\r" <"$out" | grep -qx "not present"
