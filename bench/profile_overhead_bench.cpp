/*
** profile_overhead_bench.cpp
** What the sort profiler adds to a profile that is not the sort itself:
** laying out a list (one allocation per node), resetting it before a
** repetition, judging it after a correctness case, and freeing it,
** against one timed sort of the same list by the merge sort example, at
** sizes of 100,000 items and more, in one run. Each figure is the median
** of several rounds of CPU time; the ratios are what to read.
**
**   profile_overhead_bench [ROUNDS]     (default 5)
*/
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "common/statistics.h"
#include "sort_profile/profile_lists.h"

extern "C" void Bench_Merge_Sort(SL_Node** Head, int32_t K, int32_t X);

namespace {

double CPU_Seconds() {
  timespec Now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Now);
  return double(Now.tv_sec) + double(Now.tv_nsec) * 1e-9;
}


}  // namespace

int main(int Argc, char** Argv) {
  int Rounds = Argc > 1 ? std::atoi(Argv[1]) : 5;
  if (Rounds < 1) Rounds = 1;
  std::printf("%9s %9s %9s %9s %9s %11s %16s\n", "items", "lay out", "reset", "judge", "free", "merge sort",
              "added / sort");
  for (int64_t N : {100000, 200000, 400000, 800000, 1000000}) {
    std::vector<double> Lay_Out, Reset, Judge, Free, Sort;
    std::vector<int32_t> Items = Items_In_Order(Order_Random, N, 1);
    for (int R = 0; R < Rounds; R++) {
      double T0 = CPU_Seconds();
      Laid_Out_List L = Lay_Out_List(Items);
      double T1 = CPU_Seconds();
      Reset_List(L);
      double T2 = CPU_Seconds();
      Bench_Merge_Sort(&L.Head, 0, 0);
      double T3 = CPU_Seconds();
      bool Right = Check_List(L).Fault.empty();
      double T4 = CPU_Seconds();
      Free_List(L);
      double T5 = CPU_Seconds();
      if (!Right) {
        std::fputs("the merge sort left a wrong list\n", stderr);
        return 1;
      }
      Lay_Out.push_back(T1 - T0), Reset.push_back(T2 - T1), Sort.push_back(T3 - T2), Judge.push_back(T4 - T3),
          Free.push_back(T5 - T4);
    }
    double Added = Median_Of(Lay_Out) + Median_Of(Reset) + Median_Of(Judge) + Median_Of(Free);
    std::printf("%9lld %7.1f ms %7.1f ms %7.1f ms %7.1f ms %9.1f ms %15.2f\n", (long long)N, Median_Of(Lay_Out) * 1e3,
                Median_Of(Reset) * 1e3, Median_Of(Judge) * 1e3, Median_Of(Free) * 1e3, Median_Of(Sort) * 1e3, Added / Median_Of(Sort));
  }
  std::puts("added / sort: one lay-out, reset, judgement and free against one sort (goal: at most 1).");
  std::puts("A timed series lays out and frees once per size and resets once per repetition, so it adds less.");
  return 0;
}
