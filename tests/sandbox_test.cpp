// The sandbox module in one process: what a box shows and hides, what
// ends a run and how it is named (boxed and off), what a run's files are
// taken for, the removal of a folder a run locked, the reading of a reach
// outside from what a program said, and the refusals, each with what to
// change; the tier without a box, where each run is a fresh user of its
// own; the keys no run may reach; the user ids runs take; and what a
// run's folder holds, as its caps count it.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <linux/keyctl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include "sandbox/sandbox.h"
#include "sandbox/sandbox_internal.h"
#include "tests/process.h"

namespace {

namespace fs = std::filesystem;

class Sandbox_Test : public Scratch_Folder_Test {
 protected:
  std::string Run_Folder;

  void SetUp() override {
    chmod(Folder.c_str(), 0711);
    Run_Folder = At("run");
    fs::create_directory(Run_Folder);
  }
  void TearDown() override {
    Sandbox_Finish();
    std::string Said, Refusal;
    Sandbox_Start(Sandbox_Off, &Said, &Refusal);
    Scratch_Folder_Test::TearDown();
  }

  // The box as required; skipped (or failed, where CI requires it) where
  // the machine gives none.
  bool Box_Or_Skip() {
    std::string Said, Refusal;
    if (Sandbox_Start(Sandbox_Required, &Said, &Refusal)) return true;
    if (std::getenv("ZOR_SANDBOX_MUST_RUN") != nullptr) ADD_FAILURE() << Refusal;
    return false;
  }

  // The tier without a box, as under Docker's default seccomp: a stand-in
  // bwrap that fails as it does there. Only root has it; false (a skip,
  // or a failure where CI requires it) elsewhere.
  bool Own_User_Tier_Or_Skip() {
    if (geteuid() != 0) {
      if (std::getenv("ZOR_SANDBOX_MUST_RUN") != nullptr) ADD_FAILURE() << "runs as a user of their own need root";
      return false;
    }
    fs::create_directories(At("failing_bwrap"));
    Write_File(At("failing_bwrap/bwrap"),
               "#!/bin/sh\necho 'bwrap: Creating new namespace failed: Operation not permitted' >&2\nexit 1\n");
    chmod(At("failing_bwrap/bwrap").c_str(), 0755);
    std::string Path = std::getenv("PATH");
    setenv("PATH", (At("failing_bwrap") + ":" + Path).c_str(), 1);
    std::string Said, Refusal;
    bool Started = Sandbox_Start(Sandbox_Auto, &Said, &Refusal);
    setenv("PATH", Path.c_str(), 1);
    EXPECT_TRUE(Started) << Refusal;
    EXPECT_EQ(Sandbox_Current_Tier(), Sandbox_Tier_Own_User) << Said;
    EXPECT_EQ(Said.rfind("sandbox: no box (this system refuses new namespaces", 0), 0u) << Said;
    EXPECT_NE(Said.find("each run as a fresh user id of its own"), std::string::npos) << Said;
    return Started && Sandbox_Current_Tier() == Sandbox_Tier_Own_User;
  }

