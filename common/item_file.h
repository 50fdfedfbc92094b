/*
** item_file.h
** Whole item files (Raw, Sorted): 32-bit items, little-endian, nothing
** else, as the sort harness reads and writes them. For the tools that
** hold a whole file in memory; the harness itself streams its list.
*/
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/* Appends every whole item of the file Name to Items; a trailing partial
** item is ignored, as the harness ignores it. False, with errno set
** where the system said why, if the file cannot be opened (a folder
** cannot) or read. */
bool Read_Item_File(const char* Name, std::vector<int32_t>* Items);

/* Writes Count items to Name whole or not at all (see staged_file.h);
** false if it cannot. */
bool Write_Item_File(const char* Name, const int32_t* Items, std::size_t Count);
