/*
** box_cost_bench.cpp
** Where a boxed run's time goes. Tables of medians over
** interleaved rounds (the machine is never quiet, so every figure is read
** against a baseline measured beside it):
**
** 1. A whole run through Run_Contained of a program that reads its input
**    and exits, with the sandbox off and boxed (as root: a user id, a
**    cgroup and a network namespace per slot), and the ratios: of wall
**    time, and of CPU time (the tool's and every process it waited for),
**    since on a shared machine much of a box's wall time is waiting.
** 2. bubblewrap alone, started with fork and exec as the sandbox starts
**    it, with the arguments the kit gives and then with one part taken
**    away at a time: what each part (a namespace, /proc, /dev, the
**    remount) costs of the box's start and end; and the least box
**    bubblewrap makes (a user and a mount namespace, / bound whole),
**    the floor of any box started per run. The bench reaps every process
**    bubblewrap leaves, as the sandbox's reaper does, so that all count.
** 3. A trial in a box kept for RUNS trials (its start and end shared by
**    them), as one box per worker would run it: forked there, and forked
**    into a user and pid namespace of its own.
**
** Seen on the two-core machine shared with other work (load 5 to 11),
** RelWithDebInfo build, 9 rounds: a run of cat 3.6 ms off and 42.7 ms
** boxed (6.5 ms of CPU against 1.3, 4.9 times); bubblewrap as the
** sandbox starts it 20.2 ms (4.9 ms of CPU) against 2.5 ms (0.8) for a
** bare start; no part left out saved more than 1.2 ms of CPU (/dev);
** the least box 10.5 ms (3.0 ms of CPU); a trial in a reused box 1.19
** times a bare start (1.14 in CPU), in its own pid namespace 2.2 (2.1).
**
**   box_cost_bench [ROUNDS] [RUNS]     (default 9 rounds of 20 runs)
*/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/elapsed.h"
#include "common/statistics.h"
#include "sandbox/sandbox.h"

namespace {

using Clock = std::chrono::steady_clock;

/* CPU seconds of this process and of every child it has waited for. */
double Cpu_Seconds() {
  double Total = 0;
  for (int Who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage U{};
    getrusage(Who, &U);
    Total += double(U.ru_utime.tv_sec + U.ru_stime.tv_sec) + double(U.ru_utime.tv_usec + U.ru_stime.tv_usec) * 1e-6;
  }
  return Total;
}

struct Cost {
  double Wall, Cpu;  // seconds a run
};

/* One whole run of `cat` through the sandbox, in a fresh folder. */
Cost Time_Contained_Runs(const std::string& Scratch, int Runs) {
  auto Start = Clock::now();
  double Cpu_Start = Cpu_Seconds();
  for (int I = 0; I < Runs; I++) {
    std::string Folder = Scratch + "/run_" + std::to_string(I);
    mkdir(Folder.c_str(), 0700);
    Sandbox_Request R;
    R.Command = {"/bin/cat"};
    R.Folder = Folder;
    R.Input = "1\n1\n1\n";
    R.Limits = Default_Sandbox_Limits();
    Sandbox_Result Result = Run_Contained(R);
    if (Result.Ending != Sandbox_Exited || Result.Status != 0 || Result.Out != R.Input) {
      std::fprintf(stderr, "box_cost_bench: a run failed: %s %s\n", Result.Detail.c_str(), Result.Err.c_str());
      std::exit(1);
    }
    Remove_Tree(Folder);
  }
  return Cost{Seconds_Since(Start) / Runs, (Cpu_Seconds() - Cpu_Start) / Runs};
}

Cost Time_Command(const std::vector<std::string>& Words, int Runs) {
  std::vector<char*> Argv;
  for (const std::string& W : Words) Argv.push_back(const_cast<char*>(W.c_str()));
  Argv.push_back(nullptr);
  auto Start = Clock::now();
  double Cpu_Start = Cpu_Seconds();
  for (int I = 0; I < Runs; I++) {
    pid_t Child = fork();
    if (Child == 0) {
      execv(Argv[0], Argv.data());
      _exit(127);
    }
    int Status = 0;
    waitpid(Child, &Status, 0);
    /* bubblewrap's first process in the box outlives bubblewrap for a
    ** moment: as the sandbox's reaper does, wait for it too, so that its
    ** time and CPU count. */
    while (wait(nullptr) > 0) {
    }
    if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0) {
      std::fprintf(stderr, "box_cost_bench: %s failed (status %d)\n", Argv[0], Status);
      std::exit(1);
    }
  }
  return Cost{Seconds_Since(Start) / Runs, (Cpu_Seconds() - Cpu_Start) / Runs};
}

struct Variant {
  const char* Name;
  std::vector<std::string> Words;
};

