/*
** fast_draws_proof.cpp
** Proves the fast draws equal to the generator's own on every state:
** for each of the 2^31 - 1 states s, Park_Miller_Step_64(s) equals
** Park_Miller_Step(s), each jump of a State_Batch (Jump[k - 1] * s mod
** 2^31 - 1) equals k steps, and for each of the seven means Expo_From_State
** equals (int32_t)(-log(s / (2^31 - 1)) * mean) with the C library's log,
** as Expo computes it. The first difference, if any, is printed and the
** status is 1. A few minutes on two cores; run it by hand after any
** change to fast_draws.cpp or to the C library:
**
**   cmake --build build-release --target fast_draws_proof && build-release/bench/fast_draws_proof [THREADS]
*/
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "workload_maker/fast_draws.h"

namespace {

constexpr int64_t Modulus = 2147483647;

struct Tally {
  int64_t Checked = 0;
  int64_t First_Wrong = -1;  // the least state where anything differs
};

Tally Check_Range(int64_t From, int64_t To) {
  Tally T;
  for (int64_t S = From; S < To; S++) {
    int32_t State = static_cast<int32_t>(S);
    bool Same = Park_Miller_Step_64(State) == Park_Miller_Step(State);
    for (int32_t K = 0, Stepped = State; K < State_Batch_Size; K++)
      Same &= Multiply_Mod(Jump[K], State) == (Stepped = Park_Miller_Step(Stepped));
    double Minus_Log = -std::log(static_cast<double>(State) / Modulus);
    for (int M = 0; M < Expo_Means; M++)
      Same &= Expo_From_State(M, State) == static_cast<int32_t>(Minus_Log * static_cast<double>(Expo_Mean[M]));
    T.Checked++;
    if (!Same) {
      T.First_Wrong = S;
      break;
    }
  }
  return T;
}

}  // namespace

int main(int Argc, char** Argv) {
  int Threads = Argc > 1 ? std::atoi(Argv[1]) : static_cast<int>(std::thread::hardware_concurrency());
  if (Threads < 1) Threads = 1;
  auto Started = std::chrono::steady_clock::now();
  Build_Expo_Tables();
  constexpr int64_t Chunk = 1 << 24;
  std::atomic<int64_t> Next{1};
  std::vector<Tally> Found(static_cast<size_t>(Threads));
  std::vector<std::thread> Pool;
  for (int T = 0; T < Threads; T++)
    Pool.emplace_back([&, T] {
      for (int64_t From; (From = Next.fetch_add(Chunk)) <= Modulus;) {
        Tally Part = Check_Range(From, std::min(From + Chunk, Modulus + 1));
        Found[static_cast<size_t>(T)].Checked += Part.Checked;
        if (Part.First_Wrong >= 0 && (Found[size_t(T)].First_Wrong < 0 || Part.First_Wrong < Found[size_t(T)].First_Wrong))
          Found[static_cast<size_t>(T)].First_Wrong = Part.First_Wrong;
      }
    });
  for (std::thread& T : Pool) T.join();
  int64_t Checked = 0, Wrong = -1;
  for (const Tally& T : Found) {
    Checked += T.Checked;
    if (T.First_Wrong >= 0 && (Wrong < 0 || T.First_Wrong < Wrong)) Wrong = T.First_Wrong;
  }
  double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
  if (Wrong >= 0) {
    int32_t S = static_cast<int32_t>(Wrong);
    std::printf("DIFFERENT at state %" PRId64 ": step %d (fast %d)", Wrong, Park_Miller_Step(S), Park_Miller_Step_64(S));
    for (int M = 0; M < Expo_Means; M++)
      std::printf("; mean %g: %d (fast %d)", double(Expo_Mean[M]),
                  static_cast<int32_t>(-std::log(double(S) / Modulus) * double(Expo_Mean[M])), Expo_From_State(M, S));
    std::printf("\n");
    return 1;
  }
  std::printf("equal on all %" PRId64 " states (1 .. 2147483647): the 64-bit step, the jumps of 1 .. 8 steps, and "
              "the exponential draw for means 75, 100, 150, 200, 240, 300 and 360; %.0f s on %d threads\n",
              Checked, Seconds, Threads);
  return Checked == Modulus ? 0 : 1;
}
