// A box kept for many runs: each run sees and may do what a run in a box
// of its own may, ends as such a run ends, and finds nothing an earlier
// run of the box left (files, shared memory, processes), even one that
// ended the box itself.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include "sandbox/sandbox.h"
#include "sandbox/sandbox_internal.h"
#include "tests/process.h"

namespace {

namespace fs = std::filesystem;

class Kept_Box_Test : public Scratch_Folder_Test {
 protected:
  std::string Box_Folder;
  int Box = -1;
  int Runs = 0;

  void SetUp() override {
    chmod(Folder.c_str(), 0711);
    Box_Folder = At("box");
    fs::create_directory(Box_Folder);
  }
  void TearDown() override {
    if (Box >= 0) Sandbox_Drop_Box(Box);
    Sandbox_Finish();
    std::string Said, Refusal;
    Sandbox_Start(Sandbox_Off, &Said, &Refusal);
    Scratch_Folder_Test::TearDown();
  }

  // A box and a cgroup, then a box kept for the shell; a skip where the
  // machine has neither (a failure where CI requires the sandbox).
  bool Keep_Or_Skip() {
    std::string Said, Refusal, Why_Not;
    if (!Sandbox_Start(Sandbox_Required, &Said, &Refusal) || !Sandbox().Cgroup) {
      if (std::getenv("ZOR_SANDBOX_MUST_RUN") != nullptr) ADD_FAILURE() << Refusal << Said;
      return false;
    }
    Sandbox_Request Like;
    Like.Command = {"/bin/sh"};
    Like.Folder = Box_Folder;
    Box = Sandbox_Keep_Box(Like, &Why_Not);
    EXPECT_GE(Box, 0) << Why_Not;
    return Box >= 0;
  }

