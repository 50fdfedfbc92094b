/*
** sandbox_child.cpp
** The child of a run, between fork and exec: decided whole before the
** fork (Plan_Run), since the tool has threads and the child may then
** make system calls only. It resets signals, takes its descriptors,
** joins the slot's cgroup and network namespace, sets the limits,
** becomes the run's user, joins a session keyring of its own and execs
** bubblewrap (or, without a box, the program). A box, and a run as a
** user of its own, runs under a reaper, a second forked child that never
** execs.
*/
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <grp.h>
#include <linux/keyctl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

extern char** environ;

void Point_At(std::vector<std::string>& Words, std::vector<char*>& Pointers) {
  Pointers.clear();
  for (std::string& W : Words) Pointers.push_back(W.data());
  Pointers.push_back(nullptr);
}

const char* const Child_Step_Name[Child_Steps] = {
    "starting the program",         "setting up its descriptors",   "joining its cgroup",
    "setting its limits",           "entering its folder",          "entering the slot's network",
    "becoming the slot's user",     "joining a fresh keyring",      "giving up new privileges",
    "entering the kept box",        "making the run's namespaces",  "starting the run's first process"};

namespace {

int Networks[Sandbox_Slots];  // each slot's network namespace, once made; 0 before

/* Writes the calling process's id in decimal to Path, the way a process
** joins a cgroup; system calls only. */
bool Join_Cgroup(const char* Path) {
  char Digits[24];
  int At = sizeof Digits;
  for (long Pid = getpid(); Pid > 0 || At == sizeof Digits; Pid /= 10) Digits[--At] = static_cast<char>('0' + Pid % 10);
  int File = open(Path, O_WRONLY | O_CLOEXEC);
  if (File < 0) return false;
  bool Ok = write(File, Digits + At, sizeof Digits - static_cast<size_t>(At)) > 0;
  close(File);
  return Ok;
}

/* Closes every descriptor above the standard ones but Keep and Also
** (either may be -1). */
void Close_All_But(int Keep, int Also) {
  unsigned From = 3;
  for (int Kept : {std::min(Keep, Also), std::max(Keep, Also)}) {
    if (Kept < static_cast<int>(From)) continue;
    if (static_cast<unsigned>(Kept) > From) syscall(SYS_close_range, From, static_cast<unsigned>(Kept) - 1, 0u);
    From = static_cast<unsigned>(Kept) + 1;
  }
  syscall(SYS_close_range, From, ~0u, 0u);
}

[[noreturn]] void Fail_In_Child(int Exec_Error, Child_Step Step) {
  Child_Failure Why{errno, Step};
  if (write(Exec_Error, &Why, sizeof Why) < 0) {
  }
  _exit(127);
}

void Reset_Signals() {
  sigset_t None;
  sigemptyset(&None);
  sigprocmask(SIG_SETMASK, &None, nullptr);
  for (int Signal = 1; Signal < NSIG; Signal++)
    if (Signal != SIGKILL && Signal != SIGSTOP) signal(Signal, SIG_DFL);
}

/* The mounts a run in a kept box has of its own: a fresh /dev/shm, and
** /dev read-only (it is the box's, and stays as the box made it). */
bool Mount_Own_Dev() {
  struct statvfs Dev;
  return statvfs("/dev", &Dev) == 0 && mount("tmpfs", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") == 0 &&
         mount(nullptr, "/dev", nullptr,
               MS_REMOUNT | MS_BIND | MS_RDONLY | ((Dev.f_flag & ST_NOSUID) != 0 ? MS_NOSUID : 0) |
                   ((Dev.f_flag & ST_NODEV) != 0 ? MS_NODEV : 0) | ((Dev.f_flag & ST_NOEXEC) != 0 ? MS_NOEXEC : 0),
               nullptr) == 0;
}

/* The program, in the box's inner user namespace, with nothing that could
** give it more than the box's user has. */
[[noreturn]] void Exec_In_Kept_Box(const Child_Plan& P) {
  const Kept_Entry& K = *P.Kept;
  if (K.Inner_User >= 0 && setns(K.Inner_User, CLONE_NEWUSER) != 0) Fail_In_Child(P.Exec_Error, Step_Box_Namespaces);
  setsid();
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) Fail_In_Child(P.Exec_Error, Step_Privileges);
  for (int Capability = 0; Capability < 64; Capability++) prctl(PR_CAPBSET_DROP, Capability, 0, 0, 0);
  int Why = ENOENT;
  for (char* Path : K.Exec_Pointers) {
    if (Path == nullptr) break;
    for (int Try = 0; Try < 40; Try++) {
      execve(Path, P.Argv.data(), P.Envp.data());
      if (errno != ETXTBSY) break;
      timespec Pause{0, 50 * 1000 * 1000};
      nanosleep(&Pause, nullptr);
    }
    if (errno != ENOENT && errno != ENOTDIR) Why = errno;
  }
  errno = Why;
  Fail_In_Child(P.Exec_Error, Step_Exec);
}

/* Waits for Child and ends as it did, as bubblewrap passes a program's
** ending on: its status, or 128 + the signal that killed it. With
** Any, reaps every child meanwhile (the first process of a process
** namespace inherits the orphans of its own). */
[[noreturn]] void End_As(pid_t Child, bool Any) {
  int Status = 0;
  for (pid_t Reaped; (Reaped = waitpid(Any ? -1 : Child, &Status, 0)) != Child;)
    if (Reaped < 0 && errno != EINTR) _exit(127);
  _exit(WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status));
}

