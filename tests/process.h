/*
** process.h
** Test support: runs a program the way a user does, in a scratch folder
** with given standard input, and captures everything it shows.
*/
#pragma once

#include <string>
#include <vector>
#include <sys/types.h>

#include <gtest/gtest.h>

struct Run_Result {
  int Exit_Status = -1;  // -1 when the child did not exit normally
  int Signal = 0;        // the signal that ended it, if any
  std::string Out;
  std::string Err;
};

struct Run_Options {
  long File_Size_Limit = -1;  // RLIMIT_FSIZE in bytes for the child; -1 leaves it alone
  std::string Wrapper;        // e.g. "valgrind ..." run in front of the program; empty for none
  double Wall_Seconds = 240;  // killed, and the test failed, past this
};

// Runs Program (an absolute path) with Arguments in Folder, with Stdin as
// its standard input; SIGXFSZ is ignored in the child so a file-size
// limit shows as a failed write rather than a kill. A program still
// running after Options.Wall_Seconds is killed and fails the test.
Run_Result Run_Program(const std::string& Program, const std::string& Folder, const std::string& Stdin,
                       const Run_Options& Options = {}, const std::vector<std::string>& Arguments = {});

// Options that check the program's memory use: under valgrind in the
// plain build, failing it (status 99) on any memory error or definite
// leak; as it is in the sanitizer build, whose AddressSanitizer aborts it
// on the same faults.
Run_Options Memory_Checked();

// A fresh empty folder under the system's temporary folder.
std::string Make_Scratch_Folder();
void Remove_Folder(const std::string& Folder);

std::string Read_File(const std::string& Path);
void Write_File(const std::string& Path, const std::string& Bytes);
bool File_Exists(const std::string& Path);
// The names in Folder, sorted: what a run left there, temporary files included.
std::vector<std::string> Names_In(const std::string& Folder);

// The processes still alive (zombies left out) that descend from this one. A test program that makes itself its runs' subreaper
// (PR_SET_CHILD_SUBREAPER) adopts whatever outlives a run, so the list
// holds every process its own runs left, and nothing another test runs.
std::vector<pid_t> Descendants_Alive();

// Little-endian image of 32-bit values, as the kit's binary files hold them.
std::string Int32_Image(std::initializer_list<int> Values);

// A test that runs programs in a scratch folder of its own, removed after.
class Scratch_Folder_Test : public ::testing::Test {
 protected:
  std::string Folder = Make_Scratch_Folder();
  void TearDown() override { Remove_Folder(Folder); }
  std::string At(const std::string& Name) const { return Folder + "/" + Name; }
};
