/*
** unfinished_file.cpp
** Removing a half-written file on failure and on the signals that end a
** run from outside.
*/
#include "common/unfinished_file.h"

#include <atomic>
#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace {

/* Read by the signal handler: a lock-free atomic is safe there. */
std::atomic<const char*> Unfinished{nullptr};
std::atomic<int> Unfinished_Descriptor{-1};
static_assert(std::atomic<const char*>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler reads them");

const int Ending_Signals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void Remove_And_Die(int Signal) {
  const char* Name = Unfinished.exchange(nullptr);
  if (Name != nullptr) unlink(Name);
  int Descriptor = Unfinished_Descriptor.exchange(-1);
  if (Descriptor >= 0 && ftruncate(Descriptor, 0) != 0) {
  }
  /* End as the signal would have ended the process, so that a shell or
  ** a parent sees the real cause. */
  std::signal(Signal, SIG_DFL);
  raise(Signal);
}

void Catch_Ending_Signals() {
  static bool Installed = false;
  if (Installed) return;
  Installed = true;
  for (int Signal : Ending_Signals) {
    struct sigaction Action {};
    sigaction(Signal, nullptr, &Action);
    /* A signal the caller chose to ignore (nohup) stays ignored. */
    if (Action.sa_handler == SIG_IGN) continue;
    Action.sa_handler = Remove_And_Die;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = 0;
    sigaction(Signal, &Action, nullptr);
  }
}

}  // namespace

void Begin_Unfinished_File(const char* Name) {
  Catch_Ending_Signals();
  Unfinished.store(Name);
}

void Begin_Unfinished_Contents(int Descriptor) {
  Catch_Ending_Signals();
  Unfinished_Descriptor.store(Descriptor);
}

void Finish_Unfinished_File() {
  Unfinished.store(nullptr);
  Unfinished_Descriptor.store(-1);
}

void Remove_Unfinished_File() {
  const char* Name = Unfinished.exchange(nullptr);
  if (Name != nullptr) std::remove(Name);
}
