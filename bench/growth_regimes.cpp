/*
** growth_regimes.cpp
** Why the growth verdict is hard to read from time, measured: routines
** of known growth are timed on the judge's own lists in two regimes, and
** for each the slope of log2(time per item) against log2(n) is printed
** raw, against the reference merge sort and against one walk of the list.
**
**   series    sizes 1,024 .. LARGEST, one list a sort, laid out as the
**             judge lays out a timed list (nodes in allocation order);
**             the lists outgrow each cache in turn.
**   in cache  sizes 64 .. 1,024, many lists a timing (about 16,384 items
**             in all), so that a list's nodes stay in the first caches.
**
** A verdict rule is sound only where the slopes it reads keep the classes
** apart on every order: N about 0 raw, N log N about 0.15 .. 0.2 raw
** (1 / (ln 2 log2 n)), N^2 about 1 raw. Across the series the caches add
** more than log n does, and by an amount that differs from routine to
** routine (one dependent walk stalls on every miss, a merge of two lists
** overlaps them), so no single reference cancels them; in cache the walk
** is flat, so it cancels nothing there, and the classes separate, but by
** a margin the noise of a busy machine can eat. Sorted back to back,
** short lists overlap each other's sorts, out of order, more than long
** ones, and a linear routine's time per item grows with the lists: with
** "fence", an lfence between the sorts, as the judge's worker has.
**
** The routines: the kit's merge and radix sorts, the tests' insertion
** sort and first-node-pivot quicksort, and eight written apart from the
** kit's examples (tests/routines/): a natural merge sort, a bubble sort
** with an early exit, a selection sort, a bottom-up merge sort, std::sort
** over a copy, a counting sort, a shell sort and a median-of-three
** quicksort; and one walk of the list.
**
**   growth_regimes [LARGEST] [ROUNDS] [fence]     (defaults 1048576, 5)
**   growth_regimes LARGEST ROUNDS any REPEATS     the bands mode: the
**       verdict's own slope in the caches, REPEATS times back to back
**       and fenced, lowest .. highest for every routine and order
*/
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "common/statistics.h"
#include "sort_profile/growth_verdict.h"
#include "sort_profile/profile_lists.h"

/* The routines, each compiled under a name of its own (CMakeLists.txt). */
extern "C" {
void Bench_Merge_Sort(SL_Node**, int32_t, int32_t), Bench_Radix_Sort(SL_Node**, int32_t, int32_t),
    Bench_Insertion_Sort(SL_Node**, int32_t, int32_t), Bench_First_Pivot_Quicksort(SL_Node**, int32_t, int32_t),
    Bench_Bubble_Sort(SL_Node**, int32_t, int32_t), Bench_Bottom_Up_Merge_Sort(SL_Node**, int32_t, int32_t),
    Bench_Std_Sort(SL_Node**, int32_t, int32_t), Bench_Counting_Sort(SL_Node**, int32_t, int32_t),
    Bench_Shell_Sort(SL_Node**, int32_t, int32_t), Bench_Median_Quicksort(SL_Node**, int32_t, int32_t),
    Bench_Natural_Merge_Sort(SL_Node**, int32_t, int32_t), Bench_Selection_Sort(SL_Node**, int32_t, int32_t);
}

