/*
** sandbox_kept.cpp
** Boxes kept for many runs. bubblewrap takes a few milliseconds of CPU
** to make a box, several times what starting a short program costs; a
** checker that runs one program hundreds of times keeps a box per worker
** instead, and each run enters it (Run_In_Kept_Box, sandbox_child.cpp).
**
** The box's first process is a shell that says it is ready and sleeps;
** the tool holds the box's namespaces open by descriptor. A kept box is
** the slot's for as long as it is kept: its user id, its cgroup (which
** each run joins, and which ends whatever a run left), its network. A
** run may end the box (what sleeps there is its own user's): the next
** run of the box makes it again.
*/
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>

#include <fcntl.h>
#include <linux/nsfs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace {

struct Kept_Box {
  bool Used = false;
  Sandbox_Request Like;
  pid_t Bwrap = 0;  // the tool's child that runs bubblewrap, reaped when the box ends
  Kept_Entry Entry;
};

/* Indexed by slot: a kept box holds its slot, so each slot has one box at most. */
Kept_Box Boxes[Sandbox_Slots];
std::mutex Boxes_Lock;

const char* const Namespace_Names[Kept_Namespaces] = {"ipc", "uts", "net", "cgroup", "mnt"};

/* Fields 48 to 51 of /proc/self/stat: where the command line and the
** environment lie. */
void Note_Tool_Memory(Kept_Entry& E) {
  std::string Stat = Read_Small("/proc/self/stat");
  size_t At = Stat.rfind(')');
  if (At == std::string::npos) return;
  std::istringstream Fields(Stat.substr(At + 2));
  std::string Field;
  unsigned long long Value[4] = {0, 0, 0, 0};
  for (int Number = 3; Number <= 51 && Fields >> Field; Number++)
    if (Number >= 48) Value[Number - 48] = std::strtoull(Field.c_str(), nullptr, 10);
  E.Arguments_From = Value[0], E.Arguments_To = Value[1], E.Environment_From = Value[2], E.Environment_To = Value[3];
}

void Close_Entry(Kept_Entry& E) {
  for (int* Fd : {&E.Outer_User, &E.Inner_User})
    if (*Fd >= 0) close(*Fd), *Fd = -1;
  for (int& Fd : E.Namespace)
    if (Fd >= 0) close(Fd), Fd = -1;
}

void End_Box(Kept_Box& B) {
  if (B.Bwrap > 0) {
    kill(B.Bwrap, SIGKILL);
    while (waitpid(B.Bwrap, nullptr, 0) < 0 && errno == EINTR) {
    }
    B.Bwrap = 0;
  }
  Close_Entry(B.Entry);
}

/* Reads Fd until what was read holds Until, for Seconds at most. */
bool Read_Until(int Fd, const char* Until, double Seconds, std::string* Got) {
  auto Deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
  while (Got->find(Until) == std::string::npos) {
    auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now());
    if (Left.count() <= 0) return false;
    pollfd Wait{Fd, POLLIN, 0};
    int Ready = poll(&Wait, 1, static_cast<int>(Left.count()));
    if (Ready < 0 && errno == EINTR) continue;
    if (Ready <= 0) return false;
    char Buffer[512];
    ssize_t Count = read(Fd, Buffer, sizeof Buffer);
    if (Count < 0 && errno == EINTR) continue;
    if (Count <= 0 || Got->size() > 65536) return false;
    Got->append(Buffer, static_cast<size_t>(Count));
  }
  return true;
}

/* Pipes for the box's first process: its output (the word that it is
** ready), its errors (bubblewrap's, if it cannot make the box), the box's
** process number (--info-fd) and the child's own failure. Every end sits
** above descriptor 3, which the child fills with the info pipe. */
bool Make_Box_Pipes(int Mine[4], int Theirs[4]) {
  for (int I = 0; I < 4; I++) {
    int Ends[2];
    if (pipe2(Ends, O_CLOEXEC) != 0) return false;
    Mine[I] = Above_Child_Descriptors(Ends[0]), Theirs[I] = Above_Child_Descriptors(Ends[1]);
    if (Mine[I] < 0 || Theirs[I] < 0) return false;
  }
  return true;
}

