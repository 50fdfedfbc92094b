/*
** sandbox_verdict.cpp
** What ended a run, in the words that users of programming judges know,
** and the one thing a box cannot report by itself: that a program reached
** for something outside its folder. The box hides the rest of the
** machine, so such a reach fails; it shows only where the program said
** so on its standard error, naming the path (or the kit's program) it
** could not reach. That is read here, for runs that failed.
*/
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "sandbox/sandbox_internal.h"

namespace {

std::string Bytes_Text(int64_t Bytes) {
  char Text[40];
  if (Bytes % (int64_t(1) << 30) == 0) std::snprintf(Text, sizeof Text, "%lld GiB", static_cast<long long>(Bytes >> 30));
  else if (Bytes % (int64_t(1) << 20) == 0) std::snprintf(Text, sizeof Text, "%lld MiB", static_cast<long long>(Bytes >> 20));
  else std::snprintf(Text, sizeof Text, "%lld bytes", static_cast<long long>(Bytes));
  return Text;
}

/* The messages of a failed open, exec, write or cd, as the C library, the
** shells and the common interpreters word them. */
const char* const Failure_Words[] = {"No such file or directory", "not found", "Read-only file system",
                                     "Permission denied", "Directory nonexistent", "can't cd", "cannot create",
                                     "can't open"};

std::string Stripped(std::string Word) {
  const char* Around = "\"'`:,;()[]{}<>";
  while (!Word.empty() && std::strchr(Around, Word.back()) != nullptr) Word.pop_back();
  size_t First = 0;
  while (First < Word.size() && std::strchr(Around, Word[First]) != nullptr) First++;
  return Word.substr(First);
}

bool Inside(const std::string& Path, const std::string& Folder) {
  return Path == Folder || (Path.size() > Folder.size() && Path.compare(0, Folder.size(), Folder) == 0 &&
                            Path[Folder.size()] == '/');
}

/* Whether Word, on a line saying something failed, is a place outside the
** folder: a path that leaves it (a system tree counts for a write only,
** since reading one is allowed), or one of the kit's programs by name. */
bool Names_Outside(const std::string& Word, const std::string& Folder, bool Writing) {
  if (Word.find('/') == std::string::npos) {
    for (const std::string& Name : Kit_Program_Names())
      if (Word == Name) return true;
    return false;
  }
  std::filesystem::path Path = Word[0] == '/' ? std::filesystem::path(Word) : std::filesystem::path(Folder) / Word;
  std::string Normal = Path.lexically_normal().string();
  if (Normal.size() > 1 && Normal.back() == '/') Normal.pop_back();
  if (Inside(Normal, Folder)) return false;
  return Writing || !In_System_Tree(Normal);
}

}  // namespace

std::string Line_Reaching_Outside(const std::string& Errors, const std::string& Folder) {
  std::istringstream Lines(Errors);
  for (std::string Line; std::getline(Lines, Line);) {
    bool Failed = false;
    for (const char* Words : Failure_Words) Failed |= Line.find(Words) != std::string::npos;
    if (!Failed) continue;
    bool Writing = Line.find("Read-only file system") != std::string::npos;
    std::istringstream Words(Line);
    for (std::string Word; Words >> Word;)
      if (Names_Outside(Stripped(Word), Folder, Writing)) return Line.size() > 300 ? Line.substr(0, 300) + "..." : Line;
  }
  return "";
}

std::string Folder_Past_Words(Folder_Past Past, const Sandbox_Limits& L) {
  switch (Past) {
    case Folder_Within: break;
    case Folder_Past_Bytes:
      return "grew past the folder limit of " + Bytes_Text(L.Folder_Bytes) +
             " (its files, folders and links together, in blocks on disk)";
    case Folder_Past_Entries:
      return "grew past the folder limit of " + std::to_string(L.Folder_Entries) + " files, folders and links";
    case Folder_Too_Deep: return "grew past " + std::to_string(Most_Run_Folder_Depth) + " folders deep";
    case Folder_Unreadable: return "holds a folder closed to the sandbox, so what it holds cannot be counted";
  }
  return "";
}

std::string Sandbox_Verdict(const Sandbox_Result& R, const Sandbox_Limits& L) {
  char Text[400];
  switch (R.Ending) {
    case Sandbox_Exited: std::snprintf(Text, sizeof Text, "exited with status %d", R.Status); break;
    case Sandbox_Killed:
      std::snprintf(Text, sizeof Text, "crashed: killed by signal %d (%s)", R.Signal, strsignal(R.Signal));
      break;
    case Sandbox_Cpu_Limit:
      std::snprintf(Text, sizeof Text, "hit the time limit: more than %g s of CPU time (an endless loop?)", L.Cpu_Seconds);
      break;
    case Sandbox_Wall_Limit:
      std::snprintf(Text, sizeof Text, "hit the wall-time limit: still running after %g s, asleep or blocked",
                    L.Wall_Seconds);
      break;
    case Sandbox_Silence_Limit:
      std::snprintf(Text, sizeof Text, "did not return within %g s: silent that long (wall-clock time), asleep or blocked",
                    L.Silence_Seconds);
      break;
    case Sandbox_Memory_Limit: return "hit the memory limit of " + Bytes_Text(L.Memory_Bytes);
    case Sandbox_Output_Limit:
      return "hit the output limit: more than " + Bytes_Text(L.Output_Bytes) + " on standard output and error";
    case Sandbox_File_Limit: return "hit the output limit: a file grew past the file-size limit of " + Bytes_Text(L.File_Bytes);
    case Sandbox_Folder_Limit:
      return "hit the output limit: its folder " +
             (R.Detail.empty() ? "grew past the folder limit of " + Bytes_Text(L.Folder_Bytes) + " or " +
                                     std::to_string(L.Folder_Entries) + " files, folders and links"
                               : R.Detail);
    case Sandbox_Process_Limit:
      std::snprintf(Text, sizeof Text, "hit the process limit: too many processes (more than %d at once)", L.Processes);
      break;
    case Sandbox_Waiting_For_Input: return "waited for more input than it was given";
    case Sandbox_Reached_Outside: return "tried to reach outside its folder: " + R.Detail;
    case Sandbox_Not_Started:
      if (R.Detail.rfind("bwrap: execvp ", 0) == 0)
        return "could not be run in the sandbox (" + R.Detail +
               "): its interpreter, or a file it needs, lies outside what the box shows";
      return R.Detail.rfind("bwrap: ", 0) == 0 ? "the sandbox could not start (" + R.Detail + ")" : R.Detail;
  }
  return Text;
}
