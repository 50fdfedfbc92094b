/*
** class_list.h
** The students of a class: one folder per student in a class folder (the
** folder's name is the student's identifier), or a CSV manifest whose
** rows give an identifier, a folder and, optionally, the command that
** runs that student's program.
*/
#pragma once

#include <string>
#include <vector>

struct Student {
  std::string Id;       // letters, digits, '.', '_', '-', '@'; also the name of their feedback file
  std::string Folder;   // absolute; may be missing, which grades as "missing"
  std::string Command;  // from a manifest; empty for the task's usual way
};

/* Reads the class from Path, a folder or a CSV manifest, in the order
** given (a folder's students sorted by name; a folder whose name cannot
** be an identifier, "Ann Lee", is Ann_Lee). False with a one-line
** Problem for a class that cannot be read, a manifest's identifier that
** cannot be a file name, or one given twice. */
bool Read_Class(const std::string& Path, std::vector<Student>* Students, std::string* Problem);

/* Whether Id can name a student: a file name of the safe characters,
** not starting with a dot, at most 100 characters. */
bool Valid_Student_Id(const std::string& Id);

/* The fields of one CSV line (RFC 4180 quoting); false for an unclosed quote. */
bool Split_Csv_Line(const std::string& Line, std::vector<std::string>* Fields);
