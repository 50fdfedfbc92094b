/*
** item_file.cpp
** Reading and writing whole item files.
*/
#include "common/item_file.h"

#include <cerrno>
#include <iterator>

#include "common/record_io.h"
#include "common/staged_file.h"

bool Read_Item_File(const char* Name, std::vector<int32_t>* Items) {
  errno = 0;
  std::FILE* In = Open_Binary_Input(Name);
  if (In == nullptr) return false;
  int32_t Block[16384];
  for (std::size_t Read; (Read = Read_Int32_Items(In, Block, std::size(Block))) > 0;)
    Items->insert(Items->end(), Block, Block + Read);
  bool Ok = !std::ferror(In);
  std::fclose(In);
  return Ok;
}

bool Write_Item_File(const char* Name, const int32_t* Items, std::size_t Count) {
  Staged_File File;
  if (!Begin_Staged_File(&File, Name)) return false;
  if (!Write_Int32_Items(File.Out, Items, Count)) {
    Abandon_Staged_File(&File);
    return false;
  }
  return Finish_Staged_File(&File, Name);
}