  // One run of Script in the kept box (or, with Kept false, in a box of
  // its own), in a fresh folder of the box's.
  Sandbox_Result Run(const std::string& Script, Sandbox_Limits Limits, const std::string& Input = "",
                     bool Stays_Open = false, bool Kept = true) {
    Sandbox_Request Request;
    Request.Command = {"/bin/sh", "-c", Script};
    Request.Folder = Box_Folder + "/run_" + std::to_string(Runs++);
    fs::create_directory(Request.Folder);
    Request.Input = Input;
    Request.Input_Stays_Open = Stays_Open;
    Request.Limits = Limits;
    Request.Kept_Box = Kept ? Box : -1;
    Sandbox_Result R = Run_Contained(Request);
    Remove_Tree(Request.Folder);
    return R;
  }
};

// What a run sees from inside is what a box of its own shows, but for the
// folder above its own, which it can neither list nor write.
TEST_F(Kept_Box_Test, ARunSeesWhatABoxOfItsOwnShows) {
  if (!Keep_Or_Skip()) GTEST_SKIP() << "no sandbox with a cgroup here";
  const std::string Script =
      "id -u; env | sort | grep -v '^PWD='; ls .. 2>/dev/null || echo cannot list above; "
      "touch ../x 2>/dev/null || echo cannot write above; echo written > mine && cat mine; "
      "touch /usr/x 2>/dev/null || echo /usr read-only; touch /dev/x 2>/dev/null || echo /dev read-only; "
      "echo > /dev/null && echo /dev/null writable; grep -E '^(CapEff|CapBnd|NoNewPrivs)' /proc/self/status; "
      "tr -d '\\0' < /proc/1/cmdline | wc -c; cat /proc/1/environ 2>/dev/null || echo environment hidden";
  Sandbox_Result Own = Run(Script, Default_Sandbox_Limits(), "", false, false);
  Sandbox_Result Kept = Run(Script, Default_Sandbox_Limits());
  ASSERT_EQ(Kept.Ending, Sandbox_Exited) << Kept.Err << Kept.Detail;
  ASSERT_EQ(Own.Ending, Sandbox_Exited) << Own.Err << Own.Detail;
  const std::string Folder_Of_Kept = Box_Folder + "/run_1";
  EXPECT_EQ(Kept.Out, std::to_string(Sandbox().First_Uid + static_cast<uid_t>(Box)) + "\nHOME=" + Folder_Of_Kept +
                          "\nLANG=C.UTF-8\nPATH=/usr/local/bin:/usr/bin:/bin\nTMPDIR=" + Folder_Of_Kept +
                          "\ncannot list above\ncannot write above\nwritten\n/usr read-only\n/dev read-only\n"
                          "/dev/null writable\nCapEff:\t0000000000000000\nCapBnd:\t0000000000000000\n"
                          "NoNewPrivs:\t1\n0\nenvironment hidden\n");
  // A box of its own differs only where the folder above is bubblewrap's.
  std::string Own_Out = Own.Out;
  EXPECT_NE(Own_Out.find("cannot write above\nwritten\n/usr read-only\n"), std::string::npos) << Own_Out;
  EXPECT_NE(Own_Out.find("NoNewPrivs:\t1\n"), std::string::npos) << Own_Out;
}

// Each ending is named as in a box of the run's own.
TEST_F(Kept_Box_Test, EveryEndingIsNamedAsInABoxOfItsOwn) {
  if (!Keep_Or_Skip()) GTEST_SKIP() << "no sandbox with a cgroup here";
  Sandbox_Limits Limits = Default_Sandbox_Limits();
  Limits.Cpu_Seconds = 1, Limits.Wall_Seconds = 60, Limits.Memory_Bytes = 64 << 20, Limits.Processes = 20;
  Limits.Output_Bytes = 1 << 20, Limits.File_Bytes = 1 << 20;
  Limits.Folder_Bytes = 4 << 20, Limits.Folder_Entries = 200;
  struct Ending_Case {
    std::string Name, Script;
    Sandbox_Ending Ending;
    int Status_Or_Signal;
    std::string Input = "";
    bool Stays_Open = false;
  };
  const Ending_Case Cases[] = {
      {"exit 3", "exit 3", Sandbox_Exited, 3},
      {"segfault", "kill -SEGV $$", Sandbox_Killed, SIGSEGV},
      {"spin", "while :; do :; done", Sandbox_Cpu_Limit, 0},
      {"memory", "exec /usr/bin/perl -e '$x = \"x\" x (512 << 20)'", Sandbox_Memory_Limit, 0},
      {"fork", "for i in $(seq 100); do sleep 30 & done; wait", Sandbox_Process_Limit, 0},
      {"output", "exec /usr/bin/yes", Sandbox_Output_Limit, 0},
      {"big file", "exec head -c 2000000 /dev/zero > big", Sandbox_File_Limit, 0},
      {"reads past its input", "read a; read b", Sandbox_Waiting_For_Input, 0, "1\n", true},
      {"reads its input", "read a; exit $a", Sandbox_Exited, 7, "7\n", true},
      {"reads to the end of its input", "exit $(wc -l)", Sandbox_Exited, 2, "a\nb\n"},
      {"writes outside", "echo > /tmp/x", Sandbox_Reached_Outside, 0},
      {"says bubblewrap's words", "echo 'bwrap: Can'\\''t mount proc' >&2; exit 1", Sandbox_Exited, 1},
      {"many names, then asleep", "for i in $(seq 300); do : > n$i; done; sleep 90", Sandbox_Folder_Limit, 0},
      {"files under the file limit, then asleep",
       "for i in 1 2 3 4 5 6; do head -c 1000000 /dev/zero > b$i; done; sleep 90", Sandbox_Folder_Limit, 0},
      {"many names, then exit 0", "for i in $(seq 300); do : > n$i; done", Sandbox_Folder_Limit, 0},
      {"exit 0 after all that", "exit 0", Sandbox_Exited, 0},
  };
  for (const Ending_Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    Sandbox_Result R = Run(C.Script, Limits, C.Input, C.Stays_Open);
    EXPECT_EQ(R.Ending, C.Ending) << Sandbox_Verdict(R, Limits) << "\n" << R.Err << R.Detail;
    if (C.Ending == Sandbox_Exited) {
      EXPECT_EQ(R.Status, C.Status_Or_Signal);
    } else if (C.Ending == Sandbox_Killed) {
      EXPECT_EQ(R.Signal, C.Status_Or_Signal);
    }
    EXPECT_GT(R.Peak_Memory_Bytes, 0);
    EXPECT_GE(R.Cpu_Seconds, 0.0);
  }
}

// What one run leaves, the next does not find: a process, a file in
// /dev/shm, a System V segment, a file beside its folder. No run reaches
// the processes the box keeps between runs, and a box that ended is made
// again by its next run.
TEST_F(Kept_Box_Test, NothingARunLeavesReachesTheNext) {
  if (!Keep_Or_Skip()) GTEST_SKIP() << "no sandbox with a cgroup here";
  Sandbox_Limits Limits = Default_Sandbox_Limits();
  // Each run looks for the process the first left, by the name of its
  // program; the first waits until it sees it (5 s at most).
  const std::string Seen =
      "seen() { for f in /proc/[0-9]*/cmdline; do case $(tr '\\0' ' ' < $f 2>/dev/null) in ./left_behind_7031*) "
      "echo found;; esac; done; }; ";
  const std::string Leave = Seen +
      "cp /bin/sleep left_behind_7031; ./left_behind_7031 600 & i=0; "
      "until [ -n \"$(seen)\" ] || [ $i -ge 100 ]; do sleep 0.05; i=$((i + 1)); done; seen; "
      "echo kept > /dev/shm/left; ipcmk -M 4096 > /dev/null; tail -n +2 /proc/sysvipc/shm | wc -l; echo mine > stash";
  const std::string Look = Seen + "seen; echo processes looked at; ls -A /dev/shm; "
      "tail -n +2 /proc/sysvipc/shm | wc -l; ls ../run_0 2>/dev/null || echo no stash";
  Sandbox_Result Left = Run(Leave, Limits);
  ASSERT_EQ(Left.Ending, Sandbox_Exited) << Left.Err << Left.Detail;
  EXPECT_EQ(Left.Out, "found\n1\n");
  Sandbox_Result Next = Run(Look, Limits);
  ASSERT_EQ(Next.Ending, Sandbox_Exited) << Next.Err << Next.Detail;
  EXPECT_EQ(Next.Out, "processes looked at\n0\nno stash\n");
  // A run sees, signals and traces its own processes only: not the box's,
  // which live on between runs outside every run's cgroup.
  Sandbox_Result Ender = Run("ls /proc > seen; grep -c '^[0-9]' seen; kill -KILL -1; echo still here", Limits);
  EXPECT_EQ(Ender.Ending, Sandbox_Exited) << Ender.Err << Ender.Detail;
  EXPECT_EQ(Ender.Out, "3\nstill here\n");  // its process 1, the shell and ls
  // A box ended from outside is made again by its next run.
  std::vector<pid_t> Holders;
  for (pid_t Pid : Descendants_Alive())
    if (Read_File("/proc/" + std::to_string(Pid) + "/cmdline") == std::string("sleep\0infinity\0", 15))
      Holders.push_back(Pid);
  ASSERT_EQ(Holders.size(), 1u);
  kill(Holders[0], SIGKILL);
  Sandbox_Result After = Run("echo a box again", Limits);
  EXPECT_EQ(After.Ending, Sandbox_Exited) << After.Err << After.Detail;
  EXPECT_EQ(After.Out, "a box again\n");
}

// A kept box runs its own program, in folders of its own, and nothing
// once dropped; where runs cannot be boxed with a cgroup, none is kept.
TEST_F(Kept_Box_Test, AKeptBoxRunsOnlyWhatItWasKeptFor) {
  if (!Keep_Or_Skip()) GTEST_SKIP() << "no sandbox with a cgroup here";
  Sandbox_Request Request;
  Request.Command = {"/bin/sh", "-c", "echo ran"};
  Request.Folder = At("elsewhere");
  fs::create_directory(Request.Folder);
  Request.Kept_Box = Box;
  Request.Limits = Default_Sandbox_Limits();
  Sandbox_Result R = Run_Contained(Request);
  EXPECT_EQ(R.Ending, Sandbox_Not_Started);
  EXPECT_NE(R.Detail.find("is not a folder of the kept box's"), std::string::npos) << R.Detail;
  Request.Folder = Box_Folder + "/other";
  fs::create_directory(Request.Folder);
  Request.Command = {"/bin/bash", "-c", "echo ran"};
  R = Run_Contained(Request);
  EXPECT_EQ(R.Ending, Sandbox_Not_Started);
  EXPECT_EQ(R.Detail, "a kept box runs the program it was kept for");
  Sandbox_Drop_Box(Box);
  Request.Command = {"/bin/sh", "-c", "echo ran"};
  R = Run_Contained(Request);
  Box = -1;
  EXPECT_EQ(R.Ending, Sandbox_Not_Started);
  EXPECT_EQ(R.Detail, "no such kept box");
  std::string Said, Refusal, Why_Not;
  Sandbox_Finish();
  ASSERT_TRUE(Sandbox_Start(Sandbox_Off, &Said, &Refusal));
  Sandbox_Request Like;
  Like.Command = {"/bin/sh"};
  Like.Folder = Box_Folder;
  EXPECT_EQ(Sandbox_Keep_Box(Like, &Why_Not), -1);
  EXPECT_EQ(Why_Not, "runs are not boxed with a cgroup");
}

}  // namespace
