/*
** remove_tree.cpp
** Removing a run's folder whatever the run did to it, and giving a
** folder to a run's user. A program may take away every permission on
** its folder and the folders inside, leave links to anywhere and FIFOs,
** and make a chain of folders tens of thousands deep. The tree is walked
** through descriptors, one level at a time and without recursion: a
** descriptor per level would run out (or a frame per level overflow the
** stack) on such a chain. Going back up is through "..", checked against
** the folder that was entered, so a walk never leaves the tree. Each
** folder gets its owner's permissions back before it is opened, and
** every other entry is unlinked or changed, never followed or opened.
*/
#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox.h"

namespace {

/* Far above any tree a program leaves within its limits, and a bound on
** the walk whatever it meets. */
constexpr long Most_Steps = 50000000;

struct Level {
  std::string Name;  // in the folder above
  dev_t Device;
  ino_t Inode;
};

int Open_Folder(int Parent, const char* Name) {
  return openat(Parent, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

using Visitor = std::function<void(int Folder, const char* Name, const struct stat& Status)>;
using Folder_Step = std::function<void(int Folder, const char* Name)>;

/* Folders of Folder not among Done, Most_Queued at most, into Queue,
** after Visit has been given each other entry. A folder of many folders
** is listed once per Most_Queued of them, not once per folder in it. */
constexpr size_t Most_Queued = 4096;
void Queue_Folders(int Folder, const Visitor& Visit, const std::vector<std::string>& Done,
                   std::vector<std::string>* Queue) {
  int Copy = dup(Folder);
  DIR* Listing = Copy < 0 ? nullptr : fdopendir(Copy);
  if (Listing == nullptr) {
    if (Copy >= 0) close(Copy);
    return;
  }
  rewinddir(Listing);
  for (dirent* Entry; Queue->size() < Most_Queued && (Entry = readdir(Listing)) != nullptr;) {
    std::string Name = Entry->d_name;
    if (Name == "." || Name == "..") continue;
    struct stat Status;
    if (fstatat(Folder, Entry->d_name, &Status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISDIR(Status.st_mode)) {
      Visit(Folder, Entry->d_name, Status);
    } else {
      bool Seen = false;
      for (const std::string& D : Done) Seen = Seen || D == Name;
      if (!Seen) Queue->push_back(Name);
    }
  }
  closedir(Listing);
}

/* Walks the tree under Parent/Name depth first. Visit is given each entry
** that is not a folder; Enter each folder before it is opened; Leave each
** folder once its entries are done (Leave may remove it). Folders Leave
** did not remove are not entered twice. False if the walk was cut short. */
bool Walk_Tree(int Parent, const std::string& Name, const Visitor& Visit, const Folder_Step& Enter,
               const Folder_Step& Leave) {
  Enter(Parent, Name.c_str());
  int Folder = Open_Folder(Parent, Name.c_str());
  if (Folder < 0) return false;
  std::vector<Level> Path;
  std::vector<std::vector<std::string>> Done(1);  // per level, the folders finished and kept
  std::vector<std::vector<std::string>> Queued(1);  // per level, the folders listed and not yet entered
  struct stat Top;
  fstat(Folder, &Top);
  Path.push_back({Name, Top.st_dev, Top.st_ino});
  for (long Step = 0; Step < Most_Steps; Step++) {
    if (Queued.back().empty()) Queue_Folders(Folder, Visit, Done.back(), &Queued.back());
    if (!Queued.back().empty()) {
      std::string Inner = Queued.back().back();
      Queued.back().pop_back();
      Enter(Folder, Inner.c_str());
      int Below = Open_Folder(Folder, Inner.c_str());
      struct stat Status;
      if (Below < 0 || fstat(Below, &Status) != 0) {
        if (Below >= 0) close(Below);
        Done.back().push_back(Inner);  // cannot be entered: left as it is
        continue;
      }
      close(Folder);
      Folder = Below;
      Path.push_back({Inner, Status.st_dev, Status.st_ino});
      Done.emplace_back();
      Queued.emplace_back();
      continue;
    }
    /* This folder is done: up to the one above, and leave it there. */
    Level Here = Path.back();
    Path.pop_back();
    Done.pop_back();
    Queued.pop_back();
    int Above = Path.empty() ? dup(Parent) : Open_Folder(Folder, "..");
    close(Folder);
    struct stat Status;
    bool Same = Above >= 0 && fstat(Above, &Status) == 0 &&
                (Path.empty() || (Status.st_dev == Path.back().Device && Status.st_ino == Path.back().Inode));
    if (!Same) {
      if (Above >= 0) close(Above);
      return false;  // the tree was moved under the walk: stop rather than go elsewhere
    }
    Leave(Above, Here.Name.c_str());
    if (Path.empty()) {
      close(Above);
      return true;
    }
    if (fstatat(Above, Here.Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) == 0) Done.back().push_back(Here.Name);
    Folder = Above;
  }
  close(Folder);
  return false;
}

bool Split_Path(const std::string& Path, std::string* Parent, std::string* Name) {
  std::string Trimmed = Path;
  while (Trimmed.size() > 1 && Trimmed.back() == '/') Trimmed.pop_back();
  size_t Slash = Trimmed.rfind('/');
  *Parent = Slash == std::string::npos ? "." : Slash == 0 ? "/" : Trimmed.substr(0, Slash);
  *Name = Slash == std::string::npos ? Trimmed : Trimmed.substr(Slash + 1);
  return !Name->empty() && *Name != "." && *Name != "..";
}

}  // namespace

bool Remove_Tree(const std::string& Path) {
  std::string Parent_Path, Name;
  if (!Split_Path(Path, &Parent_Path, &Name)) return false;
  int Parent = open(Parent_Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Parent < 0) return false;
  auto Unlink = [](int Folder, const char* Entry, const struct stat&) { unlinkat(Folder, Entry, 0); };
  auto Permit = [](int Folder, const char* Entry) { fchmodat(Folder, Entry, 0700, 0); };
  auto Remove = [](int Folder, const char* Entry) { unlinkat(Folder, Entry, AT_REMOVEDIR); };
  /* A process that was dying as the walk began may have added an entry. */
  struct stat Status;
  for (int Round = 0; Round < 3 && fstatat(Parent, Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) == 0; Round++) {
    if (S_ISDIR(Status.st_mode)) Walk_Tree(Parent, Name, Unlink, Permit, Remove);
    else unlinkat(Parent, Name.c_str(), 0);
  }
  bool Gone = fstatat(Parent, Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
  close(Parent);
  return Gone;
}

bool Give_Tree(const std::string& Path, uid_t Uid) {
  std::string Parent_Path, Name;
  if (!Split_Path(Path, &Parent_Path, &Name)) return false;
  int Parent = open(Parent_Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Parent < 0) return false;
  bool Given = true;
  auto Give = [&](int Folder, const char* Entry, const struct stat& Status) {
    if (Status.st_uid != Uid && fchownat(Folder, Entry, Uid, Uid, AT_SYMLINK_NOFOLLOW) != 0) Given = false;
  };
  auto Enter = [&](int Folder, const char* Entry) {
    if (fchownat(Folder, Entry, Uid, Uid, AT_SYMLINK_NOFOLLOW) != 0) Given = false;
  };
  auto Leave = [](int, const char*) {};
  Given = Walk_Tree(Parent, Name, Give, Enter, Leave) && Given;
  close(Parent);
  return Given;
}
