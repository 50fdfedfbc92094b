/* Takes 6 GiB of memory, 64 MiB at a time, touching every page so that
** it is really used; the profiler stops at the first case that fails,
** so one child at a time does it. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)Head;
  (void)K;
  (void)X;
  const size_t Chunk = (size_t)64 << 20;
  for (int Taken = 0; Taken < 6 * 16; Taken++) {
    char* Block = malloc(Chunk);
    if (Block == NULL) {
      perror("malloc");
      exit(1);
    }
    memset(Block, 1, Chunk);
  }
}
