/*
** sandbox_internal.h
** What the sandbox's files share and no caller needs: the module's state,
** the slots that concurrent runs take, the watch of one run, the cgroup
** of a slot, and the making of bubblewrap's arguments.
*/
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

#include "sandbox/copy_tree.h"
#include "sandbox/sandbox.h"

/* One slot per run in progress: a user id (as root) and a cgroup of its
** own, kept from one run to the next. More than the most jobs a tool
** takes (256), plus one for the tool's own thread. */
constexpr int Sandbox_Slots = 257;

struct Sandbox_State {
  Sandbox_Mode Mode = Sandbox_Off;
  bool Boxed = false;      // bubblewrap makes the box
  bool Own_Users = false;  // runs as unprivileged user ids of their own: a slot's in a box, a fresh one
                           // per run without one
  bool Cgroup = false;     // each slot has a cgroup counting memory, processes and CPU time
  bool Slot_Networks = false;  // each slot keeps an empty network namespace (as root), rather than
                               // bubblewrap making one per run
  std::string Bwrap;       // bubblewrap's path
  std::string Private;     // the module's folder: copies of readable files, the probe's folder
  std::vector<std::string> Fixed_Arguments;  // bubblewrap's arguments common to every run
  uid_t First_Uid = 0;     // the first of this tool's block of user ids (sandbox_users.cpp)
};

Sandbox_State& Sandbox();

/* A limit set before exec (setrlimit). */
struct Limit_Of {
  int Resource;
  unsigned long Value_Soft, Value_Hard;
};

/* What a run enters to be in a kept box: the box's namespaces, as
** descriptors the tool opened when the box was made. bubblewrap nests a
** second user namespace in the one that owns the others: the run joins
** the outer one to enter them, then the inner one, where the box's
** processes live. Not its process namespace: each run has one of its own
** (Run_In_Kept_Box, sandbox_child.cpp). */
enum Kept_Namespace { Kept_Ipc, Kept_Uts, Kept_Net, Kept_Cgroup, Kept_Mnt, Kept_Namespaces };
struct Kept_Entry {
  int Outer_User = -1, Inner_User = -1;  // Inner_User -1 where bubblewrap made one user namespace only
  int Namespace[Kept_Namespaces] = {-1, -1, -1, -1, -1};  // -1: not entered (the slot's network)
  /* Where the tool's command line and environment lie in its memory, which
  ** a run's first process (a copy of the tool) blanks in its own; 0 if unknown. */
  uintptr_t Arguments_From = 0, Arguments_To = 0, Environment_From = 0, Environment_To = 0;
  std::vector<std::string> Exec_Paths;  // where the program may be, in the box: its path, or PATH's folders
  std::vector<char*> Exec_Pointers;
};

/* Everything the child does between fork and exec, decided before the fork. */
/* What a child that could not start its program sends the tool on its
** Exec_Error pipe, in one write: errno, and the step that failed, so that
** a run "not started" says where (a cgroup, the slot's user, the exec). */
enum Child_Step {
  Step_Exec, Step_Descriptors, Step_Cgroup, Step_Limits, Step_Folder, Step_Network, Step_User, Step_Keyring,
  Step_Privileges, Step_Box_Namespaces, Step_Box_Own_Namespaces, Step_Box_Process, Child_Steps
};
extern const char* const Child_Step_Name[Child_Steps];
struct Child_Failure {
  int32_t Errno;
  int32_t Step;  // a Child_Step
};
static_assert(sizeof(Child_Failure) == 8, "one write, read whole");

struct Child_Plan {
  std::string Exec_Path, Folder;
  std::vector<std::string> Words, Environment, Join;
  std::vector<char*> Argv, Envp;
  Limit_Of Limits[8];
  int Limit_Count = 0;
  uid_t Uid = 0;
  std::string Copies_Folder;  // without a box, the copies of the run's files made for its user; removed after
  bool New_Keyring = false;   // joins a fresh session keyring: the tool's keys stay out of reach
  int Network = -1;  // a network namespace to enter, or -1
  bool Ignore_File_Size_Signal = false;
  pid_t Parent = 0;
  int In = -1, Out = -1, Err = -1, Exec_Error = -1;  // the child's ends
  int Info = -1;                    // kept open across exec as descriptor 3 (bubblewrap's --info-fd or
                                    // --json-status-fd)
  bool Box_Status = false;          // Words ask bubblewrap for --json-status-fd 3: Make_Pipes fills Info
  const Kept_Entry* Kept = nullptr;  // a run in a kept box enters it rather than exec bubblewrap
};

