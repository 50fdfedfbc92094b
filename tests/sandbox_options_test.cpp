// The sandbox's options as every tool that runs a user's code takes
// them: what a command line comes to in bytes and seconds, the defaults
// a tool set kept where nothing is given, and each bad value refused
// by name before any work.
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include "tool_options/sandbox_options.h"

namespace {

struct Parsed {
  bool Refused = false;
  std::string Refusal;
  std::string Mode;
  Sandbox_Limits Limits{};
};

/* Parses Arguments with the checker's wording (a run's limits, both
** times, --sandbox), or a build's (--build-, no time) when Build. */
Parsed Parse(const std::vector<std::string>& Arguments, bool Build, const Sandbox_Limits& Defaults) {
  CLI::App App{"sandbox options", "tool"};
  Parsed P;
  P.Mode = "auto";
  Sandbox_Option_Words Words;
  Words.Whose = Build ? "a build" : "a run";
  if (Build) {
    Words.Prefix = "--build-";
  } else {
    Add_Sandbox_Mode_Option(&App, "the mode", "Sandbox", &P.Mode);
    Words.Group = "Sandbox";
    Words.Time_Help = "CPU seconds";
    Words.Wall_Help = "wall seconds";
  }
  Given_Sandbox_Limits Given;
  Given.Limits = Defaults;
  Add_Sandbox_Limit_Options(&App, Words, &Given);
  std::vector<const char*> Argv = {"tool"};
  for (const std::string& Word : Arguments) Argv.push_back(Word.c_str());
  try {
    App.parse(static_cast<int>(Argv.size()), Argv.data());
  } catch (const CLI::ParseError& Error) {
    P.Refused = true, P.Refusal = Error.what();
    return P;
  }
  P.Limits = Sandbox_Limits_Of(Given);
  return P;
}

constexpr int64_t Mib = int64_t(1) << 20;

TEST(Sandbox_Options, GivenLimitsBecomeBytesAndSeconds) {
  Sandbox_Limits Defaults = Default_Sandbox_Limits();
  Sandbox_Limits Judge = Defaults;  // a tool's own defaults: one process, 100 MiB
  Judge.Processes = 1, Judge.Memory_Bytes = 100 * Mib, Judge.Cpu_Seconds = 2, Judge.Silence_Seconds = 7;
  struct Case {
    std::vector<std::string> Arguments;
    bool Build;
    Sandbox_Limits Defaults;
    Sandbox_Limits Expected;  // Cpu, Wall, Memory, Processes, File, Open, Output, Silence, Folder, Entries
    const char* Mode;
  } Cases[] = {
      {{}, false, Defaults, {10, 30, 1024 * Mib, 64, 512 * Mib, 256, 16 * Mib, 0, 1024 * Mib, 20000}, "auto"},
      {{}, false, Judge, {2, 6, 100 * Mib, 1, 512 * Mib, 256, 16 * Mib, 7, 1024 * Mib, 20000}, "auto"},
      {{"--time-limit", "1.5", "--memory-limit", "256", "--process-limit", "7", "--file-size-limit", "2",
        "--open-file-limit", "20", "--output-limit", "3", "--folder-limit", "40", "--folder-entry-limit", "500",
        "--sandbox", "off"},
       false, Defaults, {1.5, 4.5, 256 * Mib, 7, 2 * Mib, 20, 3 * Mib, 0, 40 * Mib, 500}, "off"},
      {{"--time-limit", "2", "--wall-time-limit", "1", "--sandbox=required"}, false, Judge,
       {2, 1, 100 * Mib, 1, 512 * Mib, 256, 16 * Mib, 7, 1024 * Mib, 20000}, "required"},
      {{"--build-memory-limit", "64", "--build-output-limit", "1", "--build-process-limit", "300",
        "--build-folder-limit", "2048", "--build-folder-entry-limit", "16"},
       true, Defaults, {10, 30, 64 * Mib, 300, 512 * Mib, 256, 1 * Mib, 0, 2048 * Mib, 16}, "auto"},
  };
  for (const Case& C : Cases) {
    std::string Named = C.Arguments.empty() ? "(none)" : C.Arguments[0];
    Parsed P = Parse(C.Arguments, C.Build, C.Defaults);
    ASSERT_FALSE(P.Refused) << Named << ": " << P.Refusal;
    EXPECT_EQ(P.Mode, C.Mode) << Named;
    const Sandbox_Limits &L = P.Limits, &E = C.Expected;
    EXPECT_EQ(L.Cpu_Seconds, E.Cpu_Seconds) << Named;
    EXPECT_EQ(L.Wall_Seconds, E.Wall_Seconds) << Named;
    EXPECT_EQ(L.Memory_Bytes, E.Memory_Bytes) << Named;
    EXPECT_EQ(L.Processes, E.Processes) << Named;
    EXPECT_EQ(L.File_Bytes, E.File_Bytes) << Named;
    EXPECT_EQ(L.Open_Files, E.Open_Files) << Named;
    EXPECT_EQ(L.Output_Bytes, E.Output_Bytes) << Named;
    EXPECT_EQ(L.Silence_Seconds, E.Silence_Seconds) << Named;
    EXPECT_EQ(L.Folder_Bytes, E.Folder_Bytes) << Named;
    EXPECT_EQ(L.Folder_Entries, E.Folder_Entries) << Named;
  }
}

TEST(Sandbox_Options, BadValuesAreRefusedByName) {
  struct Case {
    std::vector<std::string> Arguments;
    bool Build;
    const char* Named;  // in the refusal
  } Cases[] = {
      {{"--memory-limit", "15"}, false, "--memory-limit"},
      {{"--memory-limit", "1048577"}, false, "--memory-limit"},
      {{"--process-limit", "0"}, false, "--process-limit"},
      {{"--file-size-limit", "lots"}, false, "--file-size-limit"},
      {{"--open-file-limit", "65537"}, false, "--open-file-limit"},
      {{"--output-limit", "0"}, false, "--output-limit"},
      {{"--folder-limit", "0"}, false, "--folder-limit"},
      {{"--folder-entry-limit", "15"}, false, "--folder-entry-limit"},
      {{"--folder-entry-limit", "1000001"}, false, "--folder-entry-limit"},
      {{"--build-folder-limit", "1048577"}, true, "--build-folder-limit"},
      {{"--time-limit", "0.05"}, false, "--time-limit"},
      {{"--time-limit", "3601"}, false, "--time-limit"},
      {{"--wall-time-limit", "10801"}, false, "--wall-time-limit"},
      {{"--sandbox", "maybe"}, false, "--sandbox"},
      {{"--build-memory-limit", "8"}, true, "--build-memory-limit"},
      // A build's CPU time is its tool's to set: no option takes it.
      {{"--build-time-limit", "5"}, true, "--build-time-limit"},
      {{"--memory-limit", "64"}, true, "--memory-limit"},
  };
  for (const Case& C : Cases) {
    Parsed P = Parse(C.Arguments, C.Build, Default_Sandbox_Limits());
    EXPECT_TRUE(P.Refused) << C.Arguments[0] << " " << C.Arguments[1];
    EXPECT_NE(P.Refusal.find(C.Named), std::string::npos) << P.Refusal;
  }
}

}  // namespace
