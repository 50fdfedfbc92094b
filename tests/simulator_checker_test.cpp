// simulator_checker as a user runs it: the reference simulator and a
// correct simulator written apart from the kit pass the whole battery;
// the same simulator with each typical mistake is rejected, on a shrunk
// day of a few customers, by the rule that names the mistake, or as the
// crash or loop it is; and results_checker names the first wrong decision
// of a day, not its knock-on differences.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/process.h"

namespace {

using Simulator_Checker = Scratch_Folder_Test;

Run_Result Check(const std::string& Folder, std::vector<std::string> Arguments) {
  return Run_Program(SIMULATOR_CHECKER_PATH, Folder, "", {}, Arguments);
}

TEST_F(Simulator_Checker, CorrectSimulatorsPassTheWholeBattery) {
  for (const char* Simulator : {ZOR_SIMULATOR_PATH, STUDENT_SIMULATOR}) {
    Run_Result R = Check(Folder, {Simulator});
    EXPECT_EQ(R.Exit_Status, 0) << Simulator << "\n" << R.Out << R.Err;
    EXPECT_EQ(R.Out.rfind(std::string(Simulator) + " followed the model on all 200 days (17 made up, 183 generated; "
                          "seed 1) in ", 0), 0u) << R.Out;
  }
}

TEST_F(Simulator_Checker, EachMistakeIsNamedOnASmallDay) {
  struct Case {
    std::string Simulator;
    std::string Named;  // in the line that says what it did on the shrunk day
    size_t Most_Customers;
    std::vector<std::string> Arguments = {};
  };
  const std::string Scripts = TEST_SOURCE_DIR "/simulators/";
  const Case Cases[] = {
      {Scripts + "asks_for_more.sh", "asked for more than the three entries", 1},
      {Scripts + "trace_off_by_one.sh", "wrote a ZOR_Binary_Out that follows the model, but a ZOR_Debug_Out that "
       "differs from the reference's trace at line 3", 1, {ZOR_SIMULATOR_PATH}},
      {STUDENT_LIFO, "broke the rule \"first come, first served\"", 3},
      {STUDENT_HIGHEST_SERVER, "broke the rule \"nobody waits while a server is free; lowest-numbered free server", 1},
      {STUDENT_QUEUE_COUNTS_IN_SERVICE, "broke the rule \"the queue length counts the customers waiting", 2},
      {STUDENT_ARRIVALS_FIRST, "broke the rule \"the queue length counts the customers waiting", 3},
      {STUDENT_SKIPPED_VISITED, "broke the rule \"the route and its travel times\"", 1},
      {STUDENT_CRASH_PAST_50, "crashed: killed by signal 6", 51},
      // Day 1 cannot shrink: its failure is shown under the limit it met.
      {STUDENT_LOOP_ONE_SERVER, "hit the time limit: more than 2 s of CPU time", 1},
      {STUDENT_LAB_ZERO_SKIPPED, "broke the rule \"the route and its travel times\"", 1},
  };
  for (const Case& C : Cases) {
    std::vector<std::string> Arguments = {"--time-limit", "2", "--wall-time-limit", "120", C.Simulator};
    Arguments.insert(Arguments.end(), C.Arguments.begin(), C.Arguments.end());
    Run_Result R = Check(Folder, Arguments);
    EXPECT_EQ(R.Exit_Status, 1) << C.Simulator << "\n" << R.Err;
    EXPECT_NE(R.Out.find("\nOn that day it " + C.Named), std::string::npos) << C.Simulator << "\n" << R.Out;
    size_t Customers = 0;
    size_t At = R.Out.find("\nThe smallest day that shows it (day ");
    ASSERT_NE(At, std::string::npos) << R.Out;
    ASSERT_EQ(std::sscanf(R.Out.c_str() + R.Out.find("): ", At) + 3, "%zu customer", &Customers), 1);
    EXPECT_LE(Customers, C.Most_Customers) << C.Simulator << "\n" << R.Out;
  }
}

// A failure on a made-up day with values workload_maker never draws says
// so for both days, the failing one and the shrunk one, and places the
// skipped LAB where the customer would have arrived there.
TEST_F(Simulator_Checker, LabelsWhatWorkloadMakerNeverDraws) {
  Run_Result R = Check(Folder, {STUDENT_LAB_ZERO_SKIPPED});
  ASSERT_EQ(R.Exit_Status, 1) << R.Err;
  EXPECT_NE(R.Out.find("(made up: zero travel and zero LAB service times; outside what workload_maker draws: LAB "
                       "service time 0, travel time 0; 8 customers;"),
            std::string::npos)
      << R.Out;
  size_t Shrunk = R.Out.find("\nThe smallest day that shows it (day 6 shrunk in ");
  ASSERT_NE(Shrunk, std::string::npos) << R.Out;
  std::string Label = R.Out.substr(Shrunk, R.Out.find('\n', Shrunk + 1) - Shrunk);
  EXPECT_NE(Label.find("): 1 customer; servers LAB 1, X_RAY 1, EKG 1; outside what workload_maker draws: LAB service "
                       "time 0"),
            std::string::npos)
      << Label;
  EXPECT_NE(R.Out.find("  why:      every customer visits LAB, even for a service time of 0; the file skips it\n"),
            std::string::npos)
      << R.Out;
}

// The rerun line a report prints, run as a user runs it from the folder
// simulator_checker ran in: its output and exit status, and whether it
// waited for input. Its standard input is a pipe held open until the line
// either ends or has a process blocked reading that pipe (the event, not
// a time, decides); then the pipe closes, so a line that waits ends too.
struct Rerun {
  std::string Out;
  int Status;
  bool Waited;
};

// Whether a process descended from this one is blocked reading the pipe
// Pipe_Name ("pipe:[inode]") as its standard input: read(2) is system
// call 0 on x86-64 and 63 on arm64, with descriptor 0 its first argument.
bool Someone_Reads(const std::string& Pipe_Name) {
  for (pid_t Pid : Descendants_Alive()) {
    std::string Where = "/proc/" + std::to_string(Pid);
    std::error_code Error;
    if (std::filesystem::read_symlink(Where + "/fd/0", Error).string() != Pipe_Name) continue;
    std::string Call = Read_File(Where + "/syscall");
#if defined(__aarch64__)
    if (Call.rfind("63 0x0 ", 0) == 0) return true;
#else
    if (Call.rfind("0 0x0 ", 0) == 0) return true;
#endif
  }
  return false;
}

Rerun Run_Rerun_Line(const std::string& Folder, const std::string& Report) {
  size_t At = Report.find("To rerun it by hand");
  if (At == std::string::npos) return {"no rerun line", -1, false};
  size_t Start = Report.find("\n  ", At) + 3;
  std::string Line = Report.substr(Start, Report.find('\n', Start) - Start);
  std::string Done = Folder + "/rerun_done", Output = Folder + "/rerun_output";
  std::string Command = "cd '" + Folder + "' && ( " + Line + " ) > '" + Output + "' 2>&1; echo $? > '" + Done + "'";
  std::FILE* Shell = popen(Command.c_str(), "w");
  if (Shell == nullptr) return {"popen failed", -1, false};
  struct stat Pipe;
  fstat(fileno(Shell), &Pipe);
  const std::string Pipe_Name = "pipe:[" + std::to_string(Pipe.st_ino) + "]";
  bool Waited = false;
  // At most five minutes; a line ends or waits far sooner.
  for (int Tries = 0; Tries < 12000 && !File_Exists(Done) && !Waited; Tries++) {
    Waited = Someone_Reads(Pipe_Name);
    if (!Waited) usleep(25000);
  }
  pclose(Shell);
  Rerun R{Read_File(Output), std::atoi(Read_File(Done).c_str()), Waited};
  unlink(Done.c_str()), unlink(Output.c_str());
  return R;
}

// Each kind of failure kept and rerun by hand from the line the report
// prints: the rerun shows the same failure, in a folder named with a
// space, with results_checker named by its path in the build tree.
TEST_F(Simulator_Checker, EachRerunLineShowsTheSameFailureFromTheKeptFolder) {
  const std::string Scripts = TEST_SOURCE_DIR "/simulators/";
  struct Case {
    std::vector<std::string> Command;
    std::vector<std::string> Rerun_Shows;  // in the rerun's output, in this order
    int Status;
    bool Waits = false;
  };
  const Case Cases[] = {
      {{STUDENT_LIFO}, {"customer 2 breaks the rule \"first come, first served\""}, 1},
      {{Scripts + "trace_off_by_one.sh", ZOR_SIMULATOR_PATH},
       {"ZOR_Binary_Out follows the model", "< ", "> ", " X"}, 1},
      {{STUDENT_CRASH_PAST_50}, {"exit status 134"}, 0},
      {{Scripts + "asks_for_more.sh"}, {}, 1, true},
  };
  for (const Case& C : Cases) {
    std::vector<std::string> Arguments = {"--time-limit", "2", "--keep", "failing day"};
    Arguments.insert(Arguments.end(), C.Command.begin(), C.Command.end());
    Run_Result R = Check(Folder, Arguments);
    ASSERT_EQ(R.Exit_Status, 1) << C.Command[0] << "\n" << R.Err;
    EXPECT_NE(R.Out.find("cd 'failing day' && "), std::string::npos) << R.Out;
    EXPECT_EQ(R.Out.find(" results_checker < entries"), std::string::npos) << "by its path, not its name\n" << R.Out;
    if (C.Status == 1 && !C.Waits) {
      EXPECT_NE(R.Out.find(RESULTS_CHECKER_PATH " < entries"), std::string::npos) << R.Out;
    }
    std::string Kept = At("failing day");
    EXPECT_EQ(Read_File(Kept + "/Verdict"), R.Out.substr(0, Read_File(Kept + "/Verdict").size()));
    Rerun Again = Run_Rerun_Line(Folder, R.Out);
    EXPECT_EQ(Again.Waited, C.Waits) << C.Command[0] << "\n" << Again.Out;
    EXPECT_EQ(Again.Status, C.Status) << C.Command[0] << "\n" << Again.Out;
    size_t At_Shown = 0;
    for (const std::string& Shown : C.Rerun_Shows) {
      At_Shown = Again.Out.find(Shown, At_Shown);
      EXPECT_NE(At_Shown, std::string::npos) << C.Command[0] << ": " << Shown << "\n" << Again.Out;
    }
    Remove_Folder(Kept);
  }
}

// What the kept folder holds: the day, the entries, both programs' results
// and traces with their listings, and the verdict; the report's verdict is
// the one results_checker gives there.
TEST_F(Simulator_Checker, KeepsTheFailingDayToRerunByHand) {
  Run_Result R = Check(Folder, {"--keep", "failing_day", TEST_SOURCE_DIR "/simulators/trace_off_by_one.sh",
                                ZOR_SIMULATOR_PATH});
  ASSERT_EQ(R.Exit_Status, 1) << R.Err;
  std::string Kept = At("failing_day");
  for (const char* File : {"ZOR_Binary_In", "entries", "ZOR_Binary_Out", "ZOR_Text_Out", "ZOR_Debug_Out",
                           "Reference_Binary_Out", "Reference_Text_Out", "Reference_Debug_Out", "ZOR_Text_In",
                           "Verdict"})
    EXPECT_TRUE(File_Exists(Kept + "/" + File)) << File;
  EXPECT_EQ(Read_File(Kept + "/ZOR_Binary_Out"), Read_File(Kept + "/Reference_Binary_Out"));
  EXPECT_NE(Read_File(Kept + "/ZOR_Debug_Out"), Read_File(Kept + "/Reference_Debug_Out"));
  EXPECT_NE(Read_File(Kept + "/Verdict").find("  line 3 of ZOR_Debug_Out\n"), std::string::npos);

  Remove_Folder(Kept);
  R = Check(Folder, {"--keep", "failing_day", STUDENT_LIFO});
  ASSERT_EQ(R.Exit_Status, 1) << R.Err;
  Run_Result Again = Run_Program(RESULTS_CHECKER_PATH, Kept, Read_File(Kept + "/entries"));
  EXPECT_EQ(Again.Exit_Status, 1);
  EXPECT_NE(R.Out.find(Again.Out), std::string::npos) << Again.Out;

  // A program that ends badly after writing: its files kept as it wrote them.
  Remove_Folder(Kept);
  Write_File(At("exits_three.sh"), "read a; read b; read c\nprintf 'its trace\\n' > ZOR_Debug_Out\n"
                                   "printf 'part' > ZOR_Binary_Out\nexit 3\n");
  R = Check(Folder, {"--keep", "failing_day", "/bin/sh", "exits_three.sh"});
  ASSERT_EQ(R.Exit_Status, 1) << R.Err;
  EXPECT_NE(R.Out.find("exited with status 3"), std::string::npos) << R.Out;
  EXPECT_EQ(Read_File(Kept + "/ZOR_Debug_Out"), "its trace\n");
  EXPECT_EQ(Read_File(Kept + "/ZOR_Binary_Out"), "part");
}

// What a program wrote is shown, never obeyed, and never held whole: its
// terminal commands as the characters they are, and an output far larger
// than any day's records judged by its size, with no more of it read
// (and kept) than the day's records.
TEST_F(Simulator_Checker, AProgramsOwnWordsAndBytesAreBounded) {
  struct Case {
    const char* Script;
    const char* Shown;  // in the report, as printed
  };
  const Case Cases[] = {
      {"prints_escapes.sh", "What it wrote on standard error, at the end:\n"
                            "\\x1b]0;owned\\x07\\x1b[2J\\x0dthe program followed the model on all 200 days\n"},
      {"writes_big_output.sh", "it wrote a ZOR_Binary_Out cut short: 62914561 bytes, not a whole number"},
  };
  for (const Case& C : Cases) {
    Remove_Folder(At("kept"));
    Run_Result R = Check(Folder, {"--keep", "kept", TEST_SOURCE_DIR "/simulators/" + std::string(C.Script)});
    EXPECT_EQ(R.Exit_Status, 1) << C.Script << "\n" << R.Err;
    EXPECT_NE(R.Out.find(C.Shown), std::string::npos) << C.Script << "\n" << R.Out;
    for (const std::string& Text : {R.Out, R.Err, Read_File(At("kept/Verdict"))}) {
      EXPECT_EQ(Text.find('\x1b'), std::string::npos) << C.Script;
      EXPECT_EQ(Text.find('\r'), std::string::npos) << C.Script;
    }
    std::error_code Error;
    uintmax_t Kept = std::filesystem::file_size(At("kept/ZOR_Binary_Out"), Error);
    if (!Error) {
      EXPECT_EQ(Kept, std::filesystem::file_size(At("kept/ZOR_Binary_In")) / 32 * 92) << C.Script;
    }
  }
  EXPECT_TRUE(File_Exists(At("kept/ZOR_Binary_Out"))) << "the big output is kept, cut to the day's records";
}

// --keep makes its folder only for a failure, and a folder it could
// never make is trouble before any run.
TEST_F(Simulator_Checker, KeepMakesItsFolderOnlyForAFailure) {
  Run_Result R = Check(Folder, {"--trials", "20", "--keep", "kept/day", ZOR_SIMULATOR_PATH});
  EXPECT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
  EXPECT_FALSE(File_Exists(At("kept")));
  Write_File(At("a_file"), "");
  R = Check(Folder, {"--keep", "a_file/day", ZOR_SIMULATOR_PATH});
  EXPECT_EQ(R.Exit_Status, 2);
  EXPECT_EQ(R.Err, "simulator_checker: --keep: cannot write in the folder a_file/day\n");
}

// A script named from the folder the checker runs in, as in
// "simulator_checker python3 my_simulator.py", is found from the trial's
// own folder too, and so is a file an argument names (here the program
// the script runs): the box shows both.
TEST_F(Simulator_Checker, FindsAScriptNamedFromItsOwnFolder) {
  Write_File(At("my_simulator.sh"), "exec \"$1\"\n");
  Run_Result R = Check(Folder, {"--trials", "3", "/bin/sh", "my_simulator.sh", ZOR_SIMULATOR_PATH});
  EXPECT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
}

// An interpreter named bare that the user's PATH finds outside what the box
// shows (pyenv's shims in a home) is taken from the box's own PATH, and the
// checker says so; a correct script then passes instead of failing to start.
TEST_F(Simulator_Checker, AnInterpreterTheBoxCannotShowIsTakenFromItsPath) {
  namespace fs = std::filesystem;
  if (Check(Folder, {"--sandbox-tier"}).Exit_Status != 0 && std::getenv("ZOR_SANDBOX_MUST_RUN") == nullptr)
    GTEST_SKIP() << "this machine gives no sandbox";
  Write_File(At("my_simulator.sh"), "exec \"$1\"\n");
  fs::create_directories(At("shims"));
  Write_File(At("shims/sh"), "#!/bin/sh\nexec " + At("shims/no_such_interpreter") + " \"$@\"\n");
  fs::permissions(At("shims/sh"), fs::perms::owner_all);
  const char* Path = std::getenv("PATH");
  Run_Result R = Run_Program("/usr/bin/env", Folder, "", {},
                             {"PATH=" + At("shims") + ":" + (Path != nullptr ? Path : "/usr/bin:/bin"),
                              SIMULATOR_CHECKER_PATH, "--sandbox", "required", "--trials", "3", "sh", "my_simulator.sh",
                              ZOR_SIMULATOR_PATH});
  EXPECT_EQ(R.Exit_Status, 0) << R.Out << R.Err;
  EXPECT_NE(R.Err.find("simulator_checker: sh on your PATH is " + At("shims/sh") +
                       ", which the sandbox does not show; the runs use /usr/bin/sh\n"),
            std::string::npos)
      << R.Err;
}

TEST_F(Simulator_Checker, TroubleIsStatusTwo) {
  for (std::vector<std::string> Wrong : {std::vector<std::string>{}, {"./no_such_simulator"}, {"/etc/passwd"},
                                         {"--trials", "0", ZOR_SIMULATOR_PATH}, {"--colour", ZOR_SIMULATOR_PATH},
                                         {"--sandbox", "bogus", ZOR_SIMULATOR_PATH},
                                         {"--folder-entry-limit", "15", ZOR_SIMULATOR_PATH}}) {
    Run_Result R = Check(Folder, Wrong);
    EXPECT_EQ(R.Exit_Status, 2) << (Wrong.empty() ? "" : Wrong[0]);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err.rfind("simulator_checker: ", 0), 0u) << R.Err;
    EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << R.Err;
  }
}

