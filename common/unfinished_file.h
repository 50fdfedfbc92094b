/*
** unfinished_file.h
** The files a run has begun and not finished.
**
** Later programs take whatever stands under a name for a whole result,
** so a run that fails or is interrupted must not leave a partial one. A
** run may write several files at once (a chart and a summary), so every
** file being written is kept in one table: a failure (Main_Error), a
** normal exit that never finished it, and Ctrl-C, SIGTERM or SIGHUP
** remove each. The signal then ends the process as it would have, so the
** caller still sees it killed by that signal.
**
** Entries belong to the process that made them: a forked child that
** exits does not remove its parent's files.
**
** SIGKILL and a power cut cannot be caught: a program that writes its
** whole output first and then gives it its name (see staged_file.h)
** leaves nothing partial even then.
*/
#pragma once

/* The most files one process may have unfinished at once. */
constexpr int Max_Unfinished_Files = 32;

/* Name is copied. False when it does not fit or the table is full (the
** caller must then not write the file). */
bool Begin_Unfinished_File(const char* Name);

/* For a file that must be emptied rather than removed (so that a link
** under its name stays a link): an ending signal empties the file open
** on Descriptor. False when the table is full. */
bool Begin_Unfinished_Contents(int Descriptor);

/* The file is whole: from now on it stays. */
void Finish_Unfinished_File(const char* Name);
void Finish_Unfinished_Contents(int Descriptor);

/* Removes the one unfinished file Name, and forgets it. */
void Remove_Unfinished_File(const char* Name);

/* Removes every unfinished file of this process (an unfinished file's
** contents are left to the caller). Called on a failure. */
void Remove_Unfinished_Files();
