#!/bin/sh
# Runs one Windows test program under the tests' Wine prefix: wine-run.sh PREFIX WORKDIR EXE ARGS...
# Wine's output goes to a file first, so that no process Wine leaves behind holds CTest's pipe.
set -u
export WINEPREFIX=$1
workdir=$2
shift 2
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC
unset DISPLAY

rm -rf "$workdir"
mkdir -p "$workdir"
cd "$workdir" || exit 1
out="$workdir.out"
timeout 240 wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
