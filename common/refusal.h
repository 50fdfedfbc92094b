/*
** refusal.h
** How every tool of the kit refuses: one line on standard error, naming
** the program, and exit status 2, which says "trouble" (a bad option, a
** file that cannot be made) rather than a verdict on what was judged.
*/
#pragma once

/* Writes "PROGRAM: MESSAGE\n" to standard error, any newline inside
** MESSAGE folded into a space so the refusal stays one line, and exits
** with status 2. */
[[noreturn]] void Refuse_And_Exit(const char* Program, const char* Message);
