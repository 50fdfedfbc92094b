/*
** process.cpp
** Runs a program as a child process for the tests.
*/
#include "tests/process.h"

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string Make_Scratch_Folder() {
  std::string Pattern = (fs::temp_directory_path() / "zor_test_XXXXXX").string();
  if (mkdtemp(Pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return Pattern;
}

void Remove_Folder(const std::string& Folder) {
  std::error_code Ignored;
  fs::remove_all(Folder, Ignored);
}

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

Run_Result Run_Program(const std::string& Program, const std::string& Folder, const std::string& Stdin,
                       const Run_Options& Options, const std::vector<std::string>& Arguments) {
  // The captures live beside the folder, not in it, so that the program
  // sees only the files a test put there.
  std::string Capture = Make_Scratch_Folder();
  std::string In_Path = Capture + "/in", Out_Path = Capture + "/out", Err_Path = Capture + "/err";
  Write_File(In_Path, Stdin);

  std::vector<std::string> Words = Split_Words(Options.Wrapper);
  Words.push_back(Program);
  Words.insert(Words.end(), Arguments.begin(), Arguments.end());
  std::vector<char*> Argv;
  for (auto& W : Words) Argv.push_back(W.data());
  Argv.push_back(nullptr);

  pid_t Child = fork();
  if (Child < 0) throw std::runtime_error("fork failed");
  if (Child == 0) {
    int In = open(In_Path.c_str(), O_RDONLY);
    int Out = open(Out_Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int Err = open(Err_Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (In < 0 || Out < 0 || Err < 0 || chdir(Folder.c_str()) != 0) _exit(126);
    dup2(In, 0), dup2(Out, 1), dup2(Err, 2);
    signal(SIGXFSZ, SIG_IGN);
    if (Options.File_Size_Limit >= 0) {
      rlimit Limit{static_cast<rlim_t>(Options.File_Size_Limit), static_cast<rlim_t>(Options.File_Size_Limit)};
      setrlimit(RLIMIT_FSIZE, &Limit);
    }
    execvp(Argv[0], Argv.data());
    _exit(127);
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  Run_Result R;
  if (WIFEXITED(Status)) R.Exit_Status = WEXITSTATUS(Status);
  if (WIFSIGNALED(Status)) R.Signal = WTERMSIG(Status);
  R.Out = Read_File(Out_Path);
  R.Err = Read_File(Err_Path);
  Remove_Folder(Capture);
  return R;
}
