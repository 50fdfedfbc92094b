/*
** fast_draws.h
** The generator's draws, bit for bit, at a fraction of the cost: for
** programs that draw many days (zor_study, the simulator checker).
**
** Park_Miller_Step_64 gives the step's exact value with one 64-bit
** product and a Mersenne fold instead of Schrage's two divisions, and a
** State_Batch takes eight steps at once with the powers of the multiplier.
** Expo_From_State gives (int32_t)(-log(s / (2^31 - 1)) * mean) for each of
** the generator's seven means by a table look-up: the result only changes
** at a few thousand states per mean, found once with the very same log.
** bench/fast_draws_proof checks all three against the originals for
** every one of the 2^31 - 1 states.
*/
#pragma once

#include <cstdint>

#include "workload_maker/uniform.h"

/* The same as Park_Miller_Step for every State in 1 .. 2^31 - 1. */
inline int32_t Park_Miller_Step_64(int32_t State) {
  uint64_t Product = static_cast<uint64_t>(State) * static_cast<uint64_t>(Park_Miller_Multiplier);
  uint64_t Folded = (Product & 0x7FFFFFFFu) + (Product >> 31);
  /* A second fold maps 2^31 - 1 .. 2^32 - 2 down; 2^31 - 1 itself stays,
  ** as Schrage's step keeps it (it is the only state that steps to 0 mod
  ** the modulus). */
  return static_cast<int32_t>((Folded & 0x7FFFFFFFu) + (Folded >> 31));
}

/* The means the generator draws with, in seconds. */
inline constexpr int Expo_Means = 7;
inline constexpr float Expo_Mean[Expo_Means] = {75, 100, 150, 200, 240, 300, 360};

/* Builds the tables (a few milliseconds, with the C library's log); safe
** to call from several threads, and only the first call works. */
void Build_Expo_Tables();

/* The tables, read by the inline look-up below. For each mean: the least
** state whose value is below k, for k from 1; and per bucket of states
** (its leading one's place and the 8 bits after it) the largest value in
** the bucket. */
struct Expo_Table {
  const uint32_t* Threshold;  // [0] lies above every state
  const uint16_t* Highest;
};
extern Expo_Table Expo_Tables[Expo_Means];

inline int Expo_Bucket(uint32_t State) {
  int Place = 31 - __builtin_clz(State);
  uint32_t Below = Place >= 8 ? (State >> (Place - 8)) & 0xFFu : (State << (8 - Place)) & 0xFFu;
  return (Place << 8) | static_cast<int>(Below);
}

/* Expo of a draw at state State (1 .. 2^31 - 1) for Expo_Mean[Which].
** A bucket spans at most 1/256 of its states' value, so its states' draws
** lie within two whole seconds of each other: two steps down, each taken
** or not without a branch, reach any of them. */
inline int32_t Expo_From_State(int Which, int32_t State) {
  const Expo_Table& T = Expo_Tables[Which];
  uint32_t S = static_cast<uint32_t>(State);
  int32_t K = T.Highest[Expo_Bucket(S)];
  K -= S >= T.Threshold[K];
  K -= S >= T.Threshold[K];
  return K;
}

/* 16807^k mod (2^31 - 1) for k = 1 .. State_Batch_Size: the k-th state
** after s is Jump[k - 1] * s mod (2^31 - 1), exactly. */
inline constexpr int State_Batch_Size = 8;
extern const uint32_t Jump[State_Batch_Size];

/* (Factor * State) mod (2^31 - 1) by the same fold as Park_Miller_Step_64. */
inline int32_t Multiply_Mod(uint32_t Factor, int32_t State) {
  uint64_t Product = static_cast<uint64_t>(State) * Factor;
  uint64_t Folded = (Product & 0x7FFFFFFFu) + (Product >> 31);
  return static_cast<int32_t>((Folded & 0x7FFFFFFFu) + (Folded >> 31));
}

/* A stream's next states, computed a batch at a time from the last one:
** the eight products do not wait on one another as eight steps would.
** Each state taken is also written back into the stream, which so
** advances exactly as Uniform and Expo advance it. */
struct State_Batch {
  Random_Stream* Stream;
  int32_t State[State_Batch_Size];
  int Used;
};

/* Seeds the stream as its first draw would and starts an empty batch. */
inline State_Batch Start_Batch(Random_Stream* Stream) {
  if (Stream->Seed_Set == 0) Seed_Stream(Stream);
  return State_Batch{Stream, {}, State_Batch_Size};
}

inline int32_t Next_State(State_Batch* B) {
  if (B->Used == State_Batch_Size) {
    int32_t Last = B->Stream->Seed;
    for (int K = 0; K < State_Batch_Size; K++) B->State[K] = Multiply_Mod(Jump[K], Last);
    B->Used = 0;
  }
  return B->Stream->Seed = B->State[B->Used++];
}

inline double Uniform_Fast(State_Batch* B) { return static_cast<double>(Next_State(B)) / Park_Miller_Modulus; }

inline int32_t Expo_Fast(State_Batch* B, int Which) { return Expo_From_State(Which, Next_State(B)); }
