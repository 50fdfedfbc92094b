/*
** fast_draws.cpp
** The exponential draw as a table look-up.
**
** Expo(s) = (int32_t)(-log(s / M) * mean) with M = 2^31 - 1 falls as the
** state s grows: it is k exactly for the states from Threshold[k + 1] up
** to Threshold[k] - 1, where Threshold[k] is the least state whose value
** is below k. The thresholds are found once by bisection over the states
** with the exact function. A look-up first reads, from the state's
** leading bits, the largest value any state of its bucket can take, then
** steps down past the thresholds the state is not below: one or two
** comparisons, made without branches. That this equals the exact draw rests on the exact draw
** never rising with the state, and on a bucket's draws spanning at most
** two values; bench/fast_draws_proof checks the two agree on every state.
*/
#include "workload_maker/fast_draws.h"

#include <cmath>
#include <mutex>
#include <vector>

Expo_Table Expo_Tables[Expo_Means];

const uint32_t Jump[State_Batch_Size] = {16807u,      282475249u, 1622650073u, 984943658u,
                                         1144108930u, 470211272u, 101027544u,  1457850878u};

namespace {

constexpr int32_t Modulus = Park_Miller_Modulus;
constexpr int Bucket_Bits = 8;  // of the state below its leading one, as Expo_Bucket takes them
constexpr int Buckets = 32 << Bucket_Bits;

/* The tables' storage; Expo_Tables points into it. */
std::vector<uint32_t> Thresholds[Expo_Means];
std::vector<uint16_t> Highests[Expo_Means];
std::once_flag Built;

int32_t Exact_Expo(int32_t State, float Mean) {
  double U = static_cast<double>(State) / Modulus;
  return static_cast<int32_t>(-std::log(U) * static_cast<double>(Mean));
}

/* The least state of a bucket that is a state at all (1 .. Modulus). */
int64_t Least_State_Of(int Bucket) {
  int Place = Bucket >> Bucket_Bits;
  uint32_t Below = static_cast<uint32_t>(Bucket) & ((1u << Bucket_Bits) - 1);
  return Place >= Bucket_Bits ? (int64_t{1} << Place) | (int64_t{Below} << (Place - Bucket_Bits))
                              : (int64_t{1} << Place) | (int64_t{Below} >> (Bucket_Bits - Place));
}

void Build_Table(int M) {
  float Mean = Expo_Mean[M];
  std::vector<uint32_t>& Threshold = Thresholds[M];
  int32_t Largest = Exact_Expo(1, Mean);
  Threshold.assign(static_cast<size_t>(Largest) + 2, UINT32_MAX);
  for (int32_t K = 1; K <= Largest + 1; K++) {
    /* The least state whose value is below K: bisection over the states. */
    int64_t Low = 1, High = Modulus;  // Exact_Expo(Modulus) == 0 < K
    while (Low < High) {
      int64_t Middle = Low + (High - Low) / 2;
      if (Exact_Expo(static_cast<int32_t>(Middle), Mean) < K) High = Middle;
      else Low = Middle + 1;
    }
    Threshold[static_cast<size_t>(K)] = static_cast<uint32_t>(Low);
  }
  std::vector<uint16_t>& Highest = Highests[M];
  Highest.assign(Buckets, 0);
  for (int B = 0; B < Buckets; B++) {
    int64_t Least = Least_State_Of(B);
    if (Least >= 1 && Least <= Modulus && Expo_Bucket(static_cast<uint32_t>(Least)) == B)
      Highest[static_cast<size_t>(B)] = static_cast<uint16_t>(Exact_Expo(static_cast<int32_t>(Least), Mean));
  }
  Expo_Tables[M] = Expo_Table{Threshold.data(), Highest.data()};
}

}  // namespace

void Build_Expo_Tables() {
  std::call_once(Built, [] {
    for (int M = 0; M < Expo_Means; M++) Build_Table(M);
  });
}
