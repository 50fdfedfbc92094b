/*
** uniform.h
** The workload generator's single random stream: the Park-Miller
** minimal standard generator and an exponential transform on top of it.
*/
#pragma once

#include <cstdint>

/* One stream's state. A stream is seeded lazily at its first draw from
** its Initial_Seed (0 takes the clock's seconds), so a day drawn from
** Random_Stream{S} is the day workload_maker writes for seed S. A program
** that draws many days holds one stream per day, each thread its own. */
struct Random_Stream {
  int32_t Initial_Seed;
  int32_t Seed;
  int32_t Seed_Set;  // 0 until the first draw
};

/* The seed the user entered: 0 takes the seed from the clock at the
** first draw. Must be final before the first call of Uniform or Expo. */
extern int32_t Initial_Seed;

/* The generator's multiplier and its prime modulus, 2^31 - 1. */
inline constexpr int32_t Park_Miller_Multiplier = 16807;
inline constexpr int32_t Park_Miller_Modulus = 2147483647;

/* One step of the state: 16807 * State mod (2^31 - 1), by Schrage's
** method. Any 32-bit State gives a result in 1 .. 2147483647. */
int32_t Park_Miller_Step(int32_t State);

/* Seeds a stream that has not drawn yet, as its first draw does: from
** Initial_Seed (or the clock, for 0), then one warm-up step. */
void Seed_Stream(Random_Stream* Stream);

/* The next draw, in (0, 1]. */
double Uniform(Random_Stream* Stream);

/* An exponentially distributed whole number of seconds with the given
** mean, truncated toward zero; consumes exactly one draw. */
int32_t Expo(Random_Stream* Stream, float Mean);

/* The same, from the one process-wide stream seeded by Initial_Seed. */
double Uniform();
int32_t Expo(float Mean);
