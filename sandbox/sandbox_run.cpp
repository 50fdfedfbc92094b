/*
** sandbox_run.cpp
** One run, start to end: a slot taken (sandbox_slots.cpp), the run
** planned and its pipes made, fork (the child's side is in
** sandbox_child.cpp), the watch until it ends (sandbox_watch.cpp), then
** the child reaped, the run measured and its ending classified. Whatever
** ends the run, everything it started is killed and reaped before
** Run_Contained returns. Runs happen on several threads at once: every
** descriptor opened here is close-on-exec.
*/
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

/* The file-size limit holds the results (92 bytes a customer) and the
** trace of the largest day a simulator takes, 1,000,000 customers; the
** folder holds both, beside the copy of the program's folder (at most
** 64 MiB and 2,000 entries), and a build's output: a Go build cache is
** a few hundred files, a Java build a class file per class. */
Sandbox_Limits Default_Sandbox_Limits() {
  return Sandbox_Limits{10, 30, int64_t(1) << 30, 64, int64_t(512) << 20, 256, int64_t(16) << 20, 0,
                        int64_t(1) << 30, 20000};
}

namespace {

using Clock = std::chrono::steady_clock;

bool Make_Pipes(Pipes& Mine, Child_Plan& Theirs, std::string* Problem) {
  int Ends[5][2];
  int Made = 0;
  for (; Made < 5; Made++)
    if (pipe2(Ends[Made], O_CLOEXEC) != 0) break;
  if (Made < 5) {
    *Problem = std::string("cannot make a pipe: ") + std::strerror(errno);
    for (int I = 0; I < Made; I++) close(Ends[I][0]), close(Ends[I][1]);
    return false;
  }
  /* A tool started with its standard input, output or error closed gets
  ** pipes there; moved above them and bubblewrap's status descriptor (3),
  ** no end is the very descriptor the child's dup2 must fill (which would
  ** then keep close-on-exec, or lose what it held). */
  std::vector<int> Low;
  bool Moved = true;
  for (auto& Pair : Ends)
    for (int& End : Pair)
      if (End <= 3) {
        Low.push_back(End), End = fcntl(End, F_DUPFD_CLOEXEC, 4);
        Moved = Moved && End >= 0;
      }
  for (int End : Low) close(End);
  if (!Moved) {
    *Problem = std::string("cannot move a pipe above the standard descriptors: ") + std::strerror(errno);
    for (auto& Pair : Ends)
      for (int End : Pair)
        if (End >= 0) close(End);
    return false;
  }
  Mine = Pipes{Ends[0][1], Ends[1][0], Ends[2][0], Ends[3][0], Ends[4][0]};
  Theirs.In = Ends[0][0], Theirs.Out = Ends[1][1], Theirs.Err = Ends[2][1], Theirs.Exec_Error = Ends[3][1];
  /* Only bubblewrap is given the status pipe; elsewhere it is closed unused. */
  if (Theirs.Box_Status) Theirs.Info = Ends[4][1];
  else close(Ends[4][1]);
  for (int Fd : {Mine.In, Mine.Out, Mine.Err, Mine.Status}) fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) | O_NONBLOCK);
  return true;
}

std::string First_Line_Of(const std::string& Text) { return Text.substr(0, Text.find('\n')); }

/* Whether bubblewrap said that the program it started has ended: it says
** so only of a program it ran, never when it failed to make the box or
** to start the program. What a run said on standard error is then the
** program's, whatever its words. A run in a kept box entered a box made
** before it, and fails to enter it through Exec_Error alone. */
bool Program_Ran(const Watch& W) {
  if (W.Request->Kept_Box >= 0) return true;
  std::string Status;
  char Buffer[512];
  for (ssize_t Got; Status.size() < 65536 && (Got = read(W.P.Status, Buffer, sizeof Buffer)) != 0;) {
    if (Got < 0 && errno == EINTR) continue;
    if (Got < 0) break;
    Status.append(Buffer, static_cast<size_t>(Got));
  }
  return Status.find("\"exit-code\"") != std::string::npos;
}

/* Without a cgroup nothing counts a run's memory: a program refused
** memory by its data limit fails, and says so in its runtime's words. */
bool Says_Out_Of_Memory(const std::string& Errors) {
  for (const char* Words : {"Cannot allocate memory", "std::bad_alloc", "OutOfMemoryError", "MemoryError",
                            "out of memory", "Out of memory"})
    if (Errors.find(Words) != std::string::npos) return true;
  return false;
}

