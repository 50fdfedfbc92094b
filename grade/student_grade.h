/*
** student_grade.h
** What grading found for one student: the row of grades.csv, the text of
** their feedback and the picture of their failing day. Every output of
** zor_grade is written from a list of these, and each is saved in the
** output folder so that a rerun can take an unchanged student's grade
** as it stands instead of running their program again.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model_rules/model_rules.h"

enum Grading_Task { Task_Simulators, Task_Sorts };

/* A limit of time is decided in CPU time, which does not depend on how
** busy the machine is. The clock's limit, for a program asleep or
** blocked, is three times the CPU limit and never less than this, so
** that a loop on a loaded machine still meets the CPU limit first and is
** named for it. */
constexpr double Least_Wall_Seconds = 60;

/* The failures that are not a rule of the model, counted per day. */
enum Failure_Count {
  Count_Crashed, Count_Time_Limit, Count_Memory_Limit, Count_Output_Limit, Count_Process_Limit,
  Count_Asked_For_Input, Count_Reached_Outside, Count_Bad_Exit, Count_No_Output, Count_Bad_Output,
  Count_Trace_Differs, Count_Not_Run, Number_Of_Failure_Counts
};

/* Their column names in grades.csv, and the short names of the rules. */
extern const char* const Failure_Count_Key[Number_Of_Failure_Counts];
extern const char* const Rule_Key[Number_Of_Rules];

struct Student_Grade {
  std::string Id;
  std::string Verdict;             // one word: followed, broke-rule, crashed, missing, does-not-build, ...
  double Score = 0;                // 0 .. the points of the assignment
  int Passed = 0, Run = 0;         // days followed of days run
  int Made_Up_Passed = 0, Made_Up_Run = 0;  // the same, of the made-up days alone
  int Rule_Days[Number_Of_Rules] = {};              // days on which each rule was broken
  int Failure_Days[Number_Of_Failure_Counts] = {};  // days that ended each other way
  std::string First_Rule;          // Rule_Key of the first rule broken in battery order, or empty
  int Shrunk_Size = -1;            // customers of the smallest failing day; -1 with no failure
  double Seconds = 0;              // wall time the student's grading took
  std::string Reason;              // one line: why a submission was not graded, or what failed first
  std::string Hash;                // of the submission and the settings it was graded with
  std::string Feedback;            // feedback/ID.txt
  std::string Picture;             // an SVG picture of the failing day, or empty
  std::string Day_Marks;           // per day of the battery: '+' followed, '-' did not
  bool Reused = false;             // taken from the previous run, unchanged
  /* A sort routine's (Passed and Run count the correctness cases): */
  int32_t K = 0, X = 0;
  std::vector<std::string> Growth;  // per order of Order_Name, the verdict in words; empty where not timed
  std::vector<double> Order_Ratio;  // per order, its time over the merge sort's, the median over the sizes; 0 not timed
  int Worst_Order = -1;             // the order of its worst growth (the slowest of those); -1 when not timed
  double Time_Ratio = 0;            // the speed figure it is ranked by: Order_Ratio of its worst order
  double Ratio_Low = 0, Ratio_High = 0;  // the middle half of that order's ratios over the sizes
  double Layout_Ratio = 0;          // its layout ratio over the merge sort's; 0 when not timed
  int Rank = 0;                     // among the routines correct and timed, from 1; 0 for none (Rank_By_Time)
  bool Tied_Above = false;          // within the noise of the routine ranked just above it; not saved
  std::string Profiler_Output;      // what its profiler printed
  std::string Work;                 // its build folder between the two phases; not saved
};

/* The state file of a student in the output folder, and reading it back;
** false if it is missing or not one this version wrote. */
bool Save_Grade(const std::string& Path, const Student_Grade& G);
bool Load_Grade(const std::string& Path, Student_Grade* G);

/* The grade of a student whose program was never run (missing, does not
** build, ...): Verdict, score 0, and feedback headed by Title ("ZOR
** simulator", "ZOR sort") that gives Reason as a sentence, More after it. */
Student_Grade Ungraded(const char* Title, const std::string& Id, const char* Verdict, const std::string& Reason,
                       const std::string& More);
