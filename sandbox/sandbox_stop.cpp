/*
** sandbox_stop.cpp
** A tool told to stop (Ctrl-C, SIGTERM, SIGHUP) while runs go on: the
** signal must not kill the tool before its runs and their folders are
** gone, so one thread takes it, has the tool end the runs and clean up,
** and then ends the process as the signal would have, so that a shell or
** a parent sees the real cause.
*/
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <utility>

#include <pthread.h>
#include <unistd.h>

#include "sandbox/sandbox.h"

namespace {

/* Set before the tool's Stop runs: from then on what a run says was said
** because the stop ended it. */
std::atomic<bool> Stop_Begun{false};

/* The signals that stop a tool; one it was started ignoring (nohup's
** SIGHUP) stays ignored. */
sigset_t Stop_Signals() {
  sigset_t Set;
  sigemptyset(&Set);
  for (int Signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction Now;
    if (sigaction(Signal, nullptr, &Now) == 0 && Now.sa_handler != SIG_IGN) sigaddset(&Set, Signal);
  }
  return Set;
}

void Watch_For_Stop(std::function<void()> Stop) {
  sigset_t Set = Stop_Signals();
  int Signal = 0;
  if (sigwait(&Set, &Signal) != 0) return;
  Stop_Begun.store(true);
  Stop();
  Sandbox_Finish();
  /* Raised here, where it is let through: a handler the tool set (one
  ** that removes an unfinished file) runs and ends the process; without
  ** one, the default ends it. */
  pthread_sigmask(SIG_UNBLOCK, &Set, nullptr);
  raise(Signal);
  std::signal(Signal, SIG_DFL);
  raise(Signal);
  _exit(128 + Signal);
}

/* A thread that would leave main or call exit while the stop is under way
** waits here instead: the process must end by the signal, not with a
** status that a stopped run made up. */
extern "C" void Wait_At_Exit() { Sandbox_Wait_If_Stopped(); }

}  // namespace

bool Sandbox_Stop_Begun() { return Stop_Begun.load(); }

void Sandbox_Wait_If_Stopped() {
  while (Stop_Begun.load()) pause();
}

void Sandbox_Stop_On_Signals(std::function<void()> Stop) {
  sigset_t Set = Stop_Signals();
  pthread_sigmask(SIG_BLOCK, &Set, nullptr);
  std::atexit(Wait_At_Exit);
  std::thread(Watch_For_Stop, std::move(Stop)).detach();
}
