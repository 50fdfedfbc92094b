/* Ignores the signals that ask a program to stop, and sleeps an hour. */
#include <signal.h>
#include <unistd.h>

int main(void) {
  signal(SIGTERM, SIG_IGN);
  signal(SIGINT, SIG_IGN);
  signal(SIGHUP, SIG_IGN);
  for (int Minute = 0; Minute < 60; Minute++) sleep(60);
  return 0;
}
