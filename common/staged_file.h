/*
** staged_file.h
** Writing a file whole before it gets its name.
**
** The file is made under a temporary name in the same folder and
** renamed once it is complete, so nothing partial ever stands under the
** final name, not even after SIGKILL or a power cut. Until then it is an
** unfinished file: a failure or an ending signal removes it.
*/
#pragma once

#include <cstddef>
#include <cstdio>

/* Creates the temporary file beside Name for writing, with the
** permissions a plain fopen would give, and writes its name into Temp
** (Size bytes; Name's length + 8 is enough). Null if it cannot be made. */
std::FILE* Create_Staged_File(const char* Name, char* Temp, size_t Size);

/* Gives the closed, complete file Temp the name Name, replacing what
** stood there. False, with Temp removed, if it cannot. */
bool Publish_Staged_File(const char* Temp, const char* Name);
