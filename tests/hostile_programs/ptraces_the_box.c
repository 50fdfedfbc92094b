/* Attaches to every other process it can see, looking for one that
** outlives its run (a kept box's own processes), to inject code there.
** Attaching is all it does: it detaches at once. Exits 3 if it could
** attach to any, 4 if to none. */
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ptrace.h>
#include <unistd.h>

int main(void) {
  DIR* Proc = opendir("/proc");
  if (Proc == NULL) return 5;
  int Attached = 0;
  for (struct dirent* Entry; (Entry = readdir(Proc)) != NULL;) {
    int Pid = atoi(Entry->d_name);
    if (Pid <= 0 || Pid == getpid()) continue;
    if (ptrace(PTRACE_SEIZE, Pid, 0, 0) == 0) {
      fprintf(stderr, "attached to process %d\n", Pid);
      ptrace(PTRACE_DETACH, Pid, 0, 0);
      Attached = 1;
    }
  }
  closedir(Proc);
  return Attached ? 3 : 4;
}
