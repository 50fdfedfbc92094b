/*
** staged_file.h
** Writing a file whole before it gets its name.
**
** The file is made under a temporary name in the same folder and
** renamed once it is complete, so nothing partial ever stands under the
** final name, not even after SIGKILL or a power cut. Until then it is an
** unfinished file: a failure or an ending signal removes it. Every file
** the kit's tools write under a name the user gave, or under a fixed
** name a later program reads, is made this way.
*/
#pragma once

#include <cstddef>
#include <cstdio>

struct Staged_File {
  std::FILE* Out;  // the stream to write; null once finished or abandoned
  char Temp[4096]; // its temporary name, beside the final one
};

/* Creates the temporary file beside Name for writing, with the
** permissions a plain fopen would give. False, with errno set and
** F->Out null, if it cannot be made, or if a folder stands under Name
** (the file could never take its name). */
bool Begin_Staged_File(Staged_File* F, const char* Name);

/* Closes the stream and, when every write and the close went well (a
** full disk may show only at the close), gives the file the name Name,
** replacing what stood there. Otherwise the file is removed. True when
** the file stands under Name. */
bool Finish_Staged_File(Staged_File* F, const char* Name);

/* Closes and removes the file: the run will not finish it. Does nothing
** for a file never begun or already finished. */
void Abandon_Staged_File(Staged_File* F);

/* Size bytes written whole under Name, as above; true when they stand
** there. */
bool Write_Staged_Bytes(const char* Name, const void* Bytes, std::size_t Size);