/* Pointers to Words' characters, for exec, ending in a null. */
void Point_At(std::vector<std::string>& Words, std::vector<char*>& Pointers);

/* The child after fork: a box's reaper, or the run itself (which execs). */
[[noreturn]] void Become_Reaper(const Child_Plan& P);
[[noreturn]] void Become_Child(const Child_Plan& P, pid_t Parent);

/* Fd moved above the descriptors the child fills (0 to 3) before it
** uses what the tool gave it, close-on-exec; Fd is closed. -1 if it
** cannot be. Every descriptor a child uses after its dup2s (a slot's
** network, a kept box's namespaces) is made so: a tool started with a
** standard stream closed, or another thread closing one, would otherwise
** hand that number out, and the child would overwrite it. */
int Above_Child_Descriptors(int Fd);

/* Takes a free slot (-1 if none is free, or the module is stopping) and
** gives it back (sandbox_slots.cpp). */
int Take_Slot();
void Give_Back_Slot(int Slot);
/* The running child of a slot, for Sandbox_Stop_All; 0 when none. */
void Register_Child(int Slot, pid_t Child);
/* Takes the slot's child off the register under the lock a stop holds
** while it signals: the child is reaped only after this. */
void Take_Child_Off(int Slot);
/* Ends a run's child: a box, or a run as a user of its own, through its
** reaper (SIGTERM) unless Hard; a plain child, or Hard, with SIGKILL to
** it and its process group. */
void End_Child(pid_t Child, bool Hard);

/* A run's pipes, as the tool holds them: our ends. */
struct Pipes {
  int In = -1, Out = -1, Err = -1, Exec_Error = -1;
  int Status = -1;  // bubblewrap's --json-status-fd, for a box of the run's own
};

/* Closes Fd if it is open and marks it closed (-1). */
void Close(int& Fd);

/* The state of a run being watched (sandbox_watch.cpp) and then finished
** (sandbox_run.cpp). */
struct Watch {
  const Sandbox_Request* Request = nullptr;
  int Slot = -1;
  pid_t Child = 0;
  int Exited = -1;  // a pidfd of the child, readable once it has ended; -1 where there is none
  Pipes P;
  ino_t Input_Pipe = 0;
  size_t Input_Written = 0;
  int64_t Output_Total = 0;
  /* Last_Heard: the last byte on standard output; Next_Folder_Look: when
  ** its folder is measured next. */
  std::chrono::steady_clock::time_point Started, Last_Heard, Last_Waiting, Next_Folder_Look;
  Sandbox_Result Result;
  bool Ended_By_Us = false;
};

/* Watches the run until it ends or is ended (a limit reached: Result's
** Ending is set and Ended_By_Us). */
void Watch_Run(Watch& W);
/* After the child has ended: what is still in the pipes, until every
** writer is gone or for a moment at most; then what is kept of standard
** output and error cut to the request's sizes. */
void Drain(Watch& W);

/* A kept box's side of a run (sandbox_kept.cpp): its slot, and, before the
** fork, the box made again if a run ended it, the folder checked to lie
** in the box's own, and what the child enters. */
int Kept_Slot(int Box);
bool Plan_Kept_Run(const Sandbox_Request& R, Child_Plan& P, std::string* Problem);
/* Drops every kept box, for Sandbox_Finish. */
void Drop_Kept_Boxes();
/* Copies of the readable files a box binds (the program among them), as
** (copy, path asked) pairs. */
bool Plan_Box_Copies(const Sandbox_Request& R, uid_t Uid, std::vector<std::pair<std::string, std::string>>* Copies,
                     std::string* Problem);
/* The box's PATH, which a bare program name is found on. */
extern const char* const Box_Path;