  Sandbox_Result Run(const std::vector<std::string>& Command, Sandbox_Limits Limits, const std::string& Input = "",
                     bool Stays_Open = false) {
    Sandbox_Request Request;
    Request.Command = Command;
    Request.Folder = Run_Folder;
    Request.Input = Input;
    Request.Input_Stays_Open = Stays_Open;
    Request.Limits = Limits;
    return Run_Contained(Request);
  }
};

// A shell's view from inside: its user, its environment, what it can see
// and write.
TEST_F(Sandbox_Test, ABoxShowsItsFolderAndTheSystemOnly) {
  if (!Box_Or_Skip()) GTEST_SKIP() << "no sandbox here";
  Write_File(At("secret"), "not for the box\n");
  const std::string Script =
      "id -u; env | sort; "
      "test -e " PROJECT_SOURCE_DIR " && echo sees the source; "
      "test -e " + At("secret") + " && echo sees the secret; "
      "ls -A ..; "
      "echo written > mine && cat mine; "
      "touch /usr/x 2>/dev/null || echo /usr read-only; "
      "touch /x 2>/dev/null || echo / read-only";
  Sandbox_Result R = Run({"/bin/sh", "-c", Script}, Default_Sandbox_Limits());
  ASSERT_EQ(R.Ending, Sandbox_Exited) << R.Err << R.Detail;
  std::istringstream Lines(R.Out);
  std::string Uid;
  std::getline(Lines, Uid);
  EXPECT_NE(Uid, "0");
  std::string Rest((std::istreambuf_iterator<char>(Lines)), std::istreambuf_iterator<char>());
  EXPECT_EQ(Rest, "HOME=" + Run_Folder + "\nLANG=C.UTF-8\nPATH=/usr/local/bin:/usr/bin:/bin\nPWD=" + Run_Folder +
                      "\nTMPDIR=" + Run_Folder + "\nrun\nwritten\n/usr read-only\n/ read-only\n");
  EXPECT_EQ(Read_File(Run_Folder + "/mine"), "written\n");
}

/* Scripts that fill their folder, each file under a file limit of 1 MiB:
** past 200 names, and past 4 MiB. */
const std::string Many_Names = "for i in $(seq 300); do : > n$i; done; ";
const std::string Big_Files = "for i in 1 2 3 4 5 6; do head -c 1000000 /dev/zero > b$i; done; ";

struct Ending_Case {
  std::string Name;
  std::vector<std::string> Command;
  Sandbox_Ending Ending;
  int Status_Or_Signal;
  std::string Input = "";
  bool Stays_Open = false;
};

void Expect_Ending(const Ending_Case& C, const Sandbox_Result& R, const Sandbox_Limits& Limits) {
  EXPECT_EQ(R.Ending, C.Ending) << Sandbox_Verdict(R, Limits) << "\n" << R.Err;
  if (C.Ending == Sandbox_Exited) {
    EXPECT_EQ(R.Status, C.Status_Or_Signal);
  } else if (C.Ending == Sandbox_Killed) {
    EXPECT_EQ(R.Signal, C.Status_Or_Signal);
  }
}

// Each way a run ends, boxed, and the verdict named for it; where a
// cgroup counts, CPU time and peak memory are measured.
TEST_F(Sandbox_Test, EveryEndingIsNamedInTheBox) {
  if (!Box_Or_Skip()) GTEST_SKIP() << "no sandbox here";
  if (!Sandbox().Cgroup) GTEST_SKIP() << "no cgroup here: memory and processes are limited otherwise";
  Sandbox_Limits Limits = Default_Sandbox_Limits();
  Limits.Cpu_Seconds = 1, Limits.Wall_Seconds = 60, Limits.Memory_Bytes = 64 << 20, Limits.Processes = 20;
  Limits.Output_Bytes = 1 << 20, Limits.File_Bytes = 1 << 20;
  Limits.Folder_Bytes = 4 << 20, Limits.Folder_Entries = 200;
  const Ending_Case Cases[] = {
      {"exit 3", {"/bin/sh", "-c", "exit 3"}, Sandbox_Exited, 3},
      {"segfault", {"/bin/sh", "-c", "kill -SEGV $$"}, Sandbox_Killed, SIGSEGV},
      {"spin", {"/bin/sh", "-c", "while :; do :; done"}, Sandbox_Cpu_Limit, 0},
      {"memory", {"/usr/bin/perl", "-e", "$x = 'x' x (512 << 20)"}, Sandbox_Memory_Limit, 0},
      {"fork", {"/bin/sh", "-c", "for i in $(seq 100); do sleep 30 & done; wait"}, Sandbox_Process_Limit, 0},
      {"output", {"/usr/bin/yes"}, Sandbox_Output_Limit, 0},
      {"output, not yes", {"/usr/bin/head", "-c", "2000000", "/dev/zero"}, Sandbox_Output_Limit, 0},
      {"big file", {"/bin/sh", "-c", "exec head -c 2000000 /dev/zero > big"}, Sandbox_File_Limit, 0},
      {"reads past its input", {"/bin/sh", "-c", "read a; read b"}, Sandbox_Waiting_For_Input, 0, "1\n", true},
      {"reads its input", {"/bin/sh", "-c", "read a; exit $a"}, Sandbox_Exited, 7, "7\n", true},
      {"writes outside", {"/bin/sh", "-c", "echo > /tmp/x"}, Sandbox_Reached_Outside, 0},
      {"says bubblewrap's words", {"/bin/sh", "-c", "echo 'bwrap: Can'\\''t mount proc' >&2; exit 1"},
       Sandbox_Exited, 1},
      {"cannot be run", {"/bin/no_such_program"}, Sandbox_Not_Started, 0},
      // Last: what they leave in the folder stays for the rows after.
      {"many names, then asleep", {"/bin/sh", "-c", Many_Names + "sleep 90"}, Sandbox_Folder_Limit, 0},
      {"files under the file limit, then asleep", {"/bin/sh", "-c", Big_Files + "sleep 90"}, Sandbox_Folder_Limit, 0},
      {"a full folder, then exit 0", {"/bin/sh", "-c", "exit 0"}, Sandbox_Folder_Limit, 0},
  };
  for (const Ending_Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    Sandbox_Result R = Run(C.Command, Limits, C.Input, C.Stays_Open);
    Expect_Ending(C, R, Limits);
    if (C.Ending != Sandbox_Not_Started) {
      /* Measured; not compared with the limit: the CPU time limit's
      ** clock counts whole ticks, and on a loaded virtual machine runs
      ** well ahead of the cgroup's. */
      EXPECT_GT(R.Peak_Memory_Bytes, 0);
      EXPECT_GE(R.Cpu_Seconds, 0.0);
    }
  }
}

// A run that never started says which step failed, apart from the exec
// itself, whose words stay as they were: a teacher, or whoever reads a
// rare failure in a test's log, learns where to look.
TEST_F(Sandbox_Test, ARunNotStartedSaysWhichStepFailed) {
  std::string Said, Refusal;
  Sandbox_Finish();
  ASSERT_TRUE(Sandbox_Start(Sandbox_Off, &Said, &Refusal)) << Refusal;
  const struct {
    std::string Program, Folder, Detail;
  } Cases[] = {
      {"/bin/no_such_program", Run_Folder, "cannot run /bin/no_such_program: No such file or directory"},
      {"/bin/true", At("no_such_folder"), "cannot run /bin/true: No such file or directory (while entering its folder)"},
  };
  for (const auto& C : Cases) {
    Sandbox_Request Request;
    Request.Command = {C.Program};
    Request.Folder = C.Folder;
    Request.Limits = Default_Sandbox_Limits();
    Sandbox_Result R = Run_Contained(Request);
    EXPECT_EQ(R.Ending, Sandbox_Not_Started) << C.Detail;
    EXPECT_EQ(R.Detail, C.Detail);
  }
}

// Off, as the tests' runner uses it: the plain limits only, the exact
// status, and input and output of any size.
TEST_F(Sandbox_Test, OffItIsAPlainChildUnderThePlainLimits) {
  Sandbox_Limits Limits{1, 60, 0, 0, 1 << 20, 64, 4 << 20, 0, 4 << 20, 200};
  const Ending_Case Cases[] = {
      {"exit 139 is an exit", {"/bin/sh", "-c", "exit 139"}, Sandbox_Exited, 139},
      {"abort", {"/bin/sh", "-c", "kill -ABRT $$"}, Sandbox_Killed, SIGABRT},
      {"spin", {"/bin/sh", "-c", "while :; do :; done"}, Sandbox_Cpu_Limit, 0},
      {"output", {"/usr/bin/yes"}, Sandbox_Output_Limit, 0},
      {"big file", {"/bin/sh", "-c", "exec head -c 2000000 /dev/zero > big"}, Sandbox_File_Limit, 0},
      {"reads past its input", {"/bin/sh", "-c", "read a; read b"}, Sandbox_Waiting_For_Input, 0, "1\n", true},
      {"writes outside, allowed", {"/bin/sh", "-c", "echo > " + At("outside")}, Sandbox_Exited, 0},
      {"cannot be run", {"/bin/no_such_program"}, Sandbox_Not_Started, 0},
      {"many names, then asleep", {"/bin/sh", "-c", Many_Names + "sleep 90"}, Sandbox_Folder_Limit, 0},
  };
  for (const Ending_Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    Expect_Ending(C, Run(C.Command, Limits, C.Input, C.Stays_Open), Limits);
  }
  Remove_Tree(Run_Folder);
  fs::create_directory(Run_Folder);
  std::string Big(3 << 20, 'z');
  Big[12345] = '\n';
  Sandbox_Result Copied = Run({"/bin/cat"}, Limits, Big);
  EXPECT_EQ(Copied.Ending, Sandbox_Exited);
  EXPECT_TRUE(Copied.Out == Big);
  Sandbox_Request Tail;
  Tail.Command = {"/bin/sh", "-c", "echo first; echo last >&2; echo end"};
  Tail.Folder = Run_Folder;
  Tail.Kept_Out = 4;
  Sandbox_Result Kept = Run_Contained(Tail);
  EXPECT_EQ(Kept.Out, "end\n");
  EXPECT_EQ(Kept.Err, "last\n");
}

// A run that reports as it works, off and boxed: its standard output is
// heard as it comes, up to the last line before it exits; it is ended
// once it has said nothing on standard output for the silence limit
// (counted from its last word, not from its start; standard error does
// not count); and the caller hears about once a second while it runs.
TEST_F(Sandbox_Test, ARunThatReportsIsHeardAndEndedWhenSilent) {
  struct Case {
    std::string Name, Script;
    Sandbox_Ending Ending;
    std::string Heard;
  };
  const Case Cases[] = {
      {"talks, then falls silent", "echo one; sleep 0.2; echo two; sleep 60", Sandbox_Silence_Limit, "one\ntwo\n"},
      // Its silences a fifteenth of the limit, so that a busy machine
      // that wakes it late does not make it look silent.
      {"talks often, longer than the limit", "for i in $(seq 20); do echo $i; sleep 0.2; done", Sandbox_Exited,
       "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15\n16\n17\n18\n19\n20\n"},
      {"talks on standard error only", "for i in $(seq 100); do echo $i >&2; sleep 0.2; done", Sandbox_Silence_Limit,
       ""},
      {"says its last word as it exits", "echo last", Sandbox_Exited, "last\n"},
  };
  Sandbox_Limits Limits = Default_Sandbox_Limits();
  Limits.Wall_Seconds = 120, Limits.Silence_Seconds = 3;
  for (Sandbox_Mode Mode : {Sandbox_Off, Sandbox_Required}) {
    std::string Said, Refusal;
    if (Mode == Sandbox_Required && !Box_Or_Skip()) continue;
    if (Mode == Sandbox_Off) Sandbox_Start(Mode, &Said, &Refusal);
    for (const Case& C : Cases) {
      SCOPED_TRACE(C.Name + (Mode == Sandbox_Off ? ", off" : ", boxed"));
      std::string Heard;
      std::vector<double> Waited;
      Sandbox_Request Request;
      Request.Command = {"/bin/sh", "-c", C.Script};
      Request.Folder = Run_Folder;
      Request.Kept_Out = 0;
      Request.Limits = Limits;
      Request.Hear_Out = [&Heard](const char* Bytes, size_t Count) { Heard.append(Bytes, Count); };
      Request.Waiting = [&Waited](double Seconds) { Waited.push_back(Seconds); };
      Sandbox_Result R = Run_Contained(Request);
      EXPECT_EQ(R.Ending, C.Ending) << Sandbox_Verdict(R, Limits) << "\n" << R.Err;
      EXPECT_EQ(Heard, C.Heard);
      EXPECT_EQ(R.Out, "") << "nothing kept past Kept_Out";
      EXPECT_TRUE(std::is_sorted(Waited.begin(), Waited.end()));
      if (R.Wall_Seconds >= 2.5) {
        EXPECT_GE(Waited.size(), 1u) << R.Wall_Seconds;
      }
      if (C.Ending == Sandbox_Silence_Limit) {
        EXPECT_EQ(Sandbox_Verdict(R, Limits),
                  "did not return within 3 s: silent that long (wall-clock time), asleep or blocked");
      }
    }
  }
}

// A tool started with some of its standard streams closed still gives a
// run its input and takes its output, off, in a box and in a kept box.
// The descriptors the tool opens then (a slot's network, a kept box's
// namespaces) take those low numbers, which the child fills with the
// run's pipes before it enters the namespaces; so the streams close
// before the sandbox starts. In the box, 0 and 3 free put the slot's
// network on 3, where bubblewrap's status pipe goes.
TEST_F(Sandbox_Test, AToolWithoutStandardStreamsStillFeedsARun) {
  enum Tier { Off, Boxed, Kept };
  const struct {
    Tier Where;
    std::vector<int> Closed;
  } Cases[] = {
      {Off, {0, 1, 2}}, {Boxed, {0, 1, 2}}, {Boxed, {0}}, {Boxed, {2}}, {Kept, {0, 1, 2}}, {Kept, {0}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << "tier " << C.Where << ", closed " << testing::PrintToString(C.Closed));
    std::string Said, Refusal;
    Sandbox_Finish();
    if (C.Where != Off && !Box_Or_Skip()) return;
    if (C.Where == Kept && !Sandbox().Cgroup) {
      if (std::getenv("ZOR_SANDBOX_MUST_RUN") != nullptr) ADD_FAILURE() << "kept boxes need a cgroup";
      return;
    }
    Sandbox_Finish();
    pid_t Child = fork();
    if (Child == 0) {
      for (int Fd : C.Closed) close(Fd);
      if (!Sandbox_Start(C.Where == Off ? Sandbox_Off : Sandbox_Required, &Said, &Refusal)) _exit(3);
      Sandbox_Request Request;
      Request.Command = {"/bin/cat"};
      Request.Folder = Run_Folder;
      Request.Input = "fed";
      Request.Limits = Default_Sandbox_Limits();
      if (C.Where == Kept) {
        if ((Request.Kept_Box = Sandbox_Keep_Box(Request, &Refusal)) < 0) _exit(4);
        Request.Folder = Run_Folder + "/in_the_kept_box";
        fs::create_directory(Request.Folder);
      }
      int Failed = 0;
      for (int Round = 0; Round < 2; Round++) {
        Sandbox_Result R = Run_Contained(Request);
        if (R.Ending != Sandbox_Exited || R.Status != 0 || R.Out != "fed") Failed = 1;
      }
      if (Request.Kept_Box >= 0) Sandbox_Drop_Box(Request.Kept_Box);
      Sandbox_Finish();
      _exit(Failed);
    }
    int Status = 0;
    waitpid(Child, &Status, 0);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
  }
}

// A stopped tool ends by the signal, whatever its main thread does while
// the stop cleans up: what the runs said since was said because the stop
// ended them, so neither a status made of it nor a file written from it
// may come out. The stop here is slow, so that a main thread not held
// would get there first.
TEST_F(Sandbox_Test, AStoppedToolEndsByTheSignalAndPublishesNothing) {
  enum Then { Exits_As_Done, Exits_In_Trouble, Writes_Its_Results };
  const struct {
    const char* What;
    Then After;
  } Cases[] = {{"main returns its status", Exits_As_Done},
               {"main gives up, its scratch folder gone", Exits_In_Trouble},
               {"main writes what the runs said", Writes_Its_Results}};
  const std::string Results = At("results");
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    pid_t Child = fork();
    if (Child == 0) {
      Sandbox_Stop_On_Signals([]() { usleep(300 * 1000); });
      kill(getpid(), SIGTERM);
      for (int Wait = 0; Wait < 5000 && !Sandbox_Stop_Begun(); Wait++) usleep(1000);
      if (C.After == Writes_Its_Results) {
        Sandbox_Wait_If_Stopped();
        Write_File(Results, "graded\n");
      }
      std::exit(C.After == Exits_In_Trouble ? 2 : 0);
    }
    int Status = 0;
    waitpid(Child, &Status, 0);
    EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == SIGTERM) << "status " << Status;
    EXPECT_FALSE(fs::exists(Results));
  }
}

