#!/usr/bin/env bash
# How long simulator_checker takes for its default 200 days with a
# simulator written in C (the student simulator of tests/simulators/),
# with each run boxed (--sandbox required) and as plain child processes
# (--sandbox off), in one go; and, for scale, the same 200 programs
# started and ended with nothing to do. Goals: 200 trials within 10 s on
# two cores; the box within twice the plain runs. The best of three runs
# of each, in wall time and in CPU time (the checker's and every process
# it waited for, boxes included): on a shared machine much of a box's
# wall time is waiting, and its CPU time says what it costs the machine.
# Seen on the two-core machine shared with other work (load 5 to 11),
# RelWithDebInfo build, each trial in a box of its own: off 1.28 s,
# boxed 4.86 s (3.8 x) in wall time; 0.55 s against 1.3 to 1.7 s of CPU.
# With a box kept per worker (load 3 to 4), the best of three: off 0.65 s,
# boxed 0.75 s (1.2 x); CPU 0.42 s against 0.63 s (1.5 x).
# Where a box's time goes: bench/box_cost_bench.
# Usage: bash bench/simulator_checker_speed.sh [BUILD_FOLDER]   (default build-release)
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
cmake --build "$build" --target simulator_checker student_simulator > /dev/null
checker="$build/simulator_checker/simulator_checker"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The best wall and the best CPU seconds of three runs of a command.
best() {
  local wall=999 cpu=999 w c
  for _ in 1 2 3; do
    /usr/bin/time -o "$work/time" -f '%e %U %S' "$@" > /dev/null 2>&1
    read -r w c < <(awk '{print $1, $2 + $3}' "$work/time")
    wall=$(echo "$w $wall" | awk '{print ($1 < $2) ? $1 : $2}')
    cpu=$(echo "$c $cpu" | awk '{print ($1 < $2) ? $1 : $2}')
  done
  echo "$wall $cpu"
}
ratio() { echo "$1 $2" | awk '{printf "%.1f", $1 / $2}'; }
"$checker" --sandbox required --sandbox-tier
printf '#!/bin/sh\ncat > /dev/null; : > ZOR_Binary_Out\n' > "$work/nothing"
chmod +x "$work/nothing"
# In a folder of its own, as a student's simulator is: each trial's folder
# starts with a copy of the program's folder, and the build's tests folder
# (tens of MiB) would be copied 200 times.
mkdir "$work/student"
cp "$build/tests/student_simulator" "$work/student/"
read -r off off_cpu < <(best "$checker" --sandbox off "$work/student/student_simulator")
read -r boxed boxed_cpu < <(best "$checker" --sandbox required "$work/student/student_simulator")
read -r empty _ < <(best sh -c "for i in \$(seq 200); do (cd '$work' && printf '1\n1\n1\n' | '$work/nothing'); done")
echo "simulator_checker, 200 days of the student simulator (C), --sandbox off:      $off s, CPU $off_cpu s (goal <= 10 s)"
echo "simulator_checker, 200 days of the student simulator (C), --sandbox required: $boxed s ($(ratio "$boxed" "$off") x off;" \
  "goal <= 2 x), CPU $boxed_cpu s ($(ratio "$boxed_cpu" "$off_cpu") x off)"
echo "200 runs of a program that does nothing, one at a time:                        $empty s"