/* The box's arguments as the kit gives them (sandbox_box.cpp), with the
** parts named in Without left out. */
std::vector<std::string> Box_Words(const std::string& Bwrap, const std::string& Folder, const std::string& Without,
                                   const std::vector<std::string>& Command = {"/bin/true"}) {
  auto Keep = [&](const char* Part) { return Without.find(Part) == std::string::npos; };
  if (Without == "least")
    return {Bwrap, "--unshare-user", "--bind", "/", "/", "--chdir", Folder, "--", "/bin/true"};
  std::vector<std::string> A = {Bwrap, "--die-with-parent", "--new-session", "--unshare-user"};
  if (Keep("pid")) A.push_back("--unshare-pid");
  if (Keep("ipc")) A.push_back("--unshare-ipc");
  if (Keep("uts")) A.push_back("--unshare-uts");
  if (Keep("cgroup")) A.push_back("--unshare-cgroup-try");
  if (!Keep("+net")) A.push_back("--unshare-net");
  A.insert(A.end(), {"--ro-bind", "/usr", "/usr"});
  for (const char* Top : {"bin", "sbin", "lib", "lib32", "lib64", "libx32"}) {
    std::string Path = std::string("/") + Top;
    struct stat Status;
    if (lstat(Path.c_str(), &Status) != 0) continue;
    if (S_ISLNK(Status.st_mode)) {
      char Target[256];
      ssize_t Length = readlink(Path.c_str(), Target, sizeof Target - 1);
      if (Length <= 0) continue;
      A.insert(A.end(), {"--symlink", std::string(Target, static_cast<size_t>(Length)), Path});
    } else if (S_ISDIR(Status.st_mode)) {
      A.insert(A.end(), {"--ro-bind", Path, Path});
    }
  }
  if (Keep("etc")) A.insert(A.end(), {"--ro-bind", "/etc", "/etc"});
  if (Keep("proc")) A.insert(A.end(), {"--proc", "/proc"});
  if (Keep("dev")) A.insert(A.end(), {"--dev", "/dev"});
  A.insert(A.end(), {"--clearenv", "--setenv", "PATH", "/usr/bin:/bin"});
  if (Keep("uid")) A.insert(A.end(), {"--uid", "65534", "--gid", "65534"});
  A.insert(A.end(), {"--bind", Folder, Folder});
  if (Keep("remount")) A.insert(A.end(), {"--remount-ro", "/"});
  A.insert(A.end(), {"--chdir", Folder, "--"});
  A.insert(A.end(), Command.begin(), Command.end());
  return A;
}

/* One box kept for Runs trials, as a box per worker would be: a shell in
** it runs Trial once per line it reads and answers with a line. The
** box's start and end are shared by the Runs trials. */
Cost Time_Reused_Box(std::vector<std::string> Words, int Runs) {
  std::vector<char*> Argv;
  for (std::string& W : Words) Argv.push_back(W.data());
  Argv.push_back(nullptr);
  int Ask[2], Answer[2];
  if (pipe(Ask) != 0 || pipe(Answer) != 0) std::exit(1);
  auto Start = Clock::now();
  double Cpu_Start = Cpu_Seconds();
  pid_t Child = fork();
  if (Child == 0) {
    dup2(Ask[0], 0), dup2(Answer[1], 1);
    close(Ask[0]), close(Ask[1]), close(Answer[0]), close(Answer[1]);
    execv(Argv[0], Argv.data());
    _exit(127);
  }
  close(Ask[0]), close(Answer[1]);
  for (int I = 0; I < Runs; I++) {
    char Byte = '\n';
    if (write(Ask[1], &Byte, 1) != 1 || read(Answer[0], &Byte, 1) != 1) {
      std::fputs("box_cost_bench: the reused box stopped answering\n", stderr);
      std::exit(1);
    }
  }
  close(Ask[1]), close(Answer[0]);
  while (wait(nullptr) > 0) {
  }
  return Cost{Seconds_Since(Start) / Runs, (Cpu_Seconds() - Cpu_Start) / Runs};
}

/* Medians of the wall and CPU seconds of many measurements. */
Cost Median_Cost(const std::vector<Cost>& Costs) {
  std::vector<double> Wall, Cpu;
  for (const Cost& C : Costs) Wall.push_back(C.Wall), Cpu.push_back(C.Cpu);
  return Cost{Median_Of(Wall), Median_Of(Cpu)};
}

void Whole_Runs(const std::string& Scratch, int Rounds, int Runs) {
  std::vector<Cost> Off, Boxed;
  std::string Said, Refusal;
  for (int Round = 0; Round < Rounds; Round++) {
    for (Sandbox_Mode Mode : {Sandbox_Off, Sandbox_Required}) {
      if (!Sandbox_Start(Mode, &Said, &Refusal)) {
        std::fprintf(stderr, "box_cost_bench: %s\n", Refusal.c_str());
        std::exit(1);
      }
      Time_Contained_Runs(Scratch, 1);  // the slot's first run makes its cgroup and network
      (Mode == Sandbox_Off ? Off : Boxed).push_back(Time_Contained_Runs(Scratch, Runs));
      Sandbox_Finish();
    }
  }
  Cost O = Median_Cost(Off), B = Median_Cost(Boxed);
  std::printf("A whole run of cat through the sandbox (%s):\n", Said.c_str());
  std::printf("  wall: off %7.2f ms   boxed %7.2f ms   boxed / off %5.2f\n", O.Wall * 1e3, B.Wall * 1e3, B.Wall / O.Wall);
  std::printf("  CPU:  off %7.2f ms   boxed %7.2f ms   boxed / off %5.2f\n", O.Cpu * 1e3, B.Cpu * 1e3, B.Cpu / O.Cpu);
}

