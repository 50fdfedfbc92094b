/* Writes a 2 GiB file in its folder, 1 MiB at a time. */
#include <stdio.h>
#include <string.h>

int main(void) {
  static char Block[1 << 20];
  memset(Block, 'x', sizeof Block);
  FILE* Out = fopen("big", "wb");
  if (Out == NULL) return 1;
  for (int Written = 0; Written < 2048; Written++)
    if (fwrite(Block, 1, sizeof Block, Out) != sizeof Block) {
      perror("big");
      return 1;
    }
  return fclose(Out) == 0 ? 0 : 1;
}
