/*
** staged_file.cpp
** A temporary file beside the final one, renamed when whole.
*/
#include "common/staged_file.h"

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

#include "common/unfinished_file.h"

std::FILE* Create_Staged_File(const char* Name, char* Temp, size_t Size) {
  if (std::snprintf(Temp, Size, "%s.XXXXXX", Name) >= static_cast<int>(Size)) return nullptr;
  int Descriptor = mkstemp(Temp);
  if (Descriptor < 0) return nullptr;
  Begin_Unfinished_File(Temp);
  /* mkstemp makes the file private; give it what fopen would have. */
  mode_t Mask = umask(0);
  umask(Mask);
  std::FILE* File = fchmod(Descriptor, 0666 & ~Mask) == 0 ? fdopen(Descriptor, "wb") : nullptr;
  if (File == nullptr) {
    close(Descriptor);
    Remove_Unfinished_File();
  }
  return File;
}

bool Publish_Staged_File(const char* Temp, const char* Name) {
  if (std::rename(Temp, Name) != 0) {
    Remove_Unfinished_File();
    return false;
  }
  Finish_Unfinished_File();
  return true;
}
