/*
** simulator_grading.h
** One student's simulator graded: built if the teacher gives a build
** command, run on every day of the battery (not only up to the first
** failure, so the grade can count days), each day's outcome counted, and
** the first failing day shrunk and explained as simulator_checker does.
*/
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "grade/build_command.h"
#include "grade/class_list.h"
#include "grade/student_grade.h"
#include "sandbox/sandbox.h"
#include "simulator_checker/battery.h"
#include "simulator_checker/trial.h"

struct Simulator_Settings {
  int Days = 100;                 // the battery's first days
  Battery_Key Battery = Public_Battery(1);  // draws the battery; never shown to a student
  Sandbox_Limits Limits = Default_Sandbox_Limits();  // of each day's run
  int Jobs = 1;                   // days run at once
  std::string Build;              // the teacher's build command; empty for a ready "simulator"
  double Build_Time_Limit = 120;
  Sandbox_Limits Build_Run_Limits = Build_Limits(120);  // of a build; its CPU time is Build_Time_Limit
  double Points = 100;            // the score of a simulator that follows the model on every day
  std::string Scratch;            // a private folder for builds and trials
  std::string Feedback_Folder;    // where ID.day, the failing day to rerun by hand, goes; empty for none
};

/* Called now and then while the battery runs: days done, days in all. */
using Day_Progress = std::function<void(int Done, int Total)>;

/* Stores O as the outcome of Day (from 0). Counting the days needs only
** how each ended, so only the first failing day, the one shrunk and
** explained, keeps what the program wrote; Kept is that day, or
** Outcomes->size() while none has failed. Days end in any order, and a
** failing day before the one kept takes its place, so what the grader
** holds is one day's files, whatever the number of days or what a
** program writes. */
void Keep_Day_Outcome(std::vector<Trial_Outcome>* Outcomes, size_t Day, Trial_Outcome O, size_t* Kept);

/* Grades S; never fails: a submission that is missing, does not build or
** cannot be run is a grade with its reason. Hash is left to the caller. */
Student_Grade Grade_Simulator(const Student& S, const Simulator_Settings& Settings, const Day_Progress& Show);
