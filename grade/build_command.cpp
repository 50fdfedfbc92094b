/*
** build_command.cpp
** The teacher's build command as a child process with a deadline.
*/
#include "grade/build_command.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/whole_file.h"

namespace {

constexpr size_t Output_Kept = 4000;

std::string Tail(const std::string& Text) {
  return Text.size() > Output_Kept ? "..." + Text.substr(Text.size() - Output_Kept) : Text;
}

}  // namespace

Build_Outcome Run_Build_Command(const std::string& Command, const std::string& Folder, double Time_Limit) {
  Build_Outcome B;
  std::string Log = Folder + "/../build_output";
  int Out = open(Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int Null = open("/dev/null", O_RDONLY | O_CLOEXEC);
  auto Started = std::chrono::steady_clock::now();
  pid_t Child = Out < 0 || Null < 0 ? -1 : fork();
  if (Child == 0) {
    setpgid(0, 0);
    dup2(Null, 0), dup2(Out, 1), dup2(Out, 2);
    if (chdir(Folder.c_str()) == 0) execl("/bin/sh", "sh", "-c", Command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int Error = errno;
  if (Out >= 0) close(Out);
  if (Null >= 0) close(Null);
  if (Child < 0) return B.Why = std::string("could not be started: ") + std::strerror(Error), B;
  setpgid(Child, Child);
  int Status = 0;
  bool Timed_Out = false;
  auto Deadline = Started + std::chrono::duration<double>(Time_Limit);
  while (waitpid(Child, &Status, WNOHANG) != Child) {
    if (std::chrono::steady_clock::now() >= Deadline) {
      Timed_Out = true;
      kill(-Child, SIGKILL);
      while (waitpid(Child, &Status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(-Child, SIGKILL);  // whatever it left running in its group goes with it
  B.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count();
  Read_Whole_File(Log, &B.Output);
  B.Output = Tail(B.Output);
  std::remove(Log.c_str());
  char Why[120];
  if (Timed_Out) std::snprintf(Why, sizeof Why, "did not finish within %g s", Time_Limit);
  else if (WIFSIGNALED(Status)) std::snprintf(Why, sizeof Why, "was killed by signal %d", WTERMSIG(Status));
  else std::snprintf(Why, sizeof Why, "exited with status %d", WEXITSTATUS(Status));
  B.Built = !Timed_Out && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
  if (!B.Built) B.Why = Why;
  return B;
}

bool Copy_Submission(const std::string& From, const std::string& To) {
  std::error_code Error;
  std::filesystem::copy(From, To, std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks,
                        Error);
  return !Error;
}
