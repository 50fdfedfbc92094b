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

#include "common/whole_file.h"

namespace {

namespace fs = std::filesystem;

struct Fnv {
  uint64_t Value = 14695981039346656037ull;
};

void Mix(Fnv* H, const std::string& Bytes) {
  for (unsigned char C : Bytes) H->Value = (H->Value ^ C) * 1099511628211ull;
  /* The length closes each piece, so that "ab","c" and "a","bc" differ. */
  for (size_t Size = Bytes.size(), I = 0; I < 8; I++, Size >>= 8)
    H->Value = (H->Value ^ (Size & 0xFF)) * 1099511628211ull;
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
    std::string Bytes;
    if (fs::is_symlink(Status)) {
      Mix(H, "link " + Name), Mix(H, fs::read_symlink(E.path(), Error).string());
    } else if (fs::is_directory(Status)) {
      Mix(H, "folder " + Name), Mix_Folder(H, E.path(), Name + "/");
    } else if (fs::is_regular_file(Status)) {
      bool Read = Read_Whole_File(E.path().string(), &Bytes);
      Mix(H, (Read ? "file " : "unreadable ") + Name), Mix(H, Bytes);
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
