#!/usr/bin/env bash
# How long simulator_checker takes for its default 200 days with a
# simulator written in C (the student simulator of tests/simulators/),
# with each run boxed (--sandbox required) and as plain child processes
# (--sandbox off), in one go; and, for scale, the same 200 programs
# started and ended with nothing to do. Goals: 200 trials within 10 s on
# two cores; the box within twice the plain runs. The best of three runs
# of each.
# Usage: bash bench/simulator_checker_speed.sh [BUILD_FOLDER]   (default build-release)
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
cmake --build "$build" --target simulator_checker student_simulator > /dev/null
checker="$build/simulator_checker/simulator_checker"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
best() {
  local b=999 s
  for _ in 1 2 3; do
    /usr/bin/time -o "$work/time" -f %e "$@" > /dev/null 2>&1
    s=$(cat "$work/time")
    b=$(echo "$s $b" | awk '{print ($1 < $2) ? $1 : $2}')
  done
  echo "$b"
}
"$checker" --sandbox required --sandbox-tier
printf '#!/bin/sh\ncat > /dev/null; : > ZOR_Binary_Out\n' > "$work/nothing"
chmod +x "$work/nothing"
off=$(best "$checker" --sandbox off "$build/tests/student_simulator")
boxed=$(best "$checker" --sandbox required "$build/tests/student_simulator")
empty=$(best sh -c "for i in \$(seq 200); do (cd '$work' && printf '1\n1\n1\n' | '$work/nothing'); done")
echo "simulator_checker, 200 days of the student simulator (C), --sandbox off:      $off s (goal <= 10 s)"
echo "simulator_checker, 200 days of the student simulator (C), --sandbox required: $boxed s ($(echo "$boxed $off" | awk '{printf "%.1f", $1 / $2}') x off; goal <= 2 x)"
echo "200 runs of a program that does nothing, one at a time:                        $empty s"
