/*
** sweep.h
** Timing one K and X, where a very slow pair cannot hold up the sweep.
*/
#pragma once

#include <cstdint>

#include "profile_lists.h"

/* One sort of the list as laid out, in CPU seconds (the reset before it
** is not counted). */
double Time_One_Sort(Laid_Out_List& L, int32_t K, int32_t X);

struct Pair_Timing {
  double Median;  // seconds, when neither slow nor wrong
  bool Slow;      // one sort took longer than the budget, and the pair was stopped
  bool Wrong;     // a sort left the list unsorted, or the child crashed
};

/* Sorts the list Repeats times with K and X in a child process, resetting
** it before each sort and checking it after, and stops the child once a
** sort has run past Budget seconds. */
Pair_Timing Time_Pair(Laid_Out_List& L, int32_t K, int32_t X, int32_t Repeats, double Budget);
