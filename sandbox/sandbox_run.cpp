/*
** sandbox_run.cpp
** One run: fork (the child's side is in sandbox_child.cpp), then a watch
** until the run ends: standard input fed, standard output and error
** drained and counted (and standard output passed on as it comes, for a
** run that reports as it works), the wall clock, the silence, the
** cgroup's CPU time, and a reader waiting for input that will never come. Whatever ends the run,
** everything it started is killed and reaped before Run_Contained
** returns. Runs happen on several threads at once: every descriptor
** opened here is close-on-exec.
*/
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

Sandbox_State State;
std::atomic<bool> Taken[Sandbox_Slots];
std::atomic<pid_t> Children[Sandbox_Slots];
/* Held while a stop signals the registered children, and while a run
** takes its child off the register: a child is reaped only once it is
** off, so a stop never signals an id the system may since have given to
** another process. */
std::mutex Children_Lock;
std::atomic<bool> Stopping{false};

/* How often a run is looked at while nothing happens on its pipes: for
** the cgroup's CPU time, a reader waiting for input, the silence and the
** caller's progress. */
constexpr int Tick_Milliseconds = 25;
constexpr auto Waiting_Every = std::chrono::seconds(1);
/* A program is not taken for waiting on its input before this. */
constexpr auto Settle = std::chrono::milliseconds(50);

struct Pipes {
  int In = -1, Out = -1, Err = -1, Exec_Error = -1;
};

void Close(int& Fd) {
  if (Fd >= 0) close(Fd);
  Fd = -1;
}

/* Keeps the last Most bytes of a stream. */
void Keep(std::string& Kept, const char* Bytes, size_t Count, size_t Most) {
  if (Most == 0) return;
  Kept.append(Bytes, Count);
  if (Most != SIZE_MAX && Kept.size() > 2 * Most) Kept.erase(0, Kept.size() - Most);
}

/* The state of a run being watched. */
struct Watch {
  const Sandbox_Request* Request = nullptr;
  int Slot = -1;
  pid_t Child = 0;
  int Exited = -1;  // a pidfd of the child, readable once it has ended; -1 where there is none
  Pipes P;
  ino_t Input_Pipe = 0;
  size_t Input_Written = 0;
  int64_t Output_Total = 0;
  Clock::time_point Started, Last_Heard, Last_Waiting;  // Last_Heard: the last byte on standard output
  Sandbox_Result Result;
  bool Ended_By_Us = false;
};

bool Read_Some(Watch& W, int& Fd, bool Standard_Output) {
  char Buffer[65536];
  ssize_t Got = read(Fd, Buffer, sizeof Buffer);
  if (Got > 0) {
    if (Standard_Output) {
      Keep(W.Result.Out, Buffer, static_cast<size_t>(Got), W.Request->Kept_Out);
      W.Last_Heard = Clock::now();
      if (W.Request->Hear_Out) W.Request->Hear_Out(Buffer, static_cast<size_t>(Got));
    } else {
      Keep(W.Result.Err, Buffer, static_cast<size_t>(Got), W.Request->Kept_Err);
    }
    W.Output_Total += Got;
    return true;
  }
  if (Got == 0 || (errno != EAGAIN && errno != EINTR)) Close(Fd);
  return false;
}

void Feed_Input(Watch& W) {
  const std::string& Input = W.Request->Input;
  while (W.P.In >= 0 && W.Input_Written < Input.size()) {
    ssize_t Wrote = write(W.P.In, Input.data() + W.Input_Written, Input.size() - W.Input_Written);
    if (Wrote > 0) {
      W.Input_Written += static_cast<size_t>(Wrote);
    } else if (errno == EPIPE) {
      /* The program closed its input: the SIGPIPE this raised is blocked
      ** in this thread; take it back. */
      sigset_t Pipe;
      sigemptyset(&Pipe);
      sigaddset(&Pipe, SIGPIPE);
      timespec Now{0, 0};
      sigtimedwait(&Pipe, nullptr, &Now);
      Close(W.P.In);
    } else {
      return;  // full: the rest when the program has read some
    }
  }
  if (W.P.In >= 0 && W.Input_Written == Input.size() && !W.Request->Input_Stays_Open) Close(W.P.In);
}

