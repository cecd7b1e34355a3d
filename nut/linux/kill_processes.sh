#!/bin/sh
# Stops the NUT server and drivers that this installation started for the user, found by their pid
# files in the state folder; NUT processes of the system or of other users are left alone. Returns
# once they are gone (at most about 2 s), so the start scripts that follow find the port free.
. "$(cd "$(dirname "$0")" && pwd)/nut_env.sh"

pids=""
for pidfile in "$NUT_ALTPIDPATH"/*.pid; do
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile" 2>/dev/null)
    case "$pid" in
        '' | *[!0-9]*) ;;
        *) kill "$pid" 2>/dev/null && pids="$pids $pid" ;;
    esac
    rm -f "$pidfile"
done

tries=0
while [ -n "$pids" ] && [ "$tries" -lt 20 ]; do
    alive=""
    for pid in $pids; do
        kill -0 "$pid" 2>/dev/null && alive="$alive $pid"
    done
    pids=$alive
    [ -n "$pids" ] && sleep 0.1
    tries=$((tries + 1))
done
for pid in $pids; do
    kill -9 "$pid" 2>/dev/null
done
echo "NUT stopped"
