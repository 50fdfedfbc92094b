/*
** build_command.h
** Building a student's submission: the teacher's command, run by the
** shell in a copy of the student's folder, contained as every run of a
** student's code is (compiling a stranger's code is running a stranger's
** code: a build can run anything), and what it printed.
*/
#pragma once

#include <string>
#include <vector>

#include "sandbox/sandbox.h"

struct Build_Outcome {
  bool Built = false;      // exited with status 0 within the limits
  bool Reached_Outside = false;  // failed reaching for something outside its folder
  std::string Why;         // when not built: "exited with status 2", "hit the time limit (...)", ...
  std::string Output;      // the end of what it printed on standard output and error
  double Seconds = 0;
};

/* Runs "sh -c Command" contained in Folder (the only folder it may
** write), with an empty standard input, under Limits; Readable are files
** outside it that it may read (a library to link with, a header). */
Build_Outcome Run_Build_Command(const std::string& Command, const std::string& Folder, const Sandbox_Limits& Limits,
                                const std::vector<std::string>& Readable = {});

/* The limits of a build or a compile: Seconds of CPU time, and room for a
** compiler's processes, files and messages. */
Sandbox_Limits Build_Limits(double Seconds);