/* The slot's empty network namespace, made at its first run: a descriptor
** for the child to enter before exec; -1 if it cannot be made. */
int Slot_Network(int Slot);
void Close_Slot_Networks();

/* The cgroups of runs. Which hierarchy holds a run's limits is chosen
** once, from what the tool sees of the machine (cgroup_choice.cpp): a
** test points the choice at a fake tree. */
enum Cgroup_Version { Cgroup_None, Cgroup_V1, Cgroup_V2 };
enum Cgroup_Controller { Cgroup_Memory, Cgroup_Pids, Cgroup_Cpu, Cgroup_Controllers };
struct Cgroup_Sight {
  std::string Mountinfo;  // as /proc/self/mountinfo says it
  std::string Own;        // as /proc/self/cgroup says it
  uid_t Euid = 0;
  pid_t Pid = 0;
};
Cgroup_Sight Machine_Cgroup_Sight();
struct Cgroup_Choice {
  Cgroup_Version Version = Cgroup_None;
  pid_t Tool_Pid = 0;
  std::string V1_Own[Cgroup_Controllers];  // cgroup v1: the tool's folder in each controller's hierarchy
  std::string V2_Own;  // the tool's cgroup v2 folder: the limits' home with Cgroup_V2; with Cgroup_V1, where
                       // runs are placed and ended only (it holds no controller); empty when unusable
  bool Leave_For_Leaf = false;  // cgroup v2: the tool moves into a leaf of V2_Own first
  bool Hand_Down = false;       // cgroup v2: V2_Own's cgroup.subtree_control must enable memory and pids
  std::string Why_Not;          // with Cgroup_None: "no cgroup (why)"
};
Cgroup_Choice Choose_Cgroups(const Cgroup_Sight& Sight);

/* The cgroup of each slot, in the chosen hierarchy. */
struct Cgroup_Marks {
  int64_t Oom_Kills = 0;     // the oom_kill count when the run began
  int64_t Pids_Refused = 0;  // pids.events' max when the run began
};
/* Makes the tool's cgroups as the machine allows (Cgroup_Begin) or as
** Choice says; false, with "no cgroup (why)", where there are none. */
bool Cgroup_Begin(std::string* Why_Not);
bool Cgroup_Begin_With(const Cgroup_Choice& Choice, std::string* Why_Not);
/* Which limits hold and by what ("memory by cgroup v2, ..."), for the
** sandbox's line; Why_Not is Cgroup_Begin's, Own_Users whether runs are
** users of their own (whose processes RLIMIT_NPROC limits). */
std::string Cgroup_Held_Words(const std::string& Why_Not, bool Own_Users);
/* Makes the slot's cgroup if it is not there yet, sets its limits and
** resets its counts; the paths of its cgroup.procs files (for the child
** to join before exec) go into Join. */
bool Cgroup_Prepare(int Slot, const Sandbox_Limits& Limits, Cgroup_Marks* Marks, std::vector<std::string>* Join);
double Cgroup_Cpu_Seconds(int Slot);
void Cgroup_Results(int Slot, const Cgroup_Marks& Marks, Sandbox_Result* Result, bool* Out_Of_Memory,
                    bool* Refused_Processes);
/* Kills whatever is left in the slot's cgroup; returns once it is empty
** (or after a few seconds). */
void Cgroup_Empty(int Slot);
void Cgroup_End();

/* Decides everything about a run before the fork: the user id, the
** cgroup, the copies the box binds, the command, the environment and the
** limits. */
bool Plan_Run(const Sandbox_Request& R, int Slot, Child_Plan& P, Cgroup_Marks& Marks, std::string* Problem);

/* bubblewrap's arguments for one run, after the fixed ones; Copies are the
** readable files' copies, each bound at the path it was asked under. */
std::vector<std::string> Box_Arguments(const Sandbox_Request& Request, uid_t Uid,
                                       const std::vector<std::pair<std::string, std::string>>& Copies);
/* The fixed arguments: the system's trees read-only, /proc, /dev, the
** environment, and the kit's programs where those trees hold them masked. */
std::vector<std::string> Fixed_Box_Arguments();
/* The kit's programs found in Folders that lie inside one of Trees. */
std::vector<std::string> Masked_Kit_Programs(const std::vector<std::string>& Trees,
                                             const std::vector<std::string>& Folders);
