/*
** build_command.cpp
** The teacher's build command, and the compile of a sort routine, run
** contained.
*/
#include "grade/build_command.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

constexpr size_t Output_Kept = 4000;

}  // namespace

Sandbox_Limits Build_Limits(double Seconds) {
  Sandbox_Limits L = Default_Sandbox_Limits();
  L.Cpu_Seconds = Seconds, L.Wall_Seconds = 2 * Seconds;
  L.Memory_Bytes = int64_t(2) << 30;  // a C++ compile with a large header takes hundreds of MiB
  L.Processes = 128;                  // make, the compiler's driver, its passes, the linker
  L.File_Bytes = int64_t(256) << 20;  // a program linked with the profiler and debug sections
  return L;
}

Build_Outcome Run_Build_Command(const std::string& Command, const std::string& Folder, const Sandbox_Limits& Limits,
                                const std::vector<std::string>& Readable) {
  Build_Outcome B;
  Sandbox_Request Request;
  Request.Command = {"/bin/sh", "-c", Command};
  Request.Folder = Folder;
  Request.Readable = Readable;
  Request.Kept_Out = Output_Kept, Request.Kept_Err = Output_Kept;
  Request.Limits = Limits;
  Sandbox_Result R = Run_Contained(Request);
  B.Seconds = R.Wall_Seconds;
  /* A compiler writes its messages on standard error, make its commands
  ** on standard output: both, the commands first. */
  B.Output = R.Out + R.Err;
  if (B.Output.size() > Output_Kept) B.Output = "..." + B.Output.substr(B.Output.size() - Output_Kept);
  B.Built = R.Ending == Sandbox_Exited && R.Status == 0;
  B.Reached_Outside = R.Ending == Sandbox_Reached_Outside;
  if (!B.Built) B.Why = R.Ending == Sandbox_Not_Started ? "could not be started: " + R.Detail : Sandbox_Verdict(R, Limits);
  return B;
}

bool Copy_Submission(const std::string& From, const std::string& To) {
  std::error_code Error;
  fs::copy(From, To, fs::copy_options::recursive | fs::copy_options::copy_symlinks, Error);
  if (Error) return false;
  /* The box runs as a user of its own, given only the top folder: what
  ** lies inside must be open to it too, to build in place. No other box
  ** sees this folder. */
  for (fs::recursive_directory_iterator It(To, Error), End; !Error && It != End; It.increment(Error)) {
    if (It->is_symlink(Error)) continue;
    fs::permissions(It->path(), It->is_directory(Error) ? fs::perms::all : fs::perms::owner_read | fs::perms::owner_write |
                    fs::perms::group_read | fs::perms::group_write | fs::perms::others_read | fs::perms::others_write,
                    fs::perm_options::add, Error);
  }
  return !Error;
}
