/* Leaves a grandchild in a session of its own, out of its process
** group, named zor_hostile_kid: it sleeps 30 s and then leaves a marker
** named argv[2] in the folder argv[1]. The run itself exits as soon as
** the grandchild has named itself, so that the escape is there to be
** seen (or stopped) however the machine schedules the three. */
#include <stdio.h>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  int Named[2];
  if (pipe(Named) != 0) return 2;
  if (fork() == 0) {
    setsid();
    if (fork() == 0) {
      prctl(PR_SET_NAME, "zor_hostile_kid");
      if (write(Named[1], "k", 1) != 1) _exit(1);
      close(Named[1]);
      sleep(30);
      char Path[4096];
      snprintf(Path, sizeof Path, "%s/%s", argv[1], argv[2]);
      FILE* Marker = fopen(Path, "w");
      if (Marker != NULL) fclose(Marker);
    }
    _exit(0);
  }
  /* One byte, or the end of the pipe once both children are gone. */
  close(Named[1]);
  char Byte;
  if (read(Named[0], &Byte, 1) < 0) return 2;
  return 0;
}
