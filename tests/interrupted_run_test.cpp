// A run ended from outside (Ctrl-C, SIGTERM, SIGHUP) leaves no partial
// file under a fixed name: each program is stopped where it has begun its
// output (at a prompt, or blocked writing into a pipe nobody drains) and
// must die of that signal with the file gone.
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
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

// A pipe under the output's name, opened for reading and never drained:
// the program's writes block once the pipe is full.
int Blocked_Output(const std::string& Path) {
  mkfifo(Path.c_str(), 0600);
  return open(Path.c_str(), O_RDONLY | O_NONBLOCK);
}

// Waits until the program has filled the pipe, so it is blocked mid-write.
std::function<bool(const std::string&)> Pipe_Full(int Reader) {
  return [Reader](const std::string&) {
    for (int Tries = 0; Tries < 2000; Tries++) {
      int Waiting = 0;
      if (ioctl(Reader, FIONREAD, &Waiting) == 0 && Waiting >= 65536) return true;
      usleep(5000);
    }
    return true;
  };
}

std::string Day_Of(int Customers) {
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

  struct Case {
    const char* Program;
    const char* Output;
    int Signal;
    std::string Stdin;
  };
  const Case Cases[] = {
      {WORKLOAD_LISTER_PATH, "ZOR_Text_In", SIGTERM, ""},
      {RESULTS_PLOTTER_PATH, "ZOR_Plot.svg", SIGHUP, ""},
      {ZOR_SIMULATOR_PATH, "ZOR_Debug_Out", SIGINT, "20\n20\n20\n"},
  };
  for (const Case& C : Cases) {
    Remove_Folder(Folder);
    std::filesystem::create_directory(Folder);
    Write_File(At("ZOR_Binary_In"), Day_Of(5000));
    ASSERT_EQ(Run_Program(ZOR_SIMULATOR_PATH, Folder, "20\n20\n20\n").Exit_Status, 0);
    unlink(At(C.Output).c_str());
    int Reader = Blocked_Output(At(C.Output));
    ASSERT_GE(Reader, 0);
    EXPECT_EQ(Stop_When_Ready(C.Program, Folder, C.Stdin, C.Signal, Pipe_Full(Reader)), C.Signal) << C.Program;
    close(Reader);
    EXPECT_FALSE(File_Exists(At(C.Output))) << C.Program;
  }
}

}  // namespace