// The program and the files its arguments name are taken from their own
// folder, never through a link out of it: a link to the kit's simulator,
// or to the checker's own command line, is trouble with its reason, not a
// pass or a leak; a link to a file beside it is fine.
TEST_F(Simulator_Checker, TakesTheProgramFromItsFolderOnly) {
  std::filesystem::create_directories(At("student"));
  std::filesystem::copy_file(ZOR_SIMULATOR_PATH, At("student/real_simulator"));
  std::filesystem::create_symlink("real_simulator", At("student/simulator"));
  std::filesystem::create_symlink(ZOR_SIMULATOR_PATH, At("student/kit_simulator"));
  Write_File(At("student/prints.sh"), "cat \"$1\" >&2\nexit 1\n");
  std::filesystem::create_symlink("/proc/self/cmdline", At("student/config.txt"));
  const struct {
    std::vector<std::string> Arguments;
    int Status;
    std::string Err;  // its last line
  } Cases[] = {
      {{"--trials", "3", "student/simulator"}, 0, ""},
      {{"--trials", "3", "student/kit_simulator"}, 2,
       "simulator_checker: cannot take " + At("student/kit_simulator") + ": kit_simulator is a link to "
       ZOR_SIMULATOR_PATH ", outside your folder\n"},
      {{"--trials", "3", "/bin/sh", "student/prints.sh", "student/config.txt"}, 2,
       "simulator_checker: cannot take " + At("student/config.txt") +
       ": config.txt is a link to /proc/self/cmdline, outside your folder\n"},
  };
  for (const auto& C : Cases) {
    Run_Result R = Check(Folder, C.Arguments);
    EXPECT_EQ(R.Exit_Status, C.Status) << C.Arguments.back() << "\n" << R.Out << R.Err;
    if (C.Status == 2) {
      EXPECT_EQ(R.Err.substr(R.Err.rfind('\n', R.Err.size() - 2) + 1), C.Err) << R.Err;
    }
  }
}

