/*
** sandbox_cgroup.cpp
** A cgroup per slot, in the hierarchy cgroup_choice.cpp chose: cgroup
** v1's memory, pids and cpuacct, or cgroup v2's memory and pids (with
** its CPU accounting, which every v2 cgroup keeps).
**
** The cgroups are made inside the tool's own cgroup in each hierarchy,
** so that the limits of whatever runs the tool still hold above them;
** they are kept from one run to the next and removed by Cgroup_End. A
** tool killed outright leaves its empty cgroups behind; the next one
** removes those of tools no longer running. On a hybrid machine, where
** v1 holds the controllers, each slot also has a cgroup in the v2
** hierarchy: cgroup.kill ends everything in it at once, a process that
** forks as fast as it is killed included.
*/
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace {

const char* const Controller_Name[Cgroup_Controllers] = {"memory", "pids", "cpuacct"};

Cgroup_Version Version = Cgroup_None;
std::string Tool_Folder[Cgroup_Controllers];  // cgroup v1: the tool's folder in each hierarchy; empty when none
std::string Tool_V2;  // the tool's folder in cgroup v2: the limits' with Cgroup_V2, placement only with Cgroup_V1
bool V2_Kill = false;  // cgroup.kill is there
bool Slot_Made[Sandbox_Slots];
int64_t Memory_Set[Sandbox_Slots];
int64_t Cpu_Base[Sandbox_Slots];  // cgroup v2: cpu.stat's usage_usec when the run began
int Peak_File[Sandbox_Slots];     // cgroup v2: memory.peak, held open where Peak_Open; reset through it where
bool Peak_Open[Sandbox_Slots];    // the kernel lets
bool Peak_Reset[Sandbox_Slots];   // the reset through Peak_File took

std::string Slot_Folder(int Slot, int C) { return Tool_Folder[C] + "/box_" + std::to_string(Slot); }
std::string V2_Slot(int Slot) { return Tool_V2 + "/box_" + std::to_string(Slot); }

bool Write_Small(const std::string& Path, const std::string& Text) {
  int File = open(Path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (File < 0) return false;
  bool Ok = write(File, Text.data(), Text.size()) == static_cast<ssize_t>(Text.size());
  return close(File) == 0 && Ok;
}

/* The number after Key in a flat-keyed file ("oom_kill 3"), 0 if absent. */
int64_t Keyed(const std::string& Text, const std::string& Key) {
  std::istringstream In(Text);
  for (std::string Name; In >> Name;) {
    int64_t Value = 0;
    if (!(In >> Value)) return 0;
    if (Name == Key) return Value;
  }
  return 0;
}

int64_t Number_In(const std::string& Path) {
  std::string Text = Read_Small(Path);
  return Text.empty() ? -1 : std::strtoll(Text.c_str(), nullptr, 10);
}

/* Removes a cgroup folder: its own files go with rmdir. */
void Remove_Cgroup(const std::string& Folder) { rmdir(Folder.c_str()); }

/* The folders that tools killed outright left in Folder: their process is
** gone. A tool's leaf (cgroup v2) empties as the tool ends. */
void Remove_Stale(const std::string& Folder) {
  DIR* Listing = opendir(Folder.c_str());
  if (Listing == nullptr) return;
  for (dirent* Entry; (Entry = readdir(Listing)) != nullptr;) {
    int Pid = 0;
    bool Leaf = std::sscanf(Entry->d_name, "zor_tool.%d", &Pid) == 1;
    if ((!Leaf && std::sscanf(Entry->d_name, "zor_sandbox.%d", &Pid) != 1) || Pid <= 0) continue;
    if (kill(Pid, 0) == 0 || errno != ESRCH) continue;
    std::string Stale = Folder + "/" + Entry->d_name;
    for (int Slot = 0; Slot < Sandbox_Slots && !Leaf; Slot++) Remove_Cgroup(Stale + "/box_" + std::to_string(Slot));
    Remove_Cgroup(Stale);
  }
  closedir(Listing);
}

bool Begin_V1(const Cgroup_Choice& Choice, std::string* Why_Not) {
  for (int C = 0; C < Cgroup_Controllers; C++) {
    const std::string& Own = Choice.V1_Own[C];
    Remove_Stale(Own);
    Tool_Folder[C] = Own + "/zor_sandbox." + std::to_string(Choice.Tool_Pid);
    if (mkdir(Tool_Folder[C].c_str(), 0755) != 0 && errno != EEXIST) {
      *Why_Not = "no cgroup (cannot make one in " + Own + ": " + std::strerror(errno) + ")";
      Tool_Folder[C].clear();
      return false;
    }
  }
  return true;
}

/* The tool's folder in cgroup v2, handing memory and pids down to the
** slots when Controllers. A cgroup that hands controllers down may hold
** no process itself: the tool first leaves its own for a leaf. */
bool Begin_V2(const Cgroup_Choice& Choice, bool Controllers, std::string* Why_Not) {
  const std::string& Own = Choice.V2_Own;
  std::string Pid = std::to_string(Choice.Tool_Pid);
  Remove_Stale(Own);
  std::string Leaf = Own + "/zor_tool." + Pid;
  if (Choice.Leave_For_Leaf && ((mkdir(Leaf.c_str(), 0755) != 0 && errno != EEXIST) ||
                                !Write_Small(Leaf + "/cgroup.procs", Pid)))
    return *Why_Not = "no cgroup (cannot move into " + Leaf + ": " + std::strerror(errno) + ")", false;
  if (Choice.Hand_Down && !Write_Small(Own + "/cgroup.subtree_control", "+memory +pids"))
    return *Why_Not = "no cgroup (cannot hand memory and pids down in " + Own + ": " + std::strerror(errno) + ")",
           false;
  Tool_V2 = Own + "/zor_sandbox." + Pid;
  if ((mkdir(Tool_V2.c_str(), 0755) != 0 && errno != EEXIST) ||
      (Controllers && !Write_Small(Tool_V2 + "/cgroup.subtree_control", "+memory +pids"))) {
    *Why_Not = "no cgroup (cannot make one in " + Own + ": " + std::strerror(errno) + ")";
    Remove_Cgroup(Tool_V2);
    Tool_V2.clear();
    return false;
  }
  V2_Kill = access((Tool_V2 + "/cgroup.kill").c_str(), F_OK) == 0;
  return true;
}

bool Prepare_V1(int Slot, const Sandbox_Limits& Limits, Cgroup_Marks* Marks) {
  std::string Memory_Folder = Slot_Folder(Slot, Cgroup_Memory), Pids_Folder = Slot_Folder(Slot, Cgroup_Pids);
  if (Memory_Set[Slot] != Limits.Memory_Bytes) {
    /* The limit with swap may not stand below the plain one: raise it
    ** first, then set the plain one, then bring it down to the same. */
    std::string Bytes = Limits.Memory_Bytes > 0 ? std::to_string(Limits.Memory_Bytes) : "-1";
    Write_Small(Memory_Folder + "/memory.memsw.limit_in_bytes", "-1");
    if (!Write_Small(Memory_Folder + "/memory.limit_in_bytes", Bytes)) return false;
    Write_Small(Memory_Folder + "/memory.memsw.limit_in_bytes", Bytes);
    Memory_Set[Slot] = Limits.Memory_Bytes;
  }
  /* Two more than the program's own: bubblewrap's process and the box's
  ** first process count too (in a kept box, the run's waiter and its
  ** process 1). */
  std::string Most = Limits.Processes > 0 ? std::to_string(Limits.Processes + 2) : "max";
  if (!Write_Small(Pids_Folder + "/pids.max", Most)) return false;
  Write_Small(Memory_Folder + "/memory.max_usage_in_bytes", "0");
  Write_Small(Slot_Folder(Slot, Cgroup_Cpu) + "/cpuacct.usage", "0");
  Marks->Oom_Kills = Keyed(Read_Small(Memory_Folder + "/memory.oom_control"), "oom_kill");
  Marks->Pids_Refused = Keyed(Read_Small(Pids_Folder + "/pids.events"), "max");
  return true;
}

/* cgroup v2 keeps its counts for the cgroup's life: each run's are told
** from where they stood when it began. Its peak of memory is reset
** through a descriptor held open (Linux 6.12 on); before, it is the
** slot's highest since it was made. */
bool Prepare_V2(int Slot, const Sandbox_Limits& Limits, Cgroup_Marks* Marks) {
  std::string Folder = V2_Slot(Slot);
  if (Memory_Set[Slot] != Limits.Memory_Bytes) {
    if (!Write_Small(Folder + "/memory.max", Limits.Memory_Bytes > 0 ? std::to_string(Limits.Memory_Bytes) : "max"))
      return false;
    /* Swapped out, memory would not count against the limit. */
    if (access((Folder + "/memory.swap.max").c_str(), F_OK) == 0 && !Write_Small(Folder + "/memory.swap.max", "0"))
      return false;
    Memory_Set[Slot] = Limits.Memory_Bytes;
  }
  std::string Most = Limits.Processes > 0 ? std::to_string(Limits.Processes + 2) : "max";
  if (!Write_Small(Folder + "/pids.max", Most)) return false;
  if (!Peak_Open[Slot]) {
    Peak_File[Slot] = open((Folder + "/memory.peak").c_str(), O_RDWR | O_CLOEXEC);
    Peak_Open[Slot] = Peak_File[Slot] >= 0;
  }
  Peak_Reset[Slot] = Peak_Open[Slot] && write(Peak_File[Slot], "reset\n", 6) == 6;
  Cpu_Base[Slot] = Keyed(Read_Small(Folder + "/cpu.stat"), "usage_usec");
  Marks->Oom_Kills = Keyed(Read_Small(Folder + "/memory.events"), "oom_kill");
  Marks->Pids_Refused = Keyed(Read_Small(Folder + "/pids.events"), "max");
  return true;
}

int64_t V2_Peak(int Slot) {
  if (!Peak_Reset[Slot]) return Number_In(V2_Slot(Slot) + "/memory.peak");
  char Digits[32] = {};
  ssize_t Got = pread(Peak_File[Slot], Digits, sizeof Digits - 1, 0);
  return Got > 0 ? std::strtoll(Digits, nullptr, 10) : -1;
}

/* Kills every process Procs lists until it lists none (or a few seconds
** have passed). */
void Kill_Listed(const std::string& Procs) {
  for (int Round = 0; Round < 500; Round++) {
    std::istringstream Listed(Read_Small(Procs));
    bool Any = false;
    for (long Pid; Listed >> Pid;) {
      Any = true;
      kill(static_cast<pid_t>(Pid), SIGKILL);
    }
    if (!Any) return;
    std::this_thread::sleep_for(std::chrono::microseconds(Round < 50 ? 200 : 10000));
  }
}

}  // namespace

bool Cgroup_Begin(std::string* Why_Not) { return Cgroup_Begin_With(Choose_Cgroups(Machine_Cgroup_Sight()), Why_Not); }

bool Cgroup_Begin_With(const Cgroup_Choice& Choice, std::string* Why_Not) {
  Cgroup_End();
  if (Choice.Version == Cgroup_None) return *Why_Not = Choice.Why_Not, false;
  bool Made = Choice.Version == Cgroup_V1 ? Begin_V1(Choice, Why_Not) : Begin_V2(Choice, true, Why_Not);
  if (!Made) {
    Cgroup_End();
    return false;
  }
  /* On a hybrid, v2 only places and ends runs: without it v1 still holds. */
  std::string Unused;
  if (Choice.Version == Cgroup_V1 && !Choice.V2_Own.empty() && (!Begin_V2(Choice, false, &Unused) || !V2_Kill)) {
    Remove_Cgroup(Tool_V2);
    Tool_V2.clear();
  }
  Version = Choice.Version;
  return true;
}

bool Cgroup_Prepare(int Slot, const Sandbox_Limits& Limits, Cgroup_Marks* Marks, std::vector<std::string>* Join) {
  if (!Slot_Made[Slot]) {
    for (int C = 0; C < Cgroup_Controllers && Version == Cgroup_V1; C++)
      if (mkdir(Slot_Folder(Slot, C).c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (!Tool_V2.empty() && mkdir(V2_Slot(Slot).c_str(), 0755) != 0 && errno != EEXIST) return false;
    Slot_Made[Slot] = true;
    Memory_Set[Slot] = -1;
  }
  if (!(Version == Cgroup_V1 ? Prepare_V1(Slot, Limits, Marks) : Prepare_V2(Slot, Limits, Marks))) return false;
  Join->clear();
  for (int C = 0; C < Cgroup_Controllers && Version == Cgroup_V1; C++)
    Join->push_back(Slot_Folder(Slot, C) + "/cgroup.procs");
  if (!Tool_V2.empty()) Join->push_back(V2_Slot(Slot) + "/cgroup.procs");
  return true;
}

double Cgroup_Cpu_Seconds(int Slot) {
  if (Version == Cgroup_V2) {
    std::string Stat = Read_Small(V2_Slot(Slot) + "/cpu.stat");
    return Stat.empty() ? -1 : static_cast<double>(Keyed(Stat, "usage_usec") - Cpu_Base[Slot]) / 1e6;
  }
  int64_t Nanoseconds = Number_In(Slot_Folder(Slot, Cgroup_Cpu) + "/cpuacct.usage");
  return Nanoseconds < 0 ? -1 : static_cast<double>(Nanoseconds) / 1e9;
}

void Cgroup_Results(int Slot, const Cgroup_Marks& Marks, Sandbox_Result* Result, bool* Out_Of_Memory,
                    bool* Refused_Processes) {
  Result->Cpu_Seconds = Cgroup_Cpu_Seconds(Slot);
  std::string Memory_Folder = Version == Cgroup_V2 ? V2_Slot(Slot) : Slot_Folder(Slot, Cgroup_Memory);
  std::string Pids_Folder = Version == Cgroup_V2 ? V2_Slot(Slot) : Slot_Folder(Slot, Cgroup_Pids);
  Result->Peak_Memory_Bytes =
      Version == Cgroup_V2 ? V2_Peak(Slot) : Number_In(Memory_Folder + "/memory.max_usage_in_bytes");
  std::string Oom = Read_Small(Memory_Folder + (Version == Cgroup_V2 ? "/memory.events" : "/memory.oom_control"));
  *Out_Of_Memory = Keyed(Oom, "oom_kill") > Marks.Oom_Kills;
  *Refused_Processes = Keyed(Read_Small(Pids_Folder + "/pids.events"), "max") > Marks.Pids_Refused;
}

void Cgroup_Empty(int Slot) {
  if (!Tool_V2.empty()) {
    if (V2_Kill) Write_Small(V2_Slot(Slot) + "/cgroup.kill", "1");
    Kill_Listed(V2_Slot(Slot) + "/cgroup.procs");
  }
  if (Version == Cgroup_V1) Kill_Listed(Slot_Folder(Slot, Cgroup_Pids) + "/cgroup.procs");
}

void Cgroup_End() {
  for (int Slot = 0; Slot < Sandbox_Slots; Slot++) {
    if (Peak_Open[Slot]) close(Peak_File[Slot]);
    Peak_Open[Slot] = Peak_Reset[Slot] = false;
    for (int C = 0; C < Cgroup_Controllers && Slot_Made[Slot]; C++)
      if (!Tool_Folder[C].empty()) Remove_Cgroup(Slot_Folder(Slot, C));
    if (Slot_Made[Slot] && !Tool_V2.empty()) Remove_Cgroup(V2_Slot(Slot));
    Slot_Made[Slot] = false;
  }
  for (std::string& Folder : Tool_Folder) {
    if (!Folder.empty()) Remove_Cgroup(Folder);
    Folder.clear();
  }
  if (!Tool_V2.empty()) Remove_Cgroup(Tool_V2);
  Tool_V2.clear();
  V2_Kill = false;
  Version = Cgroup_None;
}

std::string Cgroup_Held_Words(const std::string& Why_Not, bool Own_Users) {
  if (Version == Cgroup_None)
    return Why_Not + ": memory by RLIMIT_DATA (no cgroup), " +
           (Own_Users ? "processes by RLIMIT_NPROC (no cgroup)" : "processes not limited (no cgroup, not root)") +
           ", CPU time per process";
  std::string Held = Version == Cgroup_V1 ? "cgroup v1" : "cgroup v2";
  std::string Words = "memory by " + Held + ", processes by " + Held + ", CPU time by " + Held;
  return V2_Kill ? Words + ", every process of a run ended by cgroup v2" : Words;
}

std::string Read_Small(const std::string& Path) {
  char Buffer[4096];
  std::string Text;
  int File = open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (File < 0) return "";
  for (ssize_t Got; Text.size() < Most_Small_Read && (Got = read(File, Buffer, sizeof Buffer)) != 0;) {
    if (Got < 0 && errno == EINTR) continue;
    if (Got < 0) break;
    Text.append(Buffer, static_cast<size_t>(Got));
  }
  close(File);
  return Text;
}
