/*
** whole_file.cpp
** Reading and writing a small file in one go.
*/
#include "common/whole_file.h"

#include <cstdio>

bool Read_Whole_File(const std::string& Path, std::string* Bytes) {
  Bytes->clear();
  std::FILE* In = std::fopen(Path.c_str(), "rb");
  if (In == nullptr) return false;
  char Block[65536];
  for (std::size_t Read; (Read = std::fread(Block, 1, sizeof Block, In)) > 0;) Bytes->append(Block, Read);
  bool Ok = !std::ferror(In);
  std::fclose(In);
  if (!Ok) Bytes->clear();
  return Ok;
}

bool Write_Whole_File(const std::string& Path, const void* Bytes, std::size_t Size) {
  std::FILE* Out = std::fopen(Path.c_str(), "wb");
  if (Out == nullptr) return false;
  bool Ok = std::fwrite(Bytes, 1, Size, Out) == Size;
  return std::fclose(Out) == 0 && Ok;
}