/* What ended a run that was not ended from here. */
void Classify(Watch& W, int Status, const Child_Failure& Not_Started, bool Out_Of_Memory, bool Refused_Processes) {
  Sandbox_Result& R = W.Result;
  const Sandbox_Limits& L = W.Request->Limits;
  if (Not_Started.Errno != 0) {
    R.Ending = Sandbox_Not_Started;
    R.Detail = "cannot run " + W.Request->Command[0] + ": " + std::strerror(Not_Started.Errno);
    if (Not_Started.Step > Step_Exec && Not_Started.Step < Child_Steps)
      R.Detail += std::string(" (while ") + Child_Step_Name[Not_Started.Step] + ")";
    return;
  }
  if (W.Ended_By_Us) return;
  int Signal = WIFSIGNALED(Status) ? WTERMSIG(Status) : 0, Code = WIFEXITED(Status) ? WEXITSTATUS(Status) : 0;
  if (Sandbox().Boxed && Signal == 0) {
    /* bubblewrap's own failures are one line of its own, status 1, before
    ** any program ran: a program that says its words has failed, not the
    ** box. It passes on a program's death by signal N as the shell does,
    ** 128 + N. */
    if (Code == 1 && !Program_Ran(W) && R.Err.rfind("bwrap: ", 0) == 0) {
      R.Ending = Sandbox_Not_Started;
      R.Detail = First_Line_Of(R.Err);
      return;
    }
    if (Code > 128 && Code < 128 + NSIG) Signal = Code - 128, Code = 0;
  }
  R.Signal = Signal, R.Status = Code;
  R.Processes_Refused = Refused_Processes;
  /* A run that filled its folder between two looks and ended is judged
  ** on what it left, however it ended: whatever it did next followed from
  ** the disk it took. */
  Folder_Past Past = Folder_Capped(L) ? Measure_Run_Folder(W.Request->Folder, L).Past : Folder_Within;
  if (Past != Folder_Within) {
    R.Ending = Sandbox_Folder_Limit, R.Detail = Folder_Past_Words(Past, L);
    return;
  }
  bool Failed = Signal != 0 || Code != 0;
  bool Cpu_Spent = R.Cpu_Seconds >= 0 ? R.Cpu_Seconds >= L.Cpu_Seconds : R.Wall_Seconds >= std::ceil(L.Cpu_Seconds);
  std::string Outside = Failed && Sandbox().Boxed ? Line_Reaching_Outside(R.Err, W.Request->Folder) : "";
  if (!Sandbox().Cgroup && Sandbox().Mode != Sandbox_Off && L.Memory_Bytes > 0 && Failed && Says_Out_Of_Memory(R.Err))
    Out_Of_Memory = true;
  if (Out_Of_Memory && Failed) R.Ending = Sandbox_Memory_Limit;
  else if (L.Cpu_Seconds > 0 && (Signal == SIGXCPU || (Signal == SIGKILL && Cpu_Spent))) R.Ending = Sandbox_Cpu_Limit;
  else if (Signal == SIGXFSZ) R.Ending = Sandbox_File_Limit;
  /* A failure that names a path outside the folder says what the program
  ** tried; a process refused on its way out (a leak checker forks at
  ** exit) follows from it, so the reach is named first. */
  else if (!Outside.empty()) R.Ending = Sandbox_Reached_Outside, R.Detail = Outside;
  else if (Refused_Processes && Failed) R.Ending = Sandbox_Process_Limit;
  else R.Ending = Signal != 0 ? Sandbox_Killed : Sandbox_Exited;
}

/* Waits for the child, kills what it left, and measures the run. */
void Finish_Run(Watch& W, int* Status, bool* Out_Of_Memory, bool* Refused_Processes, const Cgroup_Marks& Marks) {
  /* Ended but not yet reaped, the child still holds its id and that of
  ** its process group, so neither can be another's yet: what it left in
  ** the group is killed now, and only then is it reaped. */
  siginfo_t Ended{};
  while (waitid(P_PID, static_cast<id_t>(W.Child), &Ended, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
  }
  kill(-W.Child, SIGKILL);
  Take_Child_Off(W.Slot);
  rusage Usage{};
  while (wait4(W.Child, Status, 0, &Usage) < 0 && errno == EINTR) {
  }
  W.Result.Wall_Seconds = std::chrono::duration<double>(Clock::now() - W.Started).count();
  if (Sandbox().Cgroup) {
    Cgroup_Empty(W.Slot);
    Cgroup_Results(W.Slot, Marks, &W.Result, Out_Of_Memory, Refused_Processes);
  } else {
    /* The child's own accounting and that of the processes it reaped:
    ** the program's and its children's, or the whole box's (the reaper
    ** reaped it all). */
    W.Result.Cpu_Seconds = static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
                           static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
    W.Result.Peak_Memory_Bytes = static_cast<int64_t>(Usage.ru_maxrss) * 1024;
  }
  Drain(W);
}

}  // namespace

