/*
** correctness.h
** One correctness case of a sort routine, run where it cannot hurt.
*/
#pragma once

#include <cstdint>
#include <string>

struct Case_Result {
  bool Passed;
  std::string Fault;  // what is wrong and where, when it did not pass
};

/* Sorts a list of Size items in Order (Seed for the random ones) with
** K and X in a child process, and judges the list it leaves. A child
** that crashes, or has not finished after Time_Limit seconds (it is then
** killed), fails the case. */
Case_Result Run_Case(int Order, int64_t Size, uint32_t Seed, int32_t K, int32_t X, double Time_Limit);
