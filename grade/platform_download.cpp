/*
** platform_download.cpp
** Canvas's and Moodle's downloads of a class, recognised by their names
** and turned into one folder per student.
**
** The download is the teacher's, but every name and byte in it is a
** student's: names are checked before a zip is unpacked (no "..", no
** leading '/'), the count and total size of a zip are capped, links are
** never followed, and only regular files are copied.
*/
#include "grade/platform_download.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sandbox/sandbox.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t Most_Files = 20000;
constexpr int64_t Most_Bytes = int64_t(2) << 30;

/* A name made into a safe identifier: the safe characters kept, any
** other run of characters one '_'. */
std::string Safe_Id(const std::string& Name) {
  std::string Id;
  for (char C : Name) {
    bool Safe = std::isalnum(static_cast<unsigned char>(C)) || C == '.' || C == '-' || C == '@';
    if (Safe) Id += C;
    else if (!Id.empty() && Id.back() != '_') Id += '_';
  }
  while (!Id.empty() && (Id[0] == '.' || Id[0] == '_')) Id.erase(0, 1);
  while (!Id.empty() && Id.back() == '_') Id.pop_back();
  return Id.substr(0, 80);
}

/* "sim-2.c" as ("sim.c", 2); a name without such a suffix has 0. */
std::pair<std::string, int> Without_Repeat(const std::string& Name) {
  static const std::regex Repeat(R"(^(.*)-([0-9]{1,4})(\.[^./]*)?$)");
  std::smatch M;
  if (!std::regex_match(Name, M, Repeat)) return {Name, 0};
  return {M[1].str() + M[3].str(), std::stoi(M[2].str())};
}

/* Of the files of one submission, a name repeated across uploads (sim.c,
** sim-1.c, sim-2.c) is the one uploaded last, under the first name. */
void Keep_Latest_Names(Download_Student& S) {
  std::map<std::string, std::pair<int, size_t>> Best;  // base name -> (repeat, index)
  std::map<std::string, int> Sharing;
  for (const auto& File : S.Files) Sharing[Without_Repeat(File.second).first]++;
  std::vector<std::pair<std::string, std::string>> Kept;
  for (size_t I = 0; I < S.Files.size(); I++) {
    auto [Base, Repeat] = Without_Repeat(S.Files[I].second);
    if (Sharing[Base] < 2) Base = S.Files[I].second, Repeat = 0;
    auto Known = Best.find(Base);
    if (Known == Best.end() || Known->second.first < Repeat) Best[Base] = {Repeat, I};
  }
  for (const auto& [Base, Chosen] : Best) Kept.push_back({S.Files[Chosen.second].first, Base});
  S.Files = Kept;
}

/* Ids made unique: a clash or an empty one takes the platform's id too. */
void Settle_Ids(Download_Class& C) {
  std::map<std::string, int> Count;
  for (const Download_Student& S : C.Students) Count[S.Id]++;
  for (Download_Student& S : C.Students)
    if (S.Id.empty() || Count[S.Id] > 1 || !Valid_Student_Id(S.Id))
      S.Id = (S.Id.empty() ? std::string("student") : S.Id) + "_" + S.Platform_Id;
  std::sort(C.Students.begin(), C.Students.end(),
            [](const Download_Student& A, const Download_Student& B) { return A.Id < B.Id; });
}

bool Read_Canvas(const std::vector<std::string>& Paths, Download_Class* C) {
  static const std::regex Canvas(R"(^([^_/]+)(_late)?_([0-9]+)_([0-9]+)_([^/]+)$)");
  std::map<std::string, std::pair<long long, Download_Student>> Latest;  // user id -> (submission id, student)
  for (const std::string& Path : Paths) {
    std::smatch M;
    if (!std::regex_match(Path, M, Canvas)) return false;
    long long Submission = std::stoll(M[4].str().substr(0, 18));
    auto& [Seen, S] = Latest[M[3].str()];
    if (S.Platform_Id.empty() || Submission > Seen) S = Download_Student{Safe_Id(M[1].str()), M[3].str(), {}};
    if (Submission >= Seen) Seen = Submission, S.Files.push_back({Path, M[5].str()});
  }
  for (auto& [User, Entry] : Latest) {
    Keep_Latest_Names(Entry.second);
    C->Students.push_back(Entry.second);
  }
  C->Kind = Platform_Canvas;
  return true;
}

