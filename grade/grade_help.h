/*
** grade_help.h
** The words of zor_grade's --help that belong to no one option: what the
** tool does and writes, and its examples and exit status. Each option's
** own line stays beside the option it describes.
*/
#pragma once

/* The usage lines and what a grading does and writes. */
extern const char* const Grade_Description;

/* The examples, the exit status and where the files' columns are told. */
extern const char* const Grade_Footer;
