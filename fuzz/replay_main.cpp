/*
** replay_main.cpp
** Every input of a fuzz target's corpus and regressions, run through the
** target once, in a build without libFuzzer: the normal test suite (and
** the sanitizer build) so keeps every fixed fault fixed.
**   fuzz_X_replay FOLDER...
*/
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"


int main(int Argc, char** Argv) {
  size_t Inputs = 0;
  for (int A = 1; A < Argc; A++) {
    std::error_code Error;
    if (!std::filesystem::is_directory(Argv[A], Error)) continue;
    std::vector<std::filesystem::path> Files;
    for (const auto& Entry : std::filesystem::directory_iterator(Argv[A]))
      if (Entry.is_regular_file()) Files.push_back(Entry.path());
    std::sort(Files.begin(), Files.end());
    for (const auto& Path : Files) {
      std::ifstream In(Path, std::ios::binary);
      std::vector<char> Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
      std::fprintf(stderr, "%s\n", Path.c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(Bytes.data()), Bytes.size());
      Inputs++;
    }
  }
  std::printf("%zu inputs replayed\n", Inputs);
  return Inputs > 0 ? 0 : 1;
}
