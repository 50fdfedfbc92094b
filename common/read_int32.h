/*
** read_int32.h
** Reading a decimal entry typed by the user.
*/
#pragma once

#include <cstdint>
#include <cstdio>

/* Reads a decimal integer as scanf's "%d" does: leading white space is
** skipped, an optional sign and then digits are taken, and the first
** character after them stays unread (so "12abc" reads as 12). Unlike
** "%d", a number that does not fit 32 bits is refused rather than
** wrapped into some unrelated value. Returns false, leaving *Value as it
** was, when there is no number, the number does not fit, or the input
** has ended. */
bool Read_Int32(std::FILE* In, int32_t* Value);

/* An entry of the sort harness: a number read as above and the character
** right after it, which must be the return key. *Terminator keeps the
** character of the entry before when the input ends right after the
** number (so a last entry without a newline is accepted). Returns whether
** the entry is a number in 0 .. Max followed by a newline; *Value is 0
** when no number could be read. */
bool Read_Harness_Entry(std::FILE* In, int32_t Max, int32_t* Value, int* Terminator);
