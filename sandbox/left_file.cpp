/*
** left_file.cpp
** Reading a file a contained program left in its folder. The program
** chose what stands under the name: a link to a file of someone else's,
** a FIFO that would block a reader for ever, a folder, a device. Only a
** regular file is read, opened without following a link and without
** waiting, and only up to a size.
*/
#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox.h"

Left_Kind Read_Left_File(const std::string& Folder, const std::string& Name, size_t Most, std::string* Bytes,
                         size_t* Size) {
  Bytes->clear();
  if (Size != nullptr) *Size = 0;
  int Within = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Within < 0) return Left_Nothing;
  struct stat Status;
  Left_Kind Kind = Left_Other;
  if (fstatat(Within, Name.c_str(), &Status, AT_SYMLINK_NOFOLLOW) != 0) Kind = Left_Nothing;
  else if (S_ISLNK(Status.st_mode)) Kind = Left_Link;
  else if (S_ISFIFO(Status.st_mode)) Kind = Left_Fifo;
  else if (S_ISDIR(Status.st_mode)) Kind = Left_Folder;
  else if (S_ISREG(Status.st_mode)) Kind = Left_File;
  int File = Kind != Left_File ? -1 : openat(Within, Name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  close(Within);
  if (Kind != Left_File) return Kind;
  /* Swapped for something else between the look and the open. */
  if (File < 0 || fstat(File, &Status) != 0 || !S_ISREG(Status.st_mode)) {
    if (File >= 0) close(File);
    return File < 0 && errno == ELOOP ? Left_Link : Left_Other;
  }
  if (Size != nullptr) *Size = static_cast<size_t>(Status.st_size);
  /* Never a byte past Most, so that what is held is bounded by the
  ** caller's size and not by what the program wrote. */
  char Block[65536];
  for (ssize_t Got; Bytes->size() < Most;) {
    Got = read(File, Block, std::min(sizeof Block, Most - Bytes->size()));
    if (Got == 0) break;
    if (Got < 0 && errno == EINTR) continue;
    if (Got < 0) break;
    Bytes->append(Block, static_cast<size_t>(Got));
  }
  close(File);
  return Left_File;
}

const char* Left_Kind_Name(Left_Kind Kind) {
  switch (Kind) {
    case Left_File: return "a file";
    case Left_Nothing: return "nothing";
    case Left_Link: return "a symbolic link";
    case Left_Fifo: return "a FIFO (named pipe)";
    case Left_Folder: return "a folder";
    case Left_Other: return "a device or socket";
  }
  return "";
}
