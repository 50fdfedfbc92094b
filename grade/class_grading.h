/*
** class_grading.h
** A whole class graded, student by student for simulators, and in two
** phases for sort routines: every routine built and checked several at
** once, then the correct ones timed one at a time. A student whose
** submission and settings did not change since the last run is taken as
** saved then; every other is graded and saved.
*/
#pragma once

#include <string>
#include <vector>

#include "grade/class_list.h"
#include "grade/simulator_grading.h"
#include "grade/sort_grading.h"
#include "grade/student_grade.h"

struct Class_Run {
  std::string State_Folder;  // where grades are saved; empty for none (one Gradescope submission)
  bool Again = false;        // grade every student, changed or not
  std::string Settings;      // what a grade depends on besides the submission
  size_t Graded = 0;         // students graded in this run, not taken as saved
};

std::vector<Student_Grade> Grade_Simulator_Class(const std::vector<Student>& Students, const Simulator_Settings& Z,
                                                 Class_Run* Run);

/* Ranks the routines and composes every feedback, the ranks included. */
std::vector<Student_Grade> Grade_Sort_Class(const std::vector<Student>& Students, const Sort_Settings& Z, int Jobs,
                                            Class_Run* Run);
