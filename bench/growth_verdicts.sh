#!/usr/bin/env bash
# The growth verdict under load, as the profiler must give it: ROUNDS runs
# (default 5) of each routine at the default settings, with another
# process keeping one core busy, and how often each verdict came out.
# Expected: the merge sort N log N on every order; the insertion sort N^2
# on random and ascending (its worst); the first-node-pivot quicksort
# N^2 on ascending and N log N on random. About half an hour on two cores,
# nearly all of it the insertion sort's correctness phase (100,000 items at N^2).
# bench/profile_speed.sh gives the same tallies beside the older version's time.
# Usage: bash bench/growth_verdicts.sh [BUILD_FOLDER] [ROUNDS]   (default build-release, 5)
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
rounds=${2:-5}
work=$(mktemp -d)
yes > /dev/null &
busy=$!
trap 'kill $busy 2> /dev/null; rm -rf "$work"' EXIT
for routine in examples/sort_profile_merge_sort bench/profile_insertion_sort bench/profile_first_pivot_quicksort; do
  for round in $(seq "$rounds"); do
    (cd "$work" && "$build/$routine" > "run" 2> /dev/null) || true
    awk -v r="$(basename "$routine")" '/^Growth of the CPU time/ {on = 1; next} on && /^$/ {on = 0}
      on && /^  [a-z]/ {c = $2; for (i = 3; i <= NF && $i != "slope" && $i !~ /^\(/; i++) c = c " " $i; print r, $1, c}' "$work/run"
  done
done | sort | uniq -c
