/*
** correctness.h
** The correctness phase: the routine on lists of many sizes in many
** orders, smallest lists first, each sorted by the routine's worker and
** judged by the judge (profile_child.h).
*/
#pragma once

#include <cstdint>
#include <functional>
#include <cstdio>
#include <string>
#include <vector>

#include "sandbox/sandbox.h"
#include "sort_profile/profile_child.h"

struct Case_Result {
  bool Passed;
  std::string Fault;  // what is wrong and where, when it did not pass
  Fault_Kind Kind = Fault_Wrong_List;
};

/* Sorts a list of Size items in Order (Seed for the random ones) with
** K and X in the worker, and judges the list it leaves. The list's nodes
** are scattered in memory when Seed is Scattered_Seed and the order
** random, as a list relinked before is: a routine that leans on where
** its nodes lie fails there. A worker that crashes or meets one of
** Limits (its CPU time limit the case's, its wall-time limit far above
** it, for a routine asleep or blocked) fails the case, and is stopped.
** Waiting is called about once a second while the case runs, with the
** seconds it has taken so far. */
inline constexpr uint32_t Scattered_Seed = 3;

Case_Result Run_Case(Sort_Worker* W, int Order, int64_t Size, uint32_t Seed, int32_t K, int32_t X,
                     const Sandbox_Limits& Limits, const std::function<void(double Seconds)>& Waiting);

struct Correctness_Options {
  int32_t K, X;
  int64_t Max_Items;
  Sandbox_Limits Limits;  // of each case
  std::vector<int> Orders;
  std::string Keep_Failing;  // write the failing list's items here as a Raw file; empty for none
  /* Called once every case of up to 10,000 items has passed, before the
  ** larger ones (an N^2 routine's minute) or, when there are none, before
  ** the PASS line: where a run shows what it can tell in seconds. */
  std::function<void()> Before_Largest = nullptr;
};

/* What the phase came to: the cases run (a failing one included) and
** the first failure. */
struct Correctness_Result {
  bool Passed;
  int Cases;
  std::string Fault;
  Fault_Kind Kind = Fault_Wrong_List;  // when not passed
};

/* Every case, smallest lists first, every order at each size; prints
** PASS or the first FAIL to Out, and fills Result if given. False on a
** failure, or when the failing list could not be kept. */
bool Check_Correctness(const Correctness_Options& O, std::FILE* Out, Correctness_Result* Result = nullptr);
