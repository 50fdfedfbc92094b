/*
** grade_report.h
** report.html: the page a teacher reads at a glance. The class table,
** sortable by any column; the scores' distribution; the rules the class
** broke most; the days of the battery that lie outside what
** workload_maker draws; and a section per student with their feedback
** and the picture of their failing day. Well-formed XHTML, the pictures
** inline SVG from the kit's chart module (never one a student's program
** wrote), a few lines of plain JavaScript for the sorting; nothing is
** fetched from elsewhere, and the page's content policy allows no script
** but its own and no connection, should anything slip through.
*/
#pragma once

#include <string>
#include <vector>

#include "grade/student_grade.h"

struct Battery_Note {
  int Day;              // from 1
  std::string What;     // its label, without a seed
  std::string Outside;  // why workload_maker does not draw it; empty when within the draws
  bool Made_Up;
};

struct Report_Facts {
  bool Sorts = false;            // the class's sort routines, not simulators
  std::string Title;             // "ZOR simulators: the class's grades"
  std::string Battery;           // a sentence on the battery: size, secret or public, time limit
  double Points = 100;
  std::vector<Battery_Note> Notes;  // the made-up days and any other outside the draws
};

bool Write_Report(const std::string& Path, const Report_Facts& F, const std::vector<Student_Grade>& Grades);

/* Text escaped for XHTML: shown as Visible_Text shows it (control
** characters and bytes that are not UTF-8 written out), markup
** characters as entities. */
std::string Html_Text(const std::string& Text);
