/* Sleeps an hour: for a run, for ever. */
#include <unistd.h>

int main(void) {
  sleep(3600);
  return 0;
}
