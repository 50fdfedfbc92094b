/*
** copy_tree.h
** The one copier of a folder someone else filled: a student's submission
** into the grader's build copy, and a program's folder into each run's
** folder. The two differ in what they do with what a program's folder
** should not hold (a link out, a FIFO, a device): a submission is refused
** with the reason, a program's folder has links copied as links and the
** rest left out. The caps are the same for both, so that a submission
** taken in is never refused later as too large to run.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

/* The most a copied folder may hold: any one file (a program included),
** all its files together, its files, folders and links, and the depth of
** its folders. */
constexpr int64_t Most_Copied_File_Bytes = int64_t(64) << 20;
constexpr int64_t Most_Copied_Bytes = int64_t(64) << 20;
constexpr int Most_Copied_Entries = 2000;
constexpr int Most_Copied_Depth = 32;

enum Copy_Policy {
  /* A student's folder: a link out of it, a FIFO, a socket or a device
  ** refuses the copy with its reason; every file and folder made is the
  ** tool's user's alone (0600 or 0700, folders 0700). */
  Copy_Refusing,
  /* A program's folder: links are copied as links, never followed; FIFOs,
  ** sockets, devices and the kit's own programs are left out; files are
  ** 0644 or 0755, folders 0755, given to an owner. */
  Copy_Leaving_Out,
};

struct Copy_Request {
  Copy_Policy Policy = Copy_Refusing;
  int From = -1;  // the folder copied
  int To = -1;    // the folder copied into, which exists; -1: only check the caps
  uid_t Owner = 0;  // Copy_Leaving_Out: each entry given to this user (0: left as the tool's)
  const std::vector<std::string>* Skipped_At_Top = nullptr;  // names left out at the top
  bool Keep_Existing_At_Top = false;  // a top name To already holds is To's and is not copied
  struct stat Never[2] = {};  // folders that may lie inside From (the copy itself): never copied
};

/* Copies the folder Request.From into Request.To under its policy and the
** caps above. False with Problem naming what was found and where
** ("sub/pipe is a FIFO (named pipe), not a regular file", "it holds more
** than 2000 files, folders and links"); Past_Cap set when a cap stopped it. */
bool Copy_Folder_Tree(const Copy_Request& Request, std::string* Problem, bool* Past_Cap);

/* Copies the folder From into the folder To (which exists) as a program's
** folder, each entry given to Owner (0: left as the tool's); leaves out
** the top-level names in Skipped and those To holds. With To empty, only
** checks that From fits the caps. False with a one-line Problem. */
bool Copy_Tree(const std::string& From, const std::string& To, uid_t Owner, const std::vector<std::string>& Skipped,
               std::string* Problem);
