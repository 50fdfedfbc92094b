/*
** trial.h
** One trial: the user's simulator run on one day, as a user runs it, and
** what came of it.
**
** The program runs contained (sandbox/sandbox.h) in a fresh folder
** holding ZOR_Binary_In and a copy of the program's folder, with the three server counts on standard
** input as a user types them, under the run's limits. Its ZOR_Binary_Out
** is judged with the model's rules and, where it also wrote ZOR_Debug_Out,
** that is compared with the reference's trace.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model_rules/model_rules.h"
#include "sandbox/sandbox.h"

struct Program_Under_Test {
  std::string Path;                     // absolute, or a name found on PATH
  std::vector<std::string> Arguments;   // passed after the path
  std::vector<std::string> Readable;    // files among the arguments, which the run may read
  Sandbox_Limits Limits;
  std::string Scratch;                  // a private folder for the trials' folders
  std::string Folder;                   // the program's folder: each trial's folder starts with a copy of
                                        // its files (empty: with ZOR_Binary_In alone)
};

enum Outcome_Kind {
  Outcome_Held,            // followed the model (and the reference's trace, if it wrote one)
  Outcome_Broke_Rule,      // ZOR_Binary_Out breaks a rule of the model
  Outcome_Trace_Differs,   // ZOR_Binary_Out holds, ZOR_Debug_Out differs from the reference's
  Outcome_Killed,          // ended by a signal, not by a limit
  Outcome_Limit,           // ended by a limit: time, wall time, memory, output, file size, processes
  Outcome_Asked_More,      // waited for a fourth entry
  Outcome_Reached_Outside, // failed reaching for something outside its folder
  Outcome_Exit_Status,     // exited with a status other than 0
  Outcome_No_Output,       // exited 0 without writing ZOR_Binary_Out
  Outcome_Not_A_File,      // left ZOR_Binary_Out or ZOR_Debug_Out as a link, a FIFO, a folder...
  Outcome_Cut_Short,       // ZOR_Binary_Out is not a whole number of records
  Outcome_Not_Run          // the program or the sandbox could not be started: trouble, not a verdict
};

struct Trial_Outcome {
  Outcome_Kind Kind = Outcome_Not_Run;
  int Code = 0;                    // the signal or exit status
  Sandbox_Ending Ending = Sandbox_Exited;  // with Outcome_Limit, which limit
  Verdict Judgement{};             // with Outcome_Broke_Rule
  Trace_Difference Trace{};        // with Outcome_Trace_Differs
  std::string Their_Output;        // ZOR_Binary_Out as written, for --keep; only ever a regular file's bytes,
                                   // and at most the day's size of them
  size_t Output_Size = 0;          // the bytes ZOR_Binary_Out held, read or not
  std::string Their_Trace;         // ZOR_Debug_Out as written, if it wrote one as a regular file, for --keep;
                                   // at most a little over the reference's trace
  bool Wrote_Trace = false;
  std::string Their_Errors;        // the end of what it wrote on standard error
  std::string Problem;             // why, with Outcome_Not_Run, Outcome_Reached_Outside and Outcome_Not_A_File;
                                   // with Outcome_Limit, the sandbox's detail (which cap its folder passed)
  double Seconds = 0;              // wall time of the run
  double Cpu_Seconds = -1;         // CPU time of the run, -1 where not measured
};

/* A box kept for one worker's trials (Sandbox_Keep_Box), and the folder
** in Program.Scratch where its trials' folders are made. Where no box can
** be kept (no box, or no cgroup), Box is -1 and each trial boxes itself. */
struct Trial_Box {
  int Box = -1;
  std::string Folder;
};
Trial_Box Keep_Trial_Box(const Program_Under_Test& Program);
void Drop_Trial_Box(Trial_Box* Box);

/* Runs the program on Day with Servers and judges what it left; in Box,
** if one is given. */
Trial_Outcome Run_Trial(const Program_Under_Test& Program, const std::vector<Customer_Parameters>& Day,
                        const int32_t Servers[Number_Of_Stations], const Trial_Box* Box = nullptr);

/* Whether two failures are the same fault: the same kind and, for a rule,
** the same rule; for a limit, the same limit, with the two limits of time
** taken as one (on a loaded machine an endless loop may meet either). */
bool Same_Failure(const Trial_Outcome& A, const Trial_Outcome& B);

/* One line naming the failure, e.g. "crashed: killed by signal 11 (Segmentation fault)". */
std::string Failure_Summary(const Trial_Outcome& O, const Sandbox_Limits& Limits);

/* Ends every trial in progress and lets no new one start; returns once
** none is left. For a checker told to stop. */
void Stop_Trials();

/* The three lines a user types: the server counts. */
std::string Entries_Of(const int32_t Servers[Number_Of_Stations]);
