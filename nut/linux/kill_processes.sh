#!/bin/sh
# Stops the NUT server and drivers that this installation started for the user, found by their pid
# files in the state folder; NUT processes of the system or of other users are left alone. Returns
# once they are gone (at most about 2 s), so the start scripts that follow find the port free.
. "$(cd "$(dirname "$0")" && pwd)/nut_env.sh"

# A process that has exited but is not reaped yet (a zombie) is gone for our purpose.
alive()
{
    case "$(ps -o stat= -p "$1" 2>/dev/null)" in
        '' | Z*) return 1 ;;
    esac
    return 0
}

# A pid file left from before a reboot may name an unrelated process by now.
is_nut()
{
    case "$(ps -o comm= -p "$1" 2>/dev/null)" in
        upsd | upsdrvctl | dummy-ups | usbhid-ups) return 0 ;;
    esac
    return 1
}

pids=""
for pidfile in "$NUT_ALTPIDPATH"/*.pid; do
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile" 2>/dev/null)
    case "$pid" in
        '' | *[!0-9]*) ;;
        *) is_nut "$pid" && kill "$pid" 2>/dev/null && pids="$pids $pid" ;;
    esac
    rm -f "$pidfile"
done

tries=0
while [ -n "$pids" ] && [ "$tries" -lt 20 ]; do
    still=""
    for pid in $pids; do
        alive "$pid" && still="$still $pid"
    done
    pids=$still
    [ -n "$pids" ] && sleep 0.1
    tries=$((tries + 1))
done
for pid in $pids; do
    kill -9 "$pid" 2>/dev/null
done
echo "NUT stopped"
