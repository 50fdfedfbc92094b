#!/usr/bin/env bash
# Checks the checks: plants plausible mistakes, one at a time, in a copy
# of the tree, builds the copy and runs the tests that should break, and
# says of each mistake whether the tests caught it. A suite that passes
# on a wrong tree is worse than none, and only a planted mistake shows
# which one it is.
#
#   tools/check_the_checks.sh            every mistake
#   tools/check_the_checks.sh NAME...    those mistakes only
#   tools/check_the_checks.sh --list     the mistakes, and the tests each should break
#
# The copy (the tracked and new files of this tree, as they are now) is
# built in ${ZOR_CHECKS_WORK:-$TMPDIR/zor_check_the_checks_<tree>}/tree
# and kept, so a second run builds only what changed. Exit status: 0
# when every mistake is caught; 1 when one is not, or its text is no
# longer in the code (STALE: update the mistake below); 2 on trouble
# (the copy does not build, or its tests fail before any mistake).
set -euo pipefail

# Each mistake: a name, the tests that must catch it (a ctest -R pattern),
# what it is, and the exact replacements that plant it, as FILE, OLD
# text, NEW text. A replacement whose OLD text is not found exactly once
# makes the mistake STALE rather than silently harmless.
mistake_names=()
declare -A mistake_tests mistake_what mistake_edits
mistake() {  # NAME TESTS WHAT
  mistake_names+=("$1")
  mistake_tests[$1]=$2
  mistake_what[$1]=$3
}
plant() {  # NAME FILE OLD NEW
  mistake_edits[$1]+="$2"$'\x1f'"$3"$'\x1f'"$4"$'\x1e'
}

# The growth series as the judge times it: the routine's time and the
# reference's swapped. (When this goes STALE, plant the same swap in
# the new code here.)
mistake growth-swap 'Sort_Profile\.AQuadraticRoutine|Growth_Whole_Path\.' \
  "the routine's and the reference's times swapped in the growth series"
plant growth-swap sort_profile/growth_series.cpp \
  'At->Sort.push_back(Routine.Seconds), At->Reference.push_back(Reference.Seconds);' \
  'At->Sort.push_back(Reference.Seconds), At->Reference.push_back(Routine.Seconds);'

# The growth verdict's bands in the caches as they were before the fence:
# an N log N routine whose log n is a small part of its cost reads
# "between", an N^2 one whose branches learn, too.
mistake old-growth-bands 'Growth_Verdict_Per_Item\.' \
  'the bands of the slope per item put back where they were before the lists were fenced'
plant old-growth-bands sort_profile/growth_verdict.cpp \
  '{{-1e9, 0.075}, {0.085, 0.55}, {0.6, 1.45}, {1.65, 1e9}}' \
  '{{-1e9, 0.11}, {0.13, 0.5}, {0.7, 1.45}, {1.65, 1e9}}'

# The series' stop and rounds, which make most of a default run's time:
# a size timed whose sort the budget cannot hold, and rounds spent on
# orders whose verdict was already read in the caches.
mistake series-past-budget 'Growth_Whole_Path\.TheSeriesStops' \
  "the series times the next size whatever the budget says of it (a size past the budget)"
plant series-past-budget sort_profile/growth_series.cpp \
  'return 2 * First <= O.Budget;' \
  'return First <= O.Budget;'
mistake series-rounds-again 'Growth_Whole_Path\.TheSeriesStops' \
  "the series timed in rounds again for orders whose verdict was read in the caches"
plant series-rounds-again sort_profile/growth_series.cpp \
  'if (Verdicts != nullptr && !Verdicts->In_Cache[Order].empty()) continue;' \
  'if (Verdicts != nullptr && Verdicts->In_Cache[Order].empty()) continue;'

mistake model-off-by-one 'Results_Checker\.' \
  "a model rule one off: a server numbered one past the station's last passes"
plant model-off-by-one model_rules/station_rules.cpp \
  'if (V.Server < 1 || V.Server > Servers)' \
  'if (V.Server < 1 || V.Server > Servers + 1)'

mistake verdict-word 'Results_Checker\.|Pipeline\.' \
  'the verdict of a file that follows the model worded otherwise'
plant verdict-word model_rules/verdict.cpp \
  '"ZOR_Binary_Out follows the model: %zu customer%s\n"' \
  '"ZOR_Binary_Out follows the model:  %zu customer%s\n"'

mistake cpu-limit-ignored 'Sandbox_Test\.(EveryEnding|OffItIsAPlainChild)' \
  "the sandbox's CPU-time limit never set (neither the rlimit nor the cgroup's watch)"
