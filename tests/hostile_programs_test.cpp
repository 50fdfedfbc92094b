// The sandbox as a teacher relies on it: each program of
// tests/hostile_programs/ runs as the "simulator" under simulator_checker
// with --sandbox required, and for each nothing outside its folder is
// touched (no marker in the system's temporary folder, in $HOME or in the
// folder the checker was started from; no connection accepted; no
// process left; no temporary folder left; nothing followed or copied out
// of a link or a FIFO), the verdict names what happened, and the checker
// goes on to its report. Each routine of tests/hostile_profiled_routines/,
// linked into a profiler, tries the same from the profiler's children,
// with the same checks. Rows with the sandbox off show that the same
// checks do catch an escape.
//
// Where a machine refuses the box, the battery is skipped with the reason,
// unless ZOR_SANDBOX_MUST_RUN is set (CI sets it): then it fails.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;

const std::string Hostile = HOSTILE_PROGRAMS_DIR "/";

struct Hostile_Case {
  std::string Name;
  std::vector<std::string> Command;  // the program and its arguments, after the checker's options
  std::vector<std::string> Options;  // the limits this row lowers
  std::string Verdict;               // what the report says the program did
  std::string Also = "";             // more the report must show, from its standard error
};

// Processes descended from this test program whose command name is
// Comm (when given) and whose command line holds Part. The test program
// is its runs' subreaper (see SetUp), so a process that outlives its run
// is adopted here, not by init: the count sees every escape of this
// test's runs and never a process of another test that runs the same
// programs at the same time. With Stop, each is killed too.
int Descendants_Named(const std::string& Comm, const std::string& Part = "", bool Stop = false) {
  int Count = 0;
  for (pid_t Pid : Descendants_Alive()) {
    std::string Where = "/proc/" + std::to_string(Pid);
    if (!Comm.empty() && Read_File(Where + "/comm") != Comm + "\n") continue;
    if (Read_File(Where + "/cmdline").find(Part) == std::string::npos) continue;
    Count++;
    if (Stop) kill(Pid, SIGKILL), waitpid(Pid, nullptr, 0);
  }
  return Count;
}

// A listener on 127.0.0.1 that never accepts by itself: its port, and the
// socket, non-blocking, to see afterwards whether anyone connected.
int Listen_On_Loopback(int* Port) {
  int Socket = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  sockaddr_in At{};
  At.sin_family = AF_INET;
  At.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t Size = sizeof At;
  if (Socket < 0 || bind(Socket, reinterpret_cast<sockaddr*>(&At), sizeof At) != 0 || listen(Socket, 16) != 0 ||
      getsockname(Socket, reinterpret_cast<sockaddr*>(&At), &Size) != 0)
    return -1;
  *Port = ntohs(At.sin_port);
  return Socket;
}

bool Anyone_Connected(int Listener) {
  int Accepted = accept(Listener, nullptr, nullptr);
  if (Accepted >= 0) close(Accepted);
  return Accepted >= 0;
}

class Hostile_Programs : public Scratch_Folder_Test {
 protected:
  std::string Marker = "zor_hostile_marker_" + std::to_string(getpid());
  std::string Temporary, Home;

  void SetUp() override {
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    Temporary = At("tmp"), Home = At("home");
    fs::create_directories(Temporary);
    fs::create_directories(Home);
    /* A box's user reaches its folder through the temporary folder. */
    chmod(Folder.c_str(), 0711);
    Run_Result Tier = Run_Program(SIMULATOR_CHECKER_PATH, Folder, "", {}, {"--sandbox", "required", "--sandbox-tier"});
    if (Tier.Exit_Status == 0) return;
    if (std::getenv("ZOR_SANDBOX_MUST_RUN") != nullptr) FAIL() << "no sandbox here, and CI needs one: " << Tier.Out;
    GTEST_SKIP() << "this machine gives no sandbox: " << Tier.Out;
  }

