/*
** sandbox_slots.cpp
** The module's state and the slots that concurrent runs take: which slot
** is taken, the child each one runs, and stopping every run at once (a
** tool told to stop). A stop signals only registered children, under a
** lock a run also holds while it takes its child off, so it never signals
** an id the system may since have given to another process.
*/
#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <thread>

#include <sys/types.h>

#include "sandbox/sandbox_internal.h"

namespace {

Sandbox_State State;
std::atomic<bool> Taken[Sandbox_Slots];
std::atomic<pid_t> Children[Sandbox_Slots];
/* Held while a stop signals the registered children, and while a run
** takes its child off the register: a child is reaped only once it is
** off, so a stop never signals an id the system may since have given to
** another process. */
std::mutex Children_Lock;
std::atomic<bool> Stopping{false};

}  // namespace

Sandbox_State& Sandbox() { return State; }

bool Sandbox_Boxed() { return State.Boxed; }

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

void Take_Child_Off(int Slot) {
  std::lock_guard<std::mutex> Hold(Children_Lock);
  Register_Child(Slot, 0);
}

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
