/* Replaces itself with the kit's reference simulator, by the absolute
** path it was built with (REFERENCE_SIMULATOR), as a routine that runs
** another program would. */
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)Head;
  (void)K;
  (void)X;
  execl(REFERENCE_SIMULATOR, REFERENCE_SIMULATOR, (char*)NULL);
  perror(REFERENCE_SIMULATOR);
  exit(1);
}
