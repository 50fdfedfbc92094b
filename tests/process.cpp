/*
** process.cpp
** Runs a program as a child process for the tests.
*/
#include "tests/process.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

#include "sandbox/sandbox.h"

namespace fs = std::filesystem;

std::string Make_Scratch_Folder() {
  std::string Pattern = (fs::temp_directory_path() / "zor_test_XXXXXX").string();
  if (mkdtemp(Pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return Pattern;
}

void Remove_Folder(const std::string& Folder) { Remove_Tree(Folder); }

std::string Read_File(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  std::ostringstream Bytes;
  Bytes << In.rdbuf();
  return Bytes.str();
}

void Write_File(const std::string& Path, const std::string& Bytes) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  if (!Out) throw std::runtime_error("cannot write " + Path);
}

bool File_Exists(const std::string& Path) {
  std::error_code Ignored;
  return fs::exists(fs::symlink_status(Path, Ignored));
}

std::vector<std::string> Names_In(const std::string& Folder) {
  std::vector<std::string> Names;
  std::error_code Error;
  for (const auto& Entry : fs::directory_iterator(Folder, Error)) Names.push_back(Entry.path().filename().string());
  std::sort(Names.begin(), Names.end());
  return Names;
}

std::vector<pid_t> Descendants_Alive() {
  std::map<pid_t, std::pair<pid_t, bool>> Parent_And_Alive;
  std::error_code Error;
  for (const auto& Entry : fs::directory_iterator("/proc", Error)) {
    std::string Stat = Read_File(Entry.path().string() + "/stat");
    size_t Close = Stat.rfind(')');
    char State = 0;
    int Parent = 0;
    if (Close == std::string::npos || std::sscanf(Stat.c_str() + Close + 1, " %c %d", &State, &Parent) != 2) continue;
    Parent_And_Alive[std::atoi(Entry.path().filename().c_str())] = {Parent, State != 'Z' && State != 'X'};
  }
  std::vector<pid_t> Found;
  const pid_t Self = getpid();
  for (const auto& [Pid, Of] : Parent_And_Alive) {
    pid_t Up = Of.first;
    for (int Steps = 0; Steps < 64 && Up > 1 && Up != Self; Steps++)
      Up = Parent_And_Alive.count(Up) ? Parent_And_Alive[Up].first : 0;
    if (Of.second && Pid != Self && Up == Self) Found.push_back(Pid);
  }
  return Found;
}

std::string Int32_Image(std::initializer_list<int> Values) {
  std::string Bytes;
  for (int V : Values) {
    auto U = static_cast<uint32_t>(V);
    for (int Shift = 0; Shift < 32; Shift += 8) Bytes.push_back(static_cast<char>((U >> Shift) & 0xFF));
  }
  return Bytes;
}

Run_Options Memory_Checked() {
  Run_Options Options;
#ifndef ZOR_SANITIZE
  Options.Wrapper = std::string(VALGRIND_PATH) +
                    " --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect";
#endif
  return Options;
}

namespace {

std::vector<std::string> Split_Words(const std::string& Line) {
  std::istringstream In(Line);
  std::vector<std::string> Words;
  for (std::string W; In >> W;) Words.push_back(W);
  return Words;
}

}  // namespace

// Through the sandbox's runner, never started here, so it is a plain
// child process: the programs under test are the kit's own, which must
// see their build tree, and some run simulator_checker, which makes
// boxes of its own. What the runner adds is a wall-time limit, so that a
// program that hangs fails its test with a message rather than the
// whole test program at CTest's timeout.
Run_Result Run_Program(const std::string& Program, const std::string& Folder, const std::string& Stdin,
                       const Run_Options& Options, const std::vector<std::string>& Arguments) {
  Sandbox_Request Request;
  Request.Command = Split_Words(Options.Wrapper);
  Request.Command.push_back(Program);
  Request.Command.insert(Request.Command.end(), Arguments.begin(), Arguments.end());
  Request.Folder = Folder;
  Request.Input = Stdin;
  Request.File_Size_Fails_Writes = true;
  Request.Limits.Wall_Seconds = Options.Wall_Seconds;
  Request.Limits.File_Bytes = Options.File_Size_Limit >= 0 ? Options.File_Size_Limit : 0;
  Sandbox_Result Ran = Run_Contained(Request);
  Run_Result R;
  R.Out = Ran.Out;
  R.Err = Ran.Err;
  if (Ran.Ending == Sandbox_Exited) R.Exit_Status = Ran.Status;
  R.Signal = Ran.Signal;
  if (Ran.Ending == Sandbox_Not_Started) R.Exit_Status = 127, R.Err += Ran.Detail;
  if (Ran.Ending == Sandbox_Wall_Limit) {
    R.Signal = SIGKILL;
    ADD_FAILURE() << Program << " still ran after " << Options.Wall_Seconds << " s and was killed";
  }
  return R;
}
