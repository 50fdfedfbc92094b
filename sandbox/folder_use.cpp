/*
** folder_use.cpp
** What a run's folder holds, measured against its caps while the run goes
** and once it has ended. Every other limit of a run bounds one file, one
** stream or the memory; a program can still write thousands of files each
** under the file-size limit, or one file and then many hard links or
** empty files, and fill the grader's disk and its inodes. The run's
** folder is its only writable place on that disk, so it is the folder as
** a whole that is capped.
**
** The count is of allocated blocks (st_blocks), not of sizes: a sparse
** file costs what it holds, and a file linked under many names costs its
** blocks once, since that is what the disk gives it; each name is an
** entry, so many links or empty files meet the entry cap instead. Links
** are counted as themselves and never followed: a link to a large file
** outside costs a link. The walk lists one folder at a time, each opened
** beneath the run's folder by its path from there with no link on the
** way, so it holds two descriptors whatever the depth and never leaves
** the folder, however the run renames what it walks; it stops at the
** first cap passed, so a look costs no more than the caps allow.
*/
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace {

struct Folder_Walk {
  const Sandbox_Limits* Limits;
  Folder_Use Use;
  std::vector<std::pair<std::string, int>> Pending;   // folders still to list, by path and depth
  std::set<std::pair<dev_t, ino_t>> Linked;           // files of several names already counted
};

bool Past(Folder_Walk* W, Folder_Past Why) {
  W->Use.Past = Why;
  return false;
}

/* Counts one entry (and its blocks, a file of several names once only);
** false once a cap is passed. */
bool Count(Folder_Walk* W, const struct stat& Status) {
  const Sandbox_Limits& L = *W->Limits;
  W->Use.Entries++;
  if (L.Folder_Entries > 0 && W->Use.Entries > L.Folder_Entries) return Past(W, Folder_Past_Entries);
  if (!S_ISDIR(Status.st_mode) && Status.st_nlink > 1) {
    if (!W->Linked.insert({Status.st_dev, Status.st_ino}).second) return true;
  }
  W->Use.Bytes += static_cast<int64_t>(Status.st_blocks) * 512;
  if (L.Folder_Bytes > 0 && W->Use.Bytes > L.Folder_Bytes) return Past(W, Folder_Past_Bytes);
  return true;
}

/* Lists the folder Relative (depth Depth) beneath Top; false once a cap
** is passed. A folder gone or replaced by a link meanwhile is skipped: the
** next look finds where it went. */
bool List_Folder(Folder_Walk* W, int Top, const std::string& Relative, int Depth) {
  int Folder = Relative.empty() ? dup(Top) : Open_Folder_Beneath(Top, Relative);
  if (Folder < 0)
    return errno == ENOENT || errno == ENOTDIR || errno == ELOOP || errno == EXDEV || Past(W, Folder_Unreadable);
  DIR* Listing = fdopendir(Folder);
  if (Listing == nullptr) {
    close(Folder);
    return Past(W, Folder_Unreadable);
  }
  bool Within = true;
  for (dirent* Entry; Within && (Entry = readdir(Listing)) != nullptr;) {
    if (std::strcmp(Entry->d_name, ".") == 0 || std::strcmp(Entry->d_name, "..") == 0) continue;
    struct stat Status;
    if (fstatat(dirfd(Listing), Entry->d_name, &Status, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    Within = Count(W, Status);
    if (!Within || !S_ISDIR(Status.st_mode)) continue;
    if (Depth + 1 >= Most_Run_Folder_Depth) Within = Past(W, Folder_Too_Deep);
    else W->Pending.push_back({Relative.empty() ? Entry->d_name : Relative + "/" + Entry->d_name, Depth + 1});
  }
  closedir(Listing);
  return Within;
}

}  // namespace

Folder_Use Measure_Run_Folder(const std::string& Folder, const Sandbox_Limits& Limits) {
  Folder_Walk W;
  W.Limits = &Limits;
  int Top = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (Top < 0) {
    /* A folder the run removed holds nothing; one it locked is unknown. */
    if (errno != ENOENT) W.Use.Past = Folder_Unreadable;
    return W.Use;
  }
  W.Pending.push_back({"", 0});
  while (!W.Pending.empty()) {
    auto [Relative, Depth] = std::move(W.Pending.back());
    W.Pending.pop_back();
    if (!List_Folder(&W, Top, Relative, Depth)) break;
  }
  close(Top);
  return W.Use;
}
