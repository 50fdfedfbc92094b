/*
** open_beneath.cpp
** Opening a file of a folder someone else controls: a student's
** submission, or a program a user hands the checker. Whoever filled the
** folder chose what stands under each name: a link to the kit's own
** program or to a file only root may read, a link to /proc/self/environ,
** a FIFO that would block a reader for ever, a device, a sparse file of
** hundreds of MiB. The name is resolved beneath the folder by the kernel
** (openat2 with RESOLVE_BENEATH), so no link or ".." leads out of it;
** the entry is first taken as a path only, so that a FIFO or a device is
** never opened, and read only once it is seen to be a regular file of a
** bounded size that its owner could read.
*/
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "sandbox/sandbox_internal.h"

namespace {

int Open_How_Beneath(int Folder, const std::string& Name, uint64_t Flags, uint64_t Resolve) {
  open_how How{};
  How.flags = Flags, How.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS | Resolve;
  long Got;
  do Got = syscall(SYS_openat2, Folder, Name.c_str(), &How, sizeof How);
  while (Got < 0 && errno == EAGAIN);
  return static_cast<int>(Got);
}

int Open_Path_Beneath(int Folder, const std::string& Name) { return Open_How_Beneath(Folder, Name, O_PATH | O_CLOEXEC, 0); }

/* A link's target as a reason may show it: control bytes would end the
** line of a feedback file, and a long target says nothing more. */
std::string Shown_Target(const std::string& Target) {
  std::string Shown;
  for (char C : Target.substr(0, 200)) Shown += static_cast<unsigned char>(C) < 0x20 || C == 0x7F ? '?' : C;
  return Target.size() > 200 ? Shown + "..." : Shown;
}

/* Which component of Name is the link that leads out, and where to. */
std::string Why_Outside(int Folder, const std::string& Name) {
  for (size_t End = Name.find('/'); ; End = Name.find('/', End + 1)) {
    std::string Part = Name.substr(0, End);
    char Target[4096];
    ssize_t Size = readlinkat(Folder, Part.c_str(), Target, sizeof Target - 1);
    if (Size >= 0) {
      std::string Link = Shown_Target(std::string(Target, static_cast<size_t>(Size)));
      return (Part == Name ? Name : Name + " goes through " + Part + ", which") + " is a link to " + Link +
             ", outside your folder";
    }
    if (End == std::string::npos) break;
  }
  return Name + " leads outside your folder (through \"..\" or a link)";
}

/* What stands under the name when it is not a regular file. */
std::string Not_A_File(const std::string& Name, mode_t Mode) {
  const char* Kind = S_ISDIR(Mode) ? "a folder" : S_ISFIFO(Mode) ? "a FIFO (named pipe)" : S_ISSOCK(Mode) ? "a socket"
                     : S_ISCHR(Mode) || S_ISBLK(Mode) ? "a device" : "not a regular file";
  return Name + " is " + Kind + ", not a regular file";
}

std::string In_Size(int64_t Bytes) {
  char Text[40];
  if (Bytes < (1 << 20)) std::snprintf(Text, sizeof Text, "%lld bytes", static_cast<long long>(Bytes));
  else std::snprintf(Text, sizeof Text, "%.1f MiB", double(Bytes) / (1 << 20));
  return Text;
}

/* The bytes of In to Out, the holes left as holes: a sparse file costs
** what its data does. */
bool Copy_Bytes(int In, int Out, int64_t Size) {
  char Block[65536];
  for (off_t At = 0; At < Size;) {
    off_t Data = lseek(In, At, SEEK_DATA);
    if (Data < 0 && errno == ENXIO) break;  // only a hole is left
    if (Data < 0) Data = At;
    off_t Hole = lseek(In, Data, SEEK_HOLE);
    if (Hole < 0 || Hole > Size) Hole = Size;
    for (At = Data; At < Hole;) {
      ssize_t Got = pread(In, Block, static_cast<size_t>(std::min<off_t>(sizeof Block, Hole - At)), At);
      if (Got < 0 && errno == EINTR) continue;
      if (Got <= 0 || pwrite(Out, Block, static_cast<size_t>(Got), At) != Got) return false;
      At += Got;
    }
  }
  return ftruncate(Out, Size) == 0;
}

}  // namespace

