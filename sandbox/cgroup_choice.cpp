/*
** cgroup_choice.cpp
** Which cgroup hierarchy holds the limits of a run, decided once from
** what the tool sees of the machine: its mounts and its own cgroups.
**
** Machines differ. Older ones and hybrids mount cgroup v1, one hierarchy
** per controller; Debian 12 and current Ubuntu mount only cgroup v2, one
** hierarchy whose controllers a cgroup hands down to its children only
** while it holds no process itself. Where v1 holds memory, pids and
** cpuacct, they are used (as root). Otherwise cgroup v2 is used where the
** tool's own cgroup offers memory and pids and the tool may write it: as
** root, or a subtree delegated to the user (systemd-run --user --scope
** -p Delegate=yes); the tool first moves itself into a leaf of its own so
** that its cgroup may hand the controllers down. On a hybrid, the v2
** hierarchy without controllers still places each run in a cgroup of its
** own, which cgroup.kill ends whole.
**
** Everything is read through a Cgroup_Sight, so that tests can point the
** decision at a fake tree of folders and files.
*/
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace {

const char* const Controller_Name[Cgroup_Controllers] = {"memory", "pids", "cpuacct"};

struct Mount {
  std::string Root, Point, Type, Options;
  bool Read_Only = false;
};

/* mountinfo writes a space, tab, newline and backslash in a path as
** three octal digits after a backslash. */
std::string Unescaped(const std::string& Text) {
  std::string Plain;
  for (size_t At = 0; At < Text.size(); At++) {
    if (Text[At] == '\\' && At + 3 < Text.size() && Text.find_first_not_of("01234567", At + 1) >= At + 4) {
      Plain += static_cast<char>(std::stoi(Text.substr(At + 1, 3), nullptr, 8));
      At += 3;
    } else {
      Plain += Text[At];
    }
  }
  return Plain;
}

bool Listed_In(const std::string& Commas, const std::string& Name) {
  return ("," + Commas + ",").find("," + Name + ",") != std::string::npos;
}

/* The cgroup mounts: "ID PARENT MAJ:MIN ROOT POINT OPTIONS [TAGS] - TYPE SOURCE SUPER". */
std::vector<Mount> Cgroup_Mounts(const std::string& Mountinfo) {
  std::vector<Mount> Mounts;
  std::istringstream Lines(Mountinfo);
  for (std::string Line; std::getline(Lines, Line);) {
    std::istringstream Words(Line);
    std::string Id, Parent, Device, Root, Point, Options, Word;
    if (!(Words >> Id >> Parent >> Device >> Root >> Point >> Options)) continue;
    while (Words >> Word && Word != "-") {
    }
    std::string Type, Source, Super;
    if (!(Words >> Type >> Source >> Super) || (Type != "cgroup" && Type != "cgroup2")) continue;
    Mounts.push_back({Unescaped(Root), Unescaped(Point), Type, Super, Listed_In(Options, "ro")});
  }
  return Mounts;
}

/* The folder of Path (a path in the hierarchy, as /proc/self/cgroup
** says it) under mount M; empty where M does not show it. */
std::string Folder_Under(const Mount& M, const std::string& Path) {
  std::string Inside;
  if (M.Root == "/") Inside = Path;
  else if (Path == M.Root) Inside = "/";
  else if (Path.rfind(M.Root + "/", 0) == 0) Inside = Path.substr(M.Root.size());
  else return "";
  std::string Folder = M.Point + (Inside == "/" ? "" : Inside);
  return access((Folder + "/cgroup.procs").c_str(), F_OK) == 0 ? Folder : "";
}

/* The tool's folder in the v1 hierarchy of controller Name, or in v2
** (Name empty); empty when there is none. Read_Only tells whether its
** mount is. */
std::string Own_Folder(const Cgroup_Sight& Sight, const std::vector<Mount>& Mounts, const std::string& Name,
                       bool* Read_Only) {
  std::istringstream Lines(Sight.Own);
  for (std::string Line; std::getline(Lines, Line);) {
    size_t First = Line.find(':'), Second = Line.find(':', First + 1);
    if (First == std::string::npos || Second == std::string::npos) continue;
    std::string Names = Line.substr(First + 1, Second - First - 1), Path = Line.substr(Second + 1);
    if (Name.empty() ? Line.rfind("0::", 0) != 0 : !Listed_In(Names, Name)) continue;
    for (auto M = Mounts.rbegin(); M != Mounts.rend(); ++M) {
      if (Name.empty() ? M->Type != "cgroup2" : M->Type != "cgroup" || !Listed_In(M->Options, Name)) continue;
      std::string Folder = Folder_Under(*M, Path);
      *Read_Only = M->Read_Only;
      if (!Folder.empty()) return Folder;
    }
  }
  return "";
}

bool Owned_By(const std::string& Path, uid_t Uid) {
  struct stat Status;
  return stat(Path.c_str(), &Status) == 0 && Status.st_uid == Uid;
}

/* Whether the tool may make cgroups in Folder and move itself there: as
** root, or where the folder and its files of processes and controllers
** were handed to its user. */
bool Delegated(const std::string& Folder, uid_t Euid) {
  if (Euid == 0) return true;
  for (const char* Name : {"", "/cgroup.procs", "/cgroup.subtree_control"})
    if (!Owned_By(Folder + Name, Euid)) return false;
  return true;
}

bool Offers(const std::string& Folder, const char* File) {
  std::istringstream Names(Read_Small(Folder + "/" + File));
  bool Memory = false, Pids = false;
  for (std::string Name; Names >> Name;) Memory |= Name == "memory", Pids |= Name == "pids";
  return Memory && Pids;
}

/* Whether Folder holds no process but the tool. */
bool Holds_Only(const std::string& Folder, pid_t Pid) {
  std::istringstream Listed(Read_Small(Folder + "/cgroup.procs"));
  bool Any = false;
  for (long Listed_Pid; Listed >> Listed_Pid; Any = true)
    if (Listed_Pid != Pid) return false;
  return Any;
}

/* cgroup v2's choice; Choice.V2_Own is the tool's own folder there. */
void Choose_V2(const Cgroup_Sight& Sight, bool Read_Only, Cgroup_Choice* Choice) {
  std::string Own = Choice->V2_Own;
  /* A tool that moved into its leaf earlier in this process starts from
  ** the folder it left. */
  std::string Leaf = "/zor_tool." + std::to_string(Sight.Pid);
  if (Own.size() > Leaf.size() && Own.compare(Own.size() - Leaf.size(), Leaf.size(), Leaf) == 0)
    Own.resize(Own.size() - Leaf.size());
  Choice->V2_Own.clear();
  if (!Offers(Own, "cgroup.controllers")) {
    Choice->Why_Not = "no cgroup (cgroup v2 at " + Own + " offers no memory and pids controllers)";
    return;
  }
  if (Read_Only || !Delegated(Own, Sight.Euid)) {
    Choice->Why_Not = "no cgroup (cgroup v2 at " + Own +
                      " is not yours to write: start the tool under systemd-run --user --scope -p Delegate=yes)";
    return;
  }
  bool Handed_Down = Offers(Own, "cgroup.subtree_control");
  bool Hierarchy_Root = !Own.empty() && access((Own + "/cgroup.type").c_str(), F_OK) != 0;
  if (!Handed_Down && !Hierarchy_Root && !Holds_Only(Own, Sight.Pid)) {
    Choice->Why_Not = "no cgroup (cgroup v2 at " + Own +
                      " holds other processes, so it cannot hand memory and pids down: start the tool in a scope "
                      "of its own, systemd-run --scope -p Delegate=yes)";
    return;
  }
  Choice->Version = Cgroup_V2;
  Choice->V2_Own = Own;
  Choice->Hand_Down = !Handed_Down;
  Choice->Leave_For_Leaf = !Handed_Down && !Hierarchy_Root;
}

}  // namespace

