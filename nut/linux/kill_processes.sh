#!/bin/sh
# Stops the NUT server and drivers that this installation started for the user: the NUT processes
# that run with this installation's configuration folder. Pid files are not enough: a driver that is
# still coming up has none yet, and one left from before a reboot may name an unrelated process.
# Returns once they are gone (at most about 2 s), so the start scripts that follow find the port
# free.
. "$(cd "$(dirname "$0")" && pwd)/nut_env.sh"

our_nut_pids()
{
    for dir in /proc/[0-9]*; do
        comm=""
        read -r comm 2>/dev/null <"$dir/comm"
        case "$comm" in
            upsd | upsdrvctl | dummy-ups | usbhid-ups | setsid) ;;
            *) continue ;;
        esac
        # A process that has exited (a zombie) has no environment left and counts as gone.
        if tr '\0' '\n' 2>/dev/null <"$dir/environ" | grep -qxF "NUT_CONFPATH=$NUT_CONFPATH"; then
            echo "${dir#/proc/}"
        fi
    done
}

tries=0
pids=$(our_nut_pids 2>/dev/null)
while [ -n "$pids" ] && [ "$tries" -lt 20 ]; do
    # shellcheck disable=SC2086
    kill $pids 2>/dev/null
    sleep 0.1
    tries=$((tries + 1))
    pids=$(our_nut_pids 2>/dev/null)
done
if [ -n "$pids" ]; then
    # shellcheck disable=SC2086
    kill -9 $pids 2>/dev/null
fi
rm -f "$NUT_ALTPIDPATH"/*.pid
echo "NUT stopped"
