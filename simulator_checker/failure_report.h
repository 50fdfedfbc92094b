/*
** failure_report.h
** What simulator_checker shows of a failing day, and the folder it keeps
** for rerunning that day by hand.
*/
#pragma once

#include <cstdio>
#include <string>

#include "simulator_checker/battery.h"
#include "simulator_checker/shrink.h"

/* The failing day and the shrunk day, each labelled with how it was made
** and what in it workload_maker never draws; the shrunk day as a table of
** its customers, its servers, and what the program did wrong on it. */
void Print_Failure(std::FILE* Out, const std::string& Program, const Trial_Day& Failing, int Trial, int Trials,
                   const Trial_Outcome& First, const Shrunk_Day& Shrunk, const Sandbox_Limits& Limits,
                   const Sandbox_Limits& Shrinking_Limits);

/* Writes into Folder the shrunk day's ZOR_Binary_In, the entries to type,
** the program's ZOR_Binary_Out and ZOR_Debug_Out as it wrote them, the
** reference's (Reference_Binary_Out, Reference_Debug_Out), the listings
** and the verdict; false if a file cannot be written. */
bool Keep_Day(const std::string& Folder, const Shrunk_Day& Shrunk, const std::string& Verdict_Text);

/* How to rerun the kept day by hand so that it shows the same failure:
** a line of shell (Program is the command that runs the simulator, its
** words already quoted; Beside, when not empty, the program's folder,
** whose files the run's folder held too; Checker is results_checker's
** path) and a note of what it shows. */
std::string Rerun_Advice(const std::string& Folder, const std::string& Program, const std::string& Beside,
                         const std::string& Checker, const Trial_Outcome& Failure, const Sandbox_Limits& Limits);

/* Word as one word of a POSIX shell command line, quoted where needed. */
std::string Shell_Word(const std::string& Word);