// What a run left is read only when it is a regular file, up to a size.
TEST_F(Sandbox_Test, LeftFilesAreReadOnlyWhenRegular) {
  Write_File(At("outside"), "someone else's\n");
  Write_File(Run_Folder + "/file", "0123456789");
  fs::create_symlink(At("outside"), Run_Folder + "/link");
  mkfifo((Run_Folder + "/fifo").c_str(), 0600);
  fs::create_directory(Run_Folder + "/folder");
  int Socket = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un Address{};
  Address.sun_family = AF_UNIX;
  std::string Socket_Path = Run_Folder + "/socket";
  Socket_Path.copy(Address.sun_path, sizeof Address.sun_path - 1);
  ASSERT_EQ(bind(Socket, reinterpret_cast<sockaddr*>(&Address), sizeof Address), 0);
  const struct {
    const char* Name;
    size_t Most;
    Left_Kind Kind;
    const char* Bytes;
  } Cases[] = {{"file", 100, Left_File, "0123456789"}, {"file", 4, Left_File, "0123"},
               {"link", 100, Left_Link, ""},           {"fifo", 100, Left_Fifo, ""},
               {"folder", 100, Left_Folder, ""},       {"socket", 100, Left_Other, ""},
               {"missing", 100, Left_Nothing, ""}};
  for (const auto& C : Cases) {
    std::string Bytes = "stale";
    EXPECT_EQ(Read_Left_File(Run_Folder, C.Name, C.Most, &Bytes), C.Kind) << C.Name;
    EXPECT_EQ(Bytes, C.Bytes) << C.Name;
  }
  close(Socket);
}