plant cpu-limit-ignored sandbox/sandbox_child.cpp \
  '  if (L.Cpu_Seconds > 0) {
    rlim_t Seconds' \
  '  if (false && L.Cpu_Seconds > 0) {
    rlim_t Seconds'
plant cpu-limit-ignored sandbox/sandbox_watch.cpp \
  'if (Sandbox().Cgroup && L.Cpu_Seconds > 0 && Cgroup_Cpu_Seconds(W.Slot) >= L.Cpu_Seconds)' \
  'if (false && Sandbox().Cgroup && L.Cpu_Seconds > 0 && Cgroup_Cpu_Seconds(W.Slot) >= L.Cpu_Seconds)'

mistake kept-run-in-box-pids 'Kept_Box_Test\.|Hostile_Programs\.EachIsContained' \
  "a run in a kept box without process numbers of its own, where bubblewrap's process is in reach"
plant kept-run-in-box-pids sandbox/sandbox_child.cpp \
  'if (unshare(CLONE_NEWNS | CLONE_NEWIPC | CLONE_NEWPID) != 0' \
  'if (unshare(CLONE_NEWNS | CLONE_NEWIPC) != 0'

mistake program-says-bwrap 'Sandbox_Test\.EveryEnding' \
  "bubblewrap's status misread, so that a program that fails with bubblewrap's words passes for the sandbox's trouble"
plant program-says-bwrap sandbox/sandbox_run.cpp \
  'return Status.find("\"exit-code\"") != std::string::npos;' \
  'return Status.find("\"exit_code\"") != std::string::npos;'

mistake limit-in-kib 'Sandbox_Options\.' \
  "a tool's --output-limit taken as KiB rather than MiB, in every tool that runs a user's code"
plant limit-in-kib tool_options/sandbox_options.cpp \
  'L.Output_Bytes = Given.Output_Mib << 20;' \
  'L.Output_Bytes = Given.Output_Mib << 10;'

mistake memory-as-address-space 'Languages\.ATeacherWhoIsNotRoot' \
  "memory without a cgroup limited by the address space, under which no JVM starts"
plant memory-as-address-space sandbox/sandbox_child.cpp \
  'Add_Limit(P, RLIMIT_DATA, rlim_t(L.Memory_Bytes), rlim_t(L.Memory_Bytes));' \
  'Add_Limit(P, RLIMIT_AS, rlim_t(L.Memory_Bytes), rlim_t(L.Memory_Bytes));'


mistake cgroup-v2-counts-from-zero 'Cgroup_Test\.' \
  "a cgroup v2 run's CPU time counted from the slot's making, not from the run's start"
plant cgroup-v2-counts-from-zero sandbox/sandbox_cgroup.cpp \
  'Keyed(Stat, "usage_usec") - Cpu_Base[Slot]' \
  'Keyed(Stat, "usage_usec") - 0'
mistake cgroup-v2-no-leaf 'Cgroup_Test\.' \
  "the tool hands cgroup v2's controllers down without leaving its own cgroup for a leaf"
plant cgroup-v2-no-leaf sandbox/cgroup_choice.cpp \
  'Choice->Leave_For_Leaf = !Handed_Down && !Hierarchy_Root;' \
  'Choice->Leave_For_Leaf = false;'
mistake cgroup-v2-kill-skipped 'Cgroup_Test\.' \
  "a slot's cgroup v2 not ended: what escaped the run's process group lives on"
plant cgroup-v2-kill-skipped sandbox/sandbox_cgroup.cpp \
  '    if (V2_Kill) Write_Small(V2_Slot(Slot) + "/cgroup.kill", "1");
    Kill_Listed(V2_Slot(Slot) + "/cgroup.procs");' \
  ''
mistake staged-left-on-ending 'Interrupted_Run\.|Listers_Test\.|Simulator\.' \
  'an unfinished file forgotten, not removed, when a run fails or is stopped'
plant staged-left-on-ending common/unfinished_file.cpp \
  'if (Descriptor < 0) unlink(S.Name);' \
  'if (Descriptor < 0) {}'

mistake staged-left-on-abandon 'Sort_Profile\.ACrashOrLoop' \
  'a staged file abandoned without being removed (the chart of a failed profile)'
plant staged-left-on-abandon common/staged_file.cpp \
  '  F->Out = nullptr;
  Remove_Unfinished_File(F->Temp);
}' \
  '  F->Out = nullptr;
  Finish_Unfinished_File(F->Temp);
}'

