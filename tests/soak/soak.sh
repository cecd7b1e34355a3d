#!/usr/bin/env bash
# Soak: the whole program, installed privately, monitors a simulated station (NUT's dummy-ups fed
# by station-sim) that loses its mains for 25 s of every 70, never low enough for a warning.
#   tests/soak/soak.sh [--short] [seconds]     default 3600 s; --short: 180 s
# Needs a built tree (scripts/test.sh, or cmake --build build): $AMPERLANE_BUILD_DIR, default build.
# Runs in a private network namespace (unshare -n, as root) under a private X server, so the fixed
# ports (57890, 13579, 3493) of other programs and tests on this machine are neither taken nor met.
# Every 10 s it samples the program's memory, open files, threads and child processes; at the end
# it reports the memory slope and checks that every outage NUT served is recorded exactly once,
# that no file handle, thread or process leaked and that no shutdown was asked for.
# Figures: <work>/samples.csv and <work>/summary.txt ($AMPERLANE_SOAK_DIR, default a new
# folder under /tmp).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds=3600
[ "${1:-}" = "--short" ] && { seconds=180; shift; }
[ -n "${1:-}" ] && seconds="$1"
build="$(cd "${AMPERLANE_BUILD_DIR:-$root/build}" && pwd)"
work="${AMPERLANE_SOAK_DIR:-$(mktemp -d /tmp/amperlane-soak.XXXXXX)}"
mkdir -p "$work"
work="$(cd "$work" && pwd)"

if [ "${AMPERLANE_SOAK_INSIDE:-}" != 1 ]; then
    for f in "$build/app/Amperlane" "$build/tools/station-sim/station-sim"; do
        [ -x "$f" ] || { echo "missing $f: build the tree first" >&2; exit 2; }
    done
    export AMPERLANE_SOAK_INSIDE=1 AMPERLANE_BUILD_DIR="$build" AMPERLANE_SOAK_DIR="$work"
    exec unshare -n -- bash -c 'ip link set lo up && exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"' \
        "$0" "$seconds"
fi

# The installation: <top>/<version>/ holds the program, the NUT tools and the page.
top="$work/install"
app="$top/1.0.0.14"
home="$top/home"
mkdir -p "$app/build" "$home" "$work/run" "$work/bin"
chmod 700 "$work/run"
cp "$build/app/Amperlane" "$app/Amperlane"
cp -r "$root/nut/linux" "$app/linux"
if [ -f "$build/web/build/index.html" ]; then
    cp -r "$build/web/build/." "$app/build/"
else
    cp "$root/tests/app/page/index.html" "$app/build/index.html"
fi
# A shutdown the program might start is only counted.
printf '#!/bin/sh\necho "$(date +%%s) $*" >>"%s/shutdowns"\n' "$work" >"$work/bin/shutdown"
chmod +x "$work/bin/shutdown"

settings="$app/AmperlaneSettings/home"
nutstate="$settings/nut"
mkdir -p "$nutstate"
export HOME="$home" TMPDIR="$work" XDG_RUNTIME_DIR="$work/run" PATH="$work/bin:$PATH"
export QTWEBENGINE_DISABLE_SANDBOX=1 LC_ALL=C.UTF-8

"$build/tools/station-sim/station-sim" --no-serial --dev "$nutstate/nutdev1.dev" \
    "$here/station.json" >"$work/station-sim.log" 2>&1 &
sim=$!
for _ in $(seq 50); do [ -s "$nutstate/nutdev1.dev" ] && break; sleep 0.2; done

"$app/Amperlane" >"$work/program.out" 2>&1 &
program=$!

cleanup() {
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    "$app/linux/kill_processes.sh" >/dev/null 2>&1 || true
    kill "$sim" 2>/dev/null || true
}
trap cleanup EXIT

status_now() {
    upsc nutdev1@127.0.0.1:3493 ups.status 2>/dev/null || true
}
# The program restarts NUT itself; the count starts once the station is served.
for _ in $(seq 120); do [ -n "$(status_now)" ] && break; sleep 1; done
[ -n "$(status_now)" ] || { echo "NUT never served the station" >&2; exit 1; }

