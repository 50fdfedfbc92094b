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

/* The shrunk day as a table of its customers, its servers, and what the
** program did wrong on it. */
void Print_Failure(std::FILE* Out, const std::string& Program, const Trial_Day& Failing, int Trial, int Trials,
                   const Trial_Outcome& First, const Shrunk_Day& Shrunk, double Time_Limit,
                   double Shrinking_Time_Limit);

/* Writes into Folder the shrunk day's ZOR_Binary_In, the entries to type,
** the program's ZOR_Binary_Out and the reference's (Reference_Binary_Out),
** their listings, and the verdict; false if a file cannot be written. */
bool Keep_Day(const std::string& Folder, const Shrunk_Day& Shrunk, const std::string& Verdict_Text);
