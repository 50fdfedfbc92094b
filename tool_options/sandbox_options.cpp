/*
** sandbox_options.cpp
** The sandbox's options added to a tool's CLI11 app, and what they were
** given turned into a Sandbox_Limits. A limit out of its range is refused
** by CLI11 in one line, before any work, naming the option.
*/
#include "tool_options/sandbox_options.h"

#include <CLI/CLI.hpp>

namespace {

/* Where the set's options stand in --help. */
CLI::Option* In_Group(CLI::Option* Option, const std::string& Group) {
  return Group.empty() ? Option : Option->group(Group);
}

void Add_Time_Options(CLI::App* App, const Sandbox_Option_Words& W, Given_Sandbox_Limits* Given) {
  if (!W.Time_Help.empty())
    In_Group(App->add_option(W.Prefix + "time-limit", Given->Limits.Cpu_Seconds, W.Time_Help)
                 ->capture_default_str()
                 ->check(CLI::Range(0.1, W.Most_Time)),
             W.Group);
  if (!W.Wall_Help.empty())
    In_Group(App->add_option(W.Prefix + "wall-time-limit", Given->Wall_Seconds, W.Wall_Help)
                 ->check(CLI::Range(0.1, W.Most_Wall)),
             W.Group);
}

/* One whole-number limit, its default shown, refused outside Least .. Most. */
template <typename Number>
void Add_Limit(CLI::App* App, const Sandbox_Option_Words& W, const char* Name, Number* Value, const std::string& Help,
               int Least, int Most) {
  In_Group(App->add_option(W.Prefix + Name, *Value, Help)->capture_default_str()->check(CLI::Range(Least, Most)),
           W.Group);
}

}  // namespace

void Add_Sandbox_Mode_Option(CLI::App* App, const std::string& Help, const std::string& Group, std::string* Mode) {
  In_Group(App->add_option("--sandbox", *Mode, Help)
               ->capture_default_str()
               ->check(CLI::IsMember({"auto", "required", "off"})),
           Group);
}

void Add_Sandbox_Limit_Options(CLI::App* App, const Sandbox_Option_Words& W, Given_Sandbox_Limits* Given) {
  Sandbox_Limits& L = Given->Limits;
  Given->Memory_Mib = L.Memory_Bytes >> 20, Given->File_Mib = L.File_Bytes >> 20;
  Given->Output_Mib = L.Output_Bytes >> 20, Given->Folder_Mib = L.Folder_Bytes >> 20;
  Add_Time_Options(App, W, Given);
  std::string Processes = "processes and threads " + W.Whose + " may have at once";
  if (!W.Process_Note.empty()) Processes += "\n" + W.Process_Note;
  Add_Limit(App, W, "memory-limit", &Given->Memory_Mib, "MiB of memory " + W.Whose + " may use", 16, 1 << 20);
  Add_Limit(App, W, "process-limit", &L.Processes, Processes, 1, 100000);
  Add_Limit(App, W, "file-size-limit", &Given->File_Mib, "MiB any one file " + W.Whose + " writes may reach", 1,
            1 << 20);
  Add_Limit(App, W, "open-file-limit", &L.Open_Files, "files a process of " + W.Whose + " may have open at once", 16,
            65536);
  Add_Limit(App, W, "output-limit", &Given->Output_Mib,
            "MiB " + W.Whose + " may write on standard output and error together", 1, 1 << 20);
  Add_Limit(App, W, "folder-limit", &Given->Folder_Mib,
            "MiB the folder of " + W.Whose + " may hold in all (blocks on disk; a file of many names once)", 1,
            1 << 20);
  Add_Limit(App, W, "folder-entry-limit", &L.Folder_Entries,
            "files, folders and links the folder of " + W.Whose + " may hold", 16, 1000000);
}

Sandbox_Limits Sandbox_Limits_Of(const Given_Sandbox_Limits& Given) {
  Sandbox_Limits L = Given.Limits;
  /* Far above the CPU time, for a machine shared with other work. */
  L.Wall_Seconds = Given.Wall_Seconds > 0 ? Given.Wall_Seconds : 3 * L.Cpu_Seconds;
  L.Memory_Bytes = Given.Memory_Mib << 20, L.File_Bytes = Given.File_Mib << 20;
  L.Output_Bytes = Given.Output_Mib << 20, L.Folder_Bytes = Given.Folder_Mib << 20;
  return L;
}
