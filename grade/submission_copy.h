/*
** submission_copy.h
** Taking a student's folder in. Every file a grading reads or runs from a
** student's folder, or from what their build left, is taken beneath that
** folder (sandbox/sandbox.h's Open_Beneath): never through a link out of
** it, only as a regular file of a bounded size. What is taken becomes the
** grader's own private copy, which only the box's user is given; the
** student's folder itself is never changed.
*/
#pragma once

#include <string>

#include "sandbox/copy_tree.h"

/* Why Folder cannot be a student's submission as it stands: empty when it
** is a folder; "missing" words when it does not exist; the link's target
** when it is a link (a folder that links elsewhere may be another
** student's). Missing is set when nothing is there. */
std::string Submission_Folder_Problem(const std::string& Folder, bool* Missing);

/* Copies the student's folder From to To, which this makes (0700), for a
** build: folders, regular files (holes kept) and the links that stay
** inside it, each private to the tool's user. False with Problem naming
** what was found and where ("sub/pipe is a FIFO (named pipe), not a
** regular file"), for a link out, anything but a file, folder or link,
** or a submission past the caps of sandbox/copy_tree.h. */
bool Copy_Submission(const std::string& From, const std::string& To, std::string* Problem);

/* Takes Name (relative) from Folder into To, a new private file keeping
** the execute bit, by Open_Beneath with the file limit above. False with
** Problem; Missing set when nothing stands under Name. */
bool Take_File(const std::string& Folder, const std::string& Name, const std::string& To, bool* Missing,
               std::string* Problem);

/* Makes Path a private folder of the tool's (0700); false if it cannot. */
bool Make_Private_Folder(const std::string& Path);

/* A student's two folders in the scratch folder: the copy their build
** runs in, and the grader's private copies of what is run. */
std::string Student_Build_Folder(const std::string& Scratch, const std::string& Id);
std::string Student_Program_Folder(const std::string& Scratch, const std::string& Id);

/* Removes both, and the box's copies made from them, once the student is
** graded; says on standard error what could not be removed. */
void Drop_Student_Copies(const std::string& Scratch, const std::string& Id);
