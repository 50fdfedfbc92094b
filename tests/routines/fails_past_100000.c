/* Correct on every list the correctness phase tries (at most 100,000
** items), then fails on a longer one, as a routine that overflows a
** fixed buffer might: only the timing meets it. Built three times: it
** crashes, with LOOP_PAST_100000 it never returns, and with
** SLEEP_PAST_100000 it sleeps an hour. The example merge sort is linked
** in as Merge_Sort_Example for the lists it sorts right. */
#include <stdlib.h>
#include <unistd.h>

#include "sort_bench.h"

void Merge_Sort_Example(SL_Node** Head, int32_t K, int32_t X);

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  long Length = 0;
  for (const SL_Node* Node = *Head; Node != NULL; Node = Node->Next) Length++;
  if (Length > 100000) {
#if defined(LOOP_PAST_100000)
    for (volatile int Forever = 1; Forever;) {
    }
#elif defined(SLEEP_PAST_100000)
    sleep(3600);
#else
    abort();
#endif
  }
  Merge_Sort_Example(Head, K, X);
}
