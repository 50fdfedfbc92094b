/* Fills its folder with names rather than bytes: its marker (named by its
** argument), then up to 20,000 files of one byte, each under any file
** limit, every tenth a hard link to the first, as a program that would
** use up the disk's inodes; then sleeps, so that only a watch of its
** folder ends it before its wall time. Bounded: 20,000 names, under
** 100 MiB in blocks, two minutes' sleep. */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  int Marker = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (Marker < 0 || write(Marker, "x", 1) != 1 || close(Marker) != 0) return 1;
  char Name[32];
  for (int File = 0; File < 20000; File++) {
    snprintf(Name, sizeof Name, "f%05d", File);
    if (File % 10 == 9) {
      if (link(argv[1], Name) != 0) return 1;
      continue;
    }
    int Out = open(Name, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (Out < 0 || write(Out, "x", 1) != 1 || close(Out) != 0) return 1;
  }
  for (int Second = 0; Second < 120; Second++) sleep(1);
  return 0;
}
