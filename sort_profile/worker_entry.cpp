/*
** worker_entry.cpp
** What libsort_profile.a makes of a program linked with a user's routine.
** Started by a user, the program hands itself over to the kit's judge
** (zor_sort_judge) before any code of the routine's module runs: a
** constructor of the library's own, with an early priority, execs the
** judge with the program's own path, so the routine's static
** constructors never run outside a box. Started by the judge as its
** worker, the program goes on to main, which only sorts as asked.
*/
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "sort_profile/sort_worker.h"

namespace {

/* The judge: ZOR_SORT_JUDGE if set, else the one built beside this
** library, else the one installed with it. */
std::string Judge_Path() {
  if (const char* Named = std::getenv("ZOR_SORT_JUDGE"); Named != nullptr && *Named != '\0') return Named;
  if (access(ZOR_BUILT_SORT_JUDGE, X_OK) == 0) return ZOR_BUILT_SORT_JUDGE;
  return ZOR_INSTALLED_SORT_JUDGE;
}

const char* Base_Name(const char* Path) {
  const char* Slash = std::strrchr(Path, '/');
  return Slash != nullptr ? Slash + 1 : Path;
}

/* glibc passes a constructor the program's arguments. */
__attribute__((constructor(101))) void Hand_Over_To_The_Judge(int Argc, char** Argv, char**) {
  if (Argc >= 3 && std::strcmp(Argv[1], Worker_Argument) == 0) return;
  char Self[4096];
  ssize_t Length = readlink("/proc/self/exe", Self, sizeof Self - 1);
  const char* Name = Argc > 0 ? Base_Name(Argv[0]) : "sort_profile";
  if (Length <= 0) {
    std::fprintf(stderr, "%s: cannot find its own program (/proc/self/exe): %s\n", Name, std::strerror(errno));
    _exit(2);
  }
  Self[Length] = '\0';
  std::string Judge = Judge_Path();
  std::vector<char*> Words = {Judge.data(), const_cast<char*>("--program"), Self,
                              const_cast<char*>("--program-name"), const_cast<char*>(Name)};
  for (int I = 1; I < Argc; I++) Words.push_back(Argv[I]);
  Words.push_back(nullptr);
  execv(Judge.c_str(), Words.data());
  std::fprintf(stderr, "%s: cannot start the kit's judge %s: %s (ZOR_SORT_JUDGE names another)\n", Name,
               Judge.c_str(), std::strerror(errno));
  _exit(2);
}

}  // namespace

int main(int Argc, char** Argv) {
  /* The constructor has handed any other start over to the judge. */
  if (Argc >= 3 && std::strcmp(Argv[1], Worker_Argument) == 0) Serve_Sorts(Argv[2], Sort_Singly_Linked_List);
  return 2;
}