mistake sweep-by-median 'Sweep_Decision\.' \
  "the sweep holds a pair's median, not its fastest sort, against the fastest pair's: a busy spell names a best pair"
plant sweep-by-median sort_profile/sweep.cpp \
  'A.Least - Than.Median >= Margin' \
  'A.Median - Than.Median >= Margin'

mistake sweep-no-noise-margin 'Sweep_Decision\.' \
  "the sweep's margin a tenth alone, whatever the noise of the pairs' sorts"
plant sweep-no-noise-margin sort_profile/sweep.cpp \
  'std::max(Least_Measurable * Than.Median, Noise_Multiple * Noise)' \
  'std::max(Least_Measurable * Than.Median, 0 * Noise)'

mistake rank-ignores-worst-order 'Grade_Sorts\.TheWorstOrder' \
  "routines ranked by their speed figure alone, an N^2 order weighing nothing"
plant rank-ignores-worst-order grade/sort_grading.cpp \
  'return Class_A != Class_B ? Class_A < Class_B : A->Time_Ratio < B->Time_Ratio;' \
  'return Class_A != Class_B ? A->Time_Ratio < B->Time_Ratio : A->Time_Ratio < B->Time_Ratio;'

mistake sweep-unchecked-pair 'Sort_Profile\.TheSweepRecommends' \
  "the sweep recommends its fastest pair without the correctness phase"
plant sweep-unchecked-pair sort_profile/sweep.cpp \
  'if (Check_Correctness(Check, Out)) {' \
  'if (true || Check_Correctness(Check, Out)) {'

mistake folder-cap-ignored 'Sandbox_Test\.(EveryEnding|OffItIsAPlainChild|AFoldersUse)|Kept_Box_Test\.EveryEnding|Hostile_Programs\.EachIsContained' \
  "a run's folder never held to its entry cap: thousands of empty files or hard links pass"
plant folder-cap-ignored sandbox/folder_use.cpp \
  'if (L.Folder_Entries > 0 && W->Use.Entries > L.Folder_Entries)' \
  'if (false && L.Folder_Entries > 0 && W->Use.Entries > L.Folder_Entries)'

mistake folder-links-each-time 'Sandbox_Test\.AFoldersUse' \
  "a file of many names counted at each, so hard links to one file pass for a full folder"
plant folder-links-each-time sandbox/folder_use.cpp \
  'if (!W->Linked.insert({Status.st_dev, Status.st_ino}).second) return true;' \
  'W->Linked.insert({Status.st_dev, Status.st_ino});'

mistake folder-looked-at-end-only 'Sandbox_Test\.(EveryEnding|OffItIsAPlainChild|WithoutABoxEachRun)|Kept_Box_Test\.EveryEnding|Hostile_Programs\.EachIsContained' \
  "a run's folder measured only once the run has ended, so a writer that then sleeps holds it to its wall time"
plant folder-looked-at-end-only sandbox/sandbox_watch.cpp \
  'if (!Folder_Capped(L) || Now < W.Next_Folder_Look) return false;' \
  'if (true || !Folder_Capped(L) || Now < W.Next_Folder_Look) return false;'

mistake stop-not-held 'Sandbox_Test\.AStoppedTool|Interrupted_Run\.' \
  "a stopped tool's main thread let run on while the stop cleans up: it exits with a status, or keeps a grade, the stop made"
plant stop-not-held sandbox/sandbox_stop.cpp \
  'while (Stop_Begun.load()) pause();' \
  'return;'

mistake low-descriptor 'Sandbox_Test\.AToolWithoutStandardStreams' \
  "a slot's network namespace left on the lowest free descriptor, which the child overwrites with a run's pipe"
plant low-descriptor sandbox/sandbox_child.cpp \
  'Made = Above_Child_Descriptors(open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC));' \
  'Made = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);'

mistake kept-input-held 'Kept_Box_Test\.EveryEnding' \
  "the tool's end of a run's input left open in a kept box's processes that never exec: the program never sees its input end"
plant kept-input-held sandbox/sandbox_child.cpp \
  '  Close_All_But(P.Exec_Error, K.Inner_User);' \
  '  if (P.Exec_Error < 0) Close_All_But(P.Exec_Error, K.Inner_User);'

root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--help" ]; then sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0; fi
if [ "${1:-}" = "--list" ]; then
  for name in "${mistake_names[@]}"; do printf '%-24s %s\n%-24s tests: %s\n' "$name" "${mistake_what[$name]}" "" "${mistake_tests[$name]}"; done
  exit 0