  // A tool (simulator_checker unless said) started from Folder, with its
  // own temporary folder and home, and the kit's reference simulator on
  // its PATH.
  Run_Result Check(const std::vector<std::string>& Arguments, const std::string& Tool = SIMULATOR_CHECKER_PATH) {
    const char* Path = std::getenv("PATH");
    std::vector<std::string> Words = {"TMPDIR=" + Temporary, "HOME=" + Home,
                                      "PATH=" + fs::path(ZOR_SIMULATOR_PATH).parent_path().string() + ":" +
                                          (Path != nullptr ? Path : "/usr/bin:/bin"),
                                      Tool};
    Words.insert(Words.end(), Arguments.begin(), Arguments.end());
    Run_Options Options;
    Options.Wall_Seconds = 300;
    return Run_Program("/usr/bin/env", Folder, "", Options, Words);
  }

  void Expect_No_Marker() {
    for (const std::string& Place : {std::string("/tmp"), Home, Folder})
      EXPECT_FALSE(File_Exists(Place + "/" + Marker)) << "a marker in " << Place;
  }
};

TEST_F(Hostile_Programs, EachIsContainedAndNamed) {
  int Port = 0;
  int Listener = Listen_On_Loopback(&Port);
  ASSERT_GE(Listener, 0);
  Write_File(At("secret"), "the teacher's answers\n");
  const std::vector<std::string> Quick = {"--wall-time-limit", "60"};
  const Hostile_Case Cases[] = {
      {"marker in /tmp", {Hostile + "marker_in_tmp.sh", Marker}, Quick,
       "tried to reach outside its folder: " + Hostile + "marker_in_tmp.sh: 4: cannot create /tmp/" + Marker},
      {"marker in $HOME", {Hostile + "marker_in_home.sh", Marker}, Quick,
       "exited with status 0 but wrote no ZOR_Binary_Out"},
      {"marker in the start folder", {Hostile + "marker_in_start_folder.sh", Folder, Marker}, Quick,
       "tried to reach outside its folder: " + Hostile + "marker_in_start_folder.sh: 4: cannot create " + Folder +
           "/" + Marker},
      {"reads another trial's file", {Hostile + "reads_other_trial.sh"}, Quick,
       "tried to reach outside its folder: cat: ../trial_1/ZOR_Binary_In: No such file or directory"},
      {"execs the reference by path", {HOSTILE_EXECS_REFERENCE}, Quick,
       "tried to reach outside its folder: " ZOR_SIMULATOR_PATH ": No such file or directory"},
      {"execs the reference by name", {Hostile + "execs_reference_by_name.sh"}, Quick,
       "tried to reach outside its folder: " + Hostile + "execs_reference_by_name.sh: 3: exec: zor_simulator: not found"},
      {"connects to 127.0.0.1", {HOSTILE_CONNECTS_TO_LISTENER, std::to_string(Port)}, Quick, "exited with status 1, not 0",
       "connect to 127.0.0.1: Network is unreachable"},
      {"forks 2,000 processes", {HOSTILE_FORKS_2000}, {"--process-limit", "50", "--wall-time-limit", "60"},
       "hit the process limit: too many processes (more than 50 at once)"},
      {"gives up, status 0, when forks are refused", {HOSTILE_GIVES_UP_WHEN_FORKS_REFUSED},
       {"--process-limit", "50", "--wall-time-limit", "60"},
       "hit the process limit: too many processes (more than 50 at once)"},
      {"allocates 6 GiB", {HOSTILE_ALLOCATES_6_GIB}, {"--memory-limit", "256", "--wall-time-limit", "60"},
       "hit the memory limit of 256 MiB"},
      {"writes a 2 GiB file", {HOSTILE_WRITES_2_GIB_FILE}, {"--file-size-limit", "16", "--wall-time-limit", "60"},
       "hit the output limit: a file grew past the file-size limit of 16 MiB"},
      // Files each under the file-size limit, many or large, until the
      // folder as a whole is past its cap: ended while it sleeps, and its
      // folder (the marker in it) removed with the checker's.
      {"fills its folder with files and links", {HOSTILE_FILLS_FOLDER_WITH_FILES, Marker},
       {"--folder-entry-limit", "1000", "--wall-time-limit", "60"},
       "hit the output limit: its folder grew past the folder limit of 1000 files, folders and links"},
      {"fills its folder with big files", {HOSTILE_FILLS_FOLDER_WITH_BIG_FILES, Marker},
       {"--folder-limit", "16", "--file-size-limit", "16", "--wall-time-limit", "60"},
       "hit the output limit: its folder grew past the folder limit of 16 MiB (its files, folders and links "
       "together, in blocks on disk)"},
      {"prints 1 GiB", {HOSTILE_PRINTS_1_GIB}, {"--output-limit", "1", "--wall-time-limit", "60"},
       "hit the output limit: more than 1 MiB on standard output and error"},
      {"sleeps for ever", {HOSTILE_SLEEPS_FOREVER}, {"--wall-time-limit", "1"},
       "hit the wall-time limit: still running after 1 s, asleep or blocked"},
      {"ignores SIGTERM", {HOSTILE_IGNORES_SIGTERM}, {"--wall-time-limit", "1"},
       "hit the wall-time limit: still running after 1 s, asleep or blocked"},
      {"spins, ignoring SIGXCPU", {HOSTILE_SPINS_IGNORING_SIGXCPU}, {"--time-limit", "1", "--wall-time-limit", "120"},
       "hit the time limit: more than 1 s of CPU time (an endless loop?)"},
      {"double-forks and calls setsid", {HOSTILE_DOUBLE_FORKS, Folder, Marker}, Quick,
       "exited with status 0 but wrote no ZOR_Binary_Out"},
      {"ZOR_Binary_Out a link out", {Hostile + "binary_out_symlink.sh", At("secret")}, Quick,
       "left ZOR_Binary_Out as a symbolic link, not a regular file"},
      {"ZOR_Binary_Out a FIFO", {Hostile + "binary_out_fifo.sh"}, Quick,
       "left ZOR_Binary_Out as a FIFO (named pipe), not a regular file"},
      {"locks its folder", {Hostile + "locks_its_folder.sh"}, Quick, "exited with status 0 but wrote no ZOR_Binary_Out"},
      // The box kept for the checker's trials keeps processes between them,
      // outside every trial's cgroup: a trial must not reach them.
      {"ptraces the box's own processes", {HOSTILE_PTRACES_THE_BOX}, Quick, "exited with status 3, not 0",
       "held no process but its own"},
      // In a kept box what a run says is all its own: bubblewrap's words
      // there are the program's failure, not the sandbox's.
      {"says the box failed", {Hostile + "says_the_box_failed.sh"}, Quick, "exited with status 1, not 0",
       "bwrap: Can't mount proc"},
  };
  for (const Hostile_Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::vector<std::string> Arguments = {"--sandbox", "required", "--trials", "1", "--jobs", "1", "--keep", "kept"};
    Arguments.insert(Arguments.end(), C.Options.begin(), C.Options.end());
    Arguments.insert(Arguments.end(), C.Command.begin(), C.Command.end());
    Run_Result R = Check(Arguments);
    EXPECT_EQ(R.Exit_Status, 1) << R.Err;
    EXPECT_NE(R.Out.find("\nOn that day it " + C.Verdict), std::string::npos) << R.Out;
    EXPECT_NE(R.Out.find(C.Also), std::string::npos) << R.Out;
    Expect_No_Marker();
    EXPECT_FALSE(Anyone_Connected(Listener));
    EXPECT_EQ(Descendants_Named("zor_hostile_kid"), 0);
    EXPECT_TRUE(fs::is_empty(Temporary)) << "the checker left a temporary folder";
    EXPECT_FALSE(File_Exists(At("kept/ZOR_Binary_Out"))) << "--keep copied what is not a file";
    EXPECT_FALSE(File_Exists(At("kept/" + Marker))) << "--keep copied what the run left beside its output";
    EXPECT_EQ(R.Out.find("teacher's answers"), std::string::npos);
    std::error_code Error;
    for (const auto& Kept : fs::directory_iterator(At("kept"), Error))
      EXPECT_EQ(Read_File(Kept.path().string()).find("teacher's answers"), std::string::npos) << Kept.path();
    Remove_Folder(At("kept"));
  }
  close(Listener);
}

