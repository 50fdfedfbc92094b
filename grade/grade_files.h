/*
** grade_files.h
** The files a grading writes for the teacher's tools and for the
** students: grades.csv, the gradebook imports of Canvas and Moodle, one
** feedback file per student, and Gradescope's results.json. Each is
** written whole under a temporary name and then given its own, so a run
** that fails or is stopped leaves the previous file or none, never part.
*/
#pragma once

#include <map>
#include <string>
#include <vector>

#include "grade/platform_download.h"
#include "grade/student_grade.h"

/* Value with Decimals digits after the point, as every file and the page show numbers. */
std::string Fixed(double Value, int Decimals);

struct Gradebook_Names {
  std::string Task;         // "simulators" or "sorts", the task column of grades.csv
  std::string Assignment;   // the grade column's name in the platform files
  std::string Canvas_Match; // "ID", "SIS User ID" or "SIS Login ID": where the identifier goes
  double Points = 100;
  std::string Contained;    // how runs were contained (the sandbox's line), for results.json; empty for none
  /* A class read from a platform's download: that platform's file is
  ** keyed by its own id of each student (Canvas's ID, Moodle's
  ** "Participant N"), so that the import matches without editing. */
  Platform_Kind Platform = Platform_None;
  std::map<std::string, std::string> Platform_Ids;
};

/* The header and one row per student. */
std::vector<std::string> Grades_Csv_Header(const std::string& Task);
std::vector<std::string> Grades_Csv_Row(const Student_Grade& G, const std::string& Task);

bool Write_Grades_Csv(const std::string& Path, const std::vector<Student_Grade>& Grades, const Gradebook_Names& N);

/* Canvas's gradebook import: Student, ID, SIS User ID, SIS Login ID,
** Section, then the assignment; the identifier in Student and in the
** column Canvas matches by. */
bool Write_Canvas_Csv(const std::string& Path, const std::vector<Student_Grade>& Grades, const Gradebook_Names& N);

/* Moodle's CSV grade import: Identifier (mapped to "identify user by"),
** the assignment's grade, and Feedback (one line). */
bool Write_Moodle_Csv(const std::string& Path, const std::vector<Student_Grade>& Grades, const Gradebook_Names& N);

/* feedback/ID.txt. */
bool Write_Feedback(const std::string& Folder, const Student_Grade& G);

/* Gradescope's results.json for one submission: the score, the feedback as
** its output, and one test per rule of the model and per other way a day
** can end, each saying on how many days it held. */
bool Write_Gradescope(const std::string& Path, const Student_Grade& G, const Gradebook_Names& N);

/* Text as a JSON string, quotes included. */
std::string Json_String(const std::string& Text);

/* Text with every byte that is not part of well-formed UTF-8 replaced by
** U+FFFD: what a student's program printed goes into JSON and XHTML,
** which take nothing else. */
std::string Valid_Utf8(const std::string& Text);
