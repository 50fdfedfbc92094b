/*
** copy_tree.cpp
** Copies of a folder someone else filled, through descriptors: each
** folder opened without following a link, each file by Open_Beneath, so
** that no name the folder's owner chose leads the copy out of it, and the
** copy stops at a size, a count and a depth, so that a folder that is not
** a program's (a home, a build tree) is refused rather than copied.
**
** A program's folder is copied into every run's folder (so that
** `java -cp . Sim`, a script's module beside it or a data file read by a
** relative name is found there, as it is when the user runs the program
** in its own folder), and into the read-only copy a box shows at the
** folder's own path: a copy, not the folder itself, so that nothing the
** run writes reaches the user's folder or the next run, and the box's
** user, who may not be able to reach the original, can read it. A
** student's folder is copied into the grader's private build copy.
*/
#include "sandbox/copy_tree.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace {

struct Copy_Walk {
  const Copy_Request* Asked;
  mode_t Mask = 022;  // the process's umask, which a program's folder's modes keep
  int64_t Bytes = 0;  // of the regular files taken so far
  int Entries = 0;
  bool Past_Cap = false;
  std::string Problem;
};

std::string Joined(const std::string& Relative, const char* Name) {
  return Relative.empty() ? std::string(Name) : Relative + "/" + Name;
}

bool Kit_Program(const char* Name) {
  const std::vector<std::string>& Names = Kit_Program_Names();
  return std::find(Names.begin(), Names.end(), Name) != Names.end();
}

/* The process's umask, read without changing it: other threads may be
** making files meanwhile. */
mode_t Process_Umask() {
  std::FILE* Status = std::fopen("/proc/self/status", "re");
  unsigned Mask = 022;
  char Line[256];
  while (Status != nullptr && std::fgets(Line, sizeof Line, Status) != nullptr)
    if (std::sscanf(Line, "Umask: %o", &Mask) == 1) break;
  if (Status != nullptr) std::fclose(Status);
  return static_cast<mode_t>(Mask & 0777);
}

bool Fail(Copy_Walk* W, const std::string& Problem) {
  if (W->Problem.empty()) W->Problem = Problem;
  return false;
}

bool Past_Cap(Copy_Walk* W, const std::string& Problem) {
  W->Past_Cap = true;
  return Fail(W, Problem);
}

/* An entry the policy leaves out without a word. */
bool Left_Out(const Copy_Walk& W, const char* Name, const struct stat& Status, int Depth) {
  const Copy_Request& R = *W.Asked;
  for (const struct stat& Not : R.Never)
    if (Not.st_ino != 0 && Not.st_dev == Status.st_dev && Not.st_ino == Status.st_ino) return true;
  if (Depth == 0 && R.Skipped_At_Top != nullptr &&
      std::find(R.Skipped_At_Top->begin(), R.Skipped_At_Top->end(), Name) != R.Skipped_At_Top->end())
    return true;
  /* What the run's folder already holds (the day's input) is the run's. */
  if (Depth == 0 && R.Keep_Existing_At_Top && R.To >= 0 && faccessat(R.To, Name, F_OK, AT_SYMLINK_NOFOLLOW) == 0)
    return true;
  if (R.Policy == Copy_Refusing) return false;
  return Kit_Program(Name) || !(S_ISREG(Status.st_mode) || S_ISDIR(Status.st_mode) || S_ISLNK(Status.st_mode));
}

/* Counts the entry against the caps; false when it is past one. */
bool Within_Caps(Copy_Walk* W, const std::string& Path, const struct stat& Status, int Depth) {
  if (++W->Entries > Most_Copied_Entries)
    return Past_Cap(W, "it holds more than " + std::to_string(Most_Copied_Entries) + " files, folders and links");
  if (S_ISDIR(Status.st_mode) && Depth >= Most_Copied_Depth)
    return Past_Cap(W, Path + " lies more than " + std::to_string(Most_Copied_Depth) + " folders deep");
  /* A file past the cap of one file is named for that by Open_Beneath. */
  if (S_ISREG(Status.st_mode) && Status.st_size <= Most_Copied_File_Bytes) {
    W->Bytes += Status.st_size;
    if (W->Bytes > Most_Copied_Bytes)
      return Past_Cap(W, "its files hold more than " + std::to_string(Most_Copied_Bytes >> 20) + " MiB together (" +
                             Path + " is past it)");
  }
  return true;
}

/* Gives what was made under Name to the request's owner, and a program's
** folder's usual modes. */
bool Settle(Copy_Walk* W, int To, const char* Name, mode_t Mode) {
  const Copy_Request& R = *W->Asked;
  if (R.Policy == Copy_Refusing) return true;
  if (Mode != 0 && fchmodat(To, Name, Mode & ~W->Mask, 0) != 0)
    return Fail(W, std::string("cannot copy ") + Name + ": " + std::strerror(errno));
  if (R.Owner != 0 && fchownat(To, Name, R.Owner, R.Owner, AT_SYMLINK_NOFOLLOW) != 0)
    return Fail(W, std::string("cannot give a copied file to the run's user: ") + std::strerror(errno));
  return true;
}

bool Copy_Folder(Copy_Walk* W, int From, int To, const std::string& Relative, int Depth);

