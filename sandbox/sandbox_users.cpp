/*
** sandbox_users.cpp
** The user ids a root tool runs programs as, and the tier without a box.
**
** A run as a user of its own cannot signal, trace or write the tool, the
** other runs or anything of root's, and the process limit binds it. In a
** box each slot keeps one id, since the box hides every other run's
** files and gives each run fresh namespaces. Without a box (bubblewrap
** cannot start, as under Docker's default seccomp) the file system is
** shared, so each run takes a fresh id no earlier run had: what one run
** left or still owns, the next cannot reach. The run's program and
** readable files are copied for it into a folder only its group may
** read, and after the run every process of its id is ended.
*/
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace fs = std::filesystem;

namespace {

/* Every id lies in [Lowest_Run_Uid, Lowest_Run_Uid + Run_Uid_Span): below
** 2^31, since some programs keep ids in signed 32-bit numbers; above
** SSSD's default mapping of domain (Active Directory, LDAP) users,
** 200000 .. 2000200000; apart from systemd's ranges (dynamic users near
** 61184 .. 65519, containers 524288 .. 1879048191, foreign 2147352576 ..)
** and from the subordinate ids useradd hands out from 100000 on. No
** account system hands these out by default; each is still checked. */
constexpr uid_t Lowest_Run_Uid = 0x78000000u;  // 2013265920
constexpr uid_t Run_Uid_Span = 0x07000000u;    // up to 2130706431
/* One tool's block: its slots' ids in a box, or the fresh ids of its
** runs without one (taken in turn, so an id comes back only after this
** many runs, long after its run's folders are gone). Without a box the
** ids are taken in pairs: the run's, and the next, which is no run's,
** for the process that ends the run's processes (Act_As_Killer_Of). A
** killer of its own for each run, since kill(-1) reaches every process
** whose real or saved id is the killer's effective or real one: killers
** sharing an id would end each other, and with them runs that ended
** at the same moment. */
constexpr uid_t Block_Size = 65536;
constexpr uid_t Blocks = Run_Uid_Span / Block_Size;
static_assert(Block_Size >= Sandbox_Slots);

std::mutex Fresh_Lock;
uid_t Next_Fresh = 0;  // within the block

struct Closed_File {
  std::string Path;
  mode_t Mode;  // as it was
};
std::vector<Closed_File> Closed;

bool Has_Account(uid_t Uid) {
  passwd Entry;
  passwd* Found = nullptr;
  char Buffer[4096];
  return getpwuid_r(Uid, &Entry, Buffer, sizeof Buffer, &Found) == 0 && Found != nullptr;
}

/* The user ids of every process on the machine, real, effective, saved
** and file system alike. */
std::vector<uid_t> Running_Uids() {
  std::vector<uid_t> Uids;
  std::error_code Error;
  for (const auto& Entry : fs::directory_iterator("/proc", Error)) {
    std::string Name = Entry.path().filename().string();
    if (Name.empty() || Name[0] < '0' || Name[0] > '9') continue;
    FILE* Status = std::fopen(("/proc/" + Name + "/status").c_str(), "r");
    if (Status == nullptr) continue;
    char Line[256];
    unsigned long Ids[4];
    while (std::fgets(Line, sizeof Line, Status) != nullptr)
      if (std::sscanf(Line, "Uid: %lu %lu %lu %lu", &Ids[0], &Ids[1], &Ids[2], &Ids[3]) == 4) {
        for (unsigned long Id : Ids) Uids.push_back(static_cast<uid_t>(Id));
        break;
      }
    std::fclose(Status);
  }
  std::sort(Uids.begin(), Uids.end());
  return Uids;
}

bool In_Use(uid_t Uid, const std::vector<uid_t>& Running) {
  return Has_Account(Uid) || std::binary_search(Running.begin(), Running.end(), Uid);
}

/* Copies From, a file or a folder (the program's, a class path), into
** Folder, given to the run's user Uid alone; a folder entry by entry,
** links as links, never followed. */
bool Copy_For_Run(const std::string& From, const std::string& Folder, uid_t Uid, std::string* Copy,
                  std::string* Problem) {
  *Copy = Folder + "/" + fs::path(From).filename().string();
  struct stat Status;
  if (lstat(From.c_str(), &Status) != 0 || !S_ISDIR(Status.st_mode))
    return Copy_Readable_File(From, *Copy, Uid, Problem);
  return mkdir(Copy->c_str(), 0700) == 0 && chown(Copy->c_str(), Uid, Uid) == 0 &&
         Copy_Tree(From, *Copy, Uid, {}, Problem);
}

}  // namespace

bool Choose_Run_Uids(std::string* Problem) {
  std::vector<uid_t> Running = Running_Uids();
  uid_t First_Block = static_cast<uid_t>(getpid()) % Blocks;
  for (uid_t Tried = 0; Tried < 64; Tried++) {
    uid_t First = Lowest_Run_Uid + ((First_Block + Tried * 7919u) % Blocks) * Block_Size;
    bool Free = true;
    for (uid_t Slot = 0; Free && Slot < Sandbox_Slots; Slot++) Free = !In_Use(First + Slot, Running);
    if (!Free) continue;
    Sandbox().First_Uid = First;
    std::lock_guard<std::mutex> Hold(Fresh_Lock);
    Next_Fresh = Sandbox_Slots;
    return true;
  }
  *Problem = "no free block of user ids for the runs";
  return false;
}

