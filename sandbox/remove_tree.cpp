/*
** remove_tree.cpp
** Removing a run's folder whatever the run did to it. A program may take
** away every permission on its folder and the folders inside, and leave
** links to anywhere and FIFOs: the tree is walked through descriptors,
** each folder given its owner's permissions back before it is opened,
** and every other entry unlinked, never followed or opened.
*/
#include <cerrno>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox.h"

namespace {

void Remove_Entry(int Folder, const char* Name) {
  struct stat Status;
  if (fstatat(Folder, Name, &Status, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (!S_ISDIR(Status.st_mode)) {
    unlinkat(Folder, Name, 0);
    return;
  }
  /* A folder (lstat said so, not a link to one): permissions back first. */
  fchmodat(Folder, Name, 0700, 0);
  int Inner = openat(Folder, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (Inner >= 0) {
    DIR* Listing = fdopendir(Inner);
    if (Listing == nullptr) {
      close(Inner);
    } else {
      std::vector<std::string> Names;
      for (dirent* Entry; (Entry = readdir(Listing)) != nullptr;)
        if (std::string(Entry->d_name) != "." && std::string(Entry->d_name) != "..") Names.push_back(Entry->d_name);
      for (const std::string& Inside : Names) Remove_Entry(dirfd(Listing), Inside.c_str());
      closedir(Listing);
    }
  }
  unlinkat(Folder, Name, AT_REMOVEDIR);
}

}  // namespace

bool Remove_Tree(const std::string& Path) {
  std::string Trimmed = Path;
  while (Trimmed.size() > 1 && Trimmed.back() == '/') Trimmed.pop_back();
  size_t Slash = Trimmed.rfind('/');
  std::string Parent = Slash == std::string::npos ? "." : Slash == 0 ? "/" : Trimmed.substr(0, Slash);
  std::string Name = Slash == std::string::npos ? Trimmed : Trimmed.substr(Slash + 1);
  int Folder = open(Parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Folder < 0) return false;
  /* A process that was dying as the walk began may have added an entry. */
  struct stat Status;
  for (int Round = 0; Round < 3 && fstatat(Folder, Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) == 0; Round++)
    Remove_Entry(Folder, Name.c_str());
  bool Gone = fstatat(Folder, Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
  close(Folder);
  return Gone;
}