// Lines in the static constructor's marker: one per process of the
// routine's program that ran the constructor where it could write.
size_t Constructor_Marks() {
  std::string Marks = Read_File(CONSTRUCTOR_MARKER);
  return static_cast<size_t>(std::count(Marks.begin(), Marks.end(), '\n'));
}

// Each hostile routine linked into a profiler, the sandbox required: the
// worker that runs it is contained and its fault named, and the judge
// reports it. The program started by hand hands itself over to the judge
// before the routine's static constructor can run, and the worker runs
// it only in the box, where it cannot write the marker: no mark at all.
TEST_F(Hostile_Programs, EachRoutineIsContainedAndNamedUnderTheProfiler) {
  struct Routine_Case {
    std::string Name;
    const char* Profiler;
    std::vector<std::string> Options;  // the limits this row lowers
    std::string Out;                   // the report, or how it begins
    std::string Kind;                  // the fault's kind in the summary a grading tool reads
  };
  const std::string First = "FAIL: order random (seed 1), size 0, K 0, X 0\n  ";
  const Routine_Case Cases[] = {
      {"a static constructor's marker in /tmp", PROFILE_HOSTILE_CONSTRUCTOR_MARKER, {}, "PASS: 120 cases", ""},
      {"execs the reference by path", PROFILE_HOSTILE_EXECS_REFERENCE, {},
       First + "tried to reach outside its folder: " ZOR_SIMULATOR_PATH ": No such file or directory\n", "reached-outside"},
      {"forks 2,000 processes", PROFILE_HOSTILE_FORKS_2000, {"--process-limit", "50"},
       First + "hit the process limit: too many processes (more than 50 at once); --process-limit sets it\n", "process-limit"},
      {"allocates 6 GiB", PROFILE_HOSTILE_ALLOCATES_6_GIB, {"--memory-limit", "256"},
       First + "hit the memory limit of 256 MiB; --memory-limit sets it\n", "memory-limit"},
      {"sleeps for ever", PROFILE_HOSTILE_SLEEPS_FOREVER, {"--wall-time-limit", "1"},
       First + "hit the wall-time limit: still running after 1 s, asleep or blocked; --wall-time-limit sets it\n", "time-limit"},
      {"ignores SIGTERM", PROFILE_HOSTILE_IGNORES_SIGTERM, {"--wall-time-limit", "1"},
       First + "hit the wall-time limit: still running after 1 s, asleep or blocked; --wall-time-limit sets it\n", "time-limit"},
      {"prints 1 GiB", PROFILE_HOSTILE_PRINTS_1_GIB, {"--output-limit", "1"},
       First + "hit the output limit: more than 1 MiB on standard output and error; --output-limit sets it\n"
               "  what its program printed last (its output, escaped):\n    yyyy",
       "output-limit"},
      // Forgers: whatever they write or kill, the judge's own summary
      // stands, and says what the lists came to.
      {"forges a summary in a static constructor", PROFILE_HOSTILE_FORGES_SUMMARY_IN_CONSTRUCTOR, {}, "FAIL: order ",
       "wrong-list"},
      {"forges a summary and kills its parent", PROFILE_HOSTILE_FORGES_SUMMARY_AND_KILLS_PARENT, {}, "FAIL: order ",
       "wrong-list"},
      {"sleeps in a static constructor", PROFILE_HOSTILE_SLEEPS_IN_CONSTRUCTOR, {"--wall-time-limit", "1"},
       "FAIL: before the first list, K 0, X 0\n  hit the wall-time limit: still running after 1 s, asleep or "
       "blocked; --wall-time-limit sets it\n",
       "time-limit"},
      {"prints a terminal's escapes", PROFILE_HOSTILE_PRINTS_ESCAPES, {},
       First + "crashed: killed by signal 6 (Aborted)\n  what its program printed last (its output, escaped):\n"
               "    \\x1b[2J\\x1b[H\\x1b]0;all sorted\\x07PASS: 140 cases\n",
       "crashed"},
  };
  for (const Routine_Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::remove(CONSTRUCTOR_MARKER);
    std::vector<std::string> Arguments = {"--sandbox", "required", "--check-only", "--max-items", "100",
                                          "--summary", "summary"};
    Arguments.insert(Arguments.end(), C.Options.begin(), C.Options.end());
    Run_Result R = Check(Arguments, C.Profiler);
    EXPECT_EQ(R.Exit_Status, C.Out.rfind("PASS", 0) == 0 ? 0 : 1) << R.Out << R.Err;
    EXPECT_EQ(R.Out.rfind(C.Out, 0), 0u) << R.Out;
    EXPECT_EQ(R.Out.find('\033'), std::string::npos) << "a terminal's escape reached the report";
    std::string Kind = C.Kind.empty() ? "" : "fault_kind " + C.Kind + "\n";
    EXPECT_NE(Read_File(At("summary")).find(C.Kind.empty() ? "correctness passed\n" : Kind), std::string::npos);
    EXPECT_EQ(Constructor_Marks(), 0u);
    Expect_No_Marker();
    EXPECT_EQ(Descendants_Named("zor_hostile_kid"), 0);
    EXPECT_EQ(Descendants_Named("", C.Profiler), 0) << "a worker outlived its judge";
    EXPECT_TRUE(fs::is_empty(Temporary)) << "the profiler left a temporary folder";
  }
  // With the sandbox off the one worker of the correctness phase runs the
  // constructor where it can write, and the program started by hand does
  // not: the same count sees both. (Here, not in a test of its own, since
  // two tests at once would share the one marker.)
  std::remove(CONSTRUCTOR_MARKER);
  Run_Result Profiled = Check({"--sandbox", "off", "--check-only", "--max-items", "100"}, PROFILE_HOSTILE_CONSTRUCTOR_MARKER);
  EXPECT_EQ(Profiled.Exit_Status, 0) << Profiled.Out << Profiled.Err;
  EXPECT_EQ(Constructor_Marks(), 1u);
  std::remove(CONSTRUCTOR_MARKER);
}

