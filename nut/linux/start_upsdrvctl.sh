#!/bin/sh
# Starts the NUT driver of the local station (UPS nutdev1 unless the settings name another).
#
# The program ends this script at its first output line, and upsdrvctl prints while the driver is
# still coming up, so NUT's output goes to the log and upsdrvctl runs in a session of its own that
# outlives the script. The driver detaches by itself once it runs.
. "$(cd "$(dirname "$0")" && pwd)/nut_env.sh"

nut_write_config
# shellcheck disable=SC2086
setsid "$NUT_SBIN/upsdrvctl" $NUT_USER_SWITCH start "$NUT_UPS_NAME" >>"$NUT_LOG" 2>&1 </dev/null &
echo "NUT driver starting"
