#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while, two at a time.
#   tests/fuzz/run.sh [seconds per target, default 600] [target names...]
# Build and runs go to $AMPERLANE_FUZZ_DIR (default build/fuzz); each target's log, new inputs and
# any crash input stay in <that folder>/runs/<target>.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-600}"
shift || true
out="${AMPERLANE_FUZZ_DIR:-$root/build/fuzz}"

cmake -S "$here/targets" -B "$out/targets" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DAMPERLANE_SOURCE_DIR="$root" >/dev/null
cmake --build "$out/targets"

targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
    for binary in "$out"/targets/fuzz_*; do targets+=("$(basename "$binary" | sed 's/^fuzz_//')"); done
fi

failed=0
run() {
    "$here/run-target.sh" "$out/targets/fuzz_$1" "$here/corpus/$1" "$seconds" "$out/runs/$1" \
        || { echo "fuzz_$1: FAILED (see $out/runs/$1)"; return 1; }
}
# Two at a time: the machine has two cores.
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pids=()
    for name in "${targets[@]:i:2}"; do run "$name" & pids+=($!); done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
done
exit "$failed"
