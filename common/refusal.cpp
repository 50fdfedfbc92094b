/*
** refusal.cpp
** The one-line refusal with exit status 2.
*/
#include "common/refusal.h"

#include <cstdio>
#include <cstdlib>

void Refuse_And_Exit(const char* Program, const char* Message) {
  std::fprintf(stderr, "%s: ", Program);
  for (const char* C = Message; *C != '\0'; C++) std::fputc(*C == '\n' ? ' ' : *C, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::exit(2);
}