/* The first process of a run's own process namespace, in a kept box: a
** copy of the tool, the program's parent, and visible to it. So it
** first makes itself one the program's user may not attach to or read
** (not dumpable) and blanks the tool's command line and environment in
** its memory (a grader's command line may hold a secret). It mounts the
** namespace's own /proc, starts the program and, when the program ends,
** ends too, and with it whatever the program left in the namespace. */
[[noreturn]] void Be_First_Of_Run(const Child_Plan& P) {
  prctl(PR_SET_DUMPABLE, 0);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  const Kept_Entry& K = *P.Kept;
  for (const auto& [From, To] : {std::pair{K.Arguments_From, K.Arguments_To}, std::pair{K.Environment_From,
                                                                                          K.Environment_To}})
    if (From != 0 && To > From) std::memset(reinterpret_cast<void*>(From), 0, To - From);
  if (mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
    Fail_In_Child(P.Exec_Error, Step_Box_Process);
  pid_t Program = fork();
  if (Program == 0) Exec_In_Kept_Box(P);
  if (Program < 0) Fail_In_Child(P.Exec_Error, Step_Box_Process);
  close(0), close(1), close(2), close(P.Exec_Error);
  End_As(Program, true);
}

/* A run in a kept box: the child enters the box's namespaces (it is the
** box's user already, who owns them; the slot's network, which is the
** tool's, it entered before it gave up root), but for its processes:
** the run has a process namespace of its own, in which the box's own
** processes, which outlive runs, are not there to be signalled or
** attached to; and a mount and an IPC namespace of its own, so that what
** one run leaves in /dev/shm or in System V IPC is gone for the next.
** The child then waits for the run, and ends as it did. */
[[noreturn]] void Run_In_Kept_Box(const Child_Plan& P) {
  const Kept_Entry& K = *P.Kept;
  if (setns(K.Outer_User, CLONE_NEWUSER) != 0) Fail_In_Child(P.Exec_Error, Step_Box_Namespaces);
  for (int Namespace : K.Namespace)
    if (Namespace >= 0 && setns(Namespace, 0) != 0) Fail_In_Child(P.Exec_Error, Step_Box_Namespaces);
  if (unshare(CLONE_NEWNS | CLONE_NEWIPC | CLONE_NEWPID) != 0 || !Mount_Own_Dev() || chdir(P.Folder.c_str()) != 0)
    Fail_In_Child(P.Exec_Error, Step_Box_Own_Namespaces);
  /* Neither this process nor the first of the run ever execs, so what of
  ** the tool's is open here stays open for the run's life: the tool's
  ** end of the run's input among it, and the program would never see its
  ** input end. */
  Close_All_But(P.Exec_Error, K.Inner_User);
  pid_t First = fork();
  if (First == 0) Be_First_Of_Run(P);
  if (First < 0) Fail_In_Child(P.Exec_Error, Step_Box_Process);
  close(0), close(1), close(2), close(P.Exec_Error);
  End_As(First, false);
}

}  // namespace

