/*
** child_run.cpp
** fork, a pipe of lines, a deadline, kill, waitpid.
*/
#include "sort_profile/child_run.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

void Send(int Out, const std::string& Line) {
  std::string Whole = Line + "\n";
  for (size_t Done = 0; Done < Whole.size();) {
    ssize_t Wrote = write(Out, Whole.data() + Done, Whole.size() - Done);
    if (Wrote < 0 && errno == EINTR) continue;
    if (Wrote <= 0) _exit(3);  // the parent has gone: nobody is left to tell
    Done += static_cast<size_t>(Wrote);
  }
}

}  // namespace

Child_Outcome Run_In_Child(const std::function<void(const std::function<void(const std::string&)>& Line)>& Work,
                           double Patience, const std::function<void(const std::string&)>& Heard,
                           const std::function<void(double Silent)>& Waiting) {
  Child_Outcome O{false, 0, 0, false, ""};
  int Pipe[2];
  if (pipe(Pipe) != 0) return O.Problem = std::string("cannot make a pipe: ") + std::strerror(errno), O;
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t Child = fork();
  if (Child < 0) {
    O.Problem = std::string("cannot start a child process: ") + std::strerror(errno);
    close(Pipe[0]), close(Pipe[1]);
    return O;
  }
  if (Child == 0) {
    close(Pipe[0]);
    int Out = Pipe[1];
    Work([Out](const std::string& Line) { Send(Out, Line); });
    std::fflush(stdout);
    /* No exit handlers: a routine that lost nodes must not have a leak
    ** checker speak for it; what the child had to say, it has said. */
    _exit(0);
  }
  close(Pipe[1]);

  std::string Pending;
  auto Deadline = Clock::now() + std::chrono::duration<double>(Patience);
  auto Last_Heard = Clock::now();
  bool Open = true;
  while (Open) {
    auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
    if (Left <= 0) {
      O.Timed_Out = true;
      break;
    }
    pollfd Watch{Pipe[0], POLLIN, 0};
    int Ready = poll(&Watch, 1, static_cast<int>(std::min<long long>(Left, 1000)));
    if (Ready < 0 && errno == EINTR) continue;
    if (Ready < 0) {
      O.Problem = std::string("cannot wait for the child: ") + std::strerror(errno);
      break;
    }
    if (Ready == 0) {
      if (Waiting) Waiting(std::chrono::duration<double>(Clock::now() - Last_Heard).count());
      continue;
    }
    char Buffer[4096];
    ssize_t Got = read(Pipe[0], Buffer, sizeof Buffer);
    if (Got < 0 && errno == EINTR) continue;
    if (Got <= 0) {
      Open = false;  // the child closed its end: it has ended, or is about to
      break;
    }
    Pending.append(Buffer, static_cast<size_t>(Got));
    for (size_t End; (End = Pending.find('\n')) != std::string::npos; Pending.erase(0, End + 1)) Heard(Pending.substr(0, End));
    Last_Heard = Clock::now();
    Deadline = Last_Heard + std::chrono::duration<double>(Patience);
  }
  close(Pipe[0]);
  /* A child that closed its end gets a moment to exit by itself; any
  ** other, and one that does not, is killed. Either way it is reaped. */
  int Status = 0;
  pid_t Done = 0;
  if (!Open && !O.Timed_Out && O.Problem.empty())
    for (int Tries = 0; Tries < 200 && (Done = waitpid(Child, &Status, WNOHANG)) == 0; Tries++) usleep(5000);
  if (Done != Child) {
    kill(Child, SIGKILL);
    while ((Done = waitpid(Child, &Status, 0)) < 0 && errno == EINTR) {
    }
  }
  if (Done == Child && WIFSIGNALED(Status) && !O.Timed_Out) O.Signal = WTERMSIG(Status);
  if (Done == Child && WIFEXITED(Status)) O.Exited = true, O.Status = WEXITSTATUS(Status);
  return O;
}

std::string Child_Fault(const Child_Outcome& O, double Patience) {
  char Text[200];
  if (!O.Problem.empty()) return O.Problem;
  if (O.Timed_Out) {
    std::snprintf(Text, sizeof Text, "did not return within %g s: an endless loop? (--time-limit sets the limit)",
                  Patience);
    return Text;
  }
  if (O.Signal != 0) {
    std::snprintf(Text, sizeof Text, "crashed: killed by signal %d (%s)", O.Signal, strsignal(O.Signal));
    return Text;
  }
  std::snprintf(Text, sizeof Text, "crashed: ended with status %d before the list could be judged",
                O.Exited ? O.Status : -1);
  return Text;
}