Cgroup_Sight Machine_Cgroup_Sight() {
  return {Read_Small("/proc/self/mountinfo"), Read_Small("/proc/self/cgroup"), geteuid(), getpid()};
}

Cgroup_Choice Choose_Cgroups(const Cgroup_Sight& Sight) {
  Cgroup_Choice Choice;
  Choice.Tool_Pid = Sight.Pid;
  std::vector<Mount> Mounts = Cgroup_Mounts(Sight.Mountinfo);
  bool V2_Read_Only = false, V1_Read_Only = false, V1_Whole = true;
  Choice.V2_Own = Own_Folder(Sight, Mounts, "", &V2_Read_Only);
  for (int C = 0; C < Cgroup_Controllers; C++) {
    bool Read_Only = false;
    Choice.V1_Own[C] = Own_Folder(Sight, Mounts, Controller_Name[C], &Read_Only);
    V1_Whole = V1_Whole && !Choice.V1_Own[C].empty();
    V1_Read_Only = V1_Read_Only || Read_Only;
  }
  if (V1_Whole) {
    if (Sight.Euid != 0 || V1_Read_Only) {
      Choice.Why_Not = Sight.Euid != 0 ? "no cgroup (only root makes them here)" : "no cgroup (cgroup v1 is read-only)";
      Choice.V2_Own.clear();
      for (std::string& Folder : Choice.V1_Own) Folder.clear();
      return Choice;
    }
    /* v2 beside v1 holds no controller here; it places and ends runs. */
    Choice.Version = Cgroup_V1;
    if (V2_Read_Only) Choice.V2_Own.clear();
    return Choice;
  }
  for (std::string& Folder : Choice.V1_Own) Folder.clear();
  if (Choice.V2_Own.empty()) {
    Choice.Why_Not = "no cgroup (neither cgroup v1's memory, pids and cpuacct nor cgroup v2 is mounted)";
    return Choice;
  }
  Choose_V2(Sight, V2_Read_Only, &Choice);
  return Choice;
}