/* A small file of the kernel's (/proc, a cgroup's), at most
** Most_Small_Read bytes of it; empty when it cannot be read. */
inline constexpr size_t Most_Small_Read = 1 << 20;
std::string Read_Small(const std::string& Path);

/* A copy of a readable file or folder in the module's folder, made once
** per path and run's user (Uid; 0 for the tool's own) and readable by that
** user alone; empty when it lies in a tree the box sees anyway. */
std::string Readable_Copy(const std::string& Path, uid_t Uid, std::string* Problem);

/* Copies the regular file From to To (not there yet), runnable if it was,
** given to the run's user Uid alone (0: the tool's own user). */
bool Copy_Readable_File(const std::string& From, const std::string& To, uid_t Uid, std::string* Problem);

/* The user ids of runs (as root). Choose_Run_Uids picks this tool's block,
** one whose slot ids no account has and no process runs as; Fresh_Run_Uid
** takes the block's next such id (0 if none is left); Uid_Free checks one. */
bool Choose_Run_Uids(std::string* Problem);
uid_t Fresh_Run_Uid();
bool Uid_Free(uid_t Uid);
/* Without a box: the run's folder closed to other users, and its program
** and readable files copied where only its user may read them, the
** command pointed at the copies. */
bool Plan_Own_User_Run(const Sandbox_Request& R, Child_Plan& P, std::string* Problem);
/* Without a box nothing masks the kit's programs from a run, which
** could let the reference model do its work: those a box would mask are
** closed to other users (their permissions for others taken away) until
** Reopen_To_Others gives back what Close_To_Others took. */
std::vector<std::string> Kit_Programs_A_Box_Masks();
void Close_To_Others(const std::vector<std::string>& Paths);
void Reopen_To_Others();
/* Makes the calling process able to kill(-1) every process of Uid (its
** effective id) while none of them, nor another run's killer, may signal
** it (its real and saved id are Uid + 1, which Fresh_Run_Uid reserves
** with Uid); false where that fails. */
bool Act_As_Killer_Of(uid_t Uid);
/* Kills every process of Uid (not 0); returns when none is left, or
** after a few seconds. */
void End_Processes_Of(uid_t Uid);
/* The line of a failed run's standard error that shows it reached for
** something outside its folder, if one does. */
std::string Line_Reaching_Outside(const std::string& Errors, const std::string& Folder);

/* Opens the folder Name, a path relative to Folder, for listing: no link
** is followed on the way, not even one that stays inside, and nothing
** outside Folder is reached; -1 with errno otherwise. */
int Open_Folder_Beneath(int Folder, const std::string& Name);

/* What a run's folder holds, as its caps count it (folder_use.cpp). Bytes
** are allocated blocks (st_blocks), so a sparse file costs what it holds
** and a file with many hard links costs once; Entries count every name
** beneath the folder, so each hard link and empty file is one. */
constexpr int Most_Run_Folder_Depth = 64;  // deeper than any build or program needs
enum Folder_Past { Folder_Within, Folder_Past_Bytes, Folder_Past_Entries, Folder_Too_Deep, Folder_Unreadable };
struct Folder_Use {
  int64_t Bytes = 0;
  int64_t Entries = 0;
  Folder_Past Past = Folder_Within;  // Folder_Unreadable: a folder in it cannot be listed, so its use is unknown
};
/* Measures Folder under the caps of Limits (0: that cap is off), never
** following a link; stops as soon as a cap is passed, so that a look
** costs at most the caps' entries. */
Folder_Use Measure_Run_Folder(const std::string& Folder, const Sandbox_Limits& Limits);
/* What a run's folder went past, in the words of its verdict after "its folder ". */
std::string Folder_Past_Words(Folder_Past Past, const Sandbox_Limits& Limits);
/* Whether Limits cap a run's folder at all. */
inline bool Folder_Capped(const Sandbox_Limits& L) { return L.Folder_Bytes > 0 || L.Folder_Entries > 0; }