namespace {

typedef void (*Routine)(SL_Node** Head, int32_t K, int32_t X);

/* One walk in list order: the cheapest linear routine, every step a
** load that waits for the one before. */
void Walk(SL_Node** Head, int32_t, int32_t) {
  int64_t Sum = 0;
  for (SL_Node* Node = *Head; Node != nullptr; Node = Node->Next) Sum += Node->Item;
  if (Sum == 42) (*Head)->Item = 42;  // keeps the walk
}

struct Candidate {
  const char* Name;
  Routine Sort;
  int64_t Most_Items;  // an N^2 routine is timed only this far
};
const Candidate Candidates[] = {
    {"merge", Bench_Merge_Sort, 1 << 30},       {"radix", Bench_Radix_Sort, 1 << 30},
    {"natural", Bench_Natural_Merge_Sort, 1 << 30},   {"insertion", Bench_Insertion_Sort, 16384},
    {"quick-first", Bench_First_Pivot_Quicksort, 16384}, {"bubble", Bench_Bubble_Sort, 16384},
    {"selection", Bench_Selection_Sort, 16384},
    {"bottom-up", Bench_Bottom_Up_Merge_Sort, 1 << 30}, {"std-sort", Bench_Std_Sort, 1 << 30},
    {"counting", Bench_Counting_Sort, 1 << 30}, {"shell", Bench_Shell_Sort, 1 << 30},
    {"median-3", Bench_Median_Quicksort, 1 << 30}, {"walk", Walk, 1 << 30},
};
constexpr int Number_Of_Candidates = sizeof Candidates / sizeof Candidates[0];
constexpr int Merge = 0, Walk_At = Number_Of_Candidates - 1;

bool Fence = false;

double Cpu_Now() {
  timespec T;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
  return double(T.tv_sec) + double(T.tv_nsec) * 1e-9;
}

/* Nanoseconds per item of Lists lists of N items in Order, laid out in a
** row in Block: the median of Rounds timings. */
double Per_Item(const Candidate& C, int Order, int64_t N, int64_t Lists, int Rounds, char* Block) {
  std::vector<double> Samples;
  std::vector<Laid_Out_List> Laid(size_t(Lists), Laid_Out_List{});
  for (int Round = 0; Round < Rounds; Round++) {
    for (int64_t L = 0; L < Lists; L++)
      Laid[size_t(L)] = Lay_Out_List_In(Block + L * N * int64_t(Node_Slot_Bytes),
                                        Items_In_Order(Order, N, uint32_t(Round * Lists + L + 1)));
    double Start = Cpu_Now();
    for (Laid_Out_List& L : Laid) {
      C.Sort(&L.Head, 10, 32);
      if (Fence) __builtin_ia32_lfence();
    }
    Samples.push_back((Cpu_Now() - Start) / double(N * Lists) * 1e9);
  }
  return Median_Of(Samples);
}

/* The least-squares slope of log2(Y) against log2(N). */
double Slope(const std::vector<int64_t>& N, const std::vector<double>& Y) {
  double Sx = 0, Sy = 0, Sxx = 0, Sxy = 0, K = 0;
  for (size_t I = 0; I < N.size() && I < Y.size(); I++) {
    if (Y[I] <= 0) continue;
    double X = std::log2(double(N[I])), V = std::log2(Y[I]);
    Sx += X, Sy += V, Sxx += X * X, Sxy += X * V, K++;
  }
  return K < 2 ? NAN : (K * Sxy - Sx * Sy) / (K * Sxx - Sx * Sx);
}

void Regime(const char* Title, const std::vector<int64_t>& Sizes, int64_t Items_Per_Timing, int Rounds, char* Block) {
  for (int Order : {Order_Random, Order_Ascending, Order_Descending, Order_Equal}) {
    std::printf("\n%s, %s order: ns per item\n%9s", Title, Order_Name[Order], "n");
    for (const Candidate& C : Candidates) std::printf(" %11s", C.Name);
    std::printf("\n");
    std::vector<double> Times[Number_Of_Candidates];
    std::vector<int64_t> Timed[Number_Of_Candidates];
    for (int64_t N : Sizes) {
      std::printf("%9lld", static_cast<long long>(N));
      int64_t Lists = std::max<int64_t>(1, Items_Per_Timing / N);
      for (int C = 0; C < Number_Of_Candidates; C++) {
        if (N > Candidates[C].Most_Items) {
          std::printf(" %11s", "-");
          continue;
        }
        Times[C].push_back(Per_Item(Candidates[C], Order, N, Lists, Rounds, Block));
        Timed[C].push_back(N);
        std::printf(" %11.2f", Times[C].back());
      }
      std::printf("\n");
      std::fflush(stdout);
    }
    /* Against a reference, at the sizes both were timed. */
    auto Against = [&](int C, int Reference) {
      std::vector<double> Ratio;
      for (size_t I = 0; I < Times[C].size(); I++) Ratio.push_back(Times[C][I] / Times[Reference][I]);
      return Slope(Timed[C], Ratio);
    };
    const char* Row[] = {"slope raw", "vs merge", "vs walk"};
    for (int R = 0; R < 3; R++) {
      std::printf("%-9s", Row[R]);
      for (int C = 0; C < Number_Of_Candidates; C++)
        std::printf(" %11.3f", R == 0 ? Slope(Timed[C], Times[C]) : Against(C, R == 1 ? Merge : Walk_At));
      std::printf("\n");
    }
  }
}

/* The verdict's own slope (Judge_Growth_Per_Item) of every candidate on
** every order in the caches, Repeats times with the lists sorted back to
** back and as many times with a fence between them, and the range each
** came to: the numbers the bands are drawn from. */
void Bands(int Rounds, int Repeats, char* Block) {
  std::vector<int64_t> Sizes;
  for (int64_t N = 64; N <= 1024; N *= 2) Sizes.push_back(N), Sizes.push_back(N * 3 / 2);
  Sizes.pop_back();
  double Low[2][Number_Of_Candidates][Number_Of_Orders], High[2][Number_Of_Candidates][Number_Of_Orders];
  for (int F = 0; F < 2; F++)
    for (int C = 0; C < Number_Of_Candidates; C++)
      for (int O = 0; O < Number_Of_Orders; O++) Low[F][C][O] = 1e9, High[F][C][O] = -1e9;
  for (int Repeat = 0; Repeat < Repeats; Repeat++)
    for (int F = 0; F < 2; F++) {
      Fence = F == 1;
      for (int C = 0; C < Number_Of_Candidates; C++)
        for (int O = 0; O < Number_Of_Orders; O++) {
          std::vector<Growth_Point> Points;
          for (int64_t N : Sizes)
            Points.push_back({N, Per_Item(Candidates[C], O, N, std::max<int64_t>(1, 16384 / N), Rounds, Block), 0});
          double Slope_Read = Judge_Growth_Per_Item(Points).Slope;
          Low[F][C][O] = std::min(Low[F][C][O], Slope_Read), High[F][C][O] = std::max(High[F][C][O], Slope_Read);
        }
      std::fprintf(stderr, "repeat %d of %d, %s\n", Repeat + 1, Repeats, Fence ? "fenced" : "back to back");
    }
  std::printf("The verdict's slope in the caches, lowest .. highest of %d repeats: back to back | fenced\n", Repeats);
  for (int C = 0; C < Number_Of_Candidates; C++)
    for (int O = 0; O < Number_Of_Orders; O++)
      std::printf("%-12s %-13s %6.3f .. %6.3f | %6.3f .. %6.3f\n", Candidates[C].Name, Order_Name[O], Low[0][C][O],
                  High[0][C][O], Low[1][C][O], High[1][C][O]);
}

}  // namespace

