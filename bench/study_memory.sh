#!/usr/bin/env bash
# Peak resident memory of zor_study over a million days at the heaviest
# load, for one staffing and for a search (goal: at most 64 MB each, and
# the same as for far fewer days). A few minutes on two cores.
# Usage: bash bench/study_memory.sh [BUILD_FOLDER]   (default build-release)
set -euo pipefail
build=${1:-build-release}
study="$build/study/zor_study"
for days in 10000 1000000; do
  for run in "--servers 5,4,2" "--target-wait 300"; do
    peak=$( { /usr/bin/time -f "%M %e" "$study" --per-slot 12 --days "$days" $run --csv > /dev/null; } 2>&1 )
    read -r kb seconds <<< "$peak"
    printf '%8d days, %-18s peak %6.1f MB, %7.1f s\n' "$days" "$run:" "$(echo "$kb / 1024" | bc -l)" "$seconds"
  done
done