[[noreturn]] void Become_Child(const Child_Plan& P, pid_t Parent) {
  Reset_Signals();
  if (P.Ignore_File_Size_Signal) signal(SIGXFSZ, SIG_IGN);
  setpgid(0, 0);
  /* Should the tool die, so does the run. */
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != Parent) _exit(127);
  if (dup2(P.In, 0) < 0 || dup2(P.Out, 1) < 0 || dup2(P.Err, 2) < 0) Fail_In_Child(P.Exec_Error, Step_Descriptors);
  /* A descriptor some other part of the tool opened without close-on-exec
  ** must not reach the program. */
  syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */);
  if (P.Info >= 0 && (P.Info == 3 ? fcntl(3, F_SETFD, 0) : dup2(P.Info, 3)) < 0)
    Fail_In_Child(P.Exec_Error, Step_Descriptors);
  for (const std::string& Path : P.Join)
    if (!Join_Cgroup(Path.c_str())) Fail_In_Child(P.Exec_Error, Step_Cgroup);
  for (int L = 0; L < P.Limit_Count; L++) {
    rlimit Limit{P.Limits[L].Value_Soft, P.Limits[L].Value_Hard};
    if (setrlimit(P.Limits[L].Resource, &Limit) != 0) Fail_In_Child(P.Exec_Error, Step_Limits);
  }
  if (chdir(P.Folder.c_str()) != 0) Fail_In_Child(P.Exec_Error, Step_Folder);
  if (P.Network >= 0 && setns(P.Network, CLONE_NEWNET) != 0) Fail_In_Child(P.Exec_Error, Step_Network);
  if (P.Uid != 0 && (setgroups(0, nullptr) != 0 || setresgid(P.Uid, P.Uid, P.Uid) != 0 ||
                     setresuid(P.Uid, P.Uid, P.Uid) != 0))
    Fail_In_Child(P.Exec_Error, Step_User);
  /* The tool's session keyring (a login's, sudo's) would otherwise be
  ** the run's too, and a key one run left there the next run's: a fresh
  ** anonymous one, joined after the change of user so that it is the
  ** run's own. A kernel without keys has nothing to share. */
  if (P.New_Keyring && syscall(SYS_keyctl, KEYCTL_JOIN_SESSION_KEYRING, nullptr) < 0 && errno != ENOSYS)
    Fail_In_Child(P.Exec_Error, Step_Keyring);
  if (P.Kept != nullptr) Run_In_Kept_Box(P);
  /* Without a box nothing else stops a set-user-id program (su, mount)
  ** from giving the run back what it just lost. */
  if (P.Uid != 0 && !Sandbox().Boxed && prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
    Fail_In_Child(P.Exec_Error, Step_Privileges);
  /* Another thread's fork may still hold the copy of the program open
  ** for writing, as it was being made, until that child execs in turn
  ** (after its own cgroup joins): the kernel then refuses this exec
  ** (ETXTBSY) for a moment. Tried again, for two seconds at most. */
  for (int Try = 0; Try < 40; Try++) {
    execve(P.Exec_Path.c_str(), P.Argv.data(), P.Envp.data());
    if (errno != ETXTBSY) break;
    timespec Pause{0, 50 * 1000 * 1000};
    nanosleep(&Pause, nullptr);
  }
  Fail_In_Child(P.Exec_Error, Step_Exec);
}

namespace {

/* In the reaper, a forked child of the tool that never execs: the box's
** bubblewrap, and whether the tool asked to end it. */
volatile sig_atomic_t Box_Process = 0;
volatile sig_atomic_t Box_Ended = 0;

extern "C" void End_The_Box(int) {
  Box_Ended = 1;
  if (Box_Process > 0) kill(-Box_Process, SIGKILL), kill(Box_Process, SIGKILL);
}

}  // namespace

