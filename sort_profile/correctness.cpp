/*
** correctness.cpp
** Each case of the correctness phase runs in a child process of its own,
** so that a routine that crashes or never returns cannot take the
** profiler down: the child lays out the list, calls the routine, judges
** the list and writes the verdict into a pipe; the parent waits for it
** until the time limit and then kills the child.
*/
#include "correctness.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "profile_lists.h"

static void Child(int Out, int Order, int64_t Size, uint32_t Seed, int32_t K, int32_t X) {
  Laid_Out_List L = Lay_Out_List(Items_In_Order(Order, Size, Seed));
  Sort_Singly_Linked_List(&L.Head, K, X);
  std::string Verdict = "ok";
  std::string Fault = Check_List(L).Fault;
  if (!Fault.empty()) Verdict = Fault;
  if (write(Out, Verdict.data(), Verdict.size()) < 0) _exit(3);
  /* No exit handlers: a routine that lost nodes must not have the leak
  ** checker speak for it; the verdict already has. */
  _exit(0);
}

Case_Result Run_Case(int Order, int64_t Size, uint32_t Seed, int32_t K, int32_t X, double Time_Limit) {
  int Pipe[2];
  if (pipe(Pipe) != 0) return Case_Result{false, std::string("cannot make a pipe: ") + std::strerror(errno)};
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t Pid = fork();
  if (Pid < 0) return Case_Result{false, std::string("cannot start a child process: ") + std::strerror(errno)};
  if (Pid == 0) {
    close(Pipe[0]);
    Child(Pipe[1], Order, Size, Seed, K, X);
  }
  close(Pipe[1]);

  std::string Verdict;
  bool Timed_Out = false;
  auto Deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(Time_Limit);
  for (;;) {
    auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
    if (Left.count() <= 0) {
      Timed_Out = true;
      break;
    }
    pollfd Wait{Pipe[0], POLLIN, 0};
    int Ready = poll(&Wait, 1, static_cast<int>(std::min<long long>(Left.count(), 1000)));
    if (Ready < 0 && errno != EINTR) break;
    if (Ready <= 0) continue;
    char Buffer[512];
    ssize_t Got = read(Pipe[0], Buffer, sizeof Buffer);
    if (Got <= 0) break;
    Verdict.append(Buffer, static_cast<size_t>(Got));
  }
  close(Pipe[0]);
  if (Timed_Out) kill(Pid, SIGKILL);
  int Status = 0;
  while (waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {
  }

  char Text[200];
  if (Timed_Out) {
    std::snprintf(Text, sizeof Text, "did not return within %g s: an endless loop? (--time-limit sets the limit)",
                  Time_Limit);
    return Case_Result{false, Text};
  }
  if (WIFSIGNALED(Status)) {
    std::snprintf(Text, sizeof Text, "crashed: killed by signal %d (%s)", WTERMSIG(Status), strsignal(WTERMSIG(Status)));
    return Case_Result{false, Text};
  }
  if (Verdict == "ok") return Case_Result{true, ""};
  if (!Verdict.empty()) return Case_Result{false, Verdict};
  std::snprintf(Text, sizeof Text, "crashed: ended with status %d before the list could be judged",
                WIFEXITED(Status) ? WEXITSTATUS(Status) : -1);
  return Case_Result{false, Text};
}