uid_t Fresh_Run_Uid() {
  std::vector<uid_t> Running = Running_Uids();
  std::lock_guard<std::mutex> Hold(Fresh_Lock);
  for (uid_t Tried = 0; Tried < Block_Size; Tried++) {
    uid_t Uid = Sandbox().First_Uid + Next_Fresh;
    Next_Fresh = Next_Fresh + 3 < Block_Size ? Next_Fresh + 2 : Sandbox_Slots;
    if (!In_Use(Uid, Running) && !In_Use(Uid + 1, Running)) return Uid;
  }
  return 0;
}

bool Uid_Free(uid_t Uid) { return !In_Use(Uid, Running_Uids()); }

bool Plan_Own_User_Run(const Sandbox_Request& R, Child_Plan& P, std::string* Problem) {
  if (P.Uid == 0) return *Problem = "no user id for the run", false;
  /* Only the run's own user may see its folder: the folders of other
  ** runs, other students' among them, are as closed to it. */
  if (chmod(R.Folder.c_str(), 0700) != 0)
    return *Problem = "cannot close " + R.Folder + " to others: " + std::strerror(errno), false;
  std::string Folder = Sandbox().Private + "/run_" + std::to_string(P.Uid);
  /* Modes set in so many words: the tool's umask may close what mkdir makes. */
  if (mkdir(Folder.c_str(), 0750) != 0 || chmod(Folder.c_str(), 0750) != 0 || chown(Folder.c_str(), 0, P.Uid) != 0)
    return *Problem = "cannot make a folder for the run's files: " + std::string(std::strerror(errno)), false;
  P.Copies_Folder = Folder;
  std::vector<std::string> Readable = R.Readable;
  if (R.Command[0].find('/') != std::string::npos) Readable.insert(Readable.begin(), R.Command[0]);
  for (size_t I = 0; I < Readable.size(); I++) {
    std::string Asked = fs::absolute(Readable[I]).lexically_normal().string();
    if (In_System_Tree(Asked)) continue;
    /* A folder of each file's own, so that two files of one name stay two. */
    std::string Own = Folder + "/" + std::to_string(I), Copy;
    if (mkdir(Own.c_str(), 0711) != 0 || chmod(Own.c_str(), 0711) != 0 || !Copy_For_Run(Asked, Own, P.Uid, &Copy, Problem)) {
      if (Problem->empty()) *Problem = "cannot copy " + Asked + " for the run: " + std::strerror(errno);
      return false;
    }
    for (std::string& Word : P.Words)
      if (Word == Readable[I] || Word == Asked) Word = Copy;
    if (I == 0 && R.Command[0].find('/') != std::string::npos) P.Exec_Path = Copy;
  }
  return true;
}

std::vector<std::string> Kit_Programs_A_Box_Masks() {
  std::vector<std::string> A = Fixed_Box_Arguments(), Paths;
  for (size_t I = 0; I + 2 < A.size(); I++)
    if (A[I] == "--ro-bind" && A[I + 1] == "/dev/null") Paths.push_back(A[I + 2]);
  return Paths;
}

void Close_To_Others(const std::vector<std::string>& Paths) {
  for (const std::string& Path : Paths) {
    struct stat Status;
    if (stat(Path.c_str(), &Status) != 0 || (Status.st_mode & S_IRWXO) == 0) continue;
    if (chmod(Path.c_str(), Status.st_mode & 07770) == 0) Closed.push_back({Path, Status.st_mode & 07777});
  }
}

void Reopen_To_Others() {
  for (const Closed_File& File : Closed) chmod(File.Path.c_str(), File.Mode);
  Closed.clear();
}

bool Act_As_Killer_Of(uid_t Uid) {
  uid_t Reserved = Uid + 1;  // the run's killer id, taken with it by Fresh_Run_Uid
  return syscall(SYS_setresgid, Reserved, Reserved, Reserved) == 0 &&
         syscall(SYS_setresuid, Reserved, Uid, Reserved) == 0;
}

void End_Processes_Of(uid_t Uid) {
  if (Uid == 0) return;
  pid_t Killer = fork();
  if (Killer == 0) {
    /* kill(-1) reaches exactly the run's processes (never this one):
    ** whatever left the process group or hid behind a double fork.
    ** Zombies still count until reaped, hence the rounds. */
    if (!Act_As_Killer_Of(Uid)) _exit(1);
    for (int Round = 0; Round < 400 && kill(-1, SIGKILL) == 0; Round++) {
      timespec Pause{0, 5000000};
      nanosleep(&Pause, nullptr);
    }
    _exit(kill(-1, SIGKILL) == 0 ? 2 : 0);
  }
  int Status = 0;
  while (Killer > 0 && waitpid(Killer, &Status, 0) < 0 && errno == EINTR) {
  }
}
