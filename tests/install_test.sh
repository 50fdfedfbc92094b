#!/usr/bin/env bash
# The kit as a user installs it: `cmake --install` into a fresh prefix,
# which is then moved elsewhere (the install must not know where it
# lives); a C project built with pkg-config and a C++ project built with
# find_package(ZorKit), each with a sort routine of its own, run on a
# small Raw; an installed simulation program run from another folder; and
# the Debian package, whose contents must be what the install put there.
# Usage: install_test.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/first" > /dev/null
mv "$work/first" "$work/prefix"
prefix="$work/prefix"

# A routine of the user's own: the smallest correct one, selection sort.
cat > "$work/my_sort.c" <<'C'
#include "sort_bench.h"
void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)K; (void)X;
  for (SL_Node** Place = Head; *Place; Place = &(*Place)->Next) {
    SL_Node** Least = Place;
    for (SL_Node** At = &(*Place)->Next; *At; At = &(*At)->Next)
      if ((*At)->Item < (*Least)->Item) Least = At;
    SL_Node* Node = *Least;
    *Least = Node->Next;
    Node->Next = *Place;
    *Place = Node;
  }
}
C
printf '\005\000\000\000\001\000\000\000\377\377\377\377\003\000\000\000' > "$work/Raw"  # 5, 1, -1, 3
sorted=$(printf '\377\377\377\377\001\000\000\000\003\000\000\000\005\000\000\000' | od -An -tx1)

# 1. C with pkg-config, for both libraries.
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
gcc -O2 "$work/my_sort.c" $(pkg-config --cflags --libs sort_bench) -o "$work/my_sort_bench"
gcc -O2 "$work/my_sort.c" $(pkg-config --cflags --libs sort_profile) -o "$work/my_sort_profile"
mkdir "$work/run_c" && cp "$work/Raw" "$work/run_c/"
(cd "$work/run_c" && printf '0\n0\n' | "$work/my_sort_bench" > out) || fail "pkg-config timing program"
grep -q "Sort SL List: .* for        4 Items" "$work/run_c/out" || fail "pkg-config timing program: $(cat "$work/run_c/out")"
[ "$(od -An -tx1 < "$work/run_c/Sorted")" = "$sorted" ] || fail "pkg-config timing program: Sorted"
"$work/my_sort_profile" --check-only --max-items 1000 | grep -q "^PASS: 130 cases" || fail "pkg-config profiler"

# 2. C++ with find_package(ZorKit) and the one-line helpers.
mkdir "$work/cxx"
cp "$work/my_sort.c" "$work/cxx/my_sort.cpp"
cat > "$work/cxx/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(my_sort LANGUAGES CXX)
find_package(ZorKit 1.1 REQUIRED)
zor_add_sort_bench_program(my_sort_bench my_sort.cpp)
zor_add_sort_profile_program(my_sort_profile my_sort.cpp)
CMAKE
cmake -S "$work/cxx" -B "$work/cxx/build" -DCMAKE_PREFIX_PATH="$prefix" > "$work/cxx.log" 2>&1 || { cat "$work/cxx.log"; fail "find_package(ZorKit)"; }
cmake --build "$work/cxx/build" > "$work/cxx.log" 2>&1 || { cat "$work/cxx.log"; fail "building with ZorKit"; }
mkdir "$work/run_cxx" && cp "$work/Raw" "$work/run_cxx/"
(cd "$work/run_cxx" && printf '0\n0\n' | "$work/cxx/build/my_sort_bench" > out) || fail "find_package timing program"
[ "$(od -An -tx1 < "$work/run_cxx/Sorted")" = "$sorted" ] || fail "find_package timing program: Sorted"
"$work/cxx/build/my_sort_profile" --check-only --max-items 100 | grep -q "^PASS: 120 cases" || fail "find_package profiler"

