/*
** unfinished_file.cpp
** The table of half-written files, removed on failure, on an exit that
** did not finish them and on the signals that end a run from outside.
*/
#include "common/unfinished_file.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace {

/* A slot is taken by one writer, filled, and only then armed; the signal
** handler reads armed slots alone, so it never sees a name half copied.
** Lock-free atomics are safe to read in a handler. */
struct Unfinished_Slot {
  std::atomic<bool> Taken;
  std::atomic<bool> Armed;
  std::atomic<pid_t> Owner;
  std::atomic<int> Descriptor;  // -1 for a file removed by name
  char Name[4096];
};

Unfinished_Slot Table[Max_Unfinished_Files];
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free &&
                  std::atomic<pid_t>::is_always_lock_free,
              "the signal handler reads them");

const int Ending_Signals[] = {SIGINT, SIGTERM, SIGHUP};

/* Disarms the slot if it is armed and this process's; true if it was. */
bool Disarm(Unfinished_Slot& S, pid_t Self) {
  if (S.Owner.load() != Self) return false;
  bool Was = true;
  return S.Armed.compare_exchange_strong(Was, false);
}

void Release(Unfinished_Slot& S) {
  S.Descriptor.store(-1);
  S.Owner.store(0);
  S.Taken.store(false);
}

/* Only async-signal-safe calls: unlink, ftruncate, getpid. */
void End_Every_Slot(bool Empty_Contents) {
  pid_t Self = getpid();
  for (Unfinished_Slot& S : Table) {
    if (!Disarm(S, Self)) continue;
    int Descriptor = S.Descriptor.load();
    if (Descriptor < 0) unlink(S.Name);
    else if (Empty_Contents && ftruncate(Descriptor, 0) != 0) {
    }
    Release(S);
  }
}

extern "C" void Remove_And_Die(int Signal) {
  End_Every_Slot(true);
  /* End as the signal would have ended the process, so that a shell or
  ** a parent sees the real cause. */
  std::signal(Signal, SIG_DFL);
  raise(Signal);
}

extern "C" void Remove_At_Exit() { End_Every_Slot(false); }

void Catch_Endings() {
  static std::atomic<bool> Installed{false};
  if (Installed.exchange(true)) return;
  std::atexit(Remove_At_Exit);
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

bool Take_Unfinished_Slot(const char* Name, int Descriptor) {
  Catch_Endings();
  for (Unfinished_Slot& S : Table) {
    bool Free = false;
    if (!S.Taken.compare_exchange_strong(Free, true)) continue;
    std::snprintf(S.Name, sizeof S.Name, "%s", Name);
    S.Descriptor.store(Descriptor);
    S.Owner.store(getpid());
    S.Armed.store(true);
    return true;
  }
  return false;
}

/* The armed slot of this process for Name, or for Descriptor when Name is null. */
Unfinished_Slot* Find(const char* Name, int Descriptor) {
  pid_t Self = getpid();
  for (Unfinished_Slot& S : Table)
    if (S.Armed.load() && S.Owner.load() == Self &&
        (Name != nullptr ? S.Descriptor.load() < 0 && std::strcmp(S.Name, Name) == 0 : S.Descriptor.load() == Descriptor))
      return &S;
  return nullptr;
}

void Forget(const char* Name, int Descriptor, bool Remove) {
  Unfinished_Slot* S = Find(Name, Descriptor);
  if (S == nullptr || !Disarm(*S, getpid())) return;
  if (Remove) unlink(S->Name);
  Release(*S);
}

}  // namespace

bool Begin_Unfinished_File(const char* Name) {
  return std::strlen(Name) < sizeof Table[0].Name && Take_Unfinished_Slot(Name, -1);
}

bool Begin_Unfinished_Contents(int Descriptor) { return Descriptor >= 0 && Take_Unfinished_Slot("", Descriptor); }

void Finish_Unfinished_File(const char* Name) { Forget(Name, -1, false); }

void Finish_Unfinished_Contents(int Descriptor) { Forget(nullptr, Descriptor, false); }

void Remove_Unfinished_File(const char* Name) { Forget(Name, -1, true); }

void Remove_Unfinished_Files() { End_Every_Slot(false); }