// A routine that sorts every list of the correctness phase, and tells
// the timed ones apart by their length: the judge checks every sort it
// times, and fails it with the list it got wrong.
TEST_F(Hostile_Programs, ARoutineWrongOnlyWhenTimedFailsThere) {
  Run_Result R = Check({"--sandbox", "required", "--max-items", "16384", "--orders", "random", "--summary", "summary"},
                       PROFILE_HOSTILE_WRONG_WHEN_TIMED);
  EXPECT_EQ(R.Exit_Status, 1) << R.Out << R.Err;
  EXPECT_EQ(R.Out.rfind("PASS: 42 cases", 0), 0u) << R.Out;
  EXPECT_NE(R.Out.find("\nFAIL while timing: order random, size 1024, K 0, X 0\n  items do not ascend at position "),
            std::string::npos)
      << R.Out;
  std::string Summary = Read_File(At("summary"));
  for (const char* Line : {"correctness passed\n", "timing failed\n", "fault_kind wrong-list\n"})
    EXPECT_NE(Summary.find(Line), std::string::npos) << Line << Summary;
  EXPECT_EQ(Summary.find("growth "), std::string::npos) << Summary;
}

// Wrong only from its 300th call in a process: the verdict's batches call
// it that often, the correctness phase's worker never does. The fault is
// named where the verdicts are read, none of them is shown, and the
// summary says the timing failed.
TEST_F(Hostile_Programs, ARoutineWrongOnlyWhileItsVerdictsAreReadFailsThere) {
  Run_Result R = Check({"--sandbox", "required", "--max-items", "16384", "--orders", "random,descending", "--summary",
                        "summary"},
                       PROFILE_HOSTILE_WRONG_WHEN_CALLED_OFTEN);
  EXPECT_EQ(R.Exit_Status, 1) << R.Out << R.Err;
  EXPECT_EQ(R.Out.rfind("PASS: ", 0), 0u) << R.Out;
  // 256 lists of 64 items in the first call, then lists of 96.
  EXPECT_NE(R.Out.find("\nFAIL while timing: order random, size 96, K 0, X 0\n  "), std::string::npos) << R.Out;
  EXPECT_EQ(R.Out.find("Growth of the CPU time"), std::string::npos) << R.Out;
  std::string Summary = Read_File(At("summary"));
  for (const char* Line : {"correctness passed\n", "timing failed\n", "fault_kind wrong-list\n"})
    EXPECT_NE(Summary.find(Line), std::string::npos) << Line << Summary;
  EXPECT_EQ(Summary.find("growth "), std::string::npos) << Summary;
}

