#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds and installs the program into a folder of the user's
# (default ~/Amperlane) and starts it, under Xvfb when there is no display.
#
# Without a station on USB (no device with vendor id 3746) this is the demo: the station simulator
# plays a station for the program's local NUT (dummy-ups) and its serial link, and the program's
# shutdown of this PC is only logged, never run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${AMPERLANE_BUILD_DIR:-build}"
prefix="${AMPERLANE_PREFIX:-$HOME/Amperlane}"
cmake -S . -B "$build" -G Ninja
cmake --build "$build"
cmake --install "$build" --prefix "$prefix"

# WebEngine refuses its sandbox when run as root.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi

# The version folder the installation's launcher would start. The program is started from there
# directly: the launcher ends as soon as the program runs, and this script waits for the program.
installed=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^launcher_ver=//p' "$prefix/launcher.ini" 2>/dev/null | tr -d '\r' | head -n 1)
if [ -z "$version" ] || [ ! -x "$prefix/$version/Amperlane" ]; then
  version="$installed"
fi
app_dir="$prefix/$version"
program="$app_dir/Amperlane"

# Where the program's NUT keeps its state; a dummy-ups file there makes NUT serve the simulated
# station, and the simulator's serial link beside it is offered to the program's serial side.
nut_state="$app_dir/AmperlaneSettings/$(basename "${HOME:-/root}")/nut"
sim_dev="$nut_state/nutdev1.dev"
sim_link="$nut_state/nutdev1.tty"

station_attached() {
  grep -qsx 3746 /sys/bus/usb/devices/*/idVendor
}

# The program runs in its version folder, as the launcher starts it (its protocol log goes there).
run_program() {
  if [ -z "${DISPLAY:-}" ]; then
    (cd "$app_dir" && xvfb-run -a -s "-screen 0 1280x800x24" "$program")
  else
    (cd "$app_dir" && "$program")
  fi
}

if station_attached; then
  # A demo that was cut short must not leave NUT serving the simulated station.
  rm -f "$sim_dev" "$sim_link"
  run_program
  exit
fi

demo_dir=$(mktemp -d)
sim_pid=""
stop_demo() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  # The program stops its NUT as it quits, but not when it is interrupted.
  "$app_dir/linux/kill_processes.sh" >/dev/null 2>&1 || true
  rm -f "$sim_dev" "$sim_link"
  rm -rf "$demo_dir"
}
trap stop_demo EXIT
trap 'exit 130' INT TERM

shutdown_log="$prefix/demo-shutdown.log"
cat >"$demo_dir/shutdown" <<EOF
#!/usr/bin/env bash
# Stands in for the system shutdown in the demo: logs the request and does nothing else.
echo "\$(date '+%F %T') the program asked to shut this PC down (shutdown \$*); demo: not run" >>$(printf '%q' "$shutdown_log")
EOF
chmod +x "$demo_dir/shutdown"
export AMPERLANE_SHUTDOWN_COMMAND="$demo_dir/shutdown"

mkdir -p "$nut_state"
# The demo shows the whole low-battery sequence: unless the user chose otherwise, the shutdown
# switch is on (the shutdown itself is only logged, above).
settings_ini="$(dirname "$nut_state")/settings.ini"
if ! grep -qs '^\[batterySetting\]' "$settings_ini"; then
  printf '[batterySetting]\nenableLowPowerShutdown=true\n' >>"$settings_ini"
fi
rm -f "$sim_dev" "$sim_link"
"$build/tools/station-sim/station-sim" tools/station-sim/scenarios/demo.json \
  --dev "$sim_dev" --link "$sim_link" >"$demo_dir/station-sim.log" 2>&1 &
sim_pid=$!
# NUT is set up for the simulated station only if its file is there when the program starts.
for _ in $(seq 50); do
  [ -s "$sim_dev" ] && [ -L "$sim_link" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.2
done
if [ ! -s "$sim_dev" ]; then
  echo "run.sh: the station simulator did not start:" >&2
  cat "$demo_dir/station-sim.log" >&2
  exit 1
fi

echo "Demo: no station on USB, a simulated one runs instead (mains fails after 20 s, the battery"
echo "falls to 23 % by 180 s and stays there until the mains return at 240 s). Shutdown requests are"
echo "only logged to $shutdown_log."
run_program
