/*
** unfinished_file.h
** A file under a fixed name that the run has begun and not finished.
**
** Later programs take whatever stands under a fixed name for a whole
** result, so a run that fails or is interrupted must not leave a partial
** one. While a file is unfinished, a failure (Main_Error) and Ctrl-C,
** SIGTERM or SIGHUP remove it; the signal then ends the process as it
** would have, so the caller still sees it killed by that signal.
**
** SIGKILL and a power cut cannot be caught: a program that can write
** its whole output first and then give it its name (see staged_file.h)
** leaves nothing partial even then.
*/
#pragma once

/* Name is kept, not copied: it must live until the file is finished. */
void Begin_Unfinished_File(const char* Name);

/* For a file that must be emptied rather than removed (so that a link
** under its name stays a link): an ending signal empties the file open
** on Descriptor. */
void Begin_Unfinished_Contents(int Descriptor);

/* The file is whole: from now on it stays. */
void Finish_Unfinished_File();

/* Removes the unfinished file, if there is one (an unfinished file's
** contents are left to the caller). Called on a failure. */
void Remove_Unfinished_File();