// The same checks, with the sandbox off, see the escapes: they can fail.
TEST_F(Hostile_Programs, WithTheSandboxOffTheEscapesShow) {
  Run_Result Copied = Check({"--sandbox", "off", "--trials", "3", HOSTILE_EXECS_REFERENCE});
  EXPECT_EQ(Copied.Exit_Status, 0) << Copied.Out << Copied.Err;
  EXPECT_NE(Copied.Out.find("followed the model on all 3 days"), std::string::npos) << Copied.Out;
  Run_Result Marked = Check({"--sandbox", "off", "--trials", "1", Hostile + "marker_in_start_folder.sh", Folder, Marker});
  EXPECT_EQ(Marked.Exit_Status, 1);
  EXPECT_TRUE(File_Exists(At(Marker)));
  // A grandchild that leaves its run is adopted by this test and counted.
  Run_Result Forked = Check({"--sandbox", "off", "--trials", "1", HOSTILE_DOUBLE_FORKS, Folder, Marker + "_kid"});
  EXPECT_EQ(Forked.Exit_Status, 1);
  EXPECT_EQ(Descendants_Named("zor_hostile_kid", "", true), 1);
  EXPECT_EQ(Descendants_Named("zor_hostile_kid"), 0);
}

// Starts Program with Arguments from Folder, TMPDIR set to Temporary and
// its output thrown away; waits until a folder in Temporary holds one
// whose name begins with Inside (a run under way), stops it with Signal,
// and returns how it ended.
int Stop_While_Running(const std::string& Folder, const std::string& Temporary, const std::string& Inside,
                       const std::vector<std::string>& Arguments, int Signal) {
  pid_t Tool = fork();
  if (Tool == 0) {
    setenv("TMPDIR", Temporary.c_str(), 1);
    int Quiet = open("/dev/null", O_WRONLY);
    if (chdir(Folder.c_str()) != 0 || Quiet < 0) _exit(126);
    dup2(Quiet, 1), dup2(Quiet, 2);
    std::vector<char*> Words;
    for (const std::string& Word : Arguments) Words.push_back(const_cast<char*>(Word.c_str()));
    Words.push_back(nullptr);
    execv(Words[0], Words.data());
    _exit(127);
  }
  // Until the first run has its folder (in the tool's folder, or in a
  // worker's there), for at most a minute.
  bool Running = false;
  for (int Tries = 0; Tries < 1200 && !Running; Tries++) {
    std::error_code Error;
    for (fs::recursive_directory_iterator In(Temporary, Error), End; !Error && In != End; In.increment(Error)) {
      Running |= In->path().filename().string().rfind(Inside, 0) == 0;
      if (In.depth() >= 2) In.disable_recursion_pending();
    }
    if (!Running) usleep(50000);
  }
  EXPECT_TRUE(Running);
  kill(Tool, Signal);
  int Status = 0;
  waitpid(Tool, &Status, 0);
  return Status;
}

