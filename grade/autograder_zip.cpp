/*
** autograder_zip.cpp
** Gradescope's autograder zip, laid out in a folder and zipped by Debian's
** zip. The scripts take the autograder's root from AUTOGRADER (default
** /autograder), so that the zip can be tried in a folder laid out as
** Gradescope lays it out.
*/
#include "grade/autograder_zip.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "common/whole_file.h"
#include "sandbox/sandbox.h"
#include "simulator_checker/failure_report.h"

namespace {

namespace fs = std::filesystem;

bool Put(const std::string& Path, const std::string& Bytes, mode_t Mode) {
  return Write_Whole_File(Path, Bytes) && chmod(Path.c_str(), Mode) == 0;
}

bool Put_Copy(const std::string& From, const std::string& To, mode_t Mode) {
  std::error_code Error;
  fs::create_directories(fs::path(To).parent_path(), Error);
  return fs::copy_file(From, To, fs::copy_options::overwrite_existing, Error) && chmod(To.c_str(), Mode) == 0;
}

}  // namespace

std::string Setup_Script(const Autograder_Parts& P) {
  std::string Packages = "bubblewrap python3 default-jdk-headless golang-go make";
  if (P.Task == "sorts") Packages += " gcc g++";
  return "#!/usr/bin/env bash\n"
         "# Run once, as root, when Gradescope builds the autograder's image: the\n"
         "# sandbox (bubblewrap), the languages students write in, and the secret\n"
         "# phrase made readable by root alone.\n"
         "set -euo pipefail\n"
         "cd \"$(dirname \"$0\")\"\n"
         "apt-get update\n"
         "DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends " + Packages + "\n"
         "chown -R root:root .\n"
         "chmod 700 bin\n"
         "chmod 600 secret\n";
}

std::string Run_Autograder_Script(const Autograder_Parts& P) {
  std::string Line = "exec \"$root/source/bin/zor_grade\" " + P.Task;
  for (const std::string& Word : P.Arguments) Line += " " + Shell_Word(Word);
  if (P.Task == "sorts")
    Line += " --library \"$root/source/lib/libsort_profile.a\" --include \"$root/source/include\"";
  return "#!/usr/bin/env bash\n"
         "# Grades the one submission in $root/submission into\n"
         "# $root/results/results.json. Every build and run of the student's code\n"
         "# is boxed, as a user id of its own, and sees neither the results nor\n"
         "# the secret phrase.\n"
         "set -euo pipefail\n"
         "root=\"${AUTOGRADER:-/autograder}\"\n"
         "secret=()\n"
         "if [ -s \"$root/source/secret\" ]; then secret=(--secret-file \"$root/source/secret\"); fi\n"
         "mkdir -p \"$root/results\"\n" +
         Line + " \"${secret[@]}\" --sandbox required --gradescope -o \"$root/results\" \"$root/submission\"\n";
}

bool Write_Autograder_Zip(const std::string& Zip, const std::string& Scratch, const Autograder_Parts& P,
                          std::string* Problem) {
  std::string Folder = Scratch + "/autograder";
  std::error_code Error;
  fs::path Self = fs::read_symlink("/proc/self/exe", Error);
  fs::create_directories(Folder + "/bin", Error);
  bool Ok = !Error && Put(Folder + "/setup.sh", Setup_Script(P), 0755) &&
            Put(Folder + "/run_autograder", Run_Autograder_Script(P), 0755) &&
            Put(Folder + "/secret", P.Secret, 0600) && Put_Copy(Self.string(), Folder + "/bin/zor_grade", 0755);
  if (Ok && P.Task == "sorts")
    Ok = Put_Copy(P.Library, Folder + "/lib/libsort_profile.a", 0644) &&
         Put_Copy(P.Include + "/sort_bench.h", Folder + "/include/sort_bench.h", 0644);
  if (!Ok) return *Problem = "cannot lay out the autograder in " + Folder + ": " + std::strerror(errno), false;
  std::string Absolute = fs::absolute(Zip).lexically_normal().string(), Partial = Absolute + ".partial";
  fs::remove(Partial, Error);
  Sandbox_Request R;
  R.Command = {"zip", "-q", "-r", "-X", Partial, "."};
  R.Folder = Folder;
  R.Limits = Sandbox_Limits{300, 600, 0, 0, int64_t(1) << 30, 256, int64_t(1) << 20, 0, 0, 0};  // the tool's own files
  R.Kept_Err = 400;
  Sandbox_Result Zipped = Run_Contained(R);
  if (Zipped.Ending != Sandbox_Exited || Zipped.Status != 0) {
    fs::remove(Partial, Error);
    return *Problem = "cannot write " + Zip + " with zip: " +
                      (Zipped.Ending == Sandbox_Not_Started ? Zipped.Detail : Zipped.Err.substr(0, 200)),
           false;
  }
  fs::rename(Partial, Absolute, Error);
  if (Error) return *Problem = "cannot write " + Zip + ": " + Error.message(), false;
  return true;
}
