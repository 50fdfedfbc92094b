// A run ended from outside (Ctrl-C, SIGTERM, SIGHUP) leaves no partial
// file under a fixed name, nor a temporary one: each program is stopped
// where it has begun its output (a lister blocked reading a pipe that
// gives half a day, its table begun) or before (at a prompt, reading),
// and must die of that signal with an earlier whole output untouched.
#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/process.h"

namespace {

using Interrupted_Run = Scratch_Folder_Test;

// Starts Program in Folder with its standard input an open pipe and its
// standard error read by the test; Ready decides, from what it has said
// so far, when it has begun its output. Returns the signal it died of.
int Stop_When_Ready(const std::string& Program, const std::string& Folder, const std::string& Stdin, int Signal,
                    const std::function<bool(const std::string&)>& Ready) {
  int In[2], Err[2];
  if (pipe(In) != 0 || pipe(Err) != 0) return -1;
  pid_t Child = fork();
  if (Child == 0) {
    dup2(In[0], 0), dup2(Err[1], 2);
    close(In[1]), close(Err[0]);
    if (chdir(Folder.c_str()) != 0) _exit(126);
    execl(Program.c_str(), Program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(In[0]), close(Err[1]);
  if (write(In[1], Stdin.data(), Stdin.size()) < 0) return -1;
  std::string Said;
  char Buffer[256];
  for (ssize_t Got; !Ready(Said) && (Got = read(Err[0], Buffer, sizeof Buffer)) > 0;) Said.append(Buffer, size_t(Got));
  kill(Child, Signal);
  int Status = 0;
  waitpid(Child, &Status, 0);
  close(In[1]), close(Err[0]);
  return WIFSIGNALED(Status) ? WTERMSIG(Status) : -1;
}

// The input under its name as a pipe that has given Bytes and stays open
// (the test holds the writing end), so the program blocks reading it.
int Half_Fed_Input(const std::string& Path, const std::string& Bytes) {
  mkfifo(Path.c_str(), 0600);
  int Writer = open(Path.c_str(), O_RDWR);
  if (Writer >= 0 && write(Writer, Bytes.data(), Bytes.size()) != static_cast<ssize_t>(Bytes.size())) return -1;
  return Writer;
}

// Waits, for at most a minute, until Folder holds the temporary file of
// Output (its name and a suffix): the program has begun writing it.
std::function<bool(const std::string&)> Begun(const std::string& Folder, const std::string& Output) {
  return [Folder, Output](const std::string&) {
    for (int Tries = 0; Tries < 2400; Tries++) {
      for (const std::string& Name : Names_In(Folder))
        if (Name.rfind(Output + ".", 0) == 0) return true;
      usleep(25000);
    }
    ADD_FAILURE() << Output << " was never begun";
    return true;
  };
}

std::string Interrupted_Day_Of(int Customers) {
  std::string Day;
  for (int C = 0; C < Customers; C++) Day += Int32_Image({C == 0 ? 0 : 10, 30, 300, 0, 0, 0, 0, 40});
  return Day;
}

TEST_F(Interrupted_Run, LeavesNoPartialFile) {
  // Ctrl-C at workload_maker's first prompt: the day was begun under a
  // temporary name, and neither it nor ZOR_Binary_In remains.
  auto At_Prompt = [](const std::string& Said) { return Said.find("time slot: ") != std::string::npos; };
  EXPECT_EQ(Stop_When_Ready(WORKLOAD_MAKER_PATH, Folder, "", SIGINT, At_Prompt), SIGINT);
  EXPECT_TRUE(std::filesystem::is_empty(Folder));

  // Each lister blocked halfway through its input, its table begun.
  struct Case {
    const char* Program;
    std::string Input, Output, Record;
    int Signal;
  };
  const Case Cases[] = {
      {WORKLOAD_LISTER_PATH, "ZOR_Binary_In", "ZOR_Text_In", Interrupted_Day_Of(1), SIGTERM},
      {RESULTS_LISTER_PATH, "ZOR_Binary_Out", "ZOR_Text_Out", std::string(92, '\0'), SIGHUP},
  };
  for (const Case& C : Cases) {
    Remove_Folder(Folder);
    std::filesystem::create_directory(Folder);
    // Less than a pipe holds (64 KiB), so that the writes here never block.
    std::string Half;
    while (Half.size() + C.Record.size() < 32768) Half += C.Record;
    int Writer = Half_Fed_Input(At(C.Input), Half);
    ASSERT_GE(Writer, 0);
    EXPECT_EQ(Stop_When_Ready(C.Program, Folder, "", C.Signal, Begun(Folder, C.Output)), C.Signal) << C.Program;
    close(Writer);
    EXPECT_EQ(Names_In(Folder), std::vector<std::string>{C.Input}) << C.Program;
  }

  // Stopped before their output, at the prompt or reading: the outputs of
  // an earlier run stand whole.
  Remove_Folder(Folder);
  std::filesystem::create_directory(Folder);
  Write_File(At("ZOR_Binary_In"), Interrupted_Day_Of(50));
  ASSERT_EQ(Run_Program(ZOR_SIMULATOR_PATH, Folder, "20\n20\n20\n").Exit_Status, 0);
  ASSERT_EQ(Run_Program(RESULTS_PLOTTER_PATH, Folder, "").Exit_Status, 0);
  const std::vector<std::string> Outputs = {"ZOR_Binary_In", "ZOR_Binary_Out", "ZOR_Debug_Out", "ZOR_Plot.svg"};
  std::vector<std::string> Before;
  for (const std::string& Name : Outputs) Before.push_back(Read_File(At(Name)));
  auto Asked = [](const std::string& Said) { return Said.find("Servers at X_RAY: ") != std::string::npos; };
  EXPECT_EQ(Stop_When_Ready(ZOR_SIMULATOR_PATH, Folder, "2\n", SIGINT, Asked), SIGINT);
  EXPECT_EQ(Names_In(Folder), Outputs);
  for (size_t N = 0; N < Outputs.size(); N++) EXPECT_EQ(Read_File(At(Outputs[N])), Before[N]) << Outputs[N];
}

// Every name under Dir that a staged file or a tool's scratch folder has
// while it is unfinished: its final name and a dot, then mkstemp's or
// mkdtemp's six letters and digits.
std::vector<std::string> Staged_Names_Under(const std::string& Dir) {
  std::vector<std::string> Found;
  std::error_code Error;
  for (auto It = std::filesystem::recursive_directory_iterator(Dir, Error);
       !Error && It != std::filesystem::recursive_directory_iterator(); It.increment(Error)) {
    std::string Name = It->path().filename().string();
    size_t Dot = Name.rfind('.');
    if (Dot == std::string::npos || Dot == 0 || Name.size() - Dot != 7) continue;
    if (std::all_of(Name.begin() + long(Dot) + 1, Name.end(), [](char C) { return std::isalnum(uint8_t(C)) != 0; }))
      Found.push_back(It->path().string());
  }
  return Found;
}

// Whether a name under Dir begins with Prefix.
bool Name_Under(const std::string& Dir, const std::string& Prefix) {
  std::error_code Error;
  for (auto It = std::filesystem::recursive_directory_iterator(Dir, Error);
       !Error && It != std::filesystem::recursive_directory_iterator(); It.increment(Error))
    if (It->path().filename().string().rfind(Prefix, 0) == 0) return true;
  return false;
}

// Starts Command in Folder, TMPDIR set to Temporary, its standard input a
// pipe held open (so that a prompt waits), its output thrown away and
// its errors kept in Errors; waits, for at most a minute, until a name
// under Where begins with Prefix, then sends SIGTERM. Returns the signal
// it died of, or -1.
int Terminate_Once_Begun(const std::vector<std::string>& Command, const std::string& Folder,
                         const std::string& Temporary, const std::string& Where, const std::string& Prefix,
                         const std::string& Errors) {
  int In[2];
  if (pipe(In) != 0) return -1;
  pid_t Child = fork();
  if (Child == 0) {
    setenv("TMPDIR", Temporary.c_str(), 1);
    int Quiet = open("/dev/null", O_WRONLY), Said = open(Errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (chdir(Folder.c_str()) != 0 || Quiet < 0 || Said < 0) _exit(126);
    dup2(In[0], 0), dup2(Quiet, 1), dup2(Said, 2);
    close(Quiet), close(Said);
    close(In[1]);
    std::vector<char*> Words;
    for (const std::string& Word : Command) Words.push_back(const_cast<char*>(Word.c_str()));
    Words.push_back(nullptr);
    execv(Words[0], Words.data());
    _exit(127);
  }
  close(In[0]);
  bool Begun = false;
  for (int Tries = 0; Tries < 2400 && !(Begun = Name_Under(Where, Prefix)); Tries++) usleep(25000);
  EXPECT_TRUE(Begun) << Command[0] << " never made " << Prefix << "... under " << Where;
  kill(Child, SIGTERM);
  int Status = 0;
  waitpid(Child, &Status, 0);
  close(In[1]);
  return WIFSIGNALED(Status) ? WTERMSIG(Status) : -1;
}

// SIGTERM mid-run, for each tool that stages its outputs: it dies of the
// signal, and neither a staged file nor its scratch folder remains. Each
// is stopped where its output has begun (a staged file exists: a prompt
// waits, a lister's input is half fed, the study's chart is open) or, for
// the tools that write at the end, where a user's program runs.
TEST_F(Interrupted_Run, SigtermLeavesNoStagedFile) {
  const std::string Sleeper = "#!/bin/sh\nexec sleep 600\n";
  struct Stop_Case {
    const char* What;
    std::vector<std::string> Command;
    std::function<int()> Prepare;  // a FIFO's writer to close at the end, or -1
    bool In_Temporary;                             // the sign of progress is under TMPDIR, not the folder
    std::string Prefix;
  };
  auto Nothing = []() { return -1; };
  // Less than a pipe holds (64 KiB), so that the writes here never block.
  auto Fed = [this](const char* Input, std::string Record) {
    return [this, Input, Record]() {
      std::string Half;
      while (Half.size() + Record.size() < 32768) Half += Record;
      return Half_Fed_Input(At(Input), Half);
    };
  };
  auto Sleeping_Program = [this, Sleeper](const std::string& Where) {
    return [this, Sleeper, Where]() {
      std::filesystem::create_directories(At(Where));
      Write_File(At(Where + "/simulator"), Sleeper);
      chmod(At(Where + "/simulator").c_str(), 0755);
      return -1;
    };
  };
  // A student whose routine sleeps, as zor_grade sorts takes a class.
  auto Sleeping_Routine = [this](const std::string& Where) {
    return [this, Where]() {
      std::filesystem::create_directories(At(Where));
      Write_File(At(Where + "/sleeps.c"), Read_File(KIT_SOURCE_DIR "/tests/hostile_profiled_routines/sleeps_forever.c"));
      return -1;
    };
  };
  const Stop_Case Cases[] = {
      {"workload_maker at its prompt", {WORKLOAD_MAKER_PATH}, Nothing, false,
       "ZOR_Binary_In."},
      {"workload_lister mid-table", {WORKLOAD_LISTER_PATH}, Fed("ZOR_Binary_In", Interrupted_Day_Of(1)), false,
       "ZOR_Text_In."},
      {"results_lister mid-table", {RESULTS_LISTER_PATH}, Fed("ZOR_Binary_Out", std::string(92, '\0')), false,
       "ZOR_Text_Out."},
      {"zor_study with its chart begun",
       {ZOR_STUDY_PATH, "--per-slot", "12", "--days", "1000000", "--servers", "1,1,1", "--threads", "1", "--svg",
        "chart.svg"},
       Nothing, false, "chart.svg."},
      {"simulator_checker while a day runs",
       {SIMULATOR_CHECKER_PATH, "--sandbox", "required", "--wall-time-limit", "600", At("prog/simulator")},
       Sleeping_Program("prog"), true, "trial_"},
      {"zor_grade while a day runs",
       {ZOR_GRADE_PATH, "simulators", "--sandbox", "required", "--days", "2", "--jobs", "1", "-o", "out", "class"},
       Sleeping_Program("class/ann"), true, "trial_"},
      // The chart is begun before any worker starts; the summary's folder
      // is tried then too, and the summary written only at the end.
      {"zor_sort_judge with a chart and a summary, while the routine sleeps",
       {PROFILE_HOSTILE_SLEEPS_FOREVER, "--sandbox", "required", "--wall-time-limit", "600", "--svg", "growth.svg",
        "--summary", "summary"},
       Nothing, true, "worker_"},
      {"zor_grade sorts while a routine's worker sleeps",
       {ZOR_GRADE_PATH, "sorts", "--sandbox", "required", "--jobs", "1", "--library", PROFILE_LIBRARY, "--include",
        KIT_SOURCE_DIR "/sort_bench", "-o", "out", "class"},
       Sleeping_Routine("class/ann"), true, "worker_"},
  };
  for (const Stop_Case& C : Cases) {
    SCOPED_TRACE(C.What);
    Remove_Folder(Folder);
    const std::string Temporary = Folder + ".tmp";
    std::filesystem::create_directories(Folder);
    std::filesystem::create_directories(Temporary);
    int Writer = C.Prepare();
    // Beside the folders, which must be left empty.
    const std::string Errors = Folder + ".errors";
    EXPECT_EQ(
        Terminate_Once_Begun(C.Command, Folder, Temporary, C.In_Temporary ? Temporary : Folder, C.Prefix, Errors),
        SIGTERM)
        << "what it said: " << Read_File(Errors);
    std::remove(Errors.c_str());
    if (Writer >= 0) close(Writer);
    EXPECT_EQ(Staged_Names_Under(Folder), std::vector<std::string>{});
    EXPECT_EQ(Names_In(Temporary), std::vector<std::string>{}) << "a scratch folder was left";
    Remove_Folder(Temporary);
  }
}

}  // namespace
