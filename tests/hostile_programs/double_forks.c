/* Leaves a grandchild in a session of its own, out of its process
** group, named zor_hostile_kid: it sleeps 30 s and then leaves a marker
** named argv[2] in the folder argv[1]. The run itself exits at once. */
#include <stdio.h>
#include <sys/prctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  if (fork() == 0) {
    setsid();
    if (fork() == 0) {
      prctl(PR_SET_NAME, "zor_hostile_kid");
      sleep(30);
      char Path[4096];
      snprintf(Path, sizeof Path, "%s/%s", argv[1], argv[2]);
      FILE* Marker = fopen(Path, "w");
      if (Marker != NULL) fclose(Marker);
    }
    _exit(0);
  }
  return 0;
}