/* A box runs under a reaper of its own. bubblewrap exits as soon as the
** program has, leaving the box's first process to be reaped by whoever
** adopts it; here that is the reaper, which waits for every process of
** the box to be gone, so that none lingers as a zombie counted against
** the slot's user and cgroup, and the reaper's own accounting (which the
** tool reads) holds the whole box's CPU time and peak memory. It ends
** as bubblewrap did. SIGTERM from the tool ends the box.
**
** Without a box, nothing ends what the program left behind (a daemon,
** a process that left the group): once the program has ended, the
** reaper takes the run's user as its effective id, so that kill(-1)
** reaches the run's processes, and kills them as it reaps them. Its
** real and saved id are the tool's reserved one, which no run has, so
** that no process of the run may signal (stop) the reaper in turn. */
[[noreturn]] void Become_Reaper(const Child_Plan& P) {
  Reset_Signals();
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != P.Parent) _exit(127);
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  struct sigaction End {};
  End.sa_handler = End_The_Box;
  sigaction(SIGTERM, &End, nullptr);
  pid_t Reaper = getpid();
  pid_t Box = fork();
  if (Box == 0) Become_Child(P, Reaper);
  Box_Process = Box;
  if (Box_Ended) End_The_Box(SIGTERM);
  /* Nothing of the tool's stays open here: the run's pipes must close
  ** when the run's processes are gone. */
  syscall(SYS_close_range, 3u, ~0u, 0u);
  int Status = 0, Box_Status = 0;
  bool Ending_The_User = false;
  for (pid_t Reaped; (Reaped = waitpid(-1, &Status, 0)) != -1 || errno == EINTR;) {
    if (Reaped == Box) Box_Status = Status;
    if (Reaped == Box && !Sandbox().Boxed && P.Uid != 0)
      Ending_The_User = Act_As_Killer_Of(P.Uid);
    if (Ending_The_User) kill(-1, SIGKILL);
  }
  if (Box < 0) _exit(127);
  if (WIFEXITED(Box_Status)) _exit(WEXITSTATUS(Box_Status));
  signal(WTERMSIG(Box_Status), SIG_DFL);
  kill(getpid(), WTERMSIG(Box_Status));
  _exit(128 + WTERMSIG(Box_Status));
}

namespace {

std::string Resolve(const std::string& Name) {
  if (Name.find('/') != std::string::npos) return Name;
  std::string Found = Sandbox_Find_On_Path(Name);
  return Found.empty() ? Name : Found;
}

void Add_Limit(Child_Plan& P, int Resource, rlim_t Soft, rlim_t Hard) {
  P.Limits[P.Limit_Count++] = Limit_Of{Resource, Soft, Hard};
}

/* The limits set before exec; off, only those of time and file size.
** In the box without a cgroup, memory is limited per process by its data
** (RLIMIT_DATA: the heap and the private memory it may write), not by
** its address space: a JVM, Go's runtime or a sanitizer reserves far
** more address space than it ever uses, and does not start under an
** address-space limit of a few GiB; a program that touches more memory
** than the limit is still stopped. A cgroup counts the whole run
** instead. The process limit binds only a user id of the run's own,
** and stands above the cgroup's so that the cgroup, which counts what
** it refused, trips first. */
void Plan_Limits(Child_Plan& P, const Sandbox_Limits& L, bool Contained) {
  Add_Limit(P, RLIMIT_CORE, 0, 0);
  if (L.Cpu_Seconds > 0) {
    rlim_t Seconds = static_cast<rlim_t>(std::max(1.0, std::ceil(L.Cpu_Seconds)));
    Add_Limit(P, RLIMIT_CPU, Seconds, Seconds + 1);
  }
  if (L.File_Bytes > 0) Add_Limit(P, RLIMIT_FSIZE, rlim_t(L.File_Bytes), rlim_t(L.File_Bytes));
  /* Off, a run is a plain child: valgrind, for one, refuses any change of
  ** this limit in the programs it follows. */
  if (Contained && L.Open_Files > 0) Add_Limit(P, RLIMIT_NOFILE, rlim_t(L.Open_Files), rlim_t(L.Open_Files));
  if (Contained && L.Memory_Bytes > 0 && !Sandbox().Cgroup)
    Add_Limit(P, RLIMIT_DATA, rlim_t(L.Memory_Bytes), rlim_t(L.Memory_Bytes));
  if (Contained && L.Processes > 0 && P.Uid != 0) {
    rlim_t Most = rlim_t(L.Processes + 2 + (Sandbox().Cgroup ? 8 : 0));
    Add_Limit(P, RLIMIT_NPROC, Most, Most);
  }
}

/* The ends of one run's pipes that the parent keeps. */
}  // namespace

bool Plan_Box_Copies(const Sandbox_Request& R, uid_t Uid, std::vector<std::pair<std::string, std::string>>* Copies,
                     std::string* Problem) {
  std::vector<std::string> Readable = R.Readable;
  if (R.Command[0].find('/') != std::string::npos) Readable.insert(Readable.begin(), R.Command[0]);
  for (const std::string& Path : Readable) {
    std::string Asked = std::filesystem::absolute(Path).lexically_normal().string();
    if (Asked.size() > 1 && Asked.back() == '/') Asked.pop_back();
    std::string Copy = Readable_Copy(Asked, Uid, Problem);
    if (!Problem->empty()) return false;
    if (!Copy.empty()) Copies->push_back({Copy, Asked});
  }
  return true;
}

