/*
** record_listing.h
** Turning a binary file of records into its text table, one record per
** line, as the two listers write ZOR_Text_In and ZOR_Text_Out. The
** programs add the fixed file names, the legend and the exit points;
** these take any streams, so the same code is tried on arbitrary bytes.
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
