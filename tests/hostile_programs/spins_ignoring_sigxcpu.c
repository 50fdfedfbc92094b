/* Ignores the signal of the CPU time limit and spins, up to about an
** hour of CPU time. */
#include <signal.h>

int main(void) {
  signal(SIGXCPU, SIG_IGN);
  volatile unsigned long long Turns = 0;
  while (Turns < 4000000000000ull) Turns++;
  return 0;
}
