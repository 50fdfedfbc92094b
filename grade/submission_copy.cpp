/*
** submission_copy.cpp
** Copying a student's folder (by the kit's one copier of a folder someone
** else filled, refusing a link out, a FIFO or a device with its reason),
** and taking one file from it by Open_Beneath. A run of the grader may be
** root's, and a student chooses every name in the folder.
*/
#include "grade/submission_copy.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/copy_tree.h"
#include "sandbox/sandbox.h"

std::string Submission_Folder_Problem(const std::string& Folder, bool* Missing) {
  struct stat Status;
  *Missing = false;
  if (lstat(Folder.c_str(), &Status) != 0) return *Missing = true, "no folder " + Folder;
  if (S_ISLNK(Status.st_mode)) {
    char Target[4096];
    ssize_t Size = readlink(Folder.c_str(), Target, sizeof Target - 1);
    std::string Shown = Size < 0 ? "elsewhere" : std::string(Target, static_cast<size_t>(std::min<ssize_t>(Size, 200)));
    for (char& C : Shown)
      if (static_cast<unsigned char>(C) < 0x20 || C == 0x7F) C = '?';
    return "your folder " + Folder + " is a link to " + Shown + ": the folder itself is graded, never a link";
  }
  if (!S_ISDIR(Status.st_mode)) return *Missing = true, Folder + " is not a folder";
  return "";
}

bool Make_Private_Folder(const std::string& Path) {
  return mkdir(Path.c_str(), 0700) == 0 || (errno == EEXIST && Remove_Tree(Path) && mkdir(Path.c_str(), 0700) == 0);
}

bool Copy_Submission(const std::string& From, const std::string& To, std::string* Problem) {
  Copy_Request R;
  R.Policy = Copy_Refusing;
  R.From = open(From.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (R.From < 0) return *Problem = "the folder " + From + " cannot be opened", false;
  bool Copied = Make_Private_Folder(To), Past_Cap = false;
  R.To = Copied ? open(To.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
  if (R.To >= 0) stat(To.c_str(), &R.Never[0]);
  Copied = R.To >= 0 && Copy_Folder_Tree(R, Problem, &Past_Cap);
  if (R.To < 0) *Problem = "cannot copy it to " + To;
  if (R.To >= 0) close(R.To);
  close(R.From);
  return Copied;
}

bool Take_File(const std::string& Folder, const std::string& Name, const std::string& To, bool* Missing,
               std::string* Problem) {
  *Missing = false;
  int Within = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (Within < 0) return *Problem = "the folder " + Folder + " cannot be opened", false;
  struct stat Status;
  *Missing = fstatat(Within, Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) != 0;
  int In = *Missing ? -1 : Open_Beneath(Within, Name, Most_Copied_File_Bytes, Problem);
  close(Within);
  if (*Missing) return *Problem = Name + " is missing", false;
  if (In < 0) return false;
  size_t Slash = To.rfind('/');
  int Into = open(To.substr(0, Slash).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  bool Taken = Into >= 0 && Copy_To_Private_File(In, Into, To.c_str() + Slash + 1, Most_Copied_File_Bytes);
  if (Into >= 0) close(Into);
  close(In);
  if (!Taken) *Problem = "cannot copy " + Name + " to " + To;
  return Taken;
}

std::string Student_Build_Folder(const std::string& Scratch, const std::string& Id) {
  return Scratch + "/" + Id + ".build";
}

std::string Student_Program_Folder(const std::string& Scratch, const std::string& Id) {
  return Scratch + "/" + Id + ".program";
}

void Drop_Student_Copies(const std::string& Scratch, const std::string& Id) {
  Sandbox_Drop_Copies(Student_Program_Folder(Scratch, Id));
  for (const std::string& Folder : {Student_Build_Folder(Scratch, Id), Student_Program_Folder(Scratch, Id)})
    if (!Remove_Tree(Folder)) std::fprintf(stderr, "zor_grade: %s could not be removed entirely\n", Folder.c_str());
}
