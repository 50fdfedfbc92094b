/* Ignores the signals that ask a program to stop, and sleeps an hour. */
#include <signal.h>
#include <unistd.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)Head;
  (void)K;
  (void)X;
  signal(SIGTERM, SIG_IGN);
  signal(SIGINT, SIG_IGN);
  signal(SIGHUP, SIG_IGN);
  for (int Minute = 0; Minute < 60; Minute++) sleep(60);
}
