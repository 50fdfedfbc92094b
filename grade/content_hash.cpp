/*
** content_hash.cpp
** Hashing a submission's folder.
*/
#include "grade/content_hash.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <vector>


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

void Mix(Fnv* H, const std::string& Bytes) {
  Mix_Bytes(H, Bytes.data(), Bytes.size());
  Mix_Length(H, Bytes.size());
}

/* A file's bytes, read in pieces: a submission may hold a file larger
** than memory. False if it cannot be read. */
bool Mix_File(Fnv* H, const std::string& Path) {
  std::FILE* In = std::fopen(Path.c_str(), "rb");
  if (In == nullptr) return false;
  char Piece[1 << 16];
  uint64_t Size = 0;
  for (size_t Got; (Got = std::fread(Piece, 1, sizeof Piece, In)) > 0; Size += Got) Mix_Bytes(H, Piece, Got);
  bool Read = !std::ferror(In);
  std::fclose(In);
  Mix_Length(H, Size);
  return Read;
}

void Mix_Folder(Fnv* H, const fs::path& Folder, const std::string& Relative) {
  std::error_code Error;
  std::vector<fs::directory_entry> Entries;
  for (fs::directory_iterator It(Folder, Error), End; !Error && It != End; It.increment(Error)) Entries.push_back(*It);
  std::sort(Entries.begin(), Entries.end(),
            [](const fs::directory_entry& A, const fs::directory_entry& B) { return A.path() < B.path(); });
  for (const fs::directory_entry& E : Entries) {
    std::string Name = Relative + E.path().filename().string();
    fs::file_status Status = E.symlink_status(Error);
    if (fs::is_symlink(Status)) {
      Mix(H, "link " + Name), Mix(H, fs::read_symlink(E.path(), Error).string());
    } else if (fs::is_directory(Status)) {
      Mix(H, "folder " + Name), Mix_Folder(H, E.path(), Name + "/");
    } else if (fs::is_regular_file(Status)) {
      Mix(H, "file " + Name);
      if (!Mix_File(H, E.path().string())) Mix(H, "unreadable");
    } else {
      Mix(H, "other " + Name);
    }
  }
}

}  // namespace

std::string Submission_Hash(const std::string& Folder, const std::string& Settings) {
  Fnv H;
  Mix(&H, Settings);
  Mix_Folder(&H, Folder, "");
  char Text[17];
  std::snprintf(Text, sizeof Text, "%016" PRIx64, H.Value);
  return Text;
}
