#!/bin/sh
# Starts the local NUT server on the local address of the settings (127.0.0.1:3493 by default).
# The same hand-off as the driver script: upsd prints before it listens, so it runs detached with
# its output in the log.
. "$(cd "$(dirname "$0")" && pwd)/nut_env.sh"

nut_write_config
# shellcheck disable=SC2086
setsid "$NUT_DRIVER_DIR/upsd" $NUT_USER_SWITCH >>"$NUT_LOG" 2>&1 </dev/null &
echo "NUT server starting"
