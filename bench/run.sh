#!/usr/bin/env bash
# Builds a Release tree, runs every benchmark and rewrites docs/performance.md.
#
#   bench/run.sh [--quick]
#
# --quick: shorter runs for trying (4 outages, 1 minute of footprint). Everything runs on loopback;
# the NUT benchmarks use a private NUT configuration and state, never /etc/nut, and never shut the
# machine down.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${AMPERLANE_BENCH_BUILD:-$root/build-bench}
work=${AMPERLANE_BENCH_WORK:-$build/bench-work}
quick=0
[ "${1:-}" = "--quick" ] && quick=1

if [ "$quick" = 1 ]; then
  min_time=0.1 load_seconds=2 rounds=1 outages=4 footprint_seconds=60 settle=20
else
  min_time=0.5 load_seconds=5 rounds=2 outages=20 footprint_seconds=300 settle=30
fi
load_average=$(cut -d' ' -f1-3 /proc/loadavg)

echo "== build (Release) in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DAMPERLANE_PARTS="common;jrpc;device;nut;usbdriver;service;app;launcher;tools;web;bench" >/dev/null
cmake --build "$build"
rm -rf "$work" "$build/bench/log"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/install" >/dev/null
version_dir=$(ls -d "$work"/install/*/ | grep -E '/[0-9][0-9.]*/$' | head -n1)
bin="$build/bench"
(cd "$root/bench/peer" && npm ci --no-audit --no-fund --loglevel=error)

echo "== frame scanner and CRCs"
"$bin/bench_device_codec" --benchmark_min_time="$min_time" \
  --benchmark_out="$work/device_codec.json" --benchmark_out_format=json
echo "== JSON endpoint and message model"
"$bin/bench_jrpc_messages" --benchmark_min_time="$min_time" \
  --benchmark_out="$work/jrpc_messages.json" --benchmark_out_format=json

echo "== JSON-RPC round trips"
# Each server ends when its standard input closes; the script holds the write end of a FIFO.
# "quiet" is the same host with debug messages switched off, to show what the per-request log
# line costs.
mkfifo "$work/host.in" "$work/quiet.in" "$work/peer.in"
"$bin/bench_jrpc_host" --app-dir "$work/host-app" <"$work/host.in" >"$work/host.out" \
  2>"$work/host.log" &
host_pid=$!
exec 3>"$work/host.in"
QT_LOGGING_RULES="*.debug=false" "$bin/bench_jrpc_host" --app-dir "$work/quiet-app" \
  <"$work/quiet.in" >"$work/quiet.out" 2>"$work/quiet.log" &
quiet_pid=$!
exec 5>"$work/quiet.in"
node "$root/bench/peer/server.mjs" <"$work/peer.in" >"$work/peer.out" 2>"$work/peer.log" &
peer_pid=$!
exec 4>"$work/peer.in"
stop_servers() {
  exec 3>&- 4>&- 5>&- || true
  wait "$host_pid" "$quiet_pid" "$peer_pid" 2>/dev/null || true
}
trap stop_servers EXIT
port_of() {
  for _ in $(seq 100); do
    grep -q '^port ' "$1" 2>/dev/null && { awk '/^port /{print $2; exit}' "$1"; return; }
    sleep 0.1
  done
  echo "no port in $1" >&2
  return 1
}
host_port=$(port_of "$work/host.out")
quiet_port=$(port_of "$work/quiet.out")
peer_port=$(port_of "$work/peer.out")
load() { # label port connections rate
  "$bin/bench_jrpc_load" --url "ws://127.0.0.1:$2" --connections "$3" --rate "$4" \
    --seconds "$load_seconds" --label "$1" | tee -a "$work/load.jsonl" || true
}
for _ in $(seq "$rounds"); do
  for connections in 1 10 50; do
    load ours "$host_port" "$connections" 0
    load peer "$peer_port" "$connections" 0
    load ours-quiet "$quiet_port" "$connections" 0
  done
done
load ours "$host_port" 1 1000
load peer "$peer_port" 1 1000
stop_servers
trap - EXIT

# The NUT benchmarks and the program use fixed ports (3493, 57890, 13579); a private network
# namespace keeps them apart from anything else running on this machine.
isolated() {
  if unshare -n true 2>/dev/null; then
    unshare -n sh -c 'ip link set lo up && exec "$@"' isolated "$@"
  else
    "$@"
  fi
}

echo "== reaction to a mains failure ($outages outages)"
isolated "$bin/bench_mains_reaction" --host "$bin/bench_jrpc_host" --nut-linux "$version_dir/linux" \
  --work "$work/reaction" --outages "$outages" >"$work/reaction.json" || true
cat "$work/reaction.json"

echo "== footprint ($footprint_seconds s)"
isolated python3 "$root/bench/footprint.py" --app-dir "$version_dir" \
  --station-sim "$build/tools/station-sim/station-sim" \
  --scenario "$root/bench/footprint-scenario.json" --work "$work/footprint" \
  --seconds "$footprint_seconds" --settle "$settle" >"$work/footprint.json" || true
cat "$work/footprint.json"

quick_flag=()
[ "$quick" = 1 ] && quick_flag=(--quick)
python3 "$root/bench/report.py" --work "$work" --out "$root/docs/performance.md" \
  --commit "$(git -C "$root" rev-parse --short HEAD)" --load-average "$load_average" \
  "${quick_flag[@]}"
echo "== wrote docs/performance.md"