int Open_Beneath(int Folder, const std::string& Name, int64_t Most, std::string* Reason) {
  int Path = Open_Path_Beneath(Folder, Name);
  if (Path < 0) {
    int Error = errno;
    *Reason = Error == EXDEV || Error == ELOOP ? Why_Outside(Folder, Name)
              : Error == ENOENT                ? Name + " is missing"
                                               : Name + " cannot be opened";
    return -1;
  }
  struct stat File, Owner;
  bool Known = fstat(Path, &File) == 0 && fstat(Folder, &Owner) == 0;
  if (!Known || !S_ISREG(File.st_mode)) {
    *Reason = Known ? Not_A_File(Name, File.st_mode) : Name + " cannot be opened";
    close(Path);
    return -1;
  }
  if (File.st_size > Most) {
    *Reason = Name + " is " + In_Size(File.st_size) + ", more than the " + In_Size(Most) + " a file may be here";
    close(Path);
    return -1;
  }
  /* A hard link to another user's private file is no file of the folder's
  ** owner, though it stands in the folder: read only what they could. */
  if (File.st_uid != Owner.st_uid && (File.st_mode & S_IROTH) == 0) {
    *Reason = Name + " belongs to another user, who has not let others read it";
    close(Path);
    return -1;
  }
  std::string Self = "/proc/self/fd/" + std::to_string(Path);
  int Read = open(Self.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  close(Path);
  struct stat Opened;
  if (Read < 0 || fstat(Read, &Opened) != 0 || Opened.st_ino != File.st_ino || Opened.st_dev != File.st_dev) {
    if (Read >= 0) close(Read);
    *Reason = Name + " cannot be opened";
    return -1;
  }
  return Read;
}

int Open_Beneath(const std::string& Folder, const std::string& Name, int64_t Most, std::string* Reason) {
  int Within = open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (Within < 0) {
    *Reason = "the folder " + Folder + (errno == ENOTDIR || errno == ELOOP ? " is not a folder" : " cannot be opened");
    return -1;
  }
  int File = Open_Beneath(Within, Name, Most, Reason);
  close(Within);
  return File;
}

bool Read_Beneath(const std::string& Folder, const std::string& Name, int64_t Most, std::string* Bytes,
                  std::string* Reason) {
  Bytes->clear();
  int File = Open_Beneath(Folder, Name, Most, Reason);
  if (File < 0) return false;
  char Block[65536];
  bool Read = true;
  /* Most bounds the reading too: the file may grow after the look. */
  while (static_cast<int64_t>(Bytes->size()) <= Most) {
    ssize_t Got = read(File, Block, sizeof Block);
    if (Got < 0 && errno == EINTR) continue;
    if (Got <= 0) {
      Read = Got == 0;
      break;
    }
    Bytes->append(Block, static_cast<size_t>(Got));
  }
  close(File);
  if (!Read) *Reason = Name + " cannot be read";
  if (Read && static_cast<int64_t>(Bytes->size()) > Most)
    Read = false, *Reason = Name + " grew past " + In_Size(Most) + " while it was read";
  return Read;
}

int Open_Folder_Beneath(int Folder, const std::string& Name) {
  return Open_How_Beneath(Folder, Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, RESOLVE_NO_SYMLINKS);
}

bool Stays_Beneath(int Folder, const std::string& Name, std::string* Reason) {
  int Path = Open_Path_Beneath(Folder, Name);
  if (Path >= 0) return close(Path), true;
  if (errno != EXDEV && errno != ELOOP) return true;  // leads nowhere, which is no way out
  *Reason = Why_Outside(Folder, Name);
  return false;
}

bool Copy_To_Private_File(int In, int Folder, const char* Name, int64_t Most) {
  struct stat Status;
  if (fstat(In, &Status) != 0 || !S_ISREG(Status.st_mode) || Status.st_size > Most) return false;
  int Out = openat(Folder, Name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   (Status.st_mode & 0100) != 0 ? 0700 : 0600);
  if (Out < 0) return false;
  bool Copied = Copy_Bytes(In, Out, Status.st_size);
  return close(Out) == 0 && Copied;
}
