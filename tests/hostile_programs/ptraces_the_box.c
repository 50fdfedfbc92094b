/*
** ptraces_the_box.c
** A simulator that tries to take hold of a process that is not its run's.
** A box kept for many runs keeps processes alive between them (bubblewrap's
** and the one that holds the box), outside any run's cgroup; a run that
** holds one by ptrace can make it run anything, beyond the run's limits of
** CPU time, memory and processes, and past the run's end. It tries each
** process it sees but itself, lets go of any it holds at once (it changes
** nothing), and says what it held: status 1 if it held one, 3 if none.
*/
#include <ctype.h>
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

int main(void) {
  DIR* Proc = opendir("/proc");
  if (Proc == NULL) {
    fputs("cannot list /proc\n", stderr);
    return 2;
  }
  int Seen = 0;
  for (struct dirent* Entry; Seen < 4096 && (Entry = readdir(Proc)) != NULL; Seen++) {
    if (!isdigit((unsigned char)Entry->d_name[0])) continue;
    pid_t Pid = (pid_t)atoi(Entry->d_name);
    if (Pid == getpid() || ptrace(PTRACE_ATTACH, Pid, NULL, NULL) != 0) continue;
    waitpid(Pid, NULL, __WALL);
    ptrace(PTRACE_DETACH, Pid, NULL, NULL);
    char Path[64], Name[64] = "?";
    snprintf(Path, sizeof Path, "/proc/%d/comm", (int)Pid);
    FILE* Comm = fopen(Path, "r");
    if (Comm != NULL && fgets(Name, sizeof Name, Comm) == NULL) Name[0] = '\0';
    if (Comm != NULL) fclose(Comm);
    for (char* End = Name; *End != '\0'; End++)
      if (*End == '\n') *End = '\0';
    fprintf(stderr, "held process %d (%.40s) by ptrace\n", (int)Pid, Name);
    closedir(Proc);
    return 1;
  }
  closedir(Proc);
  fputs("held no process but its own\n", stderr);
  return 3;
}
