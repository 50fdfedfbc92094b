/*
** profile_child.h
** The judge's side of its workers (sort_worker.h): the routine's worker,
** the user's program started contained by the sandbox
** (sandbox/sandbox.h), and the reference's, the judge's own program
** started plainly. The judge lays each list out in memory it shares with
** the worker, asks for the sort, reads the worker's CPU clock before and
** after, and judges the nodes itself. A routine that crashes, loops,
** sleeps, forks, takes all memory or reaches outside its folder is named
** for it and cannot take the judge, or the machine, with it.
*/
#pragma once

#include <atomic>
#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <thread>

#include <sys/types.h>

#include "sandbox/sandbox.h"
#include "sort_profile/profile_lists.h"

/* Starts the sandbox in Mode and makes the folder the workers' folders go
** in; Said gets the line that tells the user what the sandbox is. False,
** with Refusal, where that cannot be (--sandbox required and no box).
** From then on, SIGINT, SIGTERM and SIGHUP end the workers and remove the
** folder before they end the judge. Program names the routine's program
** in the judge's refusals; Routine is its path, which the workers run. */
bool Start_Children(const std::string& Program, const std::string& Routine, Sandbox_Mode Mode, std::string* Said,
                    std::string* Refusal);

/* Removes the workers' folder and what the sandbox made. */
void Finish_Children();

/* What kind of fault ended a sort: a list left wrong, or how its worker
** ended. The summary names it for programs that grade; the words of the
** fault are for people. */
enum Fault_Kind {
  Fault_Wrong_List, Fault_Crashed, Fault_Time_Limit, Fault_Memory_Limit, Fault_Output_Limit, Fault_Process_Limit,
  Fault_Reached_Outside, Fault_Kinds
};
extern const char* const Fault_Kind_Name[Fault_Kinds];  // "wrong-list", "crashed", "time-limit", ...

/* The kind of a worker's ending. */
Fault_Kind Kind_Of_Ending(Sandbox_Ending Ending);

/* A worker, as the judge holds it. */
struct Sort_Worker {
  bool Reference = false;
  int Link = -1;               // the connection to it
  char* Block = nullptr;       // the lists' memory, mapped here at the worker's address
  size_t Slots = 0;            // nodes it holds
  pid_t Pid = 0;               // as seen here, from the connection's credentials
  clockid_t Clock{};           // its CPU clock
  pid_t Spawned = 0;           // the reference's worker, a child of the judge
  std::string Folder;          // the routine's worker's folder
  std::thread Runner;          // the routine's worker's contained run
  std::atomic<bool> Ended{false};
  Sandbox_Result Result;       // how that run ended, once Ended
  std::string Cut_Short;       // what the judge ended it for, in words that follow "it", if it did
};

/* Starts a worker that sorts lists of up to Slots nodes under Limits
** (the CPU time limit holds for each sort, the wall-time limit for each
** sort and for the start). False, with Fault, when it did not come up;
** the worker is stopped then. */
bool Start_Worker(Sort_Worker* W, bool Reference, size_t Slots, const Sandbox_Limits& Limits, std::string* Fault,
                  Fault_Kind* Kind = nullptr);

/* Ends the worker and gives back what it held. */
void Stop_Worker(Sort_Worker* W);

/* One sort, judged: the list, laid out in W->Block, put back as laid out,
** sorted by the worker with K and X, and checked here. Seconds is the CPU
** time the worker spent from the moment it was asked to the moment the
** list had been read back. Fault is empty for a list sorted right;
** Returned is false when the worker did not answer (it is stopped then,
** and must be started again). Waiting, if given, is called about once a
** second with the seconds the sort has taken. */
struct Judged_Sort {
  bool Returned;
  double Seconds;
  std::string Fault;
  Fault_Kind Kind = Fault_Wrong_List;  // when Fault is not empty
};
Judged_Sort Judge_Sort(Sort_Worker* W, Laid_Out_List& L, int32_t K, int32_t X, const Sandbox_Limits& Limits,
                       const std::function<void(double Seconds)>& Waiting = nullptr);

/* Many small lists sorted in one call, each judged as Judge_Sort judges
** one: Lists lie in W->Block below the table of heads the call passes
** (Batch_Table_Slot), at most Batch_Table_Heads of them. Seconds is the
** CPU time of the whole call; Fault is the first list's found wrong. */
inline constexpr size_t Batch_Table_Heads = 1024;
inline constexpr size_t Batch_Table_Slots = Batch_Table_Heads * sizeof(void*) / Node_Slot_Bytes;
inline size_t Batch_Table_Slot(size_t Slots) { return Slots - Batch_Table_Slots; }
Judged_Sort Judge_Sorts(Sort_Worker* W, std::vector<Laid_Out_List>& Lists, int32_t K, int32_t X,
                        const Sandbox_Limits& Limits);

/* What became of a worker that did not finish its work, in words that
** follow "it", naming the option that sets the limit it hit: "crashed:
** killed by signal 11 (Segmentation fault)", "hit the time limit: more
** than 300 s of CPU time (an endless loop?); --time-limit sets it"; then
** the lines the worker printed last, if it printed any, each escaped and
** cut short and marked as its output. */
std::string Child_Fault(const Sandbox_Result& R, const Sandbox_Limits& Limits);

/* Text a user's program printed, fit to show: every byte that is not
** printable ASCII (a terminal's escapes among them) written as \xNN, and
** at most Most bytes of it. */
std::string Escaped_Output(const std::string& Text, size_t Most);
