#!/usr/bin/env bash
# The profiler's default run against an older build's, side by side under
# load: for each routine (the kit's merge sort, the tests' insertion sort
# and first-node-pivot quicksort), ROUNDS default runs of this build, the
# first OLD_ROUNDS of them each beside a default run of the older build
# (which goes first in odd rounds, second in even ones), with `yes`
# keeping one core busy throughout. Prints each run's wall time, the
# median speed-up per routine (older time / this build's, paired within
# a round), and how often each verdict came out in this build's runs.
# Expected verdicts: the merge sort N log N on every order; the insertion
# sort N^2 on random and ascending (its worst); the quicksort N^2 on
# ascending and N log N on random.
# Usage: bash bench/profile_speed.sh OLD_BUILD [BUILD] [ROUNDS] [OLD_ROUNDS] [ROUTINE...]
#   OLD_BUILD: a Release build of the older version (e.g. 1.2.1, in a worktree of its commit):
#     git worktree add ../v121 02f9c11 && cmake -S ../v121 -B ../v121/build-release -DCMAKE_BUILD_TYPE=Release &&
#     cmake --build ../v121/build-release -j 2 --target sort_profile_merge_sort profile_insertion_sort profile_first_pivot_quicksort
#   BUILD: this version's Release build (default build-release, --target bench and sort_profile_merge_sort)
#   ROUNDS default 5; OLD_ROUNDS default 1 (version 1.2.1 takes minutes a run)
#   ROUTINE: merge_sort, insertion_sort, first_pivot_quicksort (default all three)
# PROFILE_OPTIONS, if set, is passed to both builds' profilers (e.g.
# "--max-items 65536" to leave out the correctness cases of 100,000 items,
# which an N^2 routine on a crowded machine may not finish within the
# time limit; the series of such a routine stops below that by its budget).
# An older build may keep the tests' profilers in tests/ rather than bench/
# (version 1.2.1 does); either is found.
set -euo pipefail
old=$(cd "$1" && pwd)
new=$(cd "${2:-build-release}" && pwd)
rounds=${3:-5}
old_rounds=${4:-1}
shift $(($# < 4 ? $# : 4))
wanted=${*:-merge_sort insertion_sort first_pivot_quicksort}
read -r -a options <<< "${PROFILE_OPTIONS:-}"
work=$(mktemp -d)
yes > /dev/null &
busy=$!
trap 'kill $busy 2> /dev/null; rm -rf "$work"' EXIT

# A routine's profiler in a build: the kit's merge sort in examples/, the
# tests' routines in bench/ or, in older builds, tests/.
program() {
  case $2 in
    merge_sort) echo "$1/examples/sort_profile_merge_sort" ;;
    *) if [ -x "$1/bench/profile_$2" ]; then echo "$1/bench/profile_$2"; else echo "$1/tests/profile_$2"; fi ;;
  esac
}

# Runs one profiler at its defaults in the scratch folder; prints its wall seconds.
timed_run() {
  local start end
  start=$(date +%s.%N)
  (cd "$work" && "$1" "${options[@]}" > "$2" 2> /dev/null) || true
  end=$(date +%s.%N)
  echo "$start $end" | awk '{printf "%.1f", $2 - $1}'
}

for name in $wanted; do
  for round in $(seq "$rounds"); do
    old_time=-
    if [ "$round" -le "$old_rounds" ] && [ $((round % 2)) -eq 1 ]; then old_time=$(timed_run "$(program "$old" "$name")" "$work/old"); fi
    new_time=$(timed_run "$(program "$new" "$name")" "$work/new")
    if [ "$round" -le "$old_rounds" ] && [ $((round % 2)) -eq 0 ]; then old_time=$(timed_run "$(program "$old" "$name")" "$work/old"); fi
    # A run that failed has no verdicts: its first line says why.
    grep -q '^Growth of the CPU time' "$work/new" || echo "failed $name $round $(head -c 300 "$work/new" | tr '\n' ' ')"
    grep -q '^Growth of the CPU time' "$work/old" 2> /dev/null || [ "$old_time" = - ] || echo "failed-old $name $round"
    echo "time $name $round $old_time $new_time"
    awk -v r="$name" '/^Growth of the CPU time/ {on = 1; next} on && /^$/ {on = 0}
      on && /^  [a-z]/ {c = $2; for (i = 3; i <= NF && $i != "slope" && $i !~ /^\(/; i++) c = c " " $i; print "verdict", r, $1, c}' "$work/new"
    grep -o 'your routine [0-9]*\.[0-9]*, the kit.s merge sort [0-9]*\.[0-9]*' "$work/new" | sed "s/^/layout $name /" || true
  done
done > "$work/all"
echo "Wall seconds of each default run (older build, this build) under load:"
awk '$1 == "time" {printf "  %-32s round %d: %8s s %8s s\n", $2, $3, $4, $5}' "$work/all"
echo "Speed-up, older time over this build's in the same round (median per routine):"
awk '$1 == "time" && $4 != "-" && $5 > 0 {print $2, $4 / $5}' "$work/all" | sort -k1,1 -k2,2g |
  awk '{v[$1] = v[$1] " " $2; n[$1]++} END {for (r in v) {split(substr(v[r], 2), a, " "); printf "  %-32s %.1f x (%s)\n", r, a[int((n[r] + 1) / 2)], substr(v[r], 2)}}'
echo "Layout ratios (the routine's, the merge sort's):"
awk '$1 == "layout" {printf "  %-32s %s %s\n", $2, $5, $10}' "$work/all" | tr -d ','
grep '^failed' "$work/all" || true
echo "Verdicts of this build's runs (count, routine, order, verdict):"
awk '$1 == "verdict" {$1 = ""; print substr($0, 2)}' "$work/all" | sort | uniq -c
