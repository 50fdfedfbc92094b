/*
** grade_help.cpp
** zor_grade's --help, apart from its options: the usage, what a grading
** writes, the examples and the exit status, as zor_grade(1) tells them
** at length.
*/
#include "grade/grade_help.h"

const char* const Grade_Description =
    "zor_grade simulators|sorts [OPTIONS] CLASS\n"
    "zor_grade autograder simulators|sorts [OPTIONS] -o ZIP\n"
    "Grades a class. simulators: each student's simulator of the ZOR day on the same battery\n"
    "of days, every day counted, the first failing day shrunk and explained. sorts: each\n"
    "student's Sort_Singly_Linked_List compiled with the kit's profiler, checked on every\n"
    "kind of list, its growth judged and its time ranked against the kit's merge sort.\n"
    "Writes, in the output folder: grades.csv, canvas.csv and moodle.csv (gradebook imports),\n"
    "feedback/ID.txt (what each student may see) and report.html; a rerun grades only the\n"
    "submissions that changed.";

const char* const Grade_Footer =
    "Examples:\n"
    "  zor_grade simulators --secret-file ~/.zor_phrase --build make -o grading submissions/\n"
    "  zor_grade sorts --k 10 --x 32 -o sort_grading submissions/\n"
    "  zor_grade simulators --gradescope -o /autograder/results /autograder/submission\n"
    "  zor_grade autograder simulators --secret 'autumn tide' --build make -o autograder.zip\n"
    "  (the zip Gradescope takes as a programming assignment's autograder)\n"
    "Exit status: 0 every student graded and the files written (whatever the grades); 2 trouble:\n"
    "a bad option, a class that cannot be read, a file that cannot be written.\n"
    "See zor_grade(1) for the columns of each file.";
