/*
** sort_grading.h
** One student's sort routine graded: their C or C++ sources compiled and
** linked with the kit's profiler library into a program of their own,
** which the kit's judge runs only as its worker, in a box: the
** correctness phase (several students at once), then, for a correct
** routine, the timing phase (one student at a time, so that no one's
** timing slows another's): the growth verdict per order, the time at the
** largest size over the kit's merge sort's, and the chart.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/statistics.h"
#include "grade/build_command.h"
#include "grade/class_list.h"
#include "grade/student_grade.h"
#include "sort_profile/profile_lists.h"

struct Sort_Settings {
  int32_t K = 0, X = 0;             // unless the student's folder holds a file sort_parameters
  double Time_Limit = 10;           // seconds one sort may take (the profiler's --time-limit)
  int64_t Check_Items = 10000;      // the largest list of the correctness phase
  int64_t Max_Items = 1000000;      // the largest list of the timing phase
  double Build_Time_Limit = 120;
  Sandbox_Limits Build_Run_Limits = Build_Limits(120);  // of a build; its CPU time is Build_Time_Limit
  double Points = 100;
  std::string Scratch;              // a private folder; each student's build stays there until timed
  std::string Library;              // libsort_profile.a
  std::string Judge;                // zor_sort_judge, which judges what was built with it
  std::string Sandbox = "auto";     // the judge's --sandbox
  std::string Include;              // the folder that holds sort_bench.h
  std::string Link_Flags;           // what that library needs besides (a sanitizer build's runtimes)
};

/* For a grader told to stop: tells every judge running now to stop, and
** returns once each has ended (and so removed its folders), ending one
** that has not within five seconds. */
void Stop_Judges();

/* Builds the profiler and runs its correctness phase. A grade that needs
** the timing phase still has the verdict "correct"; its profiler stays in
** the scratch folder. */
Student_Grade Check_Sort_Routine(const Student& S, const Sort_Settings& Settings);

/* The timing phase of a routine that passed; sets the final verdict. */
void Time_Sort_Routine(const Sort_Settings& Settings, Student_Grade* G);

/* Ranks the routines that are correct and were timed, the others rank
** 0: by the growth of their worst order first (an N^2 routine ranks after
** every N log N one, however fast it is on random lists), then by their
** speed figure; one whose figure's middle half overlaps that of the one
** ranked just above it is marked Tied_Above. */
void Rank_By_Time(std::vector<Student_Grade>* Grades);

/* Where a growth verdict lies among the classes, 1 (N) to 4 (N^3), a
** verdict between two classes halfway; NaN for one that names none. */
double Growth_Value(const std::string& Words);

/* The order of a routine's worst growth, the slowest by its ratio among
** the orders that grow so; -1 when none was timed. Orders whose growth
** could not be decided count only when none could. */
int Worst_Growth_Order(const std::vector<std::string>& Growth, const std::vector<double>& Order_Ratio);

/* The facts the profiler's --summary file gives (see sort_profile(3)). */
struct Profile_Summary {
  bool Correct = false;
  int Cases = 0;                   // cases run, the failing one included
  bool Timed = false;              // the timing phase ran to its end
  std::string Fault, Fault_Kind;   // the first failure, and "crashed", "time-limit" or "wrong-list"
  std::string Growth[Number_Of_Orders];   // per order, its verdict in words; empty where not timed
  double Time_Ratio[Number_Of_Orders] = {};  // at the largest size
  Middle_Half Speed[Number_Of_Orders] = {};  // over every size; a judge that wrote none: Time_Ratio's
  double Routine_Layout = 0, Reference_Layout = 0;
};

/* False for a file that is not a summary, with what is wrong in Problem. */
bool Read_Profile_Summary(const std::string& Text, Profile_Summary* S, std::string* Problem);

/* What the timing phase's summary gives a grade: the growth and speed
** figure of each order, the worst order and the figure it is ranked by,
** the layout ratio, and the verdict "sorted" or the fault's. */
void Take_Timing(const Profile_Summary& S, Student_Grade* G);

/* The feedback of a routine that was built: the verdict, K and X, what
** the profiler said, its rank among the Ranked routines ranked, and how
** to profile it by hand as it was graded. */
void Compose_Sort_Feedback(Student_Grade* G, const Sort_Settings& Settings, int Ranked);
