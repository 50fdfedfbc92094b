/*
** sandbox_box.cpp
** The box as bubblewrap builds it, and the tier: what this machine lets
** the tool have, found once by running `true` in a box, and said in plain
** words, with what to change where the machine refuses.
**
** The box's file system is an empty one with only these in it: /usr and
** the links or folders beside it (/bin, /lib, ...), /etc, all three
** read-only, a fresh /proc and /dev, copies of
** the files and folders the caller names as readable (the user's
** program, its script, its folder), bound read-only at the paths they
** were asked under, and the
** working folder, the only writable place. A copy, not the file itself:
** the box's user may not be able to reach the original (a teacher's home),
** and the run cannot see a file changed under it. Where the kit itself is
** installed under /usr, its programs are masked by /dev/null.
*/
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace fs = std::filesystem;

const char* const Box_Path = "/usr/local/bin:/usr/bin:/bin";

namespace {

/* /etc is bound whole: it holds what every user of the machine may read
** (the loader's cache, the alternatives' links, interpreters' settings,
** the time zone), and one mount costs far less than one per file. */
const char* const Beside_Usr[] = {"bin", "sbin", "lib", "lib32", "lib64", "libx32"};

std::mutex Copies_Lock;
std::map<std::pair<std::string, uid_t>, std::string> Copies;  // asked path and the run's user -> copy
std::map<std::string, std::string> Sources;  // asked path -> the file its copies are made from
int Copies_Made = 0;

bool Under(const std::string& Path, const std::string& Tree) {
  return Path == Tree || (Path.size() > Tree.size() && Path.compare(0, Tree.size(), Tree) == 0 &&
                          (Tree.back() == '/' || Path[Tree.size()] == '/'));
}

}  // namespace