echo "time,rss_kb,children_rss_kb,fds,threads,children" >"$work/samples.csv"
descendants() {
    local child
    for child in $(pgrep -P "$1" || true); do
        echo "$child"
        descendants "$child"
    done
}
# The web engine's processes count towards the renderer figure.
sample() {
    local rss threads fds children renderer=0 pid
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$program/status")
    threads=$(awk '/^Threads/ {print $2}' "/proc/$program/status")
    fds=$(ls "/proc/$program/fd" | wc -l)
    children=$(pgrep -P "$program" | wc -l)
    for pid in $(descendants "$program"); do
        renderer=$((renderer + $(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)))
    done
    echo "$(date +%s),$rss,$renderer,$fds,$threads,$children" >>"$work/samples.csv"
}

outages=0
last=""
online_since=0
start=$(date +%s)
next_sample=$start
while :; do
    now=$(date +%s)
    kill -0 "$program" 2>/dev/null || { echo "the program ended during the soak" >&2; exit 1; }
    current=$(status_now)
    [ -n "$current" ] || echo "$now no answer from NUT" >>"$work/nut-gaps"
    case "$current" in
        OB*) [ "$last" = OB ] || outages=$((outages + 1)); last=OB ;;
        OL*) [ "$last" = OL ] || online_since=$now; last=OL ;;
    esac
    if [ "$now" -ge "$next_sample" ]; then
        sample
        next_sample=$((next_sample + 10))
    fi
    # End well inside a mains phase (45 s long): the program has seen the last outage end and
    # the next one is still far.
    if [ $((now - start)) -ge "$seconds" ] && [ "$last" = OL ] && [ $((now - online_since)) -ge 10 ]; then
        sleep 5
        break
    fi
    sleep 1
done
sample

records="$settings/SN-SOAK-0001/turnOffCharge.data"
recorded=$( [ -f "$records" ] && grep -c . "$records" || echo 0)
shutdowns=$( [ -f "$work/shutdowns" ] && grep -c . "$work/shutdowns" || echo 0)
python3 - "$work/samples.csv" "$outages" "$recorded" "$shutdowns" "$seconds" <<'PY' | tee "$work/summary.txt"
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1])))
outages, recorded, shutdowns, seconds = map(int, sys.argv[2:6])
t0 = int(rows[0]["time"])
# The first fifth is warm-up (page load, caches); the slope is taken over the rest.
steady = [r for r in rows if int(r["time"]) - t0 >= seconds / 5] or rows
def slope(key):
    xs = [(int(r["time"]) - t0) / 3600 for r in steady]
    ys = [int(r[key]) for r in steady]
    n, mx, my = len(xs), sum(xs) / len(xs), sum(ys) / len(ys)
    var = sum((x - mx) ** 2 for x in xs)
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / var if var else 0.0
def span(key):
    return f"{steady[0][key]} -> {rows[-1][key]} (min {min(int(r[key]) for r in steady)}, max {max(int(r[key]) for r in steady)})"
print(f"duration: {int(rows[-1]['time']) - t0} s, samples: {len(rows)}")
print(f"program RSS kB: {span('rss_kb')}, slope {slope('rss_kb'):.0f} kB/h")
print(f"child processes RSS kB: {span('children_rss_kb')}, slope {slope('children_rss_kb'):.0f} kB/h")
print(f"open files: {span('fds')}")
print(f"threads: {span('threads')}")
print(f"child processes: {span('children')}")
print(f"outages served by NUT: {outages}, recorded: {recorded}")
print(f"shutdowns asked for: {shutdowns}")
ok = outages == recorded and shutdowns == 0
for key in ("fds", "threads", "children"):
    ok = ok and int(rows[-1][key]) <= max(int(r[key]) for r in steady[: max(1, len(steady) // 4)])
print("RESULT:", "pass" if ok else "FAIL")
sys.exit(0 if ok else 1)
PY
