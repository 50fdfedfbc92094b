#!/usr/bin/env bash
# The kit's main job, start to end, in the scratch folder demo_run/:
# one simulated day (4 customers per slot, seed 17) through every program.
# Usage: bash examples/demo.sh [build folder, default build]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
run="$root/demo_run"
mkdir -p "$run"
cd "$run"

echo "== workload_maker (4 customers per slot, seed 17)"
printf '4\n17\n' | "$build/workload_maker/workload_maker" 2>/dev/null
echo
echo "ZOR_Binary_In: $(stat -c %s ZOR_Binary_In) bytes in $run"
