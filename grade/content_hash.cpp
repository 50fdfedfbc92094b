/*
** content_hash.cpp
** Hashing a submission's folder.
*/
#include "grade/content_hash.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "grade/submission_copy.h"

namespace {

namespace fs = std::filesystem;

struct Fnv {
  uint64_t Value = 14695981039346656037ull;
};

void Mix_Bytes(Fnv* H, const char* Bytes, size_t Size) {
  for (size_t I = 0; I < Size; I++) H->Value = (H->Value ^ static_cast<unsigned char>(Bytes[I])) * 1099511628211ull;
}

/* The length closes each piece, so that "ab","c" and "a","bc" differ. */
void Mix_Length(Fnv* H, uint64_t Size) {
  for (int I = 0; I < 8; I++, Size >>= 8) H->Value = (H->Value ^ (Size & 0xFF)) * 1099511628211ull;
}

void Mix_Hash(Fnv* H, const std::string& Bytes) {
  Mix_Bytes(H, Bytes.data(), Bytes.size());
  Mix_Length(H, Bytes.size());
}

/* A file's bytes, read in pieces, up to one more than a submission's
** file may hold (a larger one is refused whatever its bytes): opened
** without following a link or waiting on a FIFO swapped in after the
** look. False if it cannot be read. */
bool Mix_File(Fnv* H, const std::string& Path) {
  int In = open(Path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat Status;
  if (In < 0 || fstat(In, &Status) != 0 || !S_ISREG(Status.st_mode)) {
    if (In >= 0) close(In);
    return false;
  }
  char Piece[1 << 16];
  int64_t Size = 0;
  ssize_t Got = 0;
  while (Size <= Most_Copied_File_Bytes && (Got = read(In, Piece, sizeof Piece)) != 0) {
    if (Got < 0 && errno == EINTR) continue;
    if (Got < 0) break;
    Mix_Bytes(H, Piece, static_cast<size_t>(Got));
    Size += Got;
  }
  close(In);
  Mix_Length(H, static_cast<uint64_t>(Size));
  return Got >= 0;
}

/* Deeper than a submission may go is hashed as a name only. */
void Mix_Folder(Fnv* H, const fs::path& Folder, const std::string& Relative, int Depth) {
  std::error_code Error;
  std::vector<fs::directory_entry> Entries;
  for (fs::directory_iterator It(Folder, Error), End; !Error && It != End; It.increment(Error)) Entries.push_back(*It);
  std::sort(Entries.begin(), Entries.end(),
            [](const fs::directory_entry& A, const fs::directory_entry& B) { return A.path() < B.path(); });
  for (const fs::directory_entry& E : Entries) {
    std::string Name = Relative + E.path().filename().string();
    fs::file_status Status = E.symlink_status(Error);
    if (fs::is_symlink(Status)) {
      Mix_Hash(H, "link " + Name), Mix_Hash(H, fs::read_symlink(E.path(), Error).string());
    } else if (fs::is_directory(Status)) {
      Mix_Hash(H, "folder " + Name);
      if (Depth < Most_Copied_Depth) Mix_Folder(H, E.path(), Name + "/", Depth + 1);
    } else if (fs::is_regular_file(Status)) {
      Mix_Hash(H, "file " + Name);
      if (!Mix_File(H, E.path().string())) Mix_Hash(H, "unreadable");
    } else {
      Mix_Hash(H, "other " + Name);
    }
  }
}

}  // namespace

std::string Submission_Hash(const std::string& Folder, const std::string& Settings) {
  Fnv H;
  Mix_Hash(&H, Settings);
  /* A folder that is a link is refused, whatever it links to. */
  struct stat Status;
  if (lstat(Folder.c_str(), &Status) == 0 && S_ISLNK(Status.st_mode)) Mix_Hash(&H, "link");
  else Mix_Folder(&H, Folder, "", 0);
  char Text[17];
  std::snprintf(Text, sizeof Text, "%016" PRIx64, H.Value);
  return Text;
}
