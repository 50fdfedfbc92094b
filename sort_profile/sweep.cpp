/*
** sweep.cpp
** The timing of one K and X for the sweep. The child inherits the laid-out
** list (its first reset copies the pages, outside the timed region),
** times each sort, checks the list, and sends each time through a pipe;
** the parent kills it when a sort outlasts the budget.
*/
#include "sweep.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <vector>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

static double CPU_Seconds() {
  timespec Now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Now);
  return double(Now.tv_sec) + double(Now.tv_nsec) * 1e-9;
}

double Time_One_Sort(Laid_Out_List& L, int32_t K, int32_t X) {
  Reset_List(L);
  double Start = CPU_Seconds();
  Sort_Singly_Linked_List(&L.Head, K, X);
  return CPU_Seconds() - Start;
}

/* Whether the list holds its items in ascending order, all of them. */
static bool Ascends_Whole(const Laid_Out_List& L) {
  size_t Count = 0;
  for (const SL_Node* Node = L.Head; Node != nullptr && Count <= L.Nodes.size(); Node = Node->Next, Count++)
    if (Node->Next != nullptr && Node->Next->Item < Node->Item) return false;
  return Count == L.Nodes.size();
}

Pair_Timing Time_Pair(Laid_Out_List& L, int32_t K, int32_t X, int32_t Repeats, double Budget) {
  Pair_Timing Result{0, false, true};
  int Pipe[2];
  if (pipe(Pipe) != 0) return Result;
  pid_t Pid = fork();
  if (Pid < 0) return Result;
  if (Pid == 0) {
    close(Pipe[0]);
    Reset_List(L);
    for (int32_t R = 0; R < Repeats; R++) {
      double Took = Time_One_Sort(L, K, X);
      /* The same list each time: once judged, judged for every repeat. */
      if (R == 0 && !Ascends_Whole(L)) Took = -1;
      if (write(Pipe[1], &Took, sizeof Took) != sizeof Took || Took < 0) break;
    }
    _exit(0);
  }
  close(Pipe[1]);
  std::vector<double> Times;
  /* The budget is CPU time; the wait is wall time, with room for the
  ** reset, the check and a machine that is busy with something else. */
  const auto Patience = std::chrono::duration<double>(Budget + 0.5);
  auto Deadline = std::chrono::steady_clock::now() + Patience;
  bool Wrong = false, Slow = false;
  for (;;) {
    auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
    if (Left.count() <= 0) {
      Slow = true;
      break;
    }
    pollfd Wait{Pipe[0], POLLIN, 0};
    int Ready = poll(&Wait, 1, static_cast<int>(Left.count()));
    if (Ready < 0 && errno != EINTR) break;
    if (Ready <= 0) continue;
    double Took;
    if (read(Pipe[0], &Took, sizeof Took) != sizeof Took) break;
    if (Took < 0) {
      Wrong = true;
      break;
    }
    if (Took > Budget) {
      Slow = true;
      break;
    }
    Times.push_back(Took);
    Deadline = std::chrono::steady_clock::now() + Patience;
  }
  close(Pipe[0]);
  kill(Pid, SIGKILL);
  while (waitpid(Pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  Result.Slow = Slow;
  Result.Wrong = Wrong || (!Slow && Times.size() < static_cast<size_t>(Repeats));
  if (!Result.Slow && !Result.Wrong) {
    std::nth_element(Times.begin(), Times.begin() + Times.size() / 2, Times.end());
    Result.Median = Times[Times.size() / 2];
  }
  return Result;
}
