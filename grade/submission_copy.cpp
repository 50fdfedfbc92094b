/*
** submission_copy.cpp
** Copying a student's folder, and taking one file from it, through
** descriptors: each folder opened without following a link, each file by
** Open_Beneath, each link kept only when it stays inside. A run of the
** grader may be root's, and a student chooses every name in the folder.
*/
#include "grade/submission_copy.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox.h"

namespace {

struct Copy_Walk {
  int Top;             // the student's folder
  int64_t Bytes = 0;   // taken so far
  int Entries = 0;
  std::string Problem;
};

std::string Joined(const std::string& Relative, const char* Name) {
  return Relative.empty() ? std::string(Name) : Relative + "/" + Name;
}

bool Copy_Folder(Copy_Walk* W, int From, int To, const std::string& Relative, int Depth);

bool Copy_Submission_Entry(Copy_Walk* W, int From, int To, const std::string& Relative, const char* Name, int Depth) {
  std::string Path = Joined(Relative, Name);
  struct stat Status;
  if (fstatat(From, Name, &Status, AT_SYMLINK_NOFOLLOW) != 0) return W->Problem = Path + " cannot be read", false;
  if (++W->Entries > Most_Submission_Entries)
    return W->Problem = "it holds more than " + std::to_string(Most_Submission_Entries) + " files and folders", false;
  if (S_ISDIR(Status.st_mode)) {
    if (Depth >= Most_Submission_Depth)
      return W->Problem = Path + " lies more than " + std::to_string(Most_Submission_Depth) + " folders deep", false;
    const int Folder_Flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int Inner_From = openat(From, Name, Folder_Flags);
    int Inner_To = mkdirat(To, Name, 0700) != 0 ? -1 : openat(To, Name, Folder_Flags);
    bool Copied = Inner_From >= 0 && Inner_To >= 0 && Copy_Folder(W, Inner_From, Inner_To, Path, Depth + 1);
    if (!Copied && W->Problem.empty()) W->Problem = Path + " cannot be read";
    if (Inner_From >= 0) close(Inner_From);
    if (Inner_To >= 0) close(Inner_To);
    return Copied;
  }
  if (S_ISLNK(Status.st_mode)) {
    char Target[4096];
    ssize_t Size = readlinkat(From, Name, Target, sizeof Target - 1);
    if (Size < 0 || !Stays_Beneath(W->Top, Path, &W->Problem)) {
      if (W->Problem.empty()) W->Problem = Path + " cannot be read";
      return false;
    }
    Target[Size] = '\0';
    return symlinkat(Target, To, Name) == 0 || (W->Problem = "cannot copy " + Path, false);
  }
  if (S_ISREG(Status.st_mode) && Status.st_size <= Most_Submission_File_Bytes &&
      W->Bytes + Status.st_size > Most_Submission_Bytes)
    return W->Problem = "its files hold more than " + std::to_string(Most_Submission_Bytes >> 20) +
                        " MiB together (" + Path + " is past it)", false;
  int In = Open_Beneath(W->Top, Path, Most_Submission_File_Bytes, &W->Problem);
  if (In < 0) return false;
  W->Bytes += Status.st_size;
  bool Copied = Copy_To_Private_File(In, To, Name, Most_Submission_File_Bytes);
  close(In);
  return Copied || (W->Problem = "cannot copy " + Path + ": " + std::strerror(errno), false);
}

bool Copy_Folder(Copy_Walk* W, int From, int To, const std::string& Relative, int Depth) {
  int Listed = dup(From);
  DIR* Listing = Listed < 0 ? nullptr : fdopendir(Listed);
  if (Listing == nullptr) {
    if (Listed >= 0) close(Listed);
    return W->Problem = (Relative.empty() ? std::string("the folder") : Relative) + " cannot be read", false;
  }
  bool Copied = true;
  for (dirent* Entry; Copied && (Entry = readdir(Listing)) != nullptr;)
    if (std::strcmp(Entry->d_name, ".") != 0 && std::strcmp(Entry->d_name, "..") != 0)
      Copied = Copy_Submission_Entry(W, From, To, Relative, Entry->d_name, Depth);
  closedir(Listing);
  return Copied;
}

}  // namespace

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
  Copy_Walk W;
  W.Top = open(From.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (W.Top < 0) return *Problem = "the folder " + From + " cannot be opened", false;
  bool Copied = Make_Private_Folder(To);
  int Into = Copied ? open(To.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
  Copied = Into >= 0 && Copy_Folder(&W, W.Top, Into, "", 0);
  if (Into >= 0) close(Into);
  close(W.Top);
  if (!Copied) *Problem = W.Problem.empty() ? "cannot copy it to " + To : W.Problem;
  return Copied;
}

bool Take_File(const std::string& Folder, const std::string& Name, const std::string& To, bool* Missing,
               std::string* Problem) {
  *Missing = false;
  int Within = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (Within < 0) return *Problem = "the folder " + Folder + " cannot be opened", false;
  struct stat Status;
  *Missing = fstatat(Within, Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) != 0;
  int In = *Missing ? -1 : Open_Beneath(Within, Name, Most_Submission_File_Bytes, Problem);
  close(Within);
  if (*Missing) return *Problem = Name + " is missing", false;
  if (In < 0) return false;
  size_t Slash = To.rfind('/');
  int Into = open(To.substr(0, Slash).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  bool Taken = Into >= 0 && Copy_To_Private_File(In, Into, To.c_str() + Slash + 1, Most_Submission_File_Bytes);
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