/* Whether a process the run started sits in a read of its standard input,
** our pipe, with nothing left in it: then it waits for input that will
** never come. The run's processes are the child's descendants, found
** through /proc's parent links (in the box they are numbered apart, but
** /proc here shows them by this side's numbers). Where /proc cannot be
** read, such a program is caught by the wall-time limit instead. */
bool Waits_For_Input(const Watch& W) {
  int Unread = 0;
  if (W.P.In < 0 || ioctl(W.P.In, FIONREAD, &Unread) != 0 || Unread > 0) return false;
  std::vector<std::pair<pid_t, pid_t>> Parent_Of;  // (process, parent)
  std::error_code Error;
  for (const auto& Entry : std::filesystem::directory_iterator("/proc", Error)) {
    std::string Name = Entry.path().filename().string();
    if (Name.empty() || Name[0] < '0' || Name[0] > '9') continue;
    std::string Stat = Read_Small("/proc/" + Name + "/stat");
    size_t Close_Paren = Stat.rfind(')');
    char State_Letter = 0;
    long Parent = 0;
    if (Close_Paren != std::string::npos && std::sscanf(Stat.c_str() + Close_Paren + 1, " %c %ld", &State_Letter, &Parent) == 2)
      Parent_Of.push_back({static_cast<pid_t>(std::atol(Name.c_str())), static_cast<pid_t>(Parent)});
  }
  char Pipe_Name[64];
  std::snprintf(Pipe_Name, sizeof Pipe_Name, "pipe:[%lu]", static_cast<unsigned long>(W.Input_Pipe));
  std::vector<pid_t> Family = {W.Child};
  for (size_t At = 0; At < Family.size(); At++)
    for (const auto& [Process, Parent] : Parent_Of)
      if (Parent == Family[At]) Family.push_back(Process);
  for (pid_t Process : Family) {
    std::string Base = "/proc/" + std::to_string(Process);
    std::string Stat = Read_Small(Base + "/stat");
    size_t Close_Paren = Stat.rfind(')');
    char Link[128];
    ssize_t Length = readlink((Base + "/fd/0").c_str(), Link, sizeof Link - 1);
    if (Close_Paren == std::string::npos || Stat.size() < Close_Paren + 3 || Stat[Close_Paren + 2] != 'S' || Length <= 0)
      continue;
    Link[Length] = '\0';
    long Call = -1;
    unsigned long Descriptor = 1;
    if (std::strcmp(Link, Pipe_Name) == 0 &&
        std::sscanf(Read_Small(Base + "/syscall").c_str(), "%ld %lx", &Call, &Descriptor) == 2 && Call == SYS_read &&
        Descriptor == 0)
      return true;
  }
  return false;
}

/* Ends a run: a box, or a run as a user of its own, through its reaper,
** which then reaps it whole; a plain child with its process group. */
void End_Child(pid_t Child, bool Hard) {
  if ((State.Boxed || State.Own_Users) && !Hard) {
    kill(Child, SIGTERM);
  } else {
    kill(-Child, SIGKILL);
    kill(Child, SIGKILL);
  }
}

void End_Early(Watch& W, Sandbox_Ending Ending) {
  W.Result.Ending = Ending;
  W.Ended_By_Us = true;
  End_Child(W.Child, false);
}

/* Looks at the run: its clocks each time round, and when nothing
** happened on its pipes for a while (Idle), what costs a read or two. */
void Look_At(Watch& W, bool Idle) {
  const Sandbox_Limits& L = W.Request->Limits;
  auto Now = Clock::now();
  if (L.Wall_Seconds > 0 && Now - W.Started >= std::chrono::duration<double>(L.Wall_Seconds))
    return End_Early(W, Sandbox_Wall_Limit);
  if (L.Silence_Seconds > 0 && Now - W.Last_Heard >= std::chrono::duration<double>(L.Silence_Seconds))
    return End_Early(W, Sandbox_Silence_Limit);
  if (W.Request->Waiting && Now - W.Last_Waiting >= Waiting_Every) {
    W.Last_Waiting = Now;
    W.Request->Waiting(std::chrono::duration<double>(Now - W.Started).count());
  }
  if (!Idle) return;
  if (State.Cgroup && L.Cpu_Seconds > 0 && Cgroup_Cpu_Seconds(W.Slot) >= L.Cpu_Seconds)
    return End_Early(W, Sandbox_Cpu_Limit);
  if (W.Request->Input_Stays_Open && W.Input_Written == W.Request->Input.size() && Now - W.Started > Settle &&
      Waits_For_Input(W))
    return End_Early(W, Sandbox_Waiting_For_Input);
}

