#!/usr/bin/env bash
# The growth verdict under load, as the profiler must give it: ROUNDS runs
# (default 5) of each routine, with another process keeping one core
# busy, and how often each verdict came out, with the lowest and highest
# slope read for it. The routines: the kit's merge sort and radix sort,
# the tests' insertion sort and first-node-pivot quicksort, and six
# written apart from the kit's examples (tests/routines/).
# Expected: merge sort, bottom-up merge sort and median-of-three
# quicksort N log N on every order (the quicksort N on equal, few-distinct
# and extremes, where its three-way parting makes it linear); radix and
# counting sort N on every order; the insertion sort N^2 but N on
# descending (each item goes in first); the bubble sort N on ascending and
# equal, N^2 elsewhere; the first-node-pivot quicksort N log N on random,
# N^2 on sorted orders. The std::sort over a copy and the shell sort are
# N log N, but their linear part dwarfs the log n on sorted and few
# distinct items: they may read N there.
# OPTIONS, if set, is passed to each run (e.g. "--max-items 16384", or
# "--timing-only --max-items 16384" for the verdicts alone: the verdict
# is read on lists of 64 to 1,024 items whatever --max-items says). A
# default run of an N^2 routine spends minutes in its correctness phase.
# Usage: bash bench/growth_verdicts.sh [BUILD_FOLDER] [ROUNDS] [ROUTINE...]
#   (default build-release, 5, every routine; built by --target bench)
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
rounds=${2:-5}
shift $(($# < 2 ? $# : 2))
wanted=${*:-merge_sort radix_sort insertion_sort first_pivot_quicksort bubble_sort_early_exit
  bottom_up_merge_sort std_sort_relink counting_sort shell_sort_array median_of_three_quicksort}
read -r -a options <<< "${OPTIONS:-}"
work=$(mktemp -d)
yes > /dev/null &
busy=$!
trap 'kill $busy 2> /dev/null; rm -rf "$work"' EXIT
program() {
  for candidate in "examples/sort_profile_$1" "bench/profile_$1" "bench/profile_unseen_$1"; do
    [ -x "$build/$candidate" ] && { echo "$build/$candidate"; return; }
  done
  echo "no profiler for $1 in $build" >&2
  exit 2
}
echo "load before: $(uptime)"
for routine in $wanted; do
  path=$(program "$routine")
  for round in $(seq "$rounds"); do
    (cd "$work" && "$path" "${options[@]}" > run 2> /dev/null) || true
    awk -v r="$routine" '/^Growth of the CPU time/ {on = 1; next} on && /^$/ {on = 0}
      on && /^  [a-z]/ {c = $2; for (i = 3; i <= NF && $i != "slope" && $i !~ /^\(/; i++) c = c " " $i;
        s = ""; for (i = 3; i < NF; i++) if ($i == "slope") s = $(i + 1); sub(/;$/, "", s); print r, $1, c "|" s}' "$work/run"
  done
done | awk -F'|' '{k = $1; n[k]++; if (!(k in lo) || $2 + 0 < lo[k]) lo[k] = $2 + 0; if (!(k in hi) || $2 + 0 > hi[k]) hi[k] = $2 + 0}
  END {for (k in n) printf "%3d  %-60s slope %6.2f .. %6.2f\n", n[k], k, lo[k], hi[k]}' | sort -k2,3
echo "load after: $(uptime)"