// A run may lock what it made and its own folder: the removal still
// takes all, as the user who owns it (not only as root), and follows no
// link out.
TEST_F(Sandbox_Test, RemovesAFolderARunLocked) {
  Write_File(At("outside"), "stays\n");
  uid_t Owner = geteuid() == 0 ? 65534 : geteuid();
  ASSERT_EQ(chown(Run_Folder.c_str(), Owner, Owner), 0);
  const std::string Locked = Run_Folder + "/locked";
  pid_t Child = fork();
  if (Child == 0) {
    if (geteuid() == 0 && (setresgid(Owner, Owner, Owner) != 0 || setresuid(Owner, Owner, Owner) != 0)) _exit(3);
    fs::create_directories(Locked + "/a/b");
    std::ofstream(Locked + "/a/b/file") << "x";
    mkfifo((Locked + "/a/fifo").c_str(), 0600);
    symlink(At("outside").c_str(), (Locked + "/a/link").c_str());
    symlink(Folder.c_str(), (Locked + "/a/up").c_str());
    chmod((Locked + "/a/b").c_str(), 0);
    chmod((Locked + "/a").c_str(), 0);
    chmod(Locked.c_str(), 0500);
    _exit(Remove_Tree(Locked) ? 0 : 1);
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
  EXPECT_FALSE(File_Exists(Locked));
  EXPECT_EQ(Read_File(At("outside")), "stays\n");
}

// Where the box cannot be had, the refusal says why and what to change;
// auto goes on without it.
TEST_F(Sandbox_Test, RefusalsSayWhatToChange) {
  const struct {
    const char* Bwrap_Says;  // what a stand-in bwrap says; none at all where null
    const char* Reason;
  } Cases[] = {
      {nullptr, "bubblewrap is not installed (apt-get install bubblewrap)"},
      {"bwrap: Creating new namespace failed: Operation not permitted", "this system refuses new namespaces"},
      {"bwrap: setting up uid map: Permission denied", "user namespaces"},
      {"bwrap: Can't find source path /tmp/x: Permission denied",
       "every folder above the temporary folder must be searchable by others"},
  };
  std::string Path = std::getenv("PATH");
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Reason);
    Remove_Folder(At("bin"));
    fs::create_directory(At("bin"));
    if (C.Bwrap_Says != nullptr) {
      Write_File(At("bin/bwrap"), std::string("#!/bin/sh\necho \"") + C.Bwrap_Says + "\" >&2\nexit 1\n");
      chmod(At("bin/bwrap").c_str(), 0755);
    }
    setenv("PATH", At("bin").c_str(), 1);
    std::string Said, Refusal;
    EXPECT_FALSE(Sandbox_Start(Sandbox_Required, &Said, &Refusal));
    EXPECT_EQ(Refusal.rfind("--sandbox required, but ", 0), 0u) << Refusal;
    EXPECT_NE(Refusal.find(C.Reason), std::string::npos) << Refusal;
    EXPECT_EQ(Refusal.find('\n'), std::string::npos) << Refusal;
    EXPECT_TRUE(Sandbox_Start(Sandbox_Auto, &Said, &Refusal));
    EXPECT_EQ(Said.rfind("sandbox: no box (", 0), 0u) << Said;
    Sandbox_Result Uncontained = Run({"/bin/sh", "-c", "exit 4"}, Default_Sandbox_Limits());
    EXPECT_EQ(Uncontained.Ending, Sandbox_Exited);
    EXPECT_EQ(Uncontained.Status, 4);
    Sandbox_Finish();
    setenv("PATH", Path.c_str(), 1);
  }
}