/* Whether the child has ended, left for Finish_Run to reap. Without a
** pidfd (a kernel before 5.3, or valgrind, which knows no pidfd_open)
** the child is asked each tick instead. */
bool Run_Has_Ended(const Watch& W) {
  if (W.Exited >= 0) {
    pollfd Ended{W.Exited, POLLIN, 0};
    return poll(&Ended, 1, 0) > 0;
  }
  siginfo_t Info{};
  return waitid(P_PID, static_cast<id_t>(W.Child), &Info, WEXITED | WNOHANG | WNOWAIT) == 0 && Info.si_pid != 0;
}

int Poll_Timeout(const Watch& W) {
  const Sandbox_Limits& L = W.Request->Limits;
  long long Wait = 3600 * 1000;
  if (L.Wall_Seconds > 0) {
    auto Left = W.Started + std::chrono::duration<double>(L.Wall_Seconds) - Clock::now();
    Wait = std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(Left).count() + 1);
  }
  if (State.Cgroup || W.Request->Input_Stays_Open || L.Silence_Seconds > 0 || W.Request->Waiting || W.Exited < 0)
    Wait = std::min<long long>(Wait, Tick_Milliseconds);
  return static_cast<int>(Wait);
}

/* Watches the run until it ends or is ended. */
void Watch_Run(Watch& W) {
  const Sandbox_Limits& L = W.Request->Limits;
  Feed_Input(W);
  while (!W.Ended_By_Us) {
    pollfd Fds[4];
    int Count = 0;
    if (W.Exited >= 0) Fds[Count++] = {W.Exited, POLLIN, 0};
    if (W.P.Out >= 0) Fds[Count++] = {W.P.Out, POLLIN, 0};
    if (W.P.Err >= 0) Fds[Count++] = {W.P.Err, POLLIN, 0};
    if (W.P.In >= 0 && W.Input_Written < W.Request->Input.size()) Fds[Count++] = {W.P.In, POLLOUT, 0};
    int Ready = poll(Fds, static_cast<nfds_t>(Count), Poll_Timeout(W));
    if (Ready < 0 && errno != EINTR) {
      W.Result.Detail = std::string("cannot watch the run: ") + std::strerror(errno);
      return End_Early(W, Sandbox_Not_Started);
    }
    bool Busy = false;
    if (W.P.Out >= 0) Busy |= Read_Some(W, W.P.Out, true);
    if (W.P.Err >= 0) Busy |= Read_Some(W, W.P.Err, false);
    if (L.Output_Bytes > 0 && W.Output_Total > L.Output_Bytes) return End_Early(W, Sandbox_Output_Limit);
    Feed_Input(W);
    if (Run_Has_Ended(W)) return;
    Look_At(W, !Busy || Ready == 0);
  }
}

/* After the child has ended: what is still in the pipes, until every
** writer is gone or for a moment at most (a process the run left behind
** outside any box may hold them open). */
void Drain(Watch& W) {
  auto Until = Clock::now() + std::chrono::seconds(2);
  while ((W.P.Out >= 0 || W.P.Err >= 0) && Clock::now() < Until) {
    pollfd Fds[2];
    int Count = 0;
    if (W.P.Out >= 0) Fds[Count++] = {W.P.Out, POLLIN, 0};
    if (W.P.Err >= 0) Fds[Count++] = {W.P.Err, POLLIN, 0};
    if (poll(Fds, static_cast<nfds_t>(Count), 100) <= 0) continue;
    if (W.P.Out >= 0) Read_Some(W, W.P.Out, true);
    if (W.P.Err >= 0) Read_Some(W, W.P.Err, false);
  }
  for (std::string* Kept : {&W.Result.Out, &W.Result.Err}) {
    size_t Most = Kept == &W.Result.Out ? W.Request->Kept_Out : W.Request->Kept_Err;
    if (Kept->size() > Most) Kept->erase(0, Kept->size() - Most);
  }
}

}  // namespace

