/*
** quick_sort.cpp
** Quicksort with a median-of-three pivot value. Any correct ascending
** sort gives the same file; this one is kept for its small, bounded
** recursion on the at most 336 arrival instants of a day.
*/
#include "workload_maker/quick_sort.h"

#include <utility>

namespace {

int32_t Median_Of_Three(int32_t A, int32_t B, int32_t C) {
  if (A > B) std::swap(A, B);
  if (B > C) std::swap(B, C);
  return A > B ? A : B;
}

}  // namespace

void Quick_Sort(int32_t Values[], int32_t Left, int32_t Right) {
  if (Left == 0 || Left >= Right) return;
  int32_t Mid = Left + (Right - Left) / 2;
  int32_t Pivot = Median_Of_Three(Values[Left], Values[Mid], Values[Right]);
  int32_t I = Left;
  int32_t J = Right;
  for (;;) {
    while (Values[I] < Pivot) I++;
    while (Values[J] > Pivot) J--;
    if (I > J) break;
    std::swap(Values[I], Values[J]);
    I++;
    J--;
    if (I > J) break;
  }
  if (Left < J) Quick_Sort(Values, Left, J);
  if (I < Right) Quick_Sort(Values, I, Right);
}
