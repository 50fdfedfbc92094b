#!/usr/bin/env bash
# The kit's main job, start to end: installs what is missing, builds the
# kit in build/ (configured as tools/test.sh configures it), then runs in
# the scratch folder demo_run/ one simulated day (4 customers per slot,
# seed 17) through every program, with the reference simulator standing
# in for the user's own, checked and drawn; then the sort harness with the
# fast example routine on 1,000,000 random items.
# Usage: bash tools/demo.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/ensure_packages.sh"
zor_ensure_packages
(cd "$root" && cmake --preset dev > /dev/null)
# The first build takes a few minutes: show how far it is, on one line;
# should it fail, show why.
log="$root/build/demo_build.log"
echo "Building the kit in build/ (a few minutes the first time) ..."
(cd "$root" && cmake --build --preset dev) > "$log" 2>&1 &
builder=$!
while kill -0 "$builder" 2> /dev/null; do
  percent=$(grep -oE '^\[ *[0-9]+%\]' "$log" | tail -n 1 | tr -d '[ ]' || true)
  printf '\r  built %s' "${percent:-0%}"
  sleep 2
done
if ! wait "$builder"; then
  printf '\n'
  tail -n 30 "$log" >&2
  exit 1
fi
printf '\r  built 100%%\n'
build="$root/build"
run="$root/demo_run"
mkdir -p "$run"
cd "$run"

echo "== 1. workload_maker: 4 customers per 15-minute slot, seed 17"
printf '4\n17\n' | "$build/workload_maker/workload_maker" 2>/dev/null
echo "== 2. workload_lister"
summary=$("$build/listers/workload_lister")
echo "${summary%%$'\n'*}"
echo "== 3. zor_simulator (the reference): 5 LAB, 4 X_RAY and 2 EKG servers"
printf '5\n4\n2\n' | "$build/simulator/zor_simulator" 2>/dev/null
echo "== 4. results_lister"
summary=$("$build/listers/results_lister")
echo "${summary%%$'\n'*}"
echo "== 5. results_checker: does ZOR_Binary_Out follow the model? (same servers)"
printf '5\n4\n2\n' | "$build/model_rules/results_checker" 2>/dev/null
echo "== 5b. simulator_checker: does zor_simulator follow it on 200 kinds of day?"
"$build/simulator_checker/simulator_checker" "$build/simulator/zor_simulator"
echo "== 6. results_plotter"
"$build/plotter/results_plotter"
echo
echo "The day's files:"
echo "  $run/ZOR_Text_In    (the generated customers, one per line)"
echo "  $run/ZOR_Text_Out   (what happened to each customer)"
echo "  $run/ZOR_Debug_Out  (the reference simulator's event trace)"
echo "  $run/ZOR_Plot.svg   (the day as a picture; open it in a browser)"

echo
echo "== 7. make_raw: 1,000,000 random items into Raw"
"$build/tools/make_raw" 1000000 random 17
echo "== 8. sort_bench_radix_sort (example): K = 10 bits per digit, X = 32 items cut-off"
printf '10\n32\n' | "$build/examples/sort_bench_radix_sort"
echo "== 9. check_sorted"
"$build/tools/check_sorted"