bool Read_Moodle(const std::vector<std::string>& Paths, Download_Class* C) {
  static const std::regex Folder(R"(^([^/]+)_([0-9]+)_assignsubmission_([a-z]+)_?/(.+)$)");
  static const std::regex Flat(R"(^([^/]+)_([0-9]+)_assignsubmission_file_([^/]+)$)");
  std::map<std::string, Download_Student> By_Participant;
  for (const std::string& Path : Paths) {
    std::smatch M;
    bool In_Folder = std::regex_match(Path, M, Folder);
    if (!In_Folder && !std::regex_match(Path, M, Flat)) return false;
    Download_Student& S = By_Participant[M[2].str()];
    S.Id = Safe_Id(M[1].str()), S.Platform_Id = M[2].str();
    /* Only the files handed in: an online text's page is not the program. */
    if (In_Folder && M[3].str() != "file") continue;
    S.Files.push_back({Path, In_Folder ? M[4].str() : M[3].str()});
  }
  for (auto& [Participant, S] : By_Participant) C->Students.push_back(S);
  C->Kind = Platform_Moodle;
  return true;
}

/* Every regular file under Folder, by its path from there; links and
** anything else are left out, never followed. */
bool List_Files(const std::string& Folder, std::vector<std::string>* Paths) {
  std::error_code Error;
  fs::recursive_directory_iterator It(Folder, fs::directory_options::none, Error), End;
  for (; !Error && It != End; It.increment(Error)) {
    if (It.depth() > 8 || Paths->size() > Most_Files) return false;
    if (It->is_regular_file(Error) && !It->is_symlink(Error))
      Paths->push_back(fs::relative(It->path(), Folder, Error).string());
  }
  return !Error;
}

/* A zip's member names are refused when one could land outside the
** folder it is unpacked in. */
bool Safe_Member(const std::string& Name) {
  if (Name.empty() || Name[0] == '/' || Name.find('\\') != std::string::npos) return false;
  std::istringstream Parts(Name);
  for (std::string Part; std::getline(Parts, Part, '/');)
    if (Part == "..") return false;
  return true;
}

Sandbox_Result Run_Unzip(const std::vector<std::string>& Arguments, const std::string& Folder) {
  Sandbox_Request R;
  R.Command = {"unzip"};
  R.Command.insert(R.Command.end(), Arguments.begin(), Arguments.end());
  R.Folder = Folder;
  /* The folder's caps stand behind the listing's word on what the zip
  ** holds: a class's files, their folders, and blocks on disk beside. */
  R.Limits = Sandbox_Limits{120, 600, 0, 0, Most_Bytes, 256, int64_t(64) << 20, 0, 2 * Most_Bytes, 2 * Most_Files};
  R.Kept_Err = 2000;
  return Run_Contained(R);
}