Sandbox_Result Run_Contained(const Sandbox_Request& R) {
  Sandbox_Result Refused;
  bool Kept = R.Kept_Box >= 0;
  int Slot = R.Command.empty() || (Kept && Sandbox_Stopping()) ? -1 : Kept ? Kept_Slot(R.Kept_Box) : Take_Slot();
  if (Slot < 0) {
    Refused.Detail = R.Command.empty() ? "nothing to run"
                     : Sandbox_Stopping() ? "the tool is stopping"
                     : Kept            ? "no such kept box"
                                       : "too many runs at once";
    return Refused;
  }
  Watch W;
  W.Request = &R, W.Slot = Slot;
  Child_Plan P;
  Cgroup_Marks Marks;
  std::string Problem;
  if (!Plan_Run(R, Slot, P, Marks, &Problem) || !Make_Pipes(W.P, P, &Problem)) {
    if (!P.Copies_Folder.empty()) Remove_Tree(P.Copies_Folder);
    if (!Kept) Give_Back_Slot(Slot);
    Refused.Detail = Problem;
    return Refused;
  }
  P.Parent = getpid();
  /* The pipe is known by its inode, to see the program wait on it; a pipe
  ** that cannot be looked at leaves 0, which names no pipe, so a program
  ** is then never taken for one waiting. */
  struct stat Input_Status;
  W.Input_Pipe = fstat(P.In, &Input_Status) == 0 ? Input_Status.st_ino : 0;
  /* A program that closes its input early raises SIGPIPE at our next
  ** write: held here, in this thread, and taken back (Feed_Input). */
  sigset_t Pipe_Signal, Before;
  sigemptyset(&Pipe_Signal);
  sigaddset(&Pipe_Signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &Pipe_Signal, &Before);
  W.Started = W.Last_Heard = W.Last_Waiting = Clock::now();
  pid_t Child = fork();
  if (Child == 0) {
    if (Sandbox().Boxed || P.Uid != 0) Become_Reaper(P);
    Become_Child(P, P.Parent);
  }
  int Fork_Errno = errno;
  for (int Fd : {P.In, P.Out, P.Err, P.Exec_Error, P.Info})
    if (Fd >= 0) close(Fd);
  int Status = 0;
  Child_Failure Failed{0, Step_Exec};
  bool Out_Of_Memory = false, Refused_Processes = false;
  if (Child > 0) {
    setpgid(Child, Child);  // also here, so that the group exists before any kill
    Register_Child(Slot, Child);
    W.Child = Child;
    W.Exited = static_cast<int>(syscall(SYS_pidfd_open, Child, 0));
    Watch_Run(W);
    Finish_Run(W, &Status, &Out_Of_Memory, &Refused_Processes, Marks);
    if (read(W.P.Exec_Error, &Failed, sizeof Failed) != sizeof Failed) Failed = Child_Failure{0, Step_Exec};
    Classify(W, Status, Failed, Out_Of_Memory, Refused_Processes);
  } else {
    W.Result.Detail = std::string("cannot start a process: ") + std::strerror(Fork_Errno);
  }
  for (int* Fd : {&W.P.In, &W.P.Out, &W.P.Err, &W.P.Exec_Error, &W.P.Status, &W.Exited}) Close(*Fd);
  /* Without a box, the reaper ended the user's processes; this holds
  ** even where the reaper itself was killed. */
  if (!Sandbox().Boxed && P.Uid != 0) End_Processes_Of(P.Uid);
  if (!P.Copies_Folder.empty()) Remove_Tree(P.Copies_Folder);
  pthread_sigmask(SIG_SETMASK, &Before, nullptr);
  if (!Kept) Give_Back_Slot(Slot);
  return W.Result;
}
