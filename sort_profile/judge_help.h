/*
** judge_help.h
** What zor_sort_judge --help says besides each option's line: what the
** judge does, and after the options how its figures are reached, the
** sweep, --quick, examples, containment and exit status. Kept apart from
** the program's outline, where one looks for it by name.
*/
#pragma once

#include <string>

/* The paragraph before the options. */
std::string Judge_Description();

/* The text after the options; Program names the program in the examples. */
std::string Judge_Help_Footer(const std::string& Program);