// Where bubblewrap cannot start, a root tool still runs each program as a
// fresh user of its own: no capabilities, no new privileges, its own
// process group, the process limit; it cannot write the tool's folders,
// read a file of root's or the folder of the run before it; and whatever
// it left running is ended before the run is over.
TEST_F(Sandbox_Test, WithoutABoxEachRunIsAFreshUserThatLeavesNothing) {
  if (!Own_User_Tier_Or_Skip()) GTEST_SKIP() << "needs root";
  fs::create_directory(At("out"));
  chmod(At("out").c_str(), 0755);
  Write_File(At("secret"), "autumn tide\n");
  chmod(At("secret").c_str(), 0600);
  const std::string Script =
      "id -u; grep -E '^(CapEff|NoNewPrivs):' /proc/self/status | tr -s '\\t' ' '; "
      "cut -d' ' -f1,5 /proc/$$/stat | awk '{ if ($1 == $2) print \"own group\"; else print \"shared group\" }'; "
      "grep -c 'Max processes *[0-9]' /proc/self/limits; "
      "echo x > " + At("out/marker") + " 2>/dev/null && echo wrote the output folder; "
      "cat " + At("secret") + " 2>/dev/null && echo read the secret; "
      "cat ../earlier/mine 2>/dev/null && echo read the earlier run; "
      "echo mine > mine; "
      "(setsid sh -c 'echo $$ > left_pid; i=0; while [ $i -lt 600 ]; do sleep 1; i=$((i+1)); done' "
      ">/dev/null 2>&1 &); "
      "i=0; while [ ! -s left_pid ] && [ $i -lt 3000 ]; do sleep 0.01; i=$((i+1)); done; echo done";
  std::vector<std::string> Uids;
  for (const char* Name : {"earlier", "run"}) {
    SCOPED_TRACE(Name);
    fs::create_directories(At(Name));
    Sandbox_Request Request;
    Request.Command = {"/bin/sh", "-c", Script};
    Request.Folder = At(Name);
    Request.Limits = Default_Sandbox_Limits();
    Sandbox_Result R = Run_Contained(Request);
    ASSERT_EQ(R.Ending, Sandbox_Exited) << R.Err << R.Detail;
    std::istringstream Lines(R.Out);
    std::string Uid;
    std::getline(Lines, Uid);
    Uids.push_back(Uid);
    unsigned long Id = std::stoul(Uid);
    EXPECT_GE(Id, 0x78000000ul);
    EXPECT_LT(Id, 0x7F000000ul);
    std::string Rest((std::istreambuf_iterator<char>(Lines)), std::istreambuf_iterator<char>());
    EXPECT_EQ(Rest, "CapEff: 0000000000000000\nNoNewPrivs: 1\nown group\n1\ndone\n") << R.Err;
    EXPECT_FALSE(File_Exists(At("out/marker")));
    pid_t Left = static_cast<pid_t>(std::stol("0" + Read_File(At(std::string(Name) + "/left_pid"))));
    EXPECT_GT(Left, 1);
    EXPECT_TRUE(kill(Left, 0) != 0 && errno == ESRCH) << "the process left behind still runs";
  }
  EXPECT_NE(Uids[0], Uids[1]);
  // Its folder, closed to other users, is capped as a box's is.
  fs::create_directories(At("filled"));
  Sandbox_Request Filling;
  Filling.Command = {"/bin/sh", "-c", Many_Names + "sleep 90"};
  Filling.Folder = At("filled");
  Filling.Limits = Default_Sandbox_Limits();
  Filling.Limits.Folder_Entries = 200;
  Sandbox_Result Filled = Run_Contained(Filling);
  EXPECT_EQ(Filled.Ending, Sandbox_Folder_Limit) << Sandbox_Verdict(Filled, Filling.Limits);
}

// Without a box, the kit's programs a box would mask are closed to other
// users while the tool runs, so a run cannot start one; what was closed
// is given back as it was, and a file already closed stays untouched.
TEST_F(Sandbox_Test, WithoutABoxTheKitsProgramsAreClosedToRuns) {
  if (!Own_User_Tier_Or_Skip()) GTEST_SKIP() << "needs root";
  fs::create_directories(At("kit"));
  const struct {
    const char* Name;
    mode_t Mode, Closed;
  } Cases[] = {{"zor_simulator", 0755, 0750}, {"results_checker", 0751, 0750}, {"zor_study", 0700, 0700}};
  std::vector<std::string> Paths;
  for (const auto& C : Cases) {
    Paths.push_back(At("kit/") + C.Name);
    Write_File(Paths.back(), "#!/bin/sh\necho the reference ran\n");
    chmod(Paths.back().c_str(), C.Mode);
  }
  Close_To_Others(Paths);
  for (size_t I = 0; I < Paths.size(); I++) {
    SCOPED_TRACE(Cases[I].Name);
    struct stat Status;
    ASSERT_EQ(stat(Paths[I].c_str(), &Status), 0);
    EXPECT_EQ(Status.st_mode & 07777, Cases[I].Closed);
    Sandbox_Result R = Run({"/bin/sh", "-c", Paths[I] + " 2>/dev/null; echo tried"}, Default_Sandbox_Limits());
    EXPECT_EQ(R.Out, "tried\n") << R.Err;
  }
  Reopen_To_Others();
  for (size_t I = 0; I < Paths.size(); I++) {
    struct stat Status;
    ASSERT_EQ(stat(Paths[I].c_str(), &Status), 0);
    EXPECT_EQ(Status.st_mode & 07777, Cases[I].Mode) << Cases[I].Name;
  }
}

