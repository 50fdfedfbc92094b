/*
** program_arguments.cpp
** --help, --version, and the refusal of anything else.
*/
#include "common/program_arguments.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/refusal.h"
#include "common/zor_kit_version.h"

void Answer_Help_Or_Version(int Argc, char** Argv, const char* Name, const char* Help) {
  if (Argc != 2) return;
  if (std::strcmp(Argv[1], "--help") == 0) {
    std::fputs(Help, stdout);
  } else if (std::strcmp(Argv[1], "--version") == 0) {
    std::printf("%s (ZOR kit) %s\n", Name, ZOR_KIT_VERSION);
  } else {
    return;
  }
  std::exit(std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 2);
}

void Take_No_Arguments(int Argc, char** Argv, const char* Name, const char* Help) {
  Answer_Help_Or_Version(Argc, Argv, Name, Help);
  if (Argc < 2) return;
  char Message[512];
  std::snprintf(Message, sizeof Message, "unexpected argument '%s'; it takes no arguments but --help and --version",
                Argv[1]);
  Refuse_And_Exit(Name, Message);
}
