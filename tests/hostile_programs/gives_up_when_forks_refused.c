/* Starts up to 2,000 processes that each sleep 30 s, as forks_2000 does,
** but where a fork is refused it stops, and ends with status 0 having
** written nothing: the refused processes are the cause to name. */
#include <stdio.h>
#include <sys/prctl.h>
#include <unistd.h>

int main(void) {
  for (int Kid = 0; Kid < 2000; Kid++) {
    pid_t Started = fork();
    if (Started == 0) {
      prctl(PR_SET_NAME, "zor_hostile_kid");
      sleep(30);
      _exit(0);
    }
    if (Started < 0) break;
  }
  return 0;
}
