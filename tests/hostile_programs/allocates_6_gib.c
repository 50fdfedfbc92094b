/* Takes 6 GiB of memory, 64 MiB at a time, touching every page so that
** it is really used; run one at a time, so that a limit that fails
** cannot take the machine's memory. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(void) {
  const size_t Chunk = (size_t)64 << 20;
  for (int Taken = 0; Taken < 6 * 16; Taken++) {
    char* Block = malloc(Chunk);
    if (Block == NULL) {
      perror("malloc");
      return 1;
    }
    memset(Block, 1, Chunk);
  }
  return 0;
}