fi
chosen=("$@")
[ "${#chosen[@]}" -gt 0 ] || chosen=("${mistake_names[@]}")
for name in "${chosen[@]}"; do
  [ -n "${mistake_tests[$name]+set}" ] || { echo "check_the_checks: no mistake named $name (see --list)" >&2; exit 2; }
done

work=${ZOR_CHECKS_WORK:-${TMPDIR:-/tmp}/zor_check_the_checks_$(printf '%s' "$root" | md5sum | cut -c1-12)}
tree="$work/tree"
mkdir -p "$tree" "$work/logs"
# The tree as it is now, uncommitted changes and new files included;
# tar keeps each file's time, so an unchanged file is not rebuilt.
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  tar --null --ignore-failed-read -T - -cf - 2> /dev/null) | tar -C "$tree" -xf -
# A file an earlier run planted a mistake in was built with it: its time
# now, so that it is built again from the true text.
if [ -f "$work/planted" ]; then
  sort -u "$work/planted" | while IFS= read -r file; do touch "$tree/$file"; done
  rm "$work/planted"
fi

# Applies (or, with RESTORE, undoes) the edits of one mistake in the copy.
# Returns 3 when an OLD text is not found exactly once.
edit() {  # NAME plant|restore
  local record file old new
  while IFS= read -r -d $'\x1e' record; do
    IFS=$'\x1f' read -r -d '' file old new < <(printf '%s\0' "$record") || true
    if [ "$2" = restore ]; then
      [ -f "$work/saved/$file" ] && cp "$work/saved/$file" "$tree/$file"
      continue
    fi
    printf '%s\n' "$file" >> "$work/planted"
    mkdir -p "$(dirname "$work/saved/$file")"
    [ -f "$work/saved/$file" ] || cp -p "$tree/$file" "$work/saved/$file"
    OLD=$old NEW=$new perl -0777 -i -pe '
      BEGIN { $old = $ENV{OLD}; $new = $ENV{NEW}; }
      $n = () = /\Q$old\E/g;
      if ($n != 1) { print STDERR "found $n times\n"; exit 3; }
      s/\Q$old\E/$new/;' "$tree/$file" || return 3
  done < <(printf '%s' "${mistake_edits[$1]}")
}

restore_all() {
  for name in "${chosen[@]}"; do edit "$name" restore; done
  rm -rf "$work/saved"
}
trap restore_all EXIT
rm -rf "$work/saved"

export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache} CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
export ZOR_SANDBOX_MUST_RUN=1  # a skipped test would pass: the sandbox's tests must run
build() {
  (cd "$tree" && { [ -f build/CMakeCache.txt ] || cmake --preset dev; } && nice -n 10 cmake --build --preset dev -j2) > "$1" 2>&1
}
run_tests() {  # PATTERN LOG
  nice -n 10 ctest --test-dir "$tree/build" -R "$1" -j2 --output-on-failure > "$2" 2>&1
}

echo "check_the_checks: building the copy in $tree"
build "$work/logs/build.log" || { echo "check_the_checks: the copy does not build: $work/logs/build.log" >&2; exit 2; }
pattern=$(IFS='|'; for name in "${chosen[@]}"; do printf '%s|' "${mistake_tests[$name]}"; done)
pattern=${pattern%|}
echo "check_the_checks: the tests, before any mistake"
run_tests "$pattern" "$work/logs/clean.log" ||
  { echo "check_the_checks: the tests fail on the tree as it is: $work/logs/clean.log" >&2; exit 2; }

status=0
for name in "${chosen[@]}"; do
  log="$work/logs/$name.log"
  if ! edit "$name" plant 2> "$log"; then
    printf '%-24s STALE: its text is no longer in the code (%s)\n' "$name" "$(tr '\n' ' ' < "$log")"
    edit "$name" restore
    status=1
    continue
  fi
  if ! build "$log"; then
    printf '%-24s trouble: the planted mistake does not build (%s)\n' "$name" "$log"
    status=1
  elif run_tests "${mistake_tests[$name]}" "$log"; then
    printf '%-24s NOT CAUGHT: %s (the tests %s all pass; %s)\n' "$name" "${mistake_what[$name]}" \
      "${mistake_tests[$name]}" "$log"
    status=1
  else
    failed=$(grep -c ' - .*(Failed)\| - .*(Timeout)' "$log" || true)
    printf '%-24s caught by %s failing test%s\n' "$name" "$failed" "$([ "$failed" = 1 ] || echo s)"
  fi
  edit "$name" restore
done
exit $status