/* The namespaces of the box's first process, Inside (its number on this side). */
bool Open_Namespaces(pid_t Inside, Kept_Entry& E) {
  std::string Base = "/proc/" + std::to_string(Inside) + "/ns/";
  for (int N = 0; N < Kept_Namespaces; N++) {
    /* The slot's network is the tool's, entered before the run gives up root. */
    if (N == Kept_Net && Sandbox().Slot_Networks) continue;
    E.Namespace[N] = Above_Child_Descriptors(open((Base + Namespace_Names[N]).c_str(), O_RDONLY | O_CLOEXEC));
    if (E.Namespace[N] < 0) return false;
  }
  int User = Above_Child_Descriptors(open((Base + "user").c_str(), O_RDONLY | O_CLOEXEC));
  E.Outer_User = Above_Child_Descriptors(ioctl(E.Namespace[Kept_Mnt], NS_GET_USERNS));
  struct stat Inner, Outer;
  if (User < 0 || E.Outer_User < 0 || fstat(User, &Inner) != 0 || fstat(E.Outer_User, &Outer) != 0) {
    if (User >= 0) close(User);
    return false;
  }
  if (Inner.st_ino == Outer.st_ino && Inner.st_dev == Outer.st_dev) close(User);
  else E.Inner_User = User;
  return true;
}

/* Starts the box's first process in a box made for Like (its folder
** bound writable, its program and readable files bound as a run's are)
** and opens its namespaces. */
bool Start_Box(int Slot, Kept_Box& B, std::string* Problem) {
  Child_Plan P;
  P.Uid = Sandbox().Own_Users ? Sandbox().First_Uid + static_cast<uid_t>(Slot) : 0;
  P.Folder = B.Like.Folder;
  P.New_Keyring = true;
  if (Sandbox().Slot_Networks && (P.Network = Slot_Network(Slot)) < 0)
    return *Problem = std::string("cannot make a network namespace: ") + std::strerror(errno), false;
  std::vector<std::pair<std::string, std::string>> Copies;
  if (!Plan_Box_Copies(B.Like, P.Uid, &Copies, Problem)) return false;
  Sandbox_Request First = B.Like;
  First.Command = {"/bin/sh", "-c", "echo ready && exec sleep infinity"};
  P.Words = Box_Arguments(First, P.Uid, Copies);
  P.Words.insert(P.Words.end() - static_cast<long>(First.Command.size()) - 1, {"--info-fd", "3"});
  P.Exec_Path = Sandbox().Bwrap;
  P.Environment = {"PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
  Point_At(P.Words, P.Argv);
  Point_At(P.Environment, P.Envp);
  int Mine[4] = {-1, -1, -1, -1}, Theirs[4] = {-1, -1, -1, -1};
  P.In = Above_Child_Descriptors(open("/dev/null", O_RDONLY | O_CLOEXEC));
  bool Made = P.In >= 0 && Make_Box_Pipes(Mine, Theirs);
  P.Out = Theirs[0], P.Err = Theirs[1], P.Info = Theirs[2], P.Exec_Error = Theirs[3];
  P.Parent = getpid();
  pid_t Child = Made ? fork() : -1;
  if (Child == 0) Become_Child(P, P.Parent);
  for (int Fd : {P.In, Theirs[0], Theirs[1], Theirs[2], Theirs[3]})
    if (Fd >= 0) close(Fd);
  B.Bwrap = Child > 0 ? Child : 0;
  std::string Info, Ready, Errors;
  bool Ok = Child > 0 && Read_Until(Mine[2], "}", 10, &Info) && Read_Until(Mine[0], "ready\n", 10, &Ready);
  const char* Pid_At = Ok ? std::strstr(Info.c_str(), "\"child-pid\":") : nullptr;
  pid_t Inside = Pid_At != nullptr ? static_cast<pid_t>(std::atol(Pid_At + 12)) : 0;
  Ok = Ok && Inside > 0 && Open_Namespaces(Inside, B.Entry);
  if (Ok) Note_Tool_Memory(B.Entry);
  if (!Ok) {
    int Errno = errno;
    End_Box(B);
    Read_Until(Mine[1], "\n", 0.5, &Errors);
    *Problem = "cannot keep a box: " +
               (!Errors.empty() ? Errors.substr(0, Errors.find('\n')) : std::string(std::strerror(Errno)));
  }
  for (int Fd : Mine)
    if (Fd >= 0) close(Fd);
  return Ok;
}

/* Where a program of Like is found in the box: its own path, or each of
** the box's PATH folders for a bare name. */
void Plan_Exec_Paths(Kept_Box& B) {
  const std::string& Name = B.Like.Command[0];
  B.Entry.Exec_Paths.clear();
  if (Name.find('/') != std::string::npos) {
    B.Entry.Exec_Paths.push_back(std::filesystem::absolute(Name).lexically_normal().string());
  } else {
    std::istringstream Folders(Box_Path);
    for (std::string Folder; std::getline(Folders, Folder, ':');) B.Entry.Exec_Paths.push_back(Folder + "/" + Name);
  }
  Point_At(B.Entry.Exec_Paths, B.Entry.Exec_Pointers);
}

}  // namespace

