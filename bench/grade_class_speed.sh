#!/usr/bin/env bash
# How long zor_grade takes for a generated class of 40 simulators and 40
# sort routines, all written in C, with the default settings. The
# simulators: the student simulator of tests/simulators/, correct or with
# one of its typical mistakes (a rule broken, a crash past 50 customers, a
# loop with one server), and some that do not build, each built from its
# sources by --build and graded on the default battery of 100 days. The
# routines: the example merge sort, the first-node-pivot quicksort and the
# insertion sort of tests/routines/ (correct; the last two N^2 on some
# orders), routines that are wrong on descending lists, leave a cycle,
# crash on the empty list or loop on two items, and some that do not
# build. Goals on two cores: the simulators within 2 minutes, the whole
# class within 15. Prints the wall times, the verdicts, and the time each
# kind of student took.
# Usage: bash bench/grade_class_speed.sh [BUILD_FOLDER]   (default build-release)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build-release}" && pwd)
cmake --build "$build" --target zor_grade sort_profile > /dev/null
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

# Forty routines, by kind; each folder holds what a student hands in.
routines=(merge_sort merge_sort first_pivot_quicksort merge_sort wrong_on_descending merge_sort insertion_sort
          leaves_cycle merge_sort first_pivot_quicksort crashes_on_empty merge_sort loops_on_two broken merge_sort
          first_pivot_quicksort wrong_on_descending merge_sort insertion_sort leaves_cycle)
for i in $(seq -w 1 40); do
  kind=${routines[$(( (10#$i - 1) % ${#routines[@]} ))]}
  folder="$work/sorts/r$i-$kind"
  mkdir -p "$folder"
  case $kind in
    merge_sort) cp "$root/examples/sorts/merge_sort.c" "$folder/" ;;
    first_pivot_quicksort) cp "$root/tests/routines/first_pivot_quicksort.c" "$folder/" ;;
    broken) echo "int broken(" > "$folder/sort.c" ;;
    *) cp "$root/tests/routines/$kind.c" "$root/tests/routines/insertion_sort.h" "$folder/" ;;
  esac
done

seconds() { local start=$(date +%s.%N); "$@" > /dev/null; echo "$(date +%s.%N) - $start" | bc; }
# The mean of a column per kind of student, the kind being the folder's name after its first '-'.
by_kind() {
  tail -n +2 "$1" | awk -F, -v c="$2" '{ k = substr($1, index($1, "-") + 1); s[k] += $c; n[k]++ }
    END { for (k in s) printf "  %-32s %6.1f\n", k, s[k] / n[k] }' | sort
}
build_command='cc -std=c11 -O2 -o simulator *.c'
simulators=$(seconds "$grade" simulators --secret "bench" --build "$build_command" -o "$work/out" "$work/class")
sorts=$(seconds "$grade" sorts -o "$work/sorts_out" "$work/sorts")
echo "zor_grade simulators, 40 students, 100 days each, built from source: $simulators s (goal <= 120 s)"
echo "zor_grade sorts, 40 routines, built and profiled:                   $sorts s"
echo "the whole class:                                                     $(echo "$simulators + $sorts" | bc) s (goal <= 900 s)"
echo "simulators' verdicts:"; cut -d, -f3 "$work/out/grades.csv" | tail -n +2 | sort | uniq -c
echo "routines' verdicts:"; cut -d, -f3 "$work/sorts_out/grades.csv" | tail -n +2 | sort | uniq -c
echo "seconds per simulator, by kind (mean):"; by_kind "$work/out/grades.csv" 11
echo "seconds per routine, by kind (mean):"; by_kind "$work/sorts_out/grades.csv" 20
