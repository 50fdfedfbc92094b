/*
** fuzz_check.h
** What every fuzz target shares: a property that must hold, checked in
** every build (a failed one aborts, which libFuzzer and the corpus
** replay both report as the input's fault), and bytes read as values.
*/
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

/* The entry point each target defines, called by libFuzzer or by the replay. */
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

#define FUZZ_HOLDS(Property)                                                                                 \
  do {                                                                                                       \
    if (!(Property)) {                                                                                       \
      std::fprintf(stderr, "%s:%d: the property %s does not hold\n", __FILE__, __LINE__, #Property);          \
      std::abort();                                                                                          \
    }                                                                                                        \
  } while (0)

/* Takes bytes from the front of the input, as a fuzz target consumes it. */
struct Fuzz_Input {
  const uint8_t* Data;
  size_t Size;
};

inline uint32_t Take_Number(Fuzz_Input& In, uint32_t Or) {
  if (In.Size < 4) return Or;
  uint32_t V;
  std::memcpy(&V, In.Data, 4);
  In.Data += 4, In.Size -= 4;
  return V;
}

/* A memory buffer as a stream, for readers that take a FILE*. */
inline std::FILE* Stream_Of(const uint8_t* Data, size_t Size, std::string& Keep) {
  Keep.assign(reinterpret_cast<const char*>(Data), Size);
  /* fmemopen refuses a zero-length buffer; an empty stream is /dev/null's. */
  return Size > 0 ? fmemopen(Keep.data(), Keep.size(), "rb") : std::fopen("/dev/null", "rb");
}
