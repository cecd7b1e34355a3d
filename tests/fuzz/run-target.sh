#!/usr/bin/env bash
# Runs one fuzz target for a bounded time.
#   run-target.sh <fuzz binary> <seed corpus folder> <seconds> <work folder>
# New inputs go to <work folder>/corpus (the seeds in the repo stay as they are); a crash leaves
# its input in <work folder> and ends with a non-zero status. The last line of the log is the
# summary: executions and the corpus size.
set -euo pipefail
binary="$1" seeds="$2" seconds="$3" work="$4"
mkdir -p "$work/corpus"
log="$work/fuzz.log"
status=0
# One process, no forks; inputs over 64 KiB say nothing new about these parsers. The time limit
# per input is wall-clock time: generous, so that a machine busy with other work is not taken for a
# hang.
"$binary" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$seeds" >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    exit "$status"
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
echo "$(basename "$binary"): ${runs:-?} executions in ${seconds}s, corpus $(ls "$work/corpus" | wc -l) new inputs"
