/*
** zor_assert.h
** Stated preconditions, checked where a broken one is cheap to find: in
** the sanitizer and fuzz builds (ZOR_CHECK_ASSUMPTIONS), a broken one
** aborts with its text, file and line, so the tests and the fuzzers
** check every contract a comment states; in the builds users run, they
** cost nothing.
**
**   ZOR_ASSERT(X)  X holds whenever the caller keeps its side of the
**                  contract. Never put work with an effect inside X.
**   ZOR_NEVER(X)   X cannot be true, but the code copes if it is: the
**                  macro yields X, so `if (ZOR_NEVER(Size > Most)) return
**                  false;` is a safe exit in a build users run and a loud
**                  one in a checked build.
*/
#pragma once

#ifdef ZOR_CHECK_ASSUMPTIONS

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void Zor_Assumption_Broken(const char* What, const char* File, int Line) {
  std::fprintf(stderr, "%s:%d: assumption broken: %s\n", File, Line, What);
  std::abort();
}

#define ZOR_ASSERT(X) ((X) ? (void)0 : Zor_Assumption_Broken(#X, __FILE__, __LINE__))
#define ZOR_NEVER(X) ((X) ? (Zor_Assumption_Broken("never " #X, __FILE__, __LINE__), true) : false)

#else

/* Not evaluated, but still compiled, so a check cannot rot unseen. */
#define ZOR_ASSERT(X) ((void)sizeof((X) ? 1 : 0))
#define ZOR_NEVER(X) (static_cast<bool>(X))

#endif