// A checker stopped by SIGINT or SIGTERM while a run sleeps: it dies of
// that signal, and neither its temporary folders nor the run remain.
TEST_F(Hostile_Programs, AStoppedCheckerLeavesNothing) {
  for (int Signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(strsignal(Signal));
    int Status = Stop_While_Running(Folder, Temporary, "trial_",
                                    {SIMULATOR_CHECKER_PATH, "--sandbox", "required", "--wall-time-limit", "600",
                                     HOSTILE_IGNORES_SIGTERM},
                                    Signal);
    EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == Signal) << Status;
    EXPECT_TRUE(fs::is_empty(Temporary));
    EXPECT_EQ(Descendants_Named("", HOSTILE_IGNORES_SIGTERM), 0);
  }
}

// The same for a profiler stopped while its worker sleeps: neither its
// folders, nor the chart it had begun (with a summary to write too), nor
// the worker remain.
TEST_F(Hostile_Programs, AStoppedProfilerLeavesNothing) {
  for (int Signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(strsignal(Signal));
    int Status = Stop_While_Running(Folder, Temporary, "worker_",
                                    {PROFILE_HOSTILE_IGNORES_SIGTERM, "--sandbox", "required", "--wall-time-limit",
                                     "600", "--svg", "chart.svg", "--summary", "summary"},
                                    Signal);
    EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == Signal) << Status;
    EXPECT_TRUE(fs::is_empty(Temporary));
    std::vector<std::string> Left;
    for (const auto& Entry : fs::directory_iterator(Folder)) Left.push_back(Entry.path().filename().string());
    std::sort(Left.begin(), Left.end());
    EXPECT_EQ(Left, (std::vector<std::string>{"home", "tmp"})) << "the chart begun is removed";
    EXPECT_EQ(Descendants_Named("", PROFILE_HOSTILE_IGNORES_SIGTERM), 0);
  }
}

}  // namespace
