#!/usr/bin/env bash
# How long zor_grade takes for a generated class of 40 simulators written
# in C: the student simulator of tests/simulators/, correct or with one of
# its typical mistakes (a rule broken, a crash past 50 customers, a loop
# with one server), and one that does not build. Each is built from its
# sources by zor_grade's --build and graded on the default battery of 100
# days with the default limits. Goal: the whole class within 2 minutes on
# two cores. Prints the wall time, the verdicts, and the time each kind of
# student took.
# Usage: bash bench/grade_class_speed.sh [BUILD_FOLDER]   (default build-release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build-release}" && pwd)
cmake --build "$build" --target zor_grade > /dev/null
grade="$build/grade/zor_grade"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Twelve kinds, cycled over 40 students: 5 correct in 12, 7 faulty.
kinds=(correct FAULT_LIFO correct FAULT_HIGHEST_SERVER FAULT_QUEUE_COUNTS_IN_SERVICE correct
       FAULT_ARRIVALS_FIRST FAULT_SKIPPED_VISITED correct FAULT_CRASH_PAST_50 FAULT_LOOP_ONE_SERVER broken)
for i in $(seq -w 1 40); do
  kind=${kinds[$(( (10#$i - 1) % ${#kinds[@]} ))]}
  folder="$work/class/s$i-$kind"
  mkdir -p "$folder"
  cp "$root/common/customer_parameters.h" "$root/common/customer_results.h" "$folder/"
  case $kind in
    correct) cp "$root/tests/simulators/student_simulator.c" "$folder/" ;;
    broken)  { cat "$root/tests/simulators/student_simulator.c"; echo "int broken("; } > "$folder/student_simulator.c" ;;
    *)       { echo "#define $kind"; cat "$root/tests/simulators/student_simulator.c"; } > "$folder/student_simulator.c" ;;
  esac
done

start=$(date +%s.%N)
"$grade" simulators --secret "bench" --build 'cc -std=c11 -O2 -o simulator *.c' -o "$work/out" "$work/class" > /dev/null
end=$(date +%s.%N)
echo "zor_grade simulators, 40 students, 100 days each, built from source: $(echo "$end - $start" | bc) s (goal <= 120 s)"
echo "verdicts:"; cut -d, -f3 "$work/out/grades.csv" | tail -n +2 | sort | uniq -c
echo "seconds per student, by kind (mean):"
tail -n +2 "$work/out/grades.csv" | awk -F, '{ split($1, p, "-"); k = substr($1, index($1, "-") + 1); s[k] += $11; n[k]++ }
  END { for (k in s) printf "  %-32s %6.1f\n", k, s[k] / n[k] }' | sort
