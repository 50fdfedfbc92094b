/*
** uniform.cpp
** Park-Miller "minimal standard" generator: multiplier 16807, modulus
** 2^31 - 1.
**
** Why this generator and this arithmetic: a day of customers must be
** reproducible byte for byte from its seed on any machine and with any
** compiler. The step uses Schrage's decomposition, so every product and
** difference stays inside 32-bit signed arithmetic (no overflow, no
** 64-bit intermediate, nothing implementation-defined), and the result
** is the exact value of 16807 * s mod (2^31 - 1). The division that
** turns the state into a draw is one IEEE double division, which is
** correctly rounded everywhere.
**
** The state is seeded lazily at the first draw and then advanced once
** without output (a warm-up step), so the first value for seed s0 is
** step(step(s0)) / (2^31 - 1).
*/
#include "workload_maker/uniform.h"

#include <cmath>
#include <ctime>

int32_t Initial_Seed = 0;

namespace {

Random_Stream Process_Stream = {0, 0, 0};

constexpr int32_t Multiplier = Park_Miller_Multiplier;
constexpr int32_t Modulus = Park_Miller_Modulus;
constexpr int32_t Schrage_Quotient = Modulus / Multiplier;   /* 127773 */
constexpr int32_t Schrage_Remainder = Modulus % Multiplier;  /* 2836 */

}  // namespace

int32_t Park_Miller_Step(int32_t State) {
  int32_t Hi = State / Schrage_Quotient;
  int32_t Lo = State % Schrage_Quotient;
  /* Lo and Hi share the sign of State, so the two terms have opposite
  ** signs and their difference cannot overflow. */
  int32_t T = Multiplier * Lo - Schrage_Remainder * Hi;
  /* Zero too: that keeps 2^31 - 1 a fixed point and the state non-zero. */
  if (T <= 0) T += Modulus;
  return T;
}

void Seed_Stream(Random_Stream* S) {
  S->Seed_Set = 1;
  /* A seed of 0 asks for an unrepeatable day: the clock's seconds, taken
  ** modulo 2^32 as a signed 32-bit value. */
  S->Seed = S->Initial_Seed != 0 ? S->Initial_Seed : static_cast<int32_t>(std::time(nullptr));
  S->Seed = Park_Miller_Step(S->Seed);
}

double Uniform(Random_Stream* S) {
  if (S->Seed_Set == 0) Seed_Stream(S);
  S->Seed = Park_Miller_Step(S->Seed);
  return static_cast<double>(S->Seed) / Modulus;
}

int32_t Expo(Random_Stream* S, float Mean) {
  double U = Uniform(S);
  double V = -std::log(U) * static_cast<double>(Mean);
  return static_cast<int32_t>(V);
}

/* The process-wide stream takes Initial_Seed as it stands at its first draw. */
double Uniform() {
  if (Process_Stream.Seed_Set == 0) Process_Stream.Initial_Seed = Initial_Seed;
  return Uniform(&Process_Stream);
}

int32_t Expo(float Mean) {
  if (Process_Stream.Seed_Set == 0) Process_Stream.Initial_Seed = Initial_Seed;
  return Expo(&Process_Stream, Mean);
}
