/*
** shown_text.h
** Text a program under test chose, made safe for where the kit shows it.
** Its standard error, its build's messages and the words of a summary it
** could forge reach a teacher's terminal, feedback files and
** spreadsheets; a terminal obeys escape sequences (a new window title, a
** cleared screen, a line overwritten after a carriage return) and a
** spreadsheet evaluates a cell that looks like a formula. Everything the
** kit prints or writes of such text goes through here.
*/
#pragma once

#include <cstddef>
#include <string>

/* The length of the well-formed UTF-8 sequence that starts at Text[At],
** or 0 where none does (a stray byte, a sequence cut short, an overlong
** form, a UTF-16 surrogate). */
size_t Utf8_Sequence_Length(const std::string& Text, size_t At);

/* Text with every control character but the newline and the tab written
** out as \xHH, the C1 controls and the characters that reorder a line
** (U+202A..U+202E, U+2066..U+2069) and the two non-characters U+FFFE and
** U+FFFF as \uHHHH, and each byte that is not
** part of well-formed UTF-8 as \xHH: what is left shows on a terminal as
** the characters it is, and moves nothing. */
std::string Visible_Text(const std::string& Text);

/* One CSV cell (RFC 4180): quoted where it holds a comma, a quote or a
** line break; and, where it starts with '=', '+', '-', '@', a tab or a
** carriage return, led by an apostrophe, so that no spreadsheet takes it
** for a formula. Every CSV file the kit writes is made of these. */
std::string Csv_Cell(const std::string& Text);