// A simulator that gives an arriving customer the highest-numbered free
// server, on the day of 8 per slot and seed 1 with servers 3, 2, 1: its
// first wrong decision is customer 3's, at 43, and every later difference
// follows from it.
TEST_F(Simulator_Checker, ResultsCheckerNamesTheFirstWrongDecision) {
  ASSERT_EQ(Run_Program(WORKLOAD_MAKER_PATH, Folder, "8\n1\n").Exit_Status, 0);
  ASSERT_EQ(Run_Program(STUDENT_HIGHEST_SERVER, Folder, "3\n2\n1\n").Exit_Status, 0);
  Run_Result R = Run_Program(RESULTS_CHECKER_PATH, Folder, "3\n2\n1\n");
  EXPECT_EQ(R.Exit_Status, 1);
  EXPECT_EQ(R.Out.substr(0, R.Out.find("Customers by the first rule")),
            "ZOR_Binary_Out does not follow the model: customer 3 breaks the rule \"nobody waits while a server is "
            "free; lowest-numbered free server first\"\n"
            "  customer: 3\n  station:  LAB\n  time:     43\n  field:    LAB_Server\n  expected: 1\n  found:    3\n"
            "  why:      at 43 server 1 was the lowest-numbered free one\n");
  EXPECT_EQ(R.Out.find("gap"), std::string::npos);
}

}  // namespace