int main(int Argc, char** Argv) {
  int64_t Largest = Argc > 1 ? std::atoll(Argv[1]) : 1048576;
  int Rounds = Argc > 2 ? std::atoi(Argv[2]) : 5;
  Fence = Argc > 3 && std::string(Argv[3]) == "fence";
  int Repeats = Argc > 4 ? std::atoi(Argv[4]) : 0;
  if (Largest < 8192 || Rounds < 1) {
    std::fprintf(stderr, "usage: growth_regimes [LARGEST >= 8192] [ROUNDS >= 1]\n");
    return 2;
  }
  std::vector<int64_t> Series, In_Cache;
  for (int64_t N = 1024; N <= Largest; N *= 2) Series.push_back(N);
  for (int64_t N = 64; N <= 1024; N *= 2) In_Cache.push_back(N), In_Cache.push_back(N * 3 / 2);
  In_Cache.pop_back();
  const int64_t In_Cache_Items = 16384;
  std::vector<char> Block(size_t(std::max(Largest, In_Cache_Items + 1024)) * Node_Slot_Bytes);
  if (Repeats > 0) {
    Bands(Rounds, Repeats, Block.data());
    return 0;
  }
  std::printf("Slopes of log2(ns per item) against log2(n): N about 0, N log N about 0.15 .. 0.2, N^2 about 1.\n");
  Regime("in cache", In_Cache, In_Cache_Items, Rounds, Block.data());
  Regime("series", Series, 0, Rounds, Block.data());
  return 0;
}
