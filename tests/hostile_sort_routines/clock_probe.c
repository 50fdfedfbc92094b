/* Calls clock through <time.h>, as any user module would, and reports on
** standard error whether it saw the harness's CPU microseconds: a whole
** number of ticks, between two readings of times() around the call. The
** list is left as it is. */
#include <stdio.h>
#include <sys/times.h>
#include <time.h>
#include <unistd.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)Head;
  (void)K;
  (void)X;
  /* Spend some CPU time first, so the reading is not 0. */
  clock_t Start = clock();
  volatile unsigned long Spin = 0;
  while (clock() - Start < 30000) Spin++;

  long Tick = 1000000 / sysconf(_SC_CLK_TCK);
  struct tms Before, After;
  times(&Before);
  clock_t Seen = clock();
  times(&After);
  long long Low = (long long)(Before.tms_utime + Before.tms_stime) * Tick;
  long long High = (long long)(After.tms_utime + After.tms_stime) * Tick;
  if (Seen >= Low && Seen <= High && Seen % Tick == 0)
    fprintf(stderr, "clock matches times\n");
  else
    fprintf(stderr, "clock %ld outside %lld .. %lld\n", (long)Seen, Low, High);
}
