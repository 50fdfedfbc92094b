/*
** child_run.h
** Running the user's routine where it cannot hurt the profiler: every
** phase (the correctness cases, the timing series, the sweep) runs it in
** a child process through this one helper. The child talks back in
** lines through a pipe; it is killed once it has been silent longer than
** its patience, and is always killed and reaped before the helper
** returns, whatever happened to the pipe.
*/
#pragma once

#include <functional>
#include <string>

struct Child_Outcome {
  bool Exited;        // ended by itself with Status
  int Status;         // its exit status, when it exited
  int Signal;         // the signal that ended it, when it did not exit
  bool Timed_Out;     // silent past its patience, and killed for it
  std::string Problem;  // the child could not be run or heard at all
};

/* Runs Work(Line) in a child; each call of Line sends one line (no
** newline) to the parent, which passes it to Heard. Patience is how long,
** in seconds, the child may go without a line; Waiting, if given, is
** called about once a second with the seconds since the last line, for
** progress. Work should end with _exit or return (the child then exits
** with status 0 without running exit handlers). */
Child_Outcome Run_In_Child(const std::function<void(const std::function<void(const std::string&)>& Line)>& Work,
                           double Patience, const std::function<void(const std::string&)>& Heard,
                           const std::function<void(double Silent)>& Waiting = nullptr);

/* What became of a child that did not finish its work, as a person reads
** it: "crashed: killed by signal 11 (Segmentation fault)" and the like. */
std::string Child_Fault(const Child_Outcome& O, double Patience);