void Box_Parts(const std::string& Scratch, int Rounds, int Runs) {
  std::string Bwrap = Sandbox_Find_On_Path("bwrap");
  if (Bwrap.empty()) {
    std::puts("bubblewrap is not installed: no breakdown of the box");
    return;
  }
  std::string Folder = Scratch + "/box";
  mkdir(Folder.c_str(), 0777);
  chmod(Folder.c_str(), 0777);
  std::vector<Variant> Variants = {
      {"true, bare", {"/bin/true"}},
      {"the kit's box (its network per slot)", Box_Words(Bwrap, Folder, "")},
      {"  with a network namespace per run", Box_Words(Bwrap, Folder, "+net")},
      {"  without its IPC namespace", Box_Words(Bwrap, Folder, "ipc")},
      {"  without its UTS namespace", Box_Words(Bwrap, Folder, "uts")},
      {"  without its cgroup namespace", Box_Words(Bwrap, Folder, "cgroup")},
      {"  without /proc", Box_Words(Bwrap, Folder, "proc")},
      {"  without /dev", Box_Words(Bwrap, Folder, "dev")},
      {"  without /etc", Box_Words(Bwrap, Folder, "etc")},
      {"  without --remount-ro /", Box_Words(Bwrap, Folder, "remount")},
      {"  as bubblewrap's own uid", Box_Words(Bwrap, Folder, "uid")},
      {"  without its pid namespace", Box_Words(Bwrap, Folder, "pid")},
      {"  without pid, IPC, UTS, cgroup namespaces", Box_Words(Bwrap, Folder, "pid ipc uts cgroup")},
      {"the least box (user, mount namespaces)", Box_Words(Bwrap, Folder, "least")},
  };
  /* What a trial would cost in a box reused across trials: forked and
  ** run there, and the same in a user and pid namespace of its own
  ** (unshare's own exec counts too, so this is an upper bound). */
  const std::string Plain = "while read Line; do /bin/true; echo; done";
  const std::string Own_Pid = "while read Line; do unshare --user --pid --fork --kill-child /bin/true; echo; done";
  std::vector<Variant> Reused = {
      {"a trial in a reused box", Box_Words(Bwrap, Folder, "", {"/bin/sh", "-c", Plain})},
      {"  in its own pid namespace", Box_Words(Bwrap, Folder, "", {"/bin/sh", "-c", Own_Pid})},
  };
  size_t First_Reused = Variants.size();
  Variants.insert(Variants.end(), Reused.begin(), Reused.end());
  std::vector<std::vector<Cost>> Times(Variants.size());
  for (int Round = 0; Round < Rounds; Round++)
    for (size_t V = 0; V < Variants.size(); V++)
      Times[V].push_back(V < First_Reused ? Time_Command(Variants[V].Words, Runs)
                                          : Time_Reused_Box(Variants[V].Words, Runs));
  Cost Bare = Median_Cost(Times[0]), Kit = Median_Cost(Times[1]);
  std::puts("bubblewrap alone, started and waited for (a run's wall and CPU time; the change against the kit's box):");
  for (size_t V = 0; V < Variants.size(); V++) {
    Cost C = Median_Cost(Times[V]);
    std::printf("  %-44s wall %6.2f ms  CPU %6.2f ms", Variants[V].Name, C.Wall * 1e3, C.Cpu * 1e3);
    if (V >= 2) std::printf("   %+6.2f ms  %+6.2f ms", (C.Wall - Kit.Wall) * 1e3, (C.Cpu - Kit.Cpu) * 1e3);
    std::puts("");
  }
  std::printf("  the kit's box over a bare start: wall %.2f ms, CPU %.2f ms\n", (Kit.Wall - Bare.Wall) * 1e3,
              (Kit.Cpu - Bare.Cpu) * 1e3);
  for (size_t V = First_Reused; V < Variants.size(); V++) {
    Cost C = Median_Cost(Times[V]);
    std::printf("  %s over a bare start: wall %.2f x, CPU %.2f x\n", Variants[V].Name, C.Wall / Bare.Wall,
                C.Cpu / Bare.Cpu);
  }
}

}  // namespace

int main(int Argc, char** Argv) {
  int Rounds = Argc > 1 ? std::max(1, std::atoi(Argv[1])) : 9;
  int Runs = Argc > 2 ? std::max(1, std::atoi(Argv[2])) : 20;
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  char Scratch[] = "/tmp/box_cost_bench.XXXXXX";
  if (mkdtemp(Scratch) == nullptr || chmod(Scratch, 0711) != 0) {
    std::perror("box_cost_bench: mkdtemp");
    return 1;
  }
  Whole_Runs(Scratch, Rounds, Runs);
  Box_Parts(Scratch, Rounds, Runs);
  Remove_Tree(Scratch);
  return 0;
}
