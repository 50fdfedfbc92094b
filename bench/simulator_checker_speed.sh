#!/usr/bin/env bash
# How long simulator_checker takes for its default 200 days with a
# simulator written in C (the student simulator of tests/simulators/),
# against the same 200 programs started and ended with nothing to do:
# process start-up is most of a trial. Goal: 200 trials within 10 s on
# two cores. The best of three runs of each.
# Usage: bash bench/simulator_checker_speed.sh [BUILD_FOLDER]   (default build-release)
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
cmake --build "$build" --target simulator_checker student_simulator > /dev/null
checker="$build/simulator_checker/simulator_checker"
best() { local b=999; for _ in 1 2 3; do local s=$( { /usr/bin/time -f %e "$@" > /dev/null; } 2>&1 ); b=$(echo "$s $b" | awk '{print ($1 < $2) ? $1 : $2}'); done; echo "$b"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#!/bin/sh\ncat > /dev/null; : > ZOR_Binary_Out\n' > "$work/nothing"
chmod +x "$work/nothing"
checked=$(best "$checker" "$build/tests/student_simulator")
empty=$(best sh -c "for i in \$(seq 200); do (cd '$work' && printf '1\n1\n1\n' | '$work/nothing'); done")
echo "simulator_checker, 200 days of the student simulator (C): $checked s (goal <= 10 s)"
echo "200 runs of a program that does nothing, one at a time:     $empty s"