bool Copy_Inner_Folder(Copy_Walk* W, int From, int To, const std::string& Path, const char* Name, int Depth) {
  const int Folder_Flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int Inner_From = openat(From, Name, Folder_Flags);
  int Inner_To = -1;
  bool Made = To < 0 || (mkdirat(To, Name, 0700) == 0 && Settle(W, To, Name, 0755) &&
                         (Inner_To = openat(To, Name, Folder_Flags)) >= 0);
  bool Copied = Inner_From >= 0 && Made && Copy_Folder(W, Inner_From, Inner_To, Path, Depth + 1);
  if (Inner_From >= 0) close(Inner_From);
  if (Inner_To >= 0) close(Inner_To);
  return Copied || Fail(W, Path + " cannot be read");
}

bool Copy_Link(Copy_Walk* W, int From, int To, const std::string& Path, const char* Name) {
  char Target[4096];
  ssize_t Size = readlinkat(From, Name, Target, sizeof Target - 1);
  if (Size < 0) return W->Asked->Policy == Copy_Leaving_Out || Fail(W, Path + " cannot be read");  // gone meanwhile
  if (W->Asked->Policy == Copy_Refusing && !Stays_Beneath(W->Asked->From, Path, &W->Problem)) return false;
  if (To < 0) return true;
  Target[Size] = '\0';
  if (symlinkat(Target, To, Name) != 0) return Fail(W, "cannot copy " + Path + ": " + std::strerror(errno));
  return Settle(W, To, Name, 0);
}

bool Copy_File(Copy_Walk* W, int To, const std::string& Path, const char* Name) {
  if (To < 0 && W->Asked->Policy == Copy_Leaving_Out) return true;
  int In = Open_Beneath(W->Asked->From, Path, Most_Copied_File_Bytes, &W->Problem);
  if (In < 0) return false;
  struct stat Status = {};
  bool Copied = To < 0 || (fstat(In, &Status) == 0 && Copy_To_Private_File(In, To, Name, Most_Copied_File_Bytes));
  int Error = errno;
  close(In);
  if (!Copied) return Fail(W, "cannot copy " + Path + ": " + std::strerror(Error));
  return To < 0 || Settle(W, To, Name, (Status.st_mode & 0111) != 0 ? 0755 : 0644);
}

bool Copy_Entry(Copy_Walk* W, int From, int To, const std::string& Relative, const char* Name, int Depth) {
  std::string Path = Joined(Relative, Name);
  struct stat Status;
  if (fstatat(From, Name, &Status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (W->Asked->Policy == Copy_Leaving_Out) return true;  // gone meanwhile
    return Fail(W, Path + " cannot be read");
  }
  if (Left_Out(*W, Name, Status, Depth)) return true;
  if (!Within_Caps(W, Path, Status, Depth)) return false;
  if (S_ISDIR(Status.st_mode)) return Copy_Inner_Folder(W, From, To, Path, Name, Depth);
  if (S_ISLNK(Status.st_mode)) return Copy_Link(W, From, To, Path, Name);
  /* A FIFO, socket or device reaches here only to be refused, by name. */
  return Copy_File(W, To, Path, Name);
}

bool Copy_Folder(Copy_Walk* W, int From, int To, const std::string& Relative, int Depth) {
  int Listed = dup(From);
  DIR* Listing = Listed < 0 ? nullptr : fdopendir(Listed);
  if (Listing == nullptr) {
    if (Listed >= 0) close(Listed);
    return Fail(W, (Relative.empty() ? std::string("the folder") : Relative) + " cannot be read");
  }
  bool Copied = true;
  for (dirent* Entry; Copied && (Entry = readdir(Listing)) != nullptr;)
    if (std::strcmp(Entry->d_name, ".") != 0 && std::strcmp(Entry->d_name, "..") != 0)
      Copied = Copy_Entry(W, From, To, Relative, Entry->d_name, Depth);
  closedir(Listing);
  return Copied;
}

}  // namespace

bool Copy_Folder_Tree(const Copy_Request& Request, std::string* Problem, bool* Past_Cap) {
  Copy_Walk W;
  W.Asked = &Request;
  if (Request.Policy == Copy_Leaving_Out) W.Mask = Process_Umask();
  bool Copied = Copy_Folder(&W, Request.From, Request.To, "", 0);
  *Past_Cap = W.Past_Cap;
  if (!Copied) *Problem = W.Problem.empty() ? "it cannot be copied" : W.Problem;
  return Copied;
}

bool Copy_Tree(const std::string& From, const std::string& To, uid_t Owner, const std::vector<std::string>& Skipped,
               std::string* Problem) {
  Copy_Request R;
  R.Policy = Copy_Leaving_Out;
  R.Owner = Owner;
  R.Skipped_At_Top = &Skipped;
  R.Keep_Existing_At_Top = true;
  /* The copy itself and the module's folder may lie inside the folder
  ** copied (TMPDIR set to it). */
  if (!To.empty()) stat(To.c_str(), &R.Never[0]);
  if (!Sandbox().Private.empty()) stat(Sandbox().Private.c_str(), &R.Never[1]);
  R.From = open(From.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  R.To = To.empty() ? -1 : open(To.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  bool Past = false;
  bool Copied = R.From >= 0 && (To.empty() || R.To >= 0);
  if (!Copied) *Problem = std::string("cannot open it: ") + std::strerror(errno);
  Copied = Copied && Copy_Folder_Tree(R, Problem, &Past);
  if (R.From >= 0) close(R.From);
  if (R.To >= 0) close(R.To);
  if (Past) *Problem = "it holds more than a program's folder would: " + *Problem;
  if (!Copied) *Problem = "cannot copy the folder " + From + ": " + *Problem;
  return Copied;
}

bool Fits_A_Run_Folder(const std::string& Folder, std::string* Problem) {
  return Copy_Tree(Folder, "", 0, {}, Problem);
}
