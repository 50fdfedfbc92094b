/*
** build_command.h
** Building a student's submission: the teacher's command, run by the
** shell in a copy of the student's folder, with a time limit, and what
** it printed.
*/
#pragma once

#include <string>

struct Build_Outcome {
  bool Built = false;      // exited with status 0 within the time limit
  std::string Why;         // when not built: "exited with status 2", "did not finish within 60 s", ...
  std::string Output;      // the end of what it printed on standard output and error together
  double Seconds = 0;
};

/* Runs "sh -c Command" in Folder with an empty standard input, in a
** process group of its own that is killed whole at Time_Limit seconds. */
Build_Outcome Run_Build_Command(const std::string& Command, const std::string& Folder, double Time_Limit);

/* Copies the folder From (files, folders and links, never following a
** link) to To, which must not exist; false if any of it cannot be copied. */
bool Copy_Submission(const std::string& From, const std::string& To);
