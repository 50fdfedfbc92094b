/*
** sandbox_cgroup.cpp
** A cgroup per slot, where the machine has cgroup v1's memory, pids and
** cpuacct controllers and lets the tool make cgroups (as root).
**
** The cgroups are made inside the tool's own cgroup in each hierarchy,
** so that the limits of whatever runs the tool still hold above them;
** they are kept from one run to the next and removed by Cgroup_End. A
** tool killed outright leaves its empty cgroups behind; the next one
** removes those of tools no longer running.
**
** Only cgroup v1 is used: on a cgroup v2 system a tool can make child
** cgroups with controllers only by moving itself into a delegated
** subtree, which this tool does not do.
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

enum Controller { Memory, Pids, Cpu, Controllers };
const char* const Controller_Name[Controllers] = {"memory", "pids", "cpuacct"};

std::string Tool_Folder[Controllers];  // the tool's own folder in each hierarchy; empty when none
bool Slot_Made[Sandbox_Slots];
int64_t Memory_Set[Sandbox_Slots];

std::string Slot_Folder(int Slot, int C) { return Tool_Folder[C] + "/box_" + std::to_string(Slot); }

bool Write_Small(const std::string& Path, const std::string& Text) {
  int File = open(Path.c_str(), O_WRONLY | O_CLOEXEC);
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

/* Where hierarchy C is mounted and where in it this process is, from
** /proc/self/cgroup ("4:memory:/some/path"); empty when C is not there. */
std::string Own_Folder(int C) {
  std::istringstream Lines(Read_Small("/proc/self/cgroup"));
  for (std::string Line; std::getline(Lines, Line);) {
    size_t First = Line.find(':'), Second = Line.find(':', First + 1);
    if (First == std::string::npos || Second == std::string::npos) continue;
    std::string Names = Line.substr(First + 1, Second - First - 1), Path = Line.substr(Second + 1);
    std::string Listed = "," + Names + ",";
    if (Listed.find(std::string(",") + Controller_Name[C] + ",") == std::string::npos) continue;
    for (const std::string& Mount : {"/sys/fs/cgroup/" + Names, std::string("/sys/fs/cgroup/") + Controller_Name[C]}) {
      std::string Folder = Mount + (Path == "/" ? "" : Path);
      if (access((Folder + "/cgroup.procs").c_str(), F_OK) == 0) return Folder;
    }
  }
  return "";
}

/* Removes a cgroup folder: its own files go with rmdir. */
void Remove_Cgroup(const std::string& Folder) { rmdir(Folder.c_str()); }

/* The folders that tools killed outright left in Folder: their process is
** gone. */
void Remove_Stale(const std::string& Folder) {
  DIR* Listing = opendir(Folder.c_str());
  if (Listing == nullptr) return;
  for (dirent* Entry; (Entry = readdir(Listing)) != nullptr;) {
    int Pid = 0;
    if (std::sscanf(Entry->d_name, "zor_sandbox.%d", &Pid) != 1 || Pid <= 0) continue;
    if (kill(Pid, 0) == 0 || errno != ESRCH) continue;
    std::string Stale = Folder + "/" + Entry->d_name;
    for (int Slot = 0; Slot < Sandbox_Slots; Slot++) Remove_Cgroup(Stale + "/box_" + std::to_string(Slot));
    Remove_Cgroup(Stale);
  }
  closedir(Listing);
}

}  // namespace

bool Cgroup_Begin(std::string* Why_Not) {
  if (geteuid() != 0) {
    *Why_Not = "no cgroup (only root makes them here)";
    return false;
  }
  for (int C = 0; C < Controllers; C++) {
    std::string Own = Own_Folder(C);
    if (Own.empty()) {
      *Why_Not = std::string("no cgroup (no cgroup v1 ") + Controller_Name[C] + " controller under /sys/fs/cgroup)";
      Cgroup_End();
      return false;
    }
    Remove_Stale(Own);
    Tool_Folder[C] = Own + "/zor_sandbox." + std::to_string(getpid());
    if (mkdir(Tool_Folder[C].c_str(), 0755) != 0 && errno != EEXIST) {
      *Why_Not = "no cgroup (cannot make one in " + Own + ": " + std::strerror(errno) + ")";
      Tool_Folder[C].clear();
      Cgroup_End();
      return false;
    }
  }
  return true;
}

bool Cgroup_Prepare(int Slot, const Sandbox_Limits& Limits, Cgroup_Marks* Marks, std::vector<std::string>* Join) {
  if (!Slot_Made[Slot]) {
    for (int C = 0; C < Controllers; C++)
      if (mkdir(Slot_Folder(Slot, C).c_str(), 0755) != 0 && errno != EEXIST) return false;
    Slot_Made[Slot] = true;
    Memory_Set[Slot] = -1;
  }
  std::string Memory_Folder = Slot_Folder(Slot, Memory), Pids_Folder = Slot_Folder(Slot, Pids);
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
  ** first process count too. */
  std::string Most = Limits.Processes > 0 ? std::to_string(Limits.Processes + 2) : "max";
  if (!Write_Small(Pids_Folder + "/pids.max", Most)) return false;
  Write_Small(Memory_Folder + "/memory.max_usage_in_bytes", "0");
  Write_Small(Slot_Folder(Slot, Cpu) + "/cpuacct.usage", "0");
  Marks->Oom_Kills = Keyed(Read_Small(Memory_Folder + "/memory.oom_control"), "oom_kill");
  Marks->Pids_Refused = Keyed(Read_Small(Pids_Folder + "/pids.events"), "max");
  Join->clear();
  for (int C = 0; C < Controllers; C++) Join->push_back(Slot_Folder(Slot, C) + "/cgroup.procs");
  return true;
}

double Cgroup_Cpu_Seconds(int Slot) {
  int64_t Nanoseconds = Number_In(Slot_Folder(Slot, Cpu) + "/cpuacct.usage");
  return Nanoseconds < 0 ? -1 : static_cast<double>(Nanoseconds) / 1e9;
}

void Cgroup_Results(int Slot, const Cgroup_Marks& Marks, Sandbox_Result* Result, bool* Out_Of_Memory,
                    bool* Refused_Processes) {
  std::string Memory_Folder = Slot_Folder(Slot, Memory);
  Result->Cpu_Seconds = Cgroup_Cpu_Seconds(Slot);
  Result->Peak_Memory_Bytes = Number_In(Memory_Folder + "/memory.max_usage_in_bytes");
  *Out_Of_Memory = Keyed(Read_Small(Memory_Folder + "/memory.oom_control"), "oom_kill") > Marks.Oom_Kills;
  *Refused_Processes = Keyed(Read_Small(Slot_Folder(Slot, Pids) + "/pids.events"), "max") > Marks.Pids_Refused;
}

void Cgroup_Empty(int Slot) {
  std::string Procs = Slot_Folder(Slot, Pids) + "/cgroup.procs";
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

void Cgroup_End() {
  for (int C = 0; C < Controllers; C++) {
    if (Tool_Folder[C].empty()) continue;
    for (int Slot = 0; Slot < Sandbox_Slots; Slot++)
      if (Slot_Made[Slot]) Remove_Cgroup(Slot_Folder(Slot, C));
    Remove_Cgroup(Tool_Folder[C]);
    Tool_Folder[C].clear();
  }
  for (bool& Made : Slot_Made) Made = false;
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
