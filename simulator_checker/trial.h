/*
** trial.h
** One trial: the user's simulator run on one day, as a user runs it, and
** what came of it.
**
** The program runs in a fresh folder holding only ZOR_Binary_In, with the
** three server counts on standard input as a user types them, in a process
** group of its own that is killed whole at the time limit. Its
** ZOR_Binary_Out is judged with the model's rules and, where it also wrote
** ZOR_Debug_Out, that is compared with the reference's trace.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model_rules/model_rules.h"

struct Program_Under_Test {
  std::string Path;                     // absolute, or a name found on PATH
  std::vector<std::string> Arguments;   // passed after the path
  double Time_Limit;                    // seconds
  std::string Scratch;                  // a private folder for the trials' folders
};

enum Outcome_Kind {
  Outcome_Held,          // followed the model (and the reference's trace, if it wrote one)
  Outcome_Broke_Rule,    // ZOR_Binary_Out breaks a rule of the model
  Outcome_Trace_Differs, // ZOR_Binary_Out holds, ZOR_Debug_Out differs from the reference's
  Outcome_Killed,        // ended by a signal
  Outcome_Timed_Out,     // still running at the time limit
  Outcome_Asked_More,    // waited for a fourth entry
  Outcome_Exit_Status,   // exited with a status other than 0
  Outcome_No_Output,     // exited 0 without writing ZOR_Binary_Out
  Outcome_Cut_Short,     // ZOR_Binary_Out is not a whole number of records
  Outcome_Not_Run        // the program could not be started at all
};

struct Trial_Outcome {
  Outcome_Kind Kind = Outcome_Not_Run;
  int Code = 0;                    // the signal or exit status
  Verdict Judgement{};             // with Outcome_Broke_Rule
  Trace_Difference Trace{};        // with Outcome_Trace_Differs
  std::string Their_Output;        // ZOR_Binary_Out as written, for --keep
  std::string Their_Trace;         // ZOR_Debug_Out as written, if it wrote one, for --keep
  bool Wrote_Trace = false;
  std::string Their_Errors;        // the end of what it wrote on standard error
  std::string Problem;             // with Outcome_Not_Run, why
  double Seconds = 0;              // wall time of the run
};

/* Runs the program on Day with Servers and judges what it left. */
Trial_Outcome Run_Trial(const Program_Under_Test& Program, const std::vector<Customer_Parameters>& Day,
                        const int32_t Servers[Number_Of_Stations]);

/* Whether two failures are the same fault: the same kind and, for a rule,
** the same rule. */
bool Same_Failure(const Trial_Outcome& A, const Trial_Outcome& B);

/* One line naming the failure, e.g. "killed by signal 11 (Segmentation fault)". */
std::string Failure_Summary(const Trial_Outcome& O, double Time_Limit);

/* Kills every program still running in a trial, with its whole process
** group; safe to call from a signal handler. */
void Kill_Running_Trials();

/* The three lines a user types: the server counts. */
std::string Entries_Of(const int32_t Servers[Number_Of_Stations]);