/* Unpacks Zip into Folder, once its names, count and size are checked. */
bool Unpack_Zip(const std::string& Zip, const std::string& Folder, std::string* Problem) {
  Sandbox_Result Listed = Run_Unzip({"-Z1", Zip}, Folder);
  if (Listed.Ending != Sandbox_Exited || Listed.Status != 0)
    return *Problem = "cannot read the zip " + Zip + ": " + Listed.Err.substr(0, 200), false;
  std::istringstream Names(Listed.Out);
  size_t Count = 0;
  for (std::string Name; std::getline(Names, Name); Count++)
    if (!Safe_Member(Name)) return *Problem = "the zip " + Zip + " holds a name that leads outside it: " + Name, false;
  Sandbox_Result Sized = Run_Unzip({"-l", Zip}, Folder);
  std::string Last = Sized.Out.substr(Sized.Out.find_last_of('\n', Sized.Out.size() - 2) + 1);
  long long Total = -1;
  if (Count > Most_Files || std::sscanf(Last.c_str(), "%lld", &Total) != 1 || Total > Most_Bytes || Total < 0)
    return *Problem = "the zip " + Zip + " holds more than a class's submissions would (20000 files, 2 GiB)", false;
  Sandbox_Result Unpacked = Run_Unzip({"-qq", "-o", Zip, "-d", Folder}, Folder);
  if (Unpacked.Ending != Sandbox_Exited || Unpacked.Status > 1)
    return *Problem = "cannot unpack the zip " + Zip + ": " + Sandbox_Verdict(Unpacked, Sandbox_Limits{}), false;
  return true;
}

bool Copy_Regular_File(const std::string& From, const std::string& To) {
  int In = open(From.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  struct stat Status;
  if (In < 0 || fstat(In, &Status) != 0 || !S_ISREG(Status.st_mode)) {
    if (In >= 0) close(In);
    return false;
  }
  std::error_code Error;
  fs::create_directories(fs::path(To).parent_path(), Error);
  int Out = open(To.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, (Status.st_mode & 0111) ? 0755 : 0644);
  bool Ok = Out >= 0;
  char Buffer[65536];
  for (ssize_t Got; Ok && (Got = read(In, Buffer, sizeof Buffer)) != 0;)
    Ok = Got > 0 && write(Out, Buffer, static_cast<size_t>(Got)) == Got;
  if (Out >= 0) Ok = close(Out) == 0 && Ok;
  close(In);
  return Ok;
}

}  // namespace

Download_Class Recognise_Download(const std::vector<std::string>& Paths) {
  Download_Class C;
  if (Paths.empty()) return C;
  if (!Read_Canvas(Paths, &C) && !Read_Moodle(Paths, &C)) return Download_Class{};
  Settle_Ids(C);
  return C;
}

const char* Platform_Words(Platform_Kind Kind) {
  return Kind == Platform_Canvas   ? "Canvas's \"Download submissions\""
         : Kind == Platform_Moodle ? "Moodle's \"Download all submissions\""
                                   : "a class folder or manifest";
}

bool Read_Download(const std::string& Path, const std::string& Scratch, Platform_Kind* Kind,
                   std::vector<Student>* Students, std::map<std::string, std::string>* Platform_Ids,
                   std::string* Problem) {
  *Kind = Platform_None;
  std::error_code Error;
  std::string Root = Path;
  if (fs::is_regular_file(Path, Error) && fs::path(Path).extension() == ".zip") {
    Root = Scratch + "/download";
    fs::create_directories(Root, Error);
    if (!Unpack_Zip(fs::absolute(Path).string(), Root, Problem)) return false;
  } else if (!fs::is_directory(Path, Error)) {
    return true;
  }
  std::vector<std::string> Paths;
  if (!List_Files(Root, &Paths)) return true;
  Download_Class C = Recognise_Download(Paths);
  if (C.Kind == Platform_None) {
    if (Root != Path) *Problem = "the zip " + Path + " is neither Canvas's nor Moodle's download of a class";
    return Root == Path;
  }
  for (const Download_Student& S : C.Students) {
    std::string Folder = Scratch + "/class/" + S.Id;
    fs::create_directories(Folder, Error);
    for (const auto& [From, Name] : S.Files)
      if (Safe_Member(Name) && !Copy_Regular_File(Root + "/" + From, Folder + "/" + Name))
        return *Problem = "cannot copy " + From + " from the download", false;
    Students->push_back(Student{S.Id, Folder, ""});
    (*Platform_Ids)[S.Id] = S.Platform_Id;
  }
  *Kind = C.Kind;
  return true;
}
