#!/usr/bin/env bash
# What the sandbox costs the profiler: the default run of the kit's merge
# sort (sort_profile_merge_sort, which hands itself to zor_sort_judge) with
# --sandbox off and --sandbox required, ROUNDS times each, the two in turn
# (off first in odd rounds, boxed first in even ones), so that both meet
# the same load. Prints each pair's wall seconds and the median of the
# ratios boxed / off. Goal: at most 2.
# The judge starts a box per worker, not per list: a default run starts
# three (the tier's probe, the routine's worker for the correctness
# phase and its worker for the timing; the kit's merge sort runs
# unboxed, in the judge's own program), so the box's start (a few ms) is
# paid three times in a run of many seconds.
# Seen on the two-core machine shared with other work (load 5 to 11),
# RelWithDebInfo build: pairs of 30.1 / 30.5 s and 32.4 / 19.8 s (the
# load's swings, not the box, decide such a pair).
# Usage: bash bench/profile_sandbox_cost.sh [BUILD_FOLDER] [ROUNDS]   (default build-release, 3)
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
rounds=${2:-3}
cmake --build "$build" --target sort_profile_merge_sort zor_sort_judge > /dev/null
profiler="$build/examples/sort_profile_merge_sort"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One default run in the scratch folder; prints its wall seconds.
timed_run() {
  local start end
  start=$(date +%s.%N)
  (cd "$work" && "$profiler" --sandbox "$1" > "$work/report_$1" 2> "$work/errors_$1") ||
    { echo "the run with --sandbox $1 failed: $(head -c 300 "$work/errors_$1")" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$start $end" | awk '{printf "%.2f", $2 - $1}'
}
for round in $(seq "$rounds"); do
  if [ $((round % 2)) -eq 1 ]; then
    off=$(timed_run off); boxed=$(timed_run required)
  else
    boxed=$(timed_run required); off=$(timed_run off)
  fi
  echo "round $round: --sandbox off $off s, --sandbox required $boxed s, boxed / off $(echo "$boxed $off" | awk '{printf "%.2f", $1 / $2}')"
done | tee "$work/rounds"
awk '{print $NF}' "$work/rounds" | sort -g |
  awk '{r[NR] = $1} END {printf "median of boxed / off over %d rounds: %.2f (goal <= 2)\n", NR, r[int((NR + 1) / 2)]}'