int Sandbox_Keep_Box(const Sandbox_Request& Like, std::string* Why_Not) {
  if (!Sandbox().Boxed || !Sandbox().Cgroup) return *Why_Not = "runs are not boxed with a cgroup", -1;
  if (Like.Command.empty() || Like.Folder.empty()) return *Why_Not = "no program or folder to keep a box for", -1;
  int Slot = Take_Slot();
  if (Slot < 0) return *Why_Not = "too many runs at once, or stopping", -1;
  std::lock_guard<std::mutex> Hold(Boxes_Lock);
  Kept_Box& B = Boxes[Slot];
  B.Like = Like;
  B.Like.Folder = std::filesystem::absolute(Like.Folder).lexically_normal().string();
  /* Each run's folder lies in it: the box's user must pass through. */
  if (chmod(B.Like.Folder.c_str(), 0711) != 0) {
    *Why_Not = "cannot open " + B.Like.Folder + " to the box's user: " + std::strerror(errno);
    Give_Back_Slot(Slot);
    return -1;
  }
  Plan_Exec_Paths(B);
  if (!Start_Box(Slot, B, Why_Not)) {
    Give_Back_Slot(Slot);
    return -1;
  }
  B.Used = true;
  return Slot;
}

void Sandbox_Drop_Box(int Box) {
  std::lock_guard<std::mutex> Hold(Boxes_Lock);
  if (Box < 0 || Box >= Sandbox_Slots || !Boxes[Box].Used) return;
  End_Box(Boxes[Box]);
  Boxes[Box].Used = false;
  Give_Back_Slot(Box);
}

void Drop_Kept_Boxes() {
  for (int Box = 0; Box < Sandbox_Slots; Box++) Sandbox_Drop_Box(Box);
}

int Kept_Slot(int Box) { return Box >= 0 && Box < Sandbox_Slots && Boxes[Box].Used ? Box : -1; }

bool Plan_Kept_Run(const Sandbox_Request& R, Child_Plan& P, std::string* Problem) {
  Kept_Box& B = Boxes[R.Kept_Box];
  std::filesystem::path Folder = std::filesystem::absolute(R.Folder).lexically_normal();
  if (Folder.parent_path().string() != B.Like.Folder)
    return *Problem = R.Folder + " is not a folder of the kept box's (" + B.Like.Folder + ")", false;
  if (R.Command.empty() || R.Command[0] != B.Like.Command[0] || R.Readable != B.Like.Readable)
    return *Problem = "a kept box runs the program it was kept for", false;
  /* A run that ended the box's first process ended the box. */
  if (B.Bwrap <= 0 || waitpid(B.Bwrap, nullptr, WNOHANG) != 0) {
    B.Bwrap = 0;
    End_Box(B);
    if (!Start_Box(R.Kept_Box, B, Problem)) return false;
  }
  P.Kept = &B.Entry;
  if (Sandbox().Slot_Networks && (P.Network = Slot_Network(R.Kept_Box)) < 0)
    return *Problem = std::string("cannot make a network namespace: ") + std::strerror(errno), false;
  P.Words = R.Command;
  P.Environment = {std::string("PATH=") + Box_Path, "LANG=C.UTF-8", "HOME=" + R.Folder, "TMPDIR=" + R.Folder};
  return true;
}
