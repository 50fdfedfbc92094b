/*
** sandbox_options.h
** The sandbox's options, defined once for every tool that runs a user's
** code (simulator_checker, zor_sort_judge, zor_grade): --sandbox, and the
** limits of a run (--time-limit, --wall-time-limit, --memory-limit,
** --process-limit, --file-size-limit, --open-file-limit, --output-limit,
** --folder-limit, --folder-entry-limit),
** each with the same range and the same refusal in every tool. A tool
** says whose run the limits bind, in its help's words, and which of the
** time limits it takes from the command line.
*/
#pragma once

#include <cstdint>
#include <string>

#include "sandbox/sandbox.h"

namespace CLI {
class App;
}

/* How one tool words its set of limits. */
struct Sandbox_Option_Words {
  std::string Prefix = "--";  // before each limit's name: "--build-" names a build's limits
  std::string Whose;          // what the limits bind, as the help says it: "a run", "a build"
  std::string Group;          // the --help group they stand in; empty: the app's own
  std::string Time_Help;      // --time-limit's help; empty: the tool sets the CPU time itself
  double Most_Time = 3600;    // the largest --time-limit, in seconds
  std::string Wall_Help;      // --wall-time-limit's help; empty: three times the CPU time
  double Most_Wall = 10800;   // the largest --wall-time-limit, in seconds
  std::string Process_Note;   // a line more in --process-limit's help; may be empty
};

/* The limits as the command line gives them, until Sandbox_Limits_Of
** takes them: Limits holds the defaults (and, as given, the CPU time,
** processes and open files); sizes are in MiB, and a wall time of 0 is
** three times the CPU time. */
struct Given_Sandbox_Limits {
  Sandbox_Limits Limits = Default_Sandbox_Limits();
  double Wall_Seconds = 0;
  int64_t Memory_Mib = 0, File_Mib = 0, Output_Mib = 0, Folder_Mib = 0;
};

/* Adds --sandbox (auto, required or off) to App, into Mode, whose value
** stands as its default; Help says what each word does for this tool. */
void Add_Sandbox_Mode_Option(CLI::App* App, const std::string& Help, const std::string& Group, std::string* Mode);

/* Adds the limits' options to App, their defaults those of Given->Limits;
** Given must outlive the parse. */
void Add_Sandbox_Limit_Options(CLI::App* App, const Sandbox_Option_Words& Words, Given_Sandbox_Limits* Given);

/* The limits the options came to, sizes in bytes. */
Sandbox_Limits Sandbox_Limits_Of(const Given_Sandbox_Limits& Given);
