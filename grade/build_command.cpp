/*
** build_command.cpp
** The teacher's build command, and the compile of a sort routine, run
** contained.
*/
#include "grade/build_command.h"

namespace {

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