// No run reaches the tool's session keyring, nor a key an earlier run
// left in its own session or user keyring; the same search from a plain
// child finds the tool's key, so a search that fails means something.
TEST_F(Sandbox_Test, NoRunReachesTheToolsKeysOrAnEarlierRunsKeys) {
  ASSERT_GE(syscall(SYS_keyctl, KEYCTL_JOIN_SESSION_KEYRING, nullptr), 0) << std::strerror(errno);
  const std::string Id = std::to_string(getpid());
  const std::string Tools = "zor_tool_" + Id, Left = "zor_left_" + Id, Left_User = "zor_left_user_" + Id;
  ASSERT_GE(syscall(SYS_add_key, "user", Tools.c_str(), "teacher", 7, KEY_SPEC_SESSION_KEYRING), 0);
  const std::string Leave = "keyctl search @s user " + Tools + " >/dev/null 2>&1 && echo sees the key of the tool; "
                            "keyctl add user " + Left + " x @s >/dev/null && echo left one; "
                            "keyctl add user " + Left_User + " x @u >/dev/null && echo left one for the user";
  const std::string Look = "keyctl search @s user " + Left + " >/dev/null 2>&1 && echo sees the key left; "
                           "keyctl search @u user " + Left_User + " >/dev/null 2>&1 && echo sees the key left for the user; "
                           "echo looked";
  std::string Said, Refusal;
  Sandbox_Start(Sandbox_Off, &Said, &Refusal);
  EXPECT_EQ(Run({"/bin/sh", "-c", Leave}, Default_Sandbox_Limits()).Out.find("sees the key of the tool"), 0u);
  Sandbox_Finish();
  for (Sandbox_Tier Tier : {Sandbox_Tier_Box, Sandbox_Tier_Own_User}) {
    SCOPED_TRACE(Tier == Sandbox_Tier_Box ? "in a box" : "as a user of its own");
    if (Tier == Sandbox_Tier_Box ? !Box_Or_Skip() : !Own_User_Tier_Or_Skip()) continue;
    Sandbox_Result First = Run({"/bin/sh", "-c", Leave}, Default_Sandbox_Limits());
    EXPECT_EQ(First.Out, "left one\nleft one for the user\n") << First.Err;
    Remove_Folder(Run_Folder);
    fs::create_directory(Run_Folder);
    Sandbox_Result Next = Run({"/bin/sh", "-c", Look}, Default_Sandbox_Limits());
    EXPECT_EQ(Next.Out, "looked\n") << Next.Err;
    Sandbox_Finish();
  }
}

// The ids runs take: one with an account, or one a process runs as, is
// never taken; the tool's block lies in the range no account system hands
// out by default, and its slots are all free.
TEST_F(Sandbox_Test, RunsTakeOnlyFreeUserIds) {
  if (!Box_Or_Skip()) GTEST_SKIP() << "no sandbox here";
  if (geteuid() != 0) GTEST_SKIP() << "runs have user ids of their own only as root";
  uid_t First = Sandbox().First_Uid;
  EXPECT_GE(First, 0x78000000u);
  EXPECT_LE(First + Sandbox_Slots, 0x7F000000u);
  for (uid_t Slot = 0; Slot < Sandbox_Slots; Slot++) EXPECT_TRUE(Uid_Free(First + Slot)) << Slot;
  const uid_t Busy = 0x7E00ABCDu;
  pid_t Child = fork();
  if (Child == 0) {
    if (setresgid(Busy, Busy, Busy) != 0 || setresuid(Busy, Busy, Busy) != 0) _exit(3);
    for (int Second = 0; Second < 600; Second++) sleep(1);
    _exit(0);
  }
  ASSERT_GT(Child, 0);
  for (int Tries = 0; Tries < 3000 && Uid_Free(Busy); Tries++) usleep(10000);
  const struct {
    uid_t Uid;
    bool Free;
  } Cases[] = {{0, false}, {Busy, false}, {Busy + 1, true}};
  for (const auto& C : Cases) EXPECT_EQ(Uid_Free(C.Uid), C.Free) << C.Uid;
  kill(Child, SIGKILL);
  waitpid(Child, nullptr, 0);
  EXPECT_TRUE(Uid_Free(Busy));
}

// A failed run's standard error shows a reach outside its folder where a
// line that says something failed names a place outside it.
TEST(Sandbox_Outside, IsReadFromWhatTheProgramSaid) {
  const std::string Folder = "/tmp/box/trial_3";
  const struct {
    const char* Errors;
    bool Outside;
  } Cases[] = {
      {"sh: 1: cannot create /tmp/marker: Read-only file system\n", true},
      {"cat: ../trial_0/ZOR_Binary_In: No such file or directory\n", true},
      {"sh: 1: exec: zor_simulator: not found\n", true},
      {"/home/teacher/answers: Permission denied\n", true},
      {"touch: cannot touch '/usr/bin/x': Read-only file system\n", true},
      {"python3: can't open file '/work/kit/solution.py': [Errno 2] No such file or directory\n", true},
      {"cannot open ZOR_Binary_In: No such file or directory\n", false},
      {"./ZOR_Binary_In: No such file or directory\n", false},
      {"/tmp/box/trial_3/sub/x: No such file or directory\n", false},
      {"/usr/share/foo/data: No such file or directory\n", false},
      {"Traceback: File \"/work/kit/solution.py\", line 3\n", false},
      {"Segmentation fault at /tmp/x\n", false},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(!Line_Reaching_Outside(C.Errors, Folder).empty(), C.Outside) << C.Errors;
}

// Where the kit is installed in a tree the box shows, its programs are
// masked; elsewhere nothing is.
TEST_F(Sandbox_Test, KitProgramsInASystemTreeAreMasked) {
  fs::create_directories(At("usr/bin"));
  fs::create_directories(At("opt/bin"));
  for (const char* Name : {"usr/bin/zor_simulator", "usr/bin/results_checker", "usr/bin/python3", "opt/bin/zor_study"})
    Write_File(At(Name), "");
  std::vector<std::string> Masked =
      Masked_Kit_Programs({At("usr")}, {At("usr/bin"), At("opt/bin"), At("usr/bin"), At("missing")});
  std::sort(Masked.begin(), Masked.end());
  std::string Real = fs::canonical(Folder).string();
  EXPECT_EQ(Masked, (std::vector<std::string>{Real + "/usr/bin/results_checker", Real + "/usr/bin/zor_simulator"}));
}

}  // namespace

