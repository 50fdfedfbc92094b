/*
** record_listing.h
** Turning a binary file of records into its text table, one record per
** line, as the two listers write ZOR_Text_In and ZOR_Text_Out. The
** listings take any streams, so the same code is tried on arbitrary
** bytes; List_File_Or_Exit adds the files, staged, and the exit points;
** the programs add the legend.
*/
#pragma once

#include <cstdint>
#include <cstdio>

struct Listing {
  int32_t Records;    // whole records read and listed
  bool Read_Failed;   // a read error, not the end of the file
  bool Write_Failed;  // a line could not be written; the listing stopped there
};

/* Lists every whole 32-byte parameter record of In on Text as
** " %6d" eight times and a newline; a trailing partial record is ignored. */
Listing List_Parameters(std::FILE* In, std::FILE* Text);

/* Lists every whole 92-byte results record of In on Text, each of the 23
** fields with its own minimum width; a trailing partial record is ignored. */
Listing List_Results(std::FILE* In, std::FILE* Text);

/* Lists the file Binary by List into the file Text_Name, written whole or
** not at all, and returns the records listed; on failure ends the program
** with the "ERROR in main" block at exit point 1 (Binary missing or
** unreadable), 2 (Text_Name cannot be made) or 3 (a line cannot be
** written). */
int32_t List_File_Or_Exit(const char* Binary, const char* Text_Name, Listing (*List)(std::FILE*, std::FILE*));
