/*
** program_arguments.h
** The only arguments the kit's programs take: --help and --version.
** Anything else is refused before the program touches a file, so a
** mistyped option can never start a run or remove a previous day.
*/
#pragma once

/* Answers "--help" (prints Help on standard output) or "--version" when it
** is the only argument, and exits with status 0; otherwise returns. */
void Answer_Help_Or_Version(int Argc, char** Argv, const char* Name, const char* Help);

/* For a program that takes no arguments: answers --help and --version,
** refuses any other argument with one line on standard error and exit
** status 2, and returns only when there is no argument at all. */
void Take_No_Arguments(int Argc, char** Argv, const char* Name, const char* Help);