/* The copy is made by the tool and given to the run's user alone (Uid 0:
** the tool's own user), without permissions for anyone else. */
bool Copy_Readable_File(const std::string& From, const std::string& To, uid_t Uid, std::string* Problem) {
  int In = open(From.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat Status;
  if (In < 0 || fstat(In, &Status) != 0 || !S_ISREG(Status.st_mode)) {
    *Problem = From + " is not a readable file";
    if (In >= 0) close(In);
    return false;
  }
  int Out = open(To.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                 (Status.st_mode & 0111) != 0 ? 0700 : 0600);
  bool Ok = Out >= 0 && (Uid == 0 || fchown(Out, Uid, Uid) == 0);
  char Buffer[65536];
  for (ssize_t Got; Ok && (Got = read(In, Buffer, sizeof Buffer)) != 0;) {
    if (Got < 0 && errno == EINTR) continue;
    Ok = Got > 0 && write(Out, Buffer, static_cast<size_t>(Got)) == Got;
  }
  if (Out >= 0) Ok = close(Out) == 0 && Ok;
  close(In);
  if (!Ok) *Problem = "cannot copy " + From + " for the box: " + std::strerror(errno);
  return Ok;
}

namespace {

/* An empty file where a file is to be bound inside a folder's copy. */
void Make_Mount_Point(const std::string& Path) {
  std::error_code Error;
  fs::create_directories(fs::path(Path).parent_path(), Error);
  int Made = open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (Made >= 0) close(Made);
}

std::string First_Line(const std::string& Text) {
  std::string Line = Text.substr(0, Text.find('\n'));
  return Line.size() > 200 ? Line.substr(0, 200) + "..." : Line;
}

int Sysctl(const char* Path) {
  std::ifstream In(Path);
  int Value = -1;
  In >> Value;
  return In ? Value : -1;
}

/* Why bubblewrap could not make the box, and what to change, from what
** it said. */
std::string Why_Refused(const std::string& Said) {
  std::string Quoted = "(bubblewrap said \"" + First_Line(Said) + "\")";
  if (Said.find("uid map") != std::string::npos || Said.find("No permissions to creat") != std::string::npos) {
    if (Sysctl("/proc/sys/kernel/apparmor_restrict_unprivileged_userns") == 1)
      return "AppArmor restricts unprivileged user namespaces " + Quoted +
             ": set sysctl kernel.apparmor_restrict_unprivileged_userns=0, or give bwrap an AppArmor profile "
             "that allows them";
    if (Sysctl("/proc/sys/kernel/unprivileged_userns_clone") == 0)
      return "unprivileged user namespaces are turned off " + Quoted + ": set sysctl kernel.unprivileged_userns_clone=1";
    if (Sysctl("/proc/sys/user/max_user_namespaces") == 0)
      return "user namespaces are turned off " + Quoted + ": set sysctl user.max_user_namespaces=10000";
    return "this system refuses user namespaces " + Quoted + ": allow unprivileged user namespaces";
  }
  if (Said.find("Creating new namespace failed") != std::string::npos ||
      Said.find("Operation not permitted") != std::string::npos)
    return "this system refuses new namespaces " + Quoted +
           ": in a container, allow them (Docker: --security-opt seccomp=unconfined), or run the tool outside it";
  if (Said.find("Can't find source path") != std::string::npos)
    return "the box cannot reach its folder " + Quoted +
           ": every folder above the temporary folder must be searchable by others (chmod o+x), or set TMPDIR";
  return "bubblewrap could not make a box " + Quoted;
}

/* Runs `true` in a box: the probe of the tier. Empty when it ran. */
std::string Probe_Box() {
  std::string Folder = Sandbox().Private + "/probe";
  if (mkdir(Folder.c_str(), 0700) != 0 && errno != EEXIST) return std::string("cannot make a folder: ") + std::strerror(errno);
  Sandbox_Request Probe;
  Probe.Command = {fs::exists("/usr/bin/true") ? "/usr/bin/true" : "/bin/true"};
  Probe.Folder = Folder;
  Probe.Limits = Default_Sandbox_Limits();
  Sandbox_Result R = Run_Contained(Probe);
  Remove_Tree(Folder);
  if (R.Ending == Sandbox_Exited && R.Status == 0) return "";
  return Why_Refused(R.Detail.empty() ? R.Err : R.Detail);
}

/* No kernel counts what a folder holds: the watch looks. */
const char* const Folder_Held_Words = "; a run's folder (its bytes and entries) by looks while it runs and at its end";

std::string Tier_Words(const std::string& Cgroup_Missing) {
  const Sandbox_State& S = Sandbox();
  std::string Words = "sandbox: each run in a box of its own (bubblewrap: its folder the only one writable, no network)";
  Words += S.Own_Users ? ", as a user id of its own" : ", as your user id";
  return Words + "; " + Cgroup_Held_Words(Cgroup_Missing, S.Own_Users) + Folder_Held_Words;
}

}  // namespace

std::string Sandbox_Own_Program(const std::string& Path, const std::string& Name) {
  if (!Sandbox_Boxed() || Name.find('/') != std::string::npos || In_System_Tree(Path)) return "";
  std::istringstream Folders(Box_Path);
  for (std::string Folder; std::getline(Folders, Folder, ':');) {
    std::string Candidate = Folder + "/" + Name;
    if (access(Candidate.c_str(), X_OK) == 0) return Candidate;
  }
  return "";
}

bool In_System_Tree(const std::string& Path) {
  for (const char* Tree : {"/usr", "/proc", "/dev", "/etc"})
    if (Under(Path, Tree)) return true;
  for (const char* Top : Beside_Usr)
    if (Under(Path, std::string("/") + Top)) return true;
  return false;
}

const std::vector<std::string>& Kit_Program_Names() {
  static const std::vector<std::string> Names = {ZOR_KIT_PROGRAMS};
  return Names;
}

std::vector<std::string> Masked_Kit_Programs(const std::vector<std::string>& Trees,
                                             const std::vector<std::string>& Folders) {
  std::vector<std::string> Masked;
  for (const std::string& Folder : Folders) {
    std::error_code Error;
    std::string Real = fs::canonical(Folder, Error).string();
    if (Error || std::none_of(Trees.begin(), Trees.end(), [&](const std::string& T) { return Under(Real, T); }))
      continue;
    for (const std::string& Name : Kit_Program_Names()) {
      std::string Path = Real + "/" + Name;
      struct stat Status;
      if (lstat(Path.c_str(), &Status) == 0 && std::find(Masked.begin(), Masked.end(), Path) == Masked.end())
        Masked.push_back(Path);
    }
  }
  return Masked;
}

std::vector<std::string> Fixed_Box_Arguments() {
  std::vector<std::string> A = {Sandbox().Bwrap, "--die-with-parent", "--new-session", "--unshare-user",
                                "--unshare-pid", "--unshare-ipc", "--unshare-uts", "--unshare-cgroup-try"};
  if (!Sandbox().Slot_Networks) A.push_back("--unshare-net");
  A.insert(A.end(), {"--ro-bind", "/usr", "/usr"});
  std::vector<std::string> Trees = {"/usr"};
  for (const char* Top : Beside_Usr) {
    std::string Path = std::string("/") + Top;
    struct stat Status;
    if (lstat(Path.c_str(), &Status) != 0) continue;
    if (S_ISLNK(Status.st_mode)) {
      A.insert(A.end(), {"--symlink", fs::read_symlink(Path).string(), Path});
    } else if (S_ISDIR(Status.st_mode)) {
      A.insert(A.end(), {"--ro-bind", Path, Path});
      Trees.push_back(Path);
    }
  }
  A.insert(A.end(), {"--ro-bind", "/etc", "/etc", "--proc", "/proc", "--dev", "/dev"});
  /* Where the kit is installed in a tree the box sees, its programs are
  ** there: in the tool's own folder, and on the tool's PATH. */
  std::vector<std::string> Folders = {"/usr/bin", "/usr/local/bin"};
  std::error_code Error;
  fs::path Self = fs::read_symlink("/proc/self/exe", Error);
  if (!Error) Folders.push_back(Self.parent_path().string());
  const char* Path = std::getenv("PATH");
  std::istringstream Listed(Path != nullptr ? Path : "");
  for (std::string Folder; std::getline(Listed, Folder, ':');)
    if (!Folder.empty() && Folder[0] == '/') Folders.push_back(Folder);
  for (const std::string& Masked : Masked_Kit_Programs(Trees, Folders))
    A.insert(A.end(), {"--ro-bind", "/dev/null", Masked});
  A.insert(A.end(), {"--clearenv", "--setenv", "PATH", Box_Path, "--setenv", "LANG", "C.UTF-8"});
  return A;
}

std::vector<std::string> Box_Arguments(const Sandbox_Request& Request, uid_t Uid,
                                       const std::vector<std::pair<std::string, std::string>>& Copies_Of) {
  std::vector<std::string> A = Sandbox().Fixed_Arguments;
  if (Uid != 0) A.insert(A.end(), {"--uid", std::to_string(Uid), "--gid", std::to_string(Uid)});
  /* Its folder is the only place it can write, so it is its temporary
  ** folder too: compilers and the profiler make their scratch files there. */
  A.insert(A.end(), {"--setenv", "HOME", Request.Folder, "--setenv", "TMPDIR", Request.Folder});
  /* Folders first, then the files, some of which lie inside a folder
  ** shown (the program, which a folder's copy leaves out when it is one
  ** of the kit's): bubblewrap cannot make a mount point in a folder bound
  ** read-only, so the copy holds one already. */
  std::vector<std::pair<std::string, std::string>> Folders;
  for (const auto& [Copy, Asked] : Copies_Of) {
    if (!fs::is_directory(Copy)) continue;
    A.insert(A.end(), {"--ro-bind", Copy, Asked});
    Folders.push_back({Copy, Asked});
    if (Copy == Asked)
      for (const std::string& Masked : Masked_Kit_Programs({Asked}, {Asked}))
        A.insert(A.end(), {"--ro-bind", "/dev/null", Masked});
  }
  for (const auto& [Copy, Asked] : Copies_Of) {
    if (fs::is_directory(Copy)) continue;
    for (const auto& [Folder_Copy, Folder] : Folders)
      if (Folder_Copy != Folder && Under(Asked, Folder)) Make_Mount_Point(Folder_Copy + Asked.substr(Folder.size()));
    A.insert(A.end(), {"--ro-bind", Copy, Asked});
  }
  A.insert(A.end(), {"--bind", Request.Folder, Request.Folder, "--remount-ro", "/", "--chdir", Request.Folder, "--"});
  A.insert(A.end(), Request.Command.begin(), Request.Command.end());
  return A;
}

std::string Readable_Copy(const std::string& Path, uid_t Uid, std::string* Problem) {
  if (In_System_Tree(Path)) return "";
  std::lock_guard<std::mutex> Hold(Copies_Lock);
  auto Known = Copies.find({Path, Uid});
  if (Known != Copies.end()) return Known->second;
  /* Only the folder of the copies is searchable by others: each copy's own
  ** folder is its user's alone. */
  std::string Folder = Sandbox().Private + "/copies/" + std::to_string(Copies_Made++);
  std::error_code Error;
  fs::create_directories(Folder, Error);
  chmod((Sandbox().Private + "/copies").c_str(), 0711);
  if (chmod(Folder.c_str(), 0700) != 0 || (Uid != 0 && chown(Folder.c_str(), Uid, Uid) != 0)) {
    *Problem = "cannot make a folder for the box's copies in " + Sandbox().Private;
    return "";
  }
  std::string Copy = Folder + "/" + fs::path(Path).filename().string();
  struct stat Status;
  std::string Too_Large;
  if (stat(Path.c_str(), &Status) == 0 && S_ISDIR(Status.st_mode) && !Fits_A_Run_Folder(Path, &Too_Large)) {
    /* Too large to copy for a run (a home, a build tree, named as a data
    ** folder): shown as it is, read-only, the kit's programs in it masked. */
    Copies[{Path, Uid}] = Path;
    return Path;
  }
  if (S_ISDIR(Status.st_mode)) {
    if (mkdir(Copy.c_str(), 0700) != 0 || (Uid != 0 && chown(Copy.c_str(), Uid, Uid) != 0) ||
        !Copy_Tree(Path, Copy, Uid, {}, Problem)) {
      if (Problem->empty()) *Problem = "cannot copy " + Path + " for the box: " + std::strerror(errno);
      return "";
    }
  } else {
    auto Source = Sources.find(Path);
    if (!Copy_Readable_File(Source != Sources.end() ? Source->second : Path, Copy, Uid, Problem)) return "";
  }
  Copies[{Path, Uid}] = Copy;
  return Copy;
}

void Sandbox_Copy_From(const std::string& Asked, const std::string& Source) {
  std::lock_guard<std::mutex> Hold(Copies_Lock);
  Sources[Asked] = Source;
}

void Sandbox_Drop_Copies(const std::string& Tree) {
  std::lock_guard<std::mutex> Hold(Copies_Lock);
  for (auto It = Copies.begin(); It != Copies.end();) {
    if (!Under(It->first.first, Tree)) {
      ++It;
      continue;
    }
    Remove_Tree(fs::path(It->second).parent_path().string());
    It = Copies.erase(It);
  }
  for (auto It = Sources.begin(); It != Sources.end();) It = Under(It->first, Tree) ? Sources.erase(It) : std::next(It);
}

bool Sandbox_Start(Sandbox_Mode Mode, std::string* Said, std::string* Refusal) {
  Sandbox_State& S = Sandbox();
  S = Sandbox_State{};
  S.Mode = Mode;
  if (Mode == Sandbox_Off) {
    *Said = "sandbox off: programs run as plain child processes, under the time, output, file and folder limits only";
    return true;
  }
  std::string Private = (fs::temp_directory_path() / "zor_sandbox.XXXXXX").string();
  if (mkdtemp(Private.data()) == nullptr || chmod(Private.c_str(), 0711) != 0) {
    *Refusal = "cannot make a folder in " + fs::temp_directory_path().string() + ": " + std::strerror(errno);
    return false;
  }
  S.Private = Private;
  std::string Cgroup_Missing;
  S.Cgroup = Cgroup_Begin(&Cgroup_Missing);
  /* As root, each run is an unprivileged user of its own, in a box or not. */
  S.Own_Users = geteuid() == 0;
  S.Slot_Networks = geteuid() == 0;
  std::string No_Uids;
  if (S.Own_Users && !Choose_Run_Uids(&No_Uids)) {
    *Refusal = "cannot give runs a user of their own: " + No_Uids;
    Sandbox_Finish();
    return false;
  }
  S.Bwrap = Sandbox_Find_On_Path("bwrap");
  std::string Missing = S.Bwrap.empty() ? "bubblewrap is not installed (apt-get install bubblewrap)" : "";
  if (Missing.empty()) {
    S.Fixed_Arguments = Fixed_Box_Arguments();
    S.Boxed = true;
    Missing = Probe_Box();
    S.Boxed = Missing.empty();
  }
  if (!S.Boxed) S.Slot_Networks = false;
  if (S.Boxed) {
    *Said = Tier_Words(Cgroup_Missing);
    return true;
  }
  if (Mode == Sandbox_Required) {
    *Refusal = "--sandbox required, but " + Missing;
    Sandbox_Finish();
    return false;
  }
  if (S.Own_Users) {
    Close_To_Others(Kit_Programs_A_Box_Masks());
    *Said = "sandbox: no box (" + Missing + "); each run as a fresh user id of its own (no capabilities, its " +
            "folder the only one it owns, its own process group, limits), every process of that user ended after " +
            "it; it sees the file system and network as any user does; " + Cgroup_Held_Words(Cgroup_Missing, true) +
            Folder_Held_Words;
    return true;
  }
  *Said = "sandbox: no box (" + Missing + "); programs run uncontained, under the time, output, file and folder "
          "limits; " + Cgroup_Held_Words(Cgroup_Missing, false) + Folder_Held_Words;
  return true;
}

Sandbox_Tier Sandbox_Current_Tier() {
  const Sandbox_State& S = Sandbox();
  return S.Mode == Sandbox_Off ? Sandbox_Tier_Plain
         : S.Boxed             ? Sandbox_Tier_Box
         : S.Own_Users         ? Sandbox_Tier_Own_User
                               : Sandbox_Tier_Plain;
}

void Sandbox_Finish() {
  Sandbox_State& S = Sandbox();
  Drop_Kept_Boxes();
  Cgroup_End();
  Close_Slot_Networks();
  Reopen_To_Others();
  S.Cgroup = false;
  if (!S.Private.empty()) Remove_Tree(S.Private);
  S.Private.clear();
  std::lock_guard<std::mutex> Hold(Copies_Lock);
  Copies.clear();
  Sources.clear();
}

Sandbox_Mode Sandbox_Mode_Named(const std::string& Name) {
  return Name == "off" ? Sandbox_Off : Name == "required" ? Sandbox_Required : Sandbox_Auto;
}

std::string Sandbox_Find_On_Path(const std::string& Name) {
  const char* Path = std::getenv("PATH");
  std::istringstream Folders(Path != nullptr ? Path : "/usr/bin:/bin");
  for (std::string Folder; std::getline(Folders, Folder, ':');) {
    std::string Candidate = (Folder.empty() ? "." : Folder) + "/" + Name;
    struct stat Status;
    if (stat(Candidate.c_str(), &Status) == 0 && S_ISREG(Status.st_mode) && access(Candidate.c_str(), X_OK) == 0)
      return Candidate;
  }
  return "";
}
