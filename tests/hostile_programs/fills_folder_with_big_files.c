/* Fills its folder with bytes, every file under the file-size limit: its
** marker (named by its argument), then up to 8 files of 8 MiB each, as
** a program that would use up the disk a few files at a time; then
** sleeps, so that only a watch of its folder ends it before its wall
** time. Bounded: 64 MiB in all, two minutes' sleep. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  int Marker = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (Marker < 0 || write(Marker, "x", 1) != 1 || close(Marker) != 0) return 1;
  static char Block[1 << 20];
  memset(Block, 'x', sizeof Block);
  char Name[32];
  for (int File = 0; File < 8; File++) {
    snprintf(Name, sizeof Name, "big%d", File);
    int Out = open(Name, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (Out < 0) return 1;
    for (int Written = 0; Written < 8; Written++)
      if (write(Out, Block, sizeof Block) != (ssize_t)sizeof Block) return 1;
    if (close(Out) != 0) return 1;
  }
  for (int Second = 0; Second < 120; Second++) sleep(1);
  return 0;
}