bool Plan_Run(const Sandbox_Request& R, int Slot, Child_Plan& P, Cgroup_Marks& Marks, std::string* Problem) {
  bool Contained = Sandbox().Mode != Sandbox_Off;
  P.Folder = R.Folder;
  /* A box's slot keeps its user id from run to run: the box hides the
  ** others' files. Without one, each run is a user no run was before. */
  P.Uid = !Sandbox().Own_Users ? 0
          : Sandbox().Boxed    ? Sandbox().First_Uid + static_cast<uid_t>(Slot)
                               : Fresh_Run_Uid();
  if (Sandbox().Own_Users && P.Uid == 0) return *Problem = "no free user id for the run", false;
  P.New_Keyring = Contained;
  P.Ignore_File_Size_Signal = R.File_Size_Fails_Writes;
  /* Everything in its folder is its own: the tool's copies are private to
  ** the run's user, and an earlier run's files belong to another user. */
  if (P.Uid != 0 && !Give_Tree(R.Folder, P.Uid))
    return *Problem = "cannot give " + R.Folder + " to the run's user: " + std::strerror(errno), false;
  if (!R.Start_With.empty() && !Copy_Tree(R.Start_With, R.Folder, P.Uid, R.Start_Without, Problem)) return false;
  if (Sandbox().Cgroup && !Cgroup_Prepare(Slot, R.Limits, &Marks, &P.Join))
    return *Problem = std::string("cannot set up the run's cgroup: ") + std::strerror(errno), false;
  if (Sandbox().Boxed && Sandbox().Slot_Networks && R.Kept_Box < 0 && (P.Network = Slot_Network(Slot)) < 0)
    return *Problem = std::string("cannot make a network namespace: ") + std::strerror(errno), false;
  if (R.Kept_Box >= 0) {
    if (!Plan_Kept_Run(R, P, Problem)) return false;
  } else if (Sandbox().Boxed) {
    std::vector<std::pair<std::string, std::string>> Copies;
    if (!Plan_Box_Copies(R, P.Uid, &Copies, Problem)) return false;
    P.Words = Box_Arguments(R, P.Uid, Copies);
    /* Whether the program ran, for telling bubblewrap's failure from the
    ** program's (Program_Ran, sandbox_run.cpp). */
    P.Words.insert(P.Words.end() - static_cast<long>(R.Command.size()) - 1, {"--json-status-fd", "3"});
    P.Box_Status = true;
    P.Exec_Path = Sandbox().Bwrap;
    P.Environment = {"PATH=/usr/bin:/bin", "LANG=C.UTF-8"};
  } else {
    P.Words = R.Command;
    P.Exec_Path = Resolve(R.Command[0]);
    if (Contained) {
      P.Environment = {"PATH=/usr/local/bin:/usr/bin:/bin", "HOME=" + R.Folder, "LANG=C.UTF-8", "TMPDIR=" + R.Folder};
      if (P.Uid != 0 && !Plan_Own_User_Run(R, P, Problem)) return false;
    } else {
      for (char** Variable = environ; *Variable != nullptr; Variable++) P.Environment.push_back(*Variable);
    }
  }
  Plan_Limits(P, R.Limits, Contained);
  Point_At(P.Words, P.Argv);
  Point_At(P.Environment, P.Envp);
  return true;
}

/* A network namespace per slot, made once and entered by each of the
** slot's runs, costs far less than one made and torn down per run. It
** holds only a loopback that is down, so nothing connects anywhere;
** runs of one slot never overlap, and whatever a run bound there goes
** with its processes. Made by this thread alone: a namespace changed by
** unshare is the calling thread's, and it goes back after. */
int Slot_Network(int Slot) {
  if (Networks[Slot] > 0) return Networks[Slot];
  int Own = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  if (Own < 0) return -1;
  int Made = -1;
  if (unshare(CLONE_NEWNET) == 0) {
    Made = Above_Child_Descriptors(open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC));
    if (setns(Own, CLONE_NEWNET) != 0) {
      /* This thread would stay cut off from the network: never. */
      std::abort();
    }
  }
  close(Own);
  if (Made > 0) Networks[Slot] = Made;
  return Made;
}

int Above_Child_Descriptors(int Fd) {
  if (Fd < 0) return -1;
  int Moved = fcntl(Fd, F_DUPFD_CLOEXEC, 10);
  close(Fd);
  return Moved;
}

void Close_Slot_Networks() {
  for (int& Network : Networks) {
    if (Network > 0) close(Network);
    Network = 0;
  }
}