// A run's folder starts with a copy of its program's folder, which it
// also sees read-only at its own path; what it does there stays there.
// Boxed and off alike, since a user's program must work the same in both.
TEST_F(Sandbox_Test, ARunStartsWithACopyOfItsProgramsFolder) {
  const std::string Mine = At("mine");
  fs::create_directories(Mine + "/lib");
  Write_File(Mine + "/data.txt", "data\n");
  Write_File(Mine + "/lib/module.txt", "module\n");
  Write_File(Mine + "/ZOR_Binary_Out", "stale\n");
  Write_File(Mine + "/ZOR_Binary_In", "the student's own\n");
  fs::create_symlink(At("secret"), Mine + "/link_out");
  Write_File(At("secret"), "not for the box\n");
  ASSERT_EQ(mkfifo((Mine + "/fifo").c_str(), 0644), 0);
  struct Copy_Case {
    std::string Name, Script, Out;
  };
  const Copy_Case Cases[] = {
      {"a data file by a relative name", "cat data.txt lib/module.txt", "data\nmodule\n"},
      {"the day's input is the run's, not the folder's", "cat ZOR_Binary_In", "the day\n"},
      {"left-out names are not copied", "test -e ZOR_Binary_Out || echo none", "none\n"},
      {"a link stays a link, a FIFO is left out", "readlink link_out; test -e fifo || echo no fifo",
       At("secret") + "\nno fifo\n"},
      {"writes stay in the run's folder", "echo changed > data.txt; rm lib/module.txt; cat data.txt", "changed\n"},
      {"its folder is shown at its own path", "cat " + Mine + "/data.txt", "data\n"},
  };
  for (Sandbox_Mode Mode : {Sandbox_Required, Sandbox_Off}) {
    std::string Said, Refusal;
    Sandbox_Finish();
    if (!Sandbox_Start(Mode, &Said, &Refusal)) {
      if (std::getenv("ZOR_SANDBOX_MUST_RUN") != nullptr) ADD_FAILURE() << Refusal;
      continue;
    }
    for (const Copy_Case& C : Cases) {
      SCOPED_TRACE(C.Name + (Mode == Sandbox_Off ? ", off" : ", boxed"));
      fs::remove_all(Run_Folder);
      fs::create_directory(Run_Folder);
      Write_File(Run_Folder + "/ZOR_Binary_In", "the day\n");
      Sandbox_Request Request;
      Request.Command = {"/bin/sh", "-c", C.Script};
      Request.Folder = Run_Folder;
      Request.Readable = {Mine};
      Request.Start_With = Mine;
      Request.Start_Without = {"ZOR_Binary_Out"};
      Request.Limits = Default_Sandbox_Limits();
      Sandbox_Result R = Run_Contained(Request);
      EXPECT_EQ(R.Ending, Sandbox_Exited) << R.Err << R.Detail;
      EXPECT_EQ(R.Out, C.Out) << R.Err;
      EXPECT_EQ(Read_File(Mine + "/data.txt"), "data\n");
      EXPECT_EQ(Read_File(Mine + "/lib/module.txt"), "module\n");
    }
  }
  if (Sandbox_Boxed()) {
    Sandbox_Request Request;
    Request.Command = {"/bin/sh", "-c", "echo x > " + Mine + "/data.txt"};
    Request.Folder = Run_Folder;
    Request.Readable = {Mine};
    Request.Limits = Default_Sandbox_Limits();
    Sandbox_Result R = Run_Contained(Request);
    EXPECT_EQ(R.Ending, Sandbox_Reached_Outside) << R.Err;
    EXPECT_EQ(Read_File(Mine + "/data.txt"), "data\n");
  }
}

// A folder is copied into every run only when it could be a program's:
// a home or a build tree is refused, by count and by size.
TEST_F(Sandbox_Test, AFolderTooLargeForARunIsRefused) {
  struct Size_Case {
    std::string Name;
    int Files;
    size_t Bytes_Each;
    bool Fits;
  };
  const Size_Case Cases[] = {
      {"a program's folder", 20, 1000, true},
      {"too many files", 2001, 1, false},
      {"too many bytes", 2, size_t(33) << 20, false},
  };
  for (const Size_Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    const std::string Tree = At("tree_" + std::to_string(C.Files));
    fs::create_directories(Tree);
    for (int F = 0; F < C.Files; F++) {
      std::ofstream Out(Tree + "/" + std::to_string(F));
      Out.seekp(static_cast<std::streamoff>(C.Bytes_Each) - 1);
      Out.put('x');
    }
    std::string Why;
    EXPECT_EQ(Fits_A_Run_Folder(Tree, &Why), C.Fits) << Why;
    if (!C.Fits) {
      EXPECT_NE(Why.find("more than a program's folder would"), std::string::npos) << Why;
    }
  }
}

