/*
** main_error.h
** How the simulation programs fail: a block on standard error that
** begins with "ERROR in main", gives the details, names the exit point
** (a fixed label that tells the user where the run stopped), and ends
** the process.
*/
#pragma once

/* The status the block exits with: 1, as the simulation programs use for
** every failure; a checker sets 2, which says "trouble" rather than "the
** file does not hold". */
extern int Main_Error_Status;

/* Writes "ERROR in main\n", the Details formatted like printf, then
** "  At exit point N\n"; flushes standard error, removes the unfinished
** file if there is one (see unfinished_file.h), and exits with
** Main_Error_Status. */
[[noreturn]] void Main_Error(int Exit_Point, const char* Details, ...) __attribute__((format(printf, 2, 3)));
