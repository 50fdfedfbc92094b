/*
** staged_file.cpp
** A temporary file beside the final one, renamed when whole.
*/
#include "common/staged_file.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/unfinished_file.h"

namespace {

/* Six letters or digits for a temporary name, different in each process
** and each call; O_EXCL, not these, keeps two files apart. */
void Temporary_Suffix(char Suffix[7]) {
  static std::atomic<unsigned> Calls{0};
  static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  timespec Now{};
  clock_gettime(CLOCK_MONOTONIC, &Now);
  uint64_t Mix = (static_cast<uint64_t>(getpid()) << 32) ^ static_cast<uint64_t>(Now.tv_nsec) ^
                 (static_cast<uint64_t>(Calls.fetch_add(1)) * 0x9E3779B97F4A7C15ull);
  for (int I = 0; I < 6; I++, Mix = Mix * 6364136223846793005ull + 1442695040888963407ull)
    Suffix[I] = Letters[(Mix >> 33) % (sizeof Letters - 1)];
  Suffix[6] = '\0';
}

}  // namespace

/* The temporary name is put in the table of unfinished files before the
** file is made, not after: an ending signal between the two would
** otherwise leave the file behind (removing a name not made yet is
** harmless). A name someone else made first is let go, and another tried. */
bool Begin_Staged_File(Staged_File* F, const char* Name) {
  F->Out = nullptr;
  struct stat Standing;
  if (stat(Name, &Standing) == 0 && S_ISDIR(Standing.st_mode)) return errno = EISDIR, false;
  for (int Try = 0; Try < 100; Try++) {
    char Suffix[7];
    Temporary_Suffix(Suffix);
    if (std::snprintf(F->Temp, sizeof F->Temp, "%s.%s", Name, Suffix) >= static_cast<int>(sizeof F->Temp))
      return errno = ENAMETOOLONG, false;
    if (!Begin_Unfinished_File(F->Temp)) return errno = EMFILE, false;
    /* The permissions a plain fopen would give: 0666 less the umask. */
    int Descriptor = open(F->Temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Descriptor >= 0) {
      F->Out = fdopen(Descriptor, "wb");
      if (F->Out == nullptr) {
        close(Descriptor);
        Remove_Unfinished_File(F->Temp);
      }
      return F->Out != nullptr;
    }
    int Why = errno;
    Finish_Unfinished_File(F->Temp);  // not ours: forgotten, never removed
    if (Why != EEXIST) return errno = Why, false;
  }
  return errno = EEXIST, false;
}

bool Finish_Staged_File(Staged_File* F, const char* Name) {
  if (F->Out == nullptr) return false;
  bool Whole = !std::ferror(F->Out);
  Whole = std::fclose(F->Out) == 0 && Whole;
  F->Out = nullptr;
  if (!Whole || std::rename(F->Temp, Name) != 0) {
    Remove_Unfinished_File(F->Temp);
    return false;
  }
  Finish_Unfinished_File(F->Temp);
  return true;
}

void Abandon_Staged_File(Staged_File* F) {
  if (F->Out == nullptr) return;
  std::fclose(F->Out);
  F->Out = nullptr;
  Remove_Unfinished_File(F->Temp);
}

bool Write_Staged_Bytes(const char* Name, const void* Bytes, std::size_t Size) {
  Staged_File F;
  if (!Begin_Staged_File(&F, Name)) return false;
  if (std::fwrite(Bytes, 1, Size, F.Out) != Size) {
    Abandon_Staged_File(&F);
    return false;
  }
  return Finish_Staged_File(&F, Name);
}
