/*
** stash.h
** Hostile routines break the harness's contract on purpose, dropping
** nodes from the list or adding their own. They keep every such node in
** this global stash, so the leak checkers (valgrind, LeakSanitizer) see
** them as still reachable and any leak they report is the harness's own.
*/
#ifndef STASH_H
#define STASH_H

#include "sort_bench.h"

/* External, not static: a static array that is never read could be
** optimised away, and the nodes with it. Each program includes this
** header once. */
SL_Node* Stash[256];
int Stashed;

static inline void Keep(SL_Node* Node) {
  if (Stashed < 256) Stash[Stashed++] = Node;
}

#endif