Sandbox_State& Sandbox() { return State; }

/* The file-size limit holds the results (92 bytes a customer) and the
** trace of the largest day a simulator takes, 1,000,000 customers. */
Sandbox_Limits Default_Sandbox_Limits() {
  return Sandbox_Limits{10, 30, int64_t(1) << 30, 64, int64_t(512) << 20, 256, int64_t(16) << 20, 0};
}

bool Sandbox_Boxed() { return State.Boxed; }

bool Sandbox_Stopping() { return Stopping.load(); }

int Take_Slot() {
  if (Stopping.load()) return -1;
  for (int Slot = 0; Slot < Sandbox_Slots; Slot++) {
    bool Free = false;
    if (Taken[Slot].compare_exchange_strong(Free, true)) return Slot;
  }
  return -1;
}

void Give_Back_Slot(int Slot) {
  Children[Slot].store(0);
  Taken[Slot].store(false);
}

void Register_Child(int Slot, pid_t Child) { Children[Slot].store(Child); }

void Sandbox_Stop_All() {
  Stopping.store(true);
  for (int Round = 0; Round < 1000; Round++) {
    bool Any = false;
    {
      std::lock_guard<std::mutex> Hold(Children_Lock);
      for (int Slot = 0; Slot < Sandbox_Slots; Slot++) {
        if (!Taken[Slot].load()) continue;
        Any = true;
        pid_t Child = Children[Slot].load();
        if (Child > 0) End_Child(Child, Round >= 100);
      }
    }
    if (!Any) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

namespace {

bool Make_Pipes(Pipes& Mine, Child_Plan& Theirs, std::string* Problem) {
  int Ends[4][2];
  int Made = 0;
  for (; Made < 4; Made++)
    if (pipe2(Ends[Made], O_CLOEXEC) != 0) break;
  if (Made < 4) {
    *Problem = std::string("cannot make a pipe: ") + std::strerror(errno);
    for (int I = 0; I < Made; I++) close(Ends[I][0]), close(Ends[I][1]);
    return false;
  }
  /* A tool started with its standard input, output or error closed gets
  ** pipes there; moved above them, no end is the very descriptor the
  ** child's dup2 must fill (which would then keep close-on-exec). */
  std::vector<int> Low;
  bool Moved = true;
  for (auto& Pair : Ends)
    for (int& End : Pair)
      if (End < 3) {
        Low.push_back(End), End = fcntl(End, F_DUPFD_CLOEXEC, 3);
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
  Mine = Pipes{Ends[0][1], Ends[1][0], Ends[2][0], Ends[3][0]};
  Theirs.In = Ends[0][0], Theirs.Out = Ends[1][1], Theirs.Err = Ends[2][1], Theirs.Exec_Error = Ends[3][1];
  for (int Fd : {Mine.In, Mine.Out, Mine.Err}) fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) | O_NONBLOCK);
  return true;
}

std::string First_Line_Of(const std::string& Text) { return Text.substr(0, Text.find('\n')); }

/* Without a cgroup nothing counts a run's memory: a program refused
** memory by its data limit fails, and says so in its runtime's words. */
bool Says_Out_Of_Memory(const std::string& Errors) {
  for (const char* Words : {"Cannot allocate memory", "std::bad_alloc", "OutOfMemoryError", "MemoryError",
                            "out of memory", "Out of memory"})
    if (Errors.find(Words) != std::string::npos) return true;
  return false;
}

/* What ended a run that was not ended from here. */
void Classify(Watch& W, int Status, int Exec_Errno, bool Out_Of_Memory, bool Refused_Processes) {
  Sandbox_Result& R = W.Result;
  const Sandbox_Limits& L = W.Request->Limits;
  if (Exec_Errno != 0) {
    R.Ending = Sandbox_Not_Started;
    R.Detail = "cannot run " + W.Request->Command[0] + ": " + std::strerror(Exec_Errno);
    return;
  }
  if (W.Ended_By_Us) return;
  int Signal = WIFSIGNALED(Status) ? WTERMSIG(Status) : 0, Code = WIFEXITED(Status) ? WEXITSTATUS(Status) : 0;
  if (State.Boxed && Signal == 0) {
    /* bubblewrap's own failures are one line of its own, status 1; it
    ** passes on a program's death by signal N as the shell does, 128 + N. */
    if (Code == 1 && R.Err.rfind("bwrap: ", 0) == 0) {
      R.Ending = Sandbox_Not_Started;
      R.Detail = First_Line_Of(R.Err);
      return;
    }
    if (Code > 128 && Code < 128 + NSIG) Signal = Code - 128, Code = 0;
  }
  R.Signal = Signal, R.Status = Code;
  R.Processes_Refused = Refused_Processes;
  bool Failed = Signal != 0 || Code != 0;
  bool Cpu_Spent = R.Cpu_Seconds >= 0 ? R.Cpu_Seconds >= L.Cpu_Seconds : R.Wall_Seconds >= std::ceil(L.Cpu_Seconds);
  std::string Outside = Failed && State.Boxed ? Line_Reaching_Outside(R.Err, W.Request->Folder) : "";
  if (!State.Cgroup && State.Mode != Sandbox_Off && L.Memory_Bytes > 0 && Failed && Says_Out_Of_Memory(R.Err))
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
  {
    std::lock_guard<std::mutex> Hold(Children_Lock);
    Register_Child(W.Slot, 0);
  }
  rusage Usage{};
  while (wait4(W.Child, Status, 0, &Usage) < 0 && errno == EINTR) {
  }
  W.Result.Wall_Seconds = std::chrono::duration<double>(Clock::now() - W.Started).count();
  if (State.Cgroup) {
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
  int Slot = R.Command.empty() ? -1 : Take_Slot();
  if (Slot < 0) {
    Refused.Detail = R.Command.empty() ? "nothing to run" : Stopping.load() ? "the tool is stopping" : "too many runs at once";
    return Refused;
  }
  Watch W;
  W.Request = &R, W.Slot = Slot;
  Child_Plan P;
  Cgroup_Marks Marks;
  std::string Problem;
  if (!Plan_Run(R, Slot, P, Marks, &Problem) || !Make_Pipes(W.P, P, &Problem)) {
    if (!P.Copies_Folder.empty()) Remove_Tree(P.Copies_Folder);
    Give_Back_Slot(Slot);
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
    if (State.Boxed || P.Uid != 0) Become_Reaper(P);
    Become_Child(P, P.Parent);
  }
  int Fork_Errno = errno;
  for (int Fd : {P.In, P.Out, P.Err, P.Exec_Error}) close(Fd);
  int Status = 0, Exec_Errno = 0;
  bool Out_Of_Memory = false, Refused_Processes = false;
  if (Child > 0) {
    setpgid(Child, Child);  // also here, so that the group exists before any kill
    Register_Child(Slot, Child);
    W.Child = Child;
    W.Exited = static_cast<int>(syscall(SYS_pidfd_open, Child, 0));
    Watch_Run(W);
    Finish_Run(W, &Status, &Out_Of_Memory, &Refused_Processes, Marks);
    if (read(W.P.Exec_Error, &Exec_Errno, sizeof Exec_Errno) != sizeof Exec_Errno) Exec_Errno = 0;
    Classify(W, Status, Exec_Errno, Out_Of_Memory, Refused_Processes);
  } else {
    W.Result.Detail = std::string("cannot start a process: ") + std::strerror(Fork_Errno);
  }
  for (int* Fd : {&W.P.In, &W.P.Out, &W.P.Err, &W.P.Exec_Error, &W.Exited}) Close(*Fd);
  /* Without a box, the reaper ended the user's processes; this holds
  ** even where the reaper itself was killed. */
  if (!State.Boxed && P.Uid != 0) End_Processes_Of(P.Uid);
  if (!P.Copies_Folder.empty()) Remove_Tree(P.Copies_Folder);
  pthread_sigmask(SIG_SETMASK, &Before, nullptr);
  Give_Back_Slot(Slot);
  return W.Result;
}
