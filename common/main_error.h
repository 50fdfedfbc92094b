/*
** main_error.h
** How the simulation programs fail: a block on standard error that
** begins with "ERROR in main", gives the details, names the exit point
** (a fixed label that tells the user where the run stopped), and ends
** the process with status 1.
*/
#pragma once

/* Writes "ERROR in main\n", the Details formatted like printf, then
** "  At exit point N\n"; flushes standard error and exits with status 1. */
[[noreturn]] void Main_Error(int Exit_Point, const char* Details, ...)
    __attribute__((format(printf, 2, 3)));
