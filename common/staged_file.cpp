/*
** staged_file.cpp
** A temporary file beside the final one, renamed when whole.
*/
#include "common/staged_file.h"

#include <cerrno>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "common/unfinished_file.h"

bool Begin_Staged_File(Staged_File* F, const char* Name) {
  F->Out = nullptr;
  struct stat Standing;
  if (stat(Name, &Standing) == 0 && S_ISDIR(Standing.st_mode)) return errno = EISDIR, false;
  if (std::snprintf(F->Temp, sizeof F->Temp, "%s.XXXXXX", Name) >= static_cast<int>(sizeof F->Temp))
    return errno = ENAMETOOLONG, false;
  int Descriptor = mkstemp(F->Temp);
  if (Descriptor < 0) return false;
  if (!Begin_Unfinished_File(F->Temp)) {
    close(Descriptor);
    unlink(F->Temp);
    return errno = EMFILE, false;
  }
  /* mkstemp makes the file private; give it what fopen would have. */
  mode_t Mask = umask(0);
  umask(Mask);
  F->Out = fchmod(Descriptor, 0666 & ~Mask) == 0 ? fdopen(Descriptor, "wb") : nullptr;
  if (F->Out == nullptr) {
    close(Descriptor);
    Remove_Unfinished_File(F->Temp);
  }
  return F->Out != nullptr;
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
