/*
** record_io.h
** Every binary file of the kit is a headerless sequence of records made
** of 32-bit signed integers stored little-endian, whatever the host.
**
** The records are plain structs of int32_t with no padding, so on a
** little-endian host a record's memory image already is its file image
** and these helpers compile to a plain fread or fwrite. On a big-endian
** host the bytes of each word are reversed on the way in and out, so a
** file written on one machine reads the same on any other.
**
** Readers take whole records until one is short; a trailing partial
** record is ignored.
*/
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "common/zor_assert.h"

/* Opens a binary input file; null when it cannot be opened or is a
** folder (which a plain fopen accepts, only for every read to fail). */
inline std::FILE* Open_Binary_Input(const char* Name) {
  std::FILE* File = std::fopen(Name, "rb");
  struct stat Status;
  if (File != nullptr && fstat(fileno(File), &Status) == 0 && S_ISDIR(Status.st_mode)) {
    std::fclose(File);
    return nullptr;
  }
  return File;
}

/* Reverses the bytes of each 4-byte word of Size bytes, in place. */
inline void Reverse_Int32_Words(void* Words, std::size_t Size) {
  unsigned char* Byte = static_cast<unsigned char*>(Words);
  for (std::size_t I = 0; I + 4 <= Size; I += 4) {
    std::swap(Byte[I], Byte[I + 3]);
    std::swap(Byte[I + 1], Byte[I + 2]);
  }
}

/* Converts between host order and file order, in place; the same step
** serves both ways. Host is the byte order of the memory image: the
** machine's own, except in the tests, which take the big-endian path on
** every host so that it cannot rot unseen. */
inline void Host_To_File_Order(void* Words, std::size_t Size, std::endian Host = std::endian::native) {
  if (Host == std::endian::big) Reverse_Int32_Words(Words, Size);
}

/* Reads one whole record; false at end of file, on a trailing partial
** record and on a read error (ferror tells the last apart). */
inline bool Read_Int32_Record(std::FILE* File, void* Record, std::size_t Size,
                              std::endian Host = std::endian::native) {
  if (std::fread(Record, Size, 1, File) != 1) return false;
  Host_To_File_Order(Record, Size, Host);
  return true;
}

/* Writes one whole record as one item; false if the stream refused it. */
inline bool Write_Int32_Record(std::FILE* File, const void* Record, std::size_t Size,
                               std::endian Host = std::endian::native) {
  constexpr std::size_t Largest_Record = 128;
  unsigned char Image[Largest_Record];
  if (ZOR_NEVER(Size > Largest_Record)) return false;
  std::memcpy(Image, Record, Size);
  Host_To_File_Order(Image, Size, Host);
  return std::fwrite(Image, Size, 1, File) == 1;
}

/* Appends every whole record of File to Records; false on a read error
** (the records before it are kept). */
template <typename Record>
bool Read_All_Records(std::FILE* File, std::vector<Record>* Records) {
  Record R;
  while (Read_Int32_Record(File, &R, sizeof R)) Records->push_back(R);
  return !std::ferror(File);
}

/* The file image of every record in Records, as one run of bytes. */
template <typename Record>
std::string Records_Image(const std::vector<Record>& Records) {
  std::string Image(Records.size() * sizeof(Record), '\0');
  for (std::size_t I = 0; I < Records.size(); I++) {
    std::memcpy(&Image[I * sizeof(Record)], &Records[I], sizeof(Record));
    Host_To_File_Order(&Image[I * sizeof(Record)], sizeof(Record));
  }
  return Image;
}

/* --- Item files (Raw, Sorted): records of one 32-bit item each. */

/* Reads up to Most whole items into Items, in host order, and returns
** how many: fewer than Most only at the end of the file, on a trailing
** partial item (which is ignored) or on a read error (ferror tells). */
inline std::size_t Read_Int32_Items(std::FILE* File, int32_t* Items, std::size_t Most,
                                    std::endian Host = std::endian::native) {
  std::size_t Read = std::fread(Items, sizeof(int32_t), Most, File);
  Host_To_File_Order(Items, Read * sizeof(int32_t), Host);
  return Read;
}

/* Writes Count items in file order, leaving Items as they are; false if
** the stream refused any of them. */
inline bool Write_Int32_Items(std::FILE* File, const int32_t* Items, std::size_t Count,
                              std::endian Host = std::endian::native) {
  if (Host == std::endian::little) return std::fwrite(Items, sizeof(int32_t), Count, File) == Count;
  int32_t Block[1024];
  for (std::size_t Done = 0; Done < Count;) {
    std::size_t Part = std::min(Count - Done, std::size(Block));
    std::memcpy(Block, Items + Done, Part * sizeof(int32_t));
    Host_To_File_Order(Block, Part * sizeof(int32_t), Host);
    if (std::fwrite(Block, sizeof(int32_t), Part, File) != Part) return false;
    Done += Part;
  }
  return true;
}
