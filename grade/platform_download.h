/*
** platform_download.h
** A class as a course platform hands it out, read as downloaded: Canvas's
** "Download submissions" (flat files login_userid_submissionid_name, with
** _late after the login of a late one) and Moodle's "Download all
** submissions" (folders Full Name_participantid_assignsubmission_file_, or
** flat files with that prefix), each as a folder or a zip. One submission
** per student, their latest, in a folder of its own; and the platform's
** own id of each, which its gradebook import matches on.
*/
#pragma once

#include <map>
#include <string>
#include <vector>

#include "grade/class_list.h"

enum Platform_Kind { Platform_None, Platform_Canvas, Platform_Moodle };

struct Download_Student {
  std::string Id;           // a safe identifier, also their feedback file's name
  std::string Platform_Id;  // Canvas's user id, or Moodle's participant id
  /* Each file of their latest submission: its path in the download, and
  ** its name in their folder. */
  std::vector<std::pair<std::string, std::string>> Files;
};

struct Download_Class {
  Platform_Kind Kind = Platform_None;
  std::vector<Download_Student> Students;  // sorted by Id
};

/* Recognises a download from the paths of its files (relative, '/'
** between folders): Canvas when every file is at the top and named as
** Canvas names them, Moodle when every file lies in a folder Moodle names
** or has its prefix; Platform_None otherwise. */
Download_Class Recognise_Download(const std::vector<std::string>& Paths);

/* Reads Path, a folder or a zip file, as a platform's download: unpacks a
** zip into Scratch (names with ".." or a leading '/' refused, sizes and
** counts capped), makes each student's folder under Scratch and fills
** Students; Platform_Ids maps each Id to the platform's id. Kind is
** Platform_None (and nothing is made) for a folder that is no download;
** false with a one-line Problem for a zip that cannot be read. */
bool Read_Download(const std::string& Path, const std::string& Scratch, Platform_Kind* Kind,
                   std::vector<Student>* Students, std::map<std::string, std::string>* Platform_Ids,
                   std::string* Problem);

/* "Canvas's Download submissions", ... for what the tool says. */
const char* Platform_Words(Platform_Kind Kind);
