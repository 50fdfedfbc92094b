/* Starts up to 2,000 processes that each sleep 30 s, named
** zor_hostile_kid so that a test can look for any left behind. */
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "sort_bench.h"

void Sort_Singly_Linked_List(SL_Node** Head, int32_t K, int32_t X) {
  (void)Head;
  (void)K;
  (void)X;
  for (int Kid = 0; Kid < 2000; Kid++) {
    pid_t Started = fork();
    if (Started == 0) {
      prctl(PR_SET_NAME, "zor_hostile_kid");
      sleep(30);
      _exit(0);
    }
    if (Started < 0) {
      perror("fork");
      exit(1);
    }
  }
}
