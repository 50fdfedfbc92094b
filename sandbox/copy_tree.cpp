/*
** copy_tree.cpp
** Copies of a user's folder: the one a run's folder starts with (so that
** `java -cp . Sim`, a script's module beside it or a data file read by a
** relative name is found there, as it is when the user runs the program
** in its own folder), and the read-only one a box shows at the folder's
** own path. A copy, not the folder itself: nothing the run writes reaches
** the user's folder or the next run, and the box's user, who may not be
** able to reach the original, can read it.
**
** The folder is a user's, and may be hostile: links are copied as links,
** never followed; FIFOs, sockets and devices are left out; the kit's own
** programs are left out (a box never runs them); and the copy stops at a
** size, a count and a depth, so that a folder that is not a program's
** (a home, a build tree) is refused rather than copied per run.
*/
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace {

constexpr int Deepest = 16;

struct Copying {
  Copy_Budget Left;
  uid_t Owner = 0;  // 0: as the tool
  const std::vector<std::string>* Skipped_At_Top = nullptr;
  /* The copy itself and the module's folder, which may lie inside the
  ** folder copied (TMPDIR set to it): never copied into themselves. */
  struct stat Never[2] = {};
  std::string Problem;
};

bool Kit_Program(const char* Name) {
  const std::vector<std::string>& Names = Kit_Program_Names();
  return std::find(Names.begin(), Names.end(), Name) != Names.end();
}

bool Copy_Tree_Bytes(int In, int Out) {
  char Buffer[65536];
  for (ssize_t Got; (Got = read(In, Buffer, sizeof Buffer)) != 0;) {
    if (Got < 0 && errno == EINTR) continue;
    if (Got < 0) return false;
    for (ssize_t Done = 0; Done < Got;) {
      ssize_t Wrote = write(Out, Buffer + Done, static_cast<size_t>(Got - Done));
      if (Wrote < 0 && errno == EINTR) continue;
      if (Wrote <= 0) return false;
      Done += Wrote;
    }
  }
  return true;
}

/* One entry of the folder From_Fd, copied into To_Fd (when To_Fd >= 0;
** otherwise only counted against the budget). */
bool Copy_Tree_Entry(Copying& C, int From_Fd, int To_Fd, const char* Name, int Depth);

bool Copy_Folder_Fd(Copying& C, int From_Fd, int To_Fd, int Depth) {
  DIR* Listing = fdopendir(dup(From_Fd));
  if (Listing == nullptr) return C.Problem = std::string("cannot list a folder: ") + std::strerror(errno), false;
  bool Ok = true;
  for (dirent* Entry; Ok && (Entry = readdir(Listing)) != nullptr;) {
    if (std::strcmp(Entry->d_name, ".") == 0 || std::strcmp(Entry->d_name, "..") == 0) continue;
    if (Depth == 0 && C.Skipped_At_Top != nullptr &&
        std::find(C.Skipped_At_Top->begin(), C.Skipped_At_Top->end(), Entry->d_name) != C.Skipped_At_Top->end())
      continue;
    Ok = Copy_Tree_Entry(C, From_Fd, To_Fd, Entry->d_name, Depth);
  }
  closedir(Listing);
  return Ok;
}

bool Make_Owned(Copying& C, int To_Fd, const char* Name) {
  if (C.Owner == 0 || fchownat(To_Fd, Name, C.Owner, C.Owner, AT_SYMLINK_NOFOLLOW) == 0) return true;
  C.Problem = std::string("cannot give a copied file to the run's user: ") + std::strerror(errno);
  return false;
}

bool Copy_Tree_Entry(Copying& C, int From_Fd, int To_Fd, const char* Name, int Depth) {
  struct stat Status;
  if (fstatat(From_Fd, Name, &Status, AT_SYMLINK_NOFOLLOW) != 0) return true;  // gone meanwhile
  if (Kit_Program(Name) || !(S_ISREG(Status.st_mode) || S_ISDIR(Status.st_mode) || S_ISLNK(Status.st_mode)))
    return true;
  /* What the run's folder already holds (the day's input) is the run's. */
  if (To_Fd >= 0 && Depth == 0 && faccessat(To_Fd, Name, F_OK, AT_SYMLINK_NOFOLLOW) == 0) return true;
  for (const struct stat& Not : C.Never)
    if (Not.st_ino != 0 && Not.st_dev == Status.st_dev && Not.st_ino == Status.st_ino) return true;
  C.Left.Entries--;
  if (S_ISREG(Status.st_mode)) C.Left.Bytes -= Status.st_size;
  if (C.Left.Entries < 0 || C.Left.Bytes < 0 || Depth >= Deepest) {
    C.Problem = "it holds more than a program's folder would (more than " + std::to_string(Most_Copied().Entries) +
                " files, " + std::to_string(Most_Copied().Bytes >> 20) + " MiB, or " + std::to_string(Deepest) +
                " folders deep)";
    return false;
  }
  if (S_ISLNK(Status.st_mode)) {
    if (To_Fd < 0) return true;
    char Target[4096];
    ssize_t Length = readlinkat(From_Fd, Name, Target, sizeof Target - 1);
    if (Length < 0) return true;
    Target[Length] = '\0';
    return (symlinkat(Target, To_Fd, Name) == 0 || (C.Problem = std::strerror(errno), false)) &&
           Make_Owned(C, To_Fd, Name);
  }
  int Flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (S_ISDIR(Status.st_mode) ? O_DIRECTORY : 0);
  int In = openat(From_Fd, Name, Flags);
  if (In < 0) return C.Problem = std::string("cannot read ") + Name + ": " + std::strerror(errno), false;
  bool Ok = true;
  if (S_ISDIR(Status.st_mode)) {
    int Out = -1;
    if (To_Fd >= 0) {
      Ok = mkdirat(To_Fd, Name, 0755) == 0 && Make_Owned(C, To_Fd, Name) &&
           (Out = openat(To_Fd, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) >= 0;
      if (!Ok && C.Problem.empty()) C.Problem = std::string("cannot make a folder: ") + std::strerror(errno);
    }
    Ok = Ok && Copy_Folder_Fd(C, In, Out, Depth + 1);
    if (Out >= 0) close(Out);
  } else if (To_Fd >= 0) {
    int Out = openat(To_Fd, Name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     (Status.st_mode & 0111) != 0 ? 0755 : 0644);
    Ok = Out >= 0 && Copy_Tree_Bytes(In, Out);
    if (Out >= 0) Ok = close(Out) == 0 && Ok;
    if (!Ok) C.Problem = std::string("cannot copy ") + Name + ": " + std::strerror(errno);
    Ok = Ok && Make_Owned(C, To_Fd, Name);
  }
  close(In);
  return Ok;
}

}  // namespace

Copy_Budget Most_Copied() { return Copy_Budget{int64_t(64) << 20, 2000}; }

bool Copy_Tree(const std::string& From, const std::string& To, uid_t Owner, const std::vector<std::string>& Skipped,
               std::string* Problem) {
  Copying C;
  C.Left = Most_Copied();
  C.Owner = Owner;
  C.Skipped_At_Top = &Skipped;
  if (!To.empty()) stat(To.c_str(), &C.Never[0]);
  if (!Sandbox().Private.empty()) stat(Sandbox().Private.c_str(), &C.Never[1]);
  int In = open(From.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int Out = To.empty() ? -1 : open(To.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  bool Ok = In >= 0 && (To.empty() || Out >= 0);
  if (!Ok) C.Problem = std::string("cannot open it: ") + std::strerror(errno);
  Ok = Ok && Copy_Folder_Fd(C, In, Out, 0);
  if (In >= 0) close(In);
  if (Out >= 0) close(Out);
  if (!Ok) *Problem = "cannot copy the folder " + From + ": " + C.Problem;
  return Ok;
}

bool Fits_A_Run_Folder(const std::string& Folder, std::string* Problem) {
  return Copy_Tree(Folder, "", 0, {}, Problem);
}
