/*
** whole_file.h
** A small file read or written in one go: the days, entries, listings
** and outputs the checkers pass to and from the programs they run.
*/
#pragma once

#include <cstddef>
#include <string>

/* The whole contents of the regular file Path; false (and *Bytes empty)
** if it cannot be opened or read. */
bool Read_Whole_File(const std::string& Path, std::string* Bytes);

/* Creates or truncates Path and writes Size bytes to it; false if any
** step fails, the close included (a full disk may show only there). */
bool Write_Whole_File(const std::string& Path, const void* Bytes, std::size_t Size);

inline bool Write_Whole_File(const std::string& Path, const std::string& Bytes) {
  return Write_Whole_File(Path, Bytes.data(), Bytes.size());
}
