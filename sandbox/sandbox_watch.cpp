/*
** sandbox_watch.cpp
** Watching one run until it ends: standard input fed, standard output and
** error drained and counted (and standard output passed on as it comes,
** for a run that reports as it works), the wall clock, the silence, the
** cgroup's CPU time, what its folder holds, and a reader waiting for
** input that will never come; a run over a limit is ended from here.
** Once the child has ended, what is still in its pipes is drained. Runs
** happen on several threads at once: nothing here is shared between two
** runs.
*/
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace {

using Clock = std::chrono::steady_clock;

/* How often a run is looked at while nothing happens on its pipes: for
** the cgroup's CPU time, a reader waiting for input, the silence and the
** caller's progress. */
constexpr int Tick_Milliseconds = 25;
constexpr auto Waiting_Every = std::chrono::seconds(1);
/* A look at the folder of a run that filled it takes time of the tool's:
** the next look waits this many times as long, so that the watch spends
** about a tenth of its time looking. */
constexpr int Folder_Look_Spacing = 10;
/* A program is not taken for waiting on its input before this. */
constexpr auto Settle = std::chrono::milliseconds(50);

/* Keeps the last Most bytes of a stream. */
void Keep(std::string& Kept, const char* Bytes, size_t Count, size_t Most) {
  if (Most == 0) return;
  Kept.append(Bytes, Count);
  if (Most != SIZE_MAX && Kept.size() > 2 * Most) Kept.erase(0, Kept.size() - Most);
}

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

void End_Early(Watch& W, Sandbox_Ending Ending) {
  W.Result.Ending = Ending;
  W.Ended_By_Us = true;
  End_Child(W.Child, false);
}

/* Measures the run's folder when its time has come; true if the run was
** ended for what the folder holds. */
bool Look_At_Folder(Watch& W, Clock::time_point Now) {
  const Sandbox_Limits& L = W.Request->Limits;
  if (!Folder_Capped(L) || Now < W.Next_Folder_Look) return false;
  Folder_Use Use = Measure_Run_Folder(W.Request->Folder, L);
  auto Took = Clock::now() - Now;
  W.Next_Folder_Look = Now + std::max<Clock::duration>(std::chrono::milliseconds(Tick_Milliseconds),
                                                      Folder_Look_Spacing * Took);
  if (Use.Past == Folder_Within) return false;
  W.Result.Detail = Folder_Past_Words(Use.Past, L);
  End_Early(W, Sandbox_Folder_Limit);
  return true;
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
  /* Whether or not its pipes are busy: a program that writes files and
  ** prints all the while must not keep its folder from being looked at. */
  if (Look_At_Folder(W, Now)) return;
  if (W.Request->Waiting && Now - W.Last_Waiting >= Waiting_Every) {
    W.Last_Waiting = Now;
    W.Request->Waiting(std::chrono::duration<double>(Now - W.Started).count());
  }
  if (!Idle) return;
  if (Sandbox().Cgroup && L.Cpu_Seconds > 0 && Cgroup_Cpu_Seconds(W.Slot) >= L.Cpu_Seconds)
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
  if (Sandbox().Cgroup || W.Request->Input_Stays_Open || L.Silence_Seconds > 0 || W.Request->Waiting || W.Exited < 0 ||
      Folder_Capped(L))
    Wait = std::min<long long>(Wait, Tick_Milliseconds);
  return static_cast<int>(Wait);
}

}  // namespace

void Close(int& Fd) {
  if (Fd >= 0) close(Fd);
  Fd = -1;
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