// What a run's folder holds, as its caps count it: blocks on disk (a
// sparse file its data, a file of many names once), every name an entry,
// no link followed; each tree then removed whole.
TEST_F(Sandbox_Test, AFoldersUseIsItsBlocksAndNamesNoLinkFollowed) {
  const int64_t Kib = 1024, Mib = Kib * Kib;
  Write_File(At("outside_big"), std::string(8 << 20, 'o'));
  fs::create_directories(At("outside_many"));
  for (int F = 0; F < 50; F++) Write_File(At("outside_many/" + std::to_string(F)), "o");
  auto Files = [](const std::string& Where, int Count, size_t Bytes) {
    for (int F = 0; F < Count; F++) Write_File(Where + "/f" + std::to_string(F), std::string(Bytes, 'x'));
  };
  auto Linked = [&](const std::string& Where, int Names) {
    Files(Where, 1, 1 << 20);
    for (int L = 1; L < Names; L++) link((Where + "/f0").c_str(), (Where + "/l" + std::to_string(L)).c_str());
  };
  auto Sparse = [](const std::string& Where) {
    int Out = open((Where + "/sparse").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    std::string Data(4096, 's');
    EXPECT_EQ(pwrite(Out, Data.data(), Data.size(), (off_t(1) << 30) - 4096), 4096);
    close(Out);
  };
  auto Nested = [](const std::string& Where) {
    fs::create_directories(Where + "/a/b/c");
    for (const char* In : {"/a", "/a/b", "/a/b/c"}) Write_File(Where + In + "/file", "ten bytes\n");
  };
  auto Spread = [&](const std::string& Where) {
    for (int D = 0; D < 30; D++) {
      fs::create_directory(Where + "/d" + std::to_string(D));
      Files(Where + "/d" + std::to_string(D), 100, 1);
    }
  };
  auto Deep = [](const std::string& Where) {
    std::string Path = Where;
    for (int Level = 0; Level < Most_Run_Folder_Depth + 6; Level++) Path += "/d";
    fs::create_directories(Path);
  };
  struct Use_Case {
    std::string Name;
    std::function<void(const std::string& Where)> Make;
    int64_t Cap_Bytes, Cap_Entries;
    Folder_Past Past;
    int64_t Entries = 0, Least_Bytes = 0, Most_Bytes = 0;  // when within the caps
  };
  const Use_Case Cases[] = {
      {"empty", [](const std::string&) {}, Mib, 16, Folder_Within, 0, 0, 0},
      {"a sparse file of 1 GiB holding 4 KiB", Sparse, Mib, 16, Folder_Within, 1, 4 * Kib, 64 * Kib},
      {"a file of 1 MiB under ten names, counted once", [&](const std::string& W) { Linked(W, 10); }, 2 * Mib, 16,
       Folder_Within, 10, Mib, Mib + 64 * Kib},
      {"folders in folders", Nested, Mib, 16, Folder_Within, 6, 3 * 4 * Kib, 64 * Kib},
      {"a link to a large file outside, not followed",
       [&](const std::string& W) { fs::create_symlink(At("outside_big"), W + "/big"); }, Mib, 16, Folder_Within, 1, 0,
       4 * Kib},
      {"a link to a full folder outside, not followed",
       [&](const std::string& W) { fs::create_directory_symlink(At("outside_many"), W + "/many"); }, Mib, 16,
       Folder_Within, 1, 0, 4 * Kib},
      {"3,000 files in 30 folders", Spread, 64 * Mib, 5000, Folder_Within, 3030, 3000 * 4 * Kib, 16 * Mib},
      {"more names than the cap", [&](const std::string& W) { Files(W, 40, 0); }, Mib, 32, Folder_Past_Entries},
      {"more hard links than the cap", [&](const std::string& W) { Linked(W, 40); }, 4 * Mib, 32, Folder_Past_Entries},
      {"more bytes than the cap, each file under it", [&](const std::string& W) { Files(W, 5, 1 << 20); }, 4 * Mib, 16,
       Folder_Past_Bytes},
      {"folders deeper than a walk goes", Deep, Mib, 1000, Folder_Too_Deep},
  };
  int Number = 0;
  for (const Use_Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    const std::string Where = At("use_" + std::to_string(Number++));
    fs::create_directory(Where);
    C.Make(Where);
    Sandbox_Limits Limits{};
    Limits.Folder_Bytes = C.Cap_Bytes, Limits.Folder_Entries = C.Cap_Entries;
    Folder_Use Use = Measure_Run_Folder(Where, Limits);
    EXPECT_EQ(Use.Past, C.Past) << Folder_Past_Words(Use.Past, Limits);
    if (C.Past == Folder_Within) {
      EXPECT_EQ(Use.Entries, C.Entries);
      EXPECT_GE(Use.Bytes, C.Least_Bytes);
      EXPECT_LE(Use.Bytes, C.Most_Bytes);
    }
    EXPECT_TRUE(Remove_Tree(Where));
    EXPECT_FALSE(fs::exists(Where));
  }
  EXPECT_EQ(Read_File(At("outside_big")).size(), size_t(8) << 20);
  EXPECT_TRUE(fs::exists(At("outside_many/49")));
}

// Without a cgroup, memory is limited by what a process writes, not by the
// address space it reserves: a JVM starts under 1 GiB, and a program that
// takes more is still named for the memory limit.
TEST_F(Sandbox_Test, WithoutACgroupMemoryIsDataNotAddressSpace) {
  if (!Box_Or_Skip()) GTEST_SKIP() << "no sandbox here";
  Sandbox().Cgroup = false;  // as for a user who is not root
  Sandbox_Limits Limits = Default_Sandbox_Limits();
  Limits.Wall_Seconds = 120;
  const Ending_Case Cases[] = {
      {"a JVM starts", {"/usr/bin/java", "-Xshare:off", "-version"}, Sandbox_Exited, 0},
      {"4 GiB of address space reserved, as Go's runtime does",
       {"/usr/bin/python3", "-c", "import mmap; m = mmap.mmap(-1, 4 << 30, flags=mmap.MAP_PRIVATE, prot=mmap.PROT_READ)"},
       Sandbox_Exited, 0},
      {"perl takes 2 GiB", {"/usr/bin/perl", "-e", "$x = 'x' x (2048 << 20)"}, Sandbox_Memory_Limit, 0},
      {"python takes 2 GiB", {"/usr/bin/python3", "-c", "x = bytearray(2048 << 20)"}, Sandbox_Memory_Limit, 0},
  };
  for (const Ending_Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    Expect_Ending(C, Run(C.Command, Limits), Limits);
  }
}
