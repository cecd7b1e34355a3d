#!/bin/sh
# The private Wine prefix of halyard's tests: "setup PREFIX" creates it once and starts its
# server; "cleanup PREFIX" stops the server. Every stream of Wine's background processes goes to
# /dev/null, or CTest would wait for them.
set -u
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

case "$action" in
setup)
    mkdir -p "$WINEPREFIX"
    wineserver -p120 </dev/null >/dev/null 2>&1
    timeout 180 wine wineboot --init </dev/null >/dev/null 2>&1
    rc=$?
    if [ $rc -ne 0 ]; then
        echo "creating the Wine prefix $WINEPREFIX failed ($rc)"
        exit 1
    fi
    # The prefix plays Windows 7; the Windows 10 tests get Windows 10 by their program name.
    wine reg add 'HKCU\Software\Wine\AppDefaults\halyard_wine10_tests.exe' /v Version \
        /d win10 /f </dev/null >/dev/null 2>&1 || { echo "setting the Windows 10 tests' version failed"; exit 1; }
    # Windows loads a DLL it finds along the search path before its own copy; Wine prefers its
    # built-in one. The test that a planted msimg32.dll is never loaded needs Windows' order.
    wine reg add 'HKCU\Software\Wine\AppDefaults\halyard_wine_tests.exe\DllOverrides' /v msimg32 \
        /d native,builtin /f </dev/null >/dev/null 2>&1 || { echo "setting the DLL load order failed"; exit 1; }
    echo "Wine prefix ready: $WINEPREFIX"
    ;;
cleanup)
    wineserver -k </dev/null >/dev/null 2>&1
    echo "Wine server of $WINEPREFIX stopped"
    ;;
*)
    echo "usage: $0 setup|cleanup PREFIX" >&2
    exit 2
    ;;
esac
