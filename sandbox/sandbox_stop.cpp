/*
** sandbox_stop.cpp
** A tool told to stop (Ctrl-C, SIGTERM, SIGHUP) while runs go on: the
** signal must not kill the tool before its runs and their folders are
** gone, so one thread takes it, has the tool end the runs and clean up,
** and then ends the process as the signal would have, so that a shell or
** a parent sees the real cause.
*/
#include <csignal>
#include <thread>
#include <utility>

#include <pthread.h>
#include <unistd.h>

#include "sandbox/sandbox.h"

namespace {

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

}  // namespace

void Sandbox_Stop_On_Signals(std::function<void()> Stop) {
  sigset_t Set = Stop_Signals();
  pthread_sigmask(SIG_BLOCK, &Set, nullptr);
  std::thread(Watch_For_Stop, std::move(Stop)).detach();
}