# 2b. C alone with find_package(ZorKit): the profiler, written in C++,
#     still links (the helper names the C++ runtime).
mkdir "$work/c_only"
cp "$work/my_sort.c" "$work/c_only/my_sort.c"
cat > "$work/c_only/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(my_sort C)
find_package(ZorKit 1.1 REQUIRED)
zor_add_sort_profile_program(my_sort_profile my_sort.c)
CMAKE
cmake -S "$work/c_only" -B "$work/c_only/build" -DCMAKE_PREFIX_PATH="$prefix" > "$work/c_only.log" 2>&1 || { cat "$work/c_only.log"; fail "find_package(ZorKit) from C"; }
cmake --build "$work/c_only/build" > "$work/c_only.log" 2>&1 || { cat "$work/c_only.log"; fail "the profiler from a project of C alone"; }
"$work/c_only/build/my_sort_profile" --check-only --max-items 100 | grep -q "^PASS: 120 cases" || fail "C-only profiler"

# 3. An installed simulation program, run from another folder.
mkdir "$work/day" && cd "$work/day"
printf '2\n17\n' | "$prefix/bin/workload_maker" 2> /dev/null | grep -q "^Number of customers: 56$" || fail "installed workload_maker"
printf '3\n2\n1\n' | "$prefix/bin/zor_simulator" 2> /dev/null | grep -q "^Customers simulated: 56$" || fail "installed zor_simulator"
printf '3\n2\n1\n' | "$prefix/bin/results_checker" 2> /dev/null | grep -q "follows the model: 56 customers" || fail "installed results_checker"
"$prefix/bin/zor_study" --version | grep -q "^zor_study (ZOR kit) " || fail "installed zor_study"
# The rerun line names the results_checker installed beside simulator_checker.
printf '#!/bin/sh\nread a; read b; read c; : > ZOR_Binary_Out\n' > "$work/empty_simulator" && chmod +x "$work/empty_simulator"
"$prefix/bin/simulator_checker" --trials 1 --keep "$work/kept" "$work/empty_simulator" > "$work/report" || true
grep -qF " && $prefix/bin/results_checker < entries" "$work/report" || fail "installed simulator_checker's rerun line"
"$prefix/bin/zor_grade" --version | grep -q "^zor_grade (ZOR kit) " || fail "installed zor_grade"

# 4. Every man page renders without a warning, and whole (a line that
#    begins with a dot is a roff request, which once ate "./" of an example).
for page in "$prefix"/share/man/man*/*; do
  warnings=$(man --warnings -l "$page" 2>&1 > /dev/null)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done
[ "$(ls "$prefix"/share/man/man1 | wc -l)" = "$(ls "$prefix"/bin | wc -l)" ] || fail "a program without a man page"
man -l "$prefix/share/man/man3/sort_profile.3.gz" 2> /dev/null | grep -q '\./my_sort_profile --k 10' ||
  fail "sort_profile(3) lost the ./ of its example"
man -l "$prefix/share/man/man3/sort_bench.3.gz" 2> /dev/null | grep -qF "printf '10\n32\n' | ./my_sort_bench" ||
  fail "sort_bench(3) lost the backslashes of its example"
for name in 7:zor_model 3:Sort_Singly_Linked_List 3:libsort_bench 3:libsort_profile; do
  MANPATH="$prefix/share/man" man -w "${name%%:*}" "${name#*:}" > /dev/null 2>&1 || fail "man ${name%%:*} ${name#*:} is not found"
done
for file in README.md LICENSE copyright examples/merge_sort.c examples/radix_sort.cpp; do
  [ -f "$prefix/share/doc/zor-kit/$file" ] || fail "share/doc/zor-kit/$file is not installed"
done

# 5. The Debian package holds exactly what the install rules install.
(cd "$build" && cpack -G DEB -B "$work/package" > "$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/*.deb)
# The package installs what this build was configured for, under its prefix.
configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed "s|^\.$configured/||" | sort > "$work/in_package"
(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) > "$work/installed"
diff "$work/installed" "$work/in_package" || fail "the package's contents differ from the install"
dpkg-deb --field "$deb" Depends | grep -q "libbenchmark-dev" || fail "the package does not depend on libbenchmark-dev"
echo "install, pkg-config, find_package, installed programs, man pages and package: all as expected"
