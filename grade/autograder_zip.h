/*
** autograder_zip.h
** The zip a teacher uploads to Gradescope as a programming assignment's
** autograder: setup.sh (run once, as root, when Gradescope builds its
** image), run_autograder (run for each submission), this very zor_grade,
** the secret phrase readable by root alone, and for sorts the profiler's
** library and header. run_autograder grades /autograder/submission with
** the options the teacher gave, every run of the student's code boxed as
** a user of its own, into /autograder/results/results.json, which the
** student's code never sees.
*/
#pragma once

#include <string>
#include <vector>

struct Autograder_Parts {
  std::string Task;                      // "simulators" or "sorts"
  std::vector<std::string> Arguments;    // the grading options, as given, without the secret and the output
  std::string Secret;                    // the phrase; empty for none
  std::string Library, Include;          // sorts: the profiler's library and the folder of sort_bench.h
};

/* The two scripts, as they go into the zip. */
std::string Setup_Script(const Autograder_Parts& P);
std::string Run_Autograder_Script(const Autograder_Parts& P);

/* Writes Zip (made whole in Scratch first); false with a one-line Problem. */
bool Write_Autograder_Zip(const std::string& Zip, const std::string& Scratch, const Autograder_Parts& P,
                          std::string* Problem);
