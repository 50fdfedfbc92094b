#!/usr/bin/env bash
# Peak resident memory of zor_grade grading one student whose simulator
# writes 60 MiB of ZOR_Binary_Out on every day, over few days and over
# many (goal: the same peak for any number of days, and far below what
# the student writes). A grader that kept each day's bytes would grow by
# the output's size a day. A minute or two; it writes 60 MiB a day to the
# temporary folder and removes it.
# Usage: bash bench/grade_memory.sh [BUILD_FOLDER]   (default build-release)
set -euo pipefail
build=${1:-build-release}
grade="$(realpath "$build/grade/zor_grade")"
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/big"
cp "$source_dir/tests/simulators/writes_big_output.sh" "$work/big/"
printf 'identifier,folder,command\nbig,big,sh writes_big_output.sh\n' > "$work/class.csv"
first=""
for days in 2 8 32; do
  peak=$( { cd "$work" && /usr/bin/time -f "%M %e" "$grade" simulators --days "$days" --again -o "out_$days" \
            class.csv > /dev/null; } 2>&1 | tail -n 1 )
  read -r kb seconds <<< "$peak"
  first=${first:-$kb}
  printf '%3d days: peak %7.1f MB (%.2f times the peak at 2 days), %6.1f s\n' "$days" \
    "$(echo "$kb / 1024" | bc -l)" "$(echo "$kb / $first" | bc -l)" "$seconds"
done
