/*
** class_list.cpp
** Reading a class folder or a CSV manifest.
*/
#include "grade/class_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>

#include "common/whole_file.h"

namespace {

namespace fs = std::filesystem;

/* A student's identifier from their folder's name: each character that
** cannot be in one becomes '_' ("Ann Lee" is Ann_Lee), and a name made
** twice so gets -2, -3, ... */
std::string Id_Of_Folder(const std::string& Name, const std::set<std::string>& Taken) {
  std::string Id = Name.substr(0, 90);
  for (char& C : Id)
    if (!Valid_Student_Id(std::string("x") + C)) C = '_';
  std::string Unique = Id;
  for (int Again = 2; Taken.count(Unique) > 0 && Again < 100000; Again++) Unique = Id + "-" + std::to_string(Again);
  return Unique;
}

bool Read_Folder(const fs::path& Folder, std::vector<Student>* Students, std::string* Problem) {
  std::error_code Error;
  std::vector<std::string> Names;
  for (fs::directory_iterator It(Folder, Error), End; !Error && It != End; It.increment(Error)) {
    std::string Name = It->path().filename().string();
    if (Name[0] != '.' && It->is_directory(Error)) Names.push_back(Name);
  }
  if (Error) return *Problem = "cannot read the class folder " + Folder.string() + ": " + Error.message(), false;
  std::sort(Names.begin(), Names.end());
  /* The names that are identifiers as they stand keep them. */
  std::set<std::string> Taken;
  for (const std::string& Name : Names)
    if (Valid_Student_Id(Name)) Taken.insert(Name);
  for (const std::string& Name : Names) {
    std::string Id = Valid_Student_Id(Name) ? Name : Id_Of_Folder(Name, Taken);
    Taken.insert(Id);
    Students->push_back(Student{Id, (Folder / Name).string(), ""});
  }
  return true;
}

std::string Lower(std::string Text) {
  for (char& C : Text) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
  return Text;
}

std::string Trimmed(const std::string& Text) {
  size_t First = Text.find_first_not_of(" \t\r");
  if (First == std::string::npos) return "";
  return Text.substr(First, Text.find_last_not_of(" \t\r") - First + 1);
}

/* Rows of "identifier,folder[,command]"; a first row naming the columns,
** blank lines and lines starting with '#' are skipped. Folders are taken
** from the manifest's own folder. */
bool Read_Manifest(const fs::path& Path, std::vector<Student>* Students, std::string* Problem) {
  std::string Text;
  if (!Read_Whole_File(Path.string(), &Text))
    return *Problem = "the class " + Path.string() + " is neither a folder nor a readable manifest", false;
  std::istringstream In(Text);
  int Line_Number = 0;
  for (std::string Line; std::getline(In, Line);) {
    Line_Number++;
    std::vector<std::string> F;
    std::string Where = Path.filename().string() + " line " + std::to_string(Line_Number);
    if (Trimmed(Line).empty() || Trimmed(Line)[0] == '#') continue;
    if (!Split_Csv_Line(Line, &F)) return *Problem = Where + ": a quote is not closed", false;
    for (std::string& Field : F) Field = Trimmed(Field);
    if (Students->empty() && Line_Number == 1 && (Lower(F[0]) == "id" || Lower(F[0]) == "identifier")) continue;
    if (F.size() < 2 || F.size() > 3 || F[1].empty())
      return *Problem = Where + ": expected identifier,folder[,command]", false;
    if (!Valid_Student_Id(F[0]))
      return *Problem = Where + ": \"" + F[0] + "\" cannot be a student's identifier (letters, digits, . _ - @)", false;
    fs::path Folder = fs::path(F[1]).is_absolute() ? fs::path(F[1]) : fs::absolute(Path).parent_path() / F[1];
    Students->push_back(Student{F[0], Folder.lexically_normal().string(), F.size() == 3 ? F[2] : ""});
  }
  return true;
}

}  // namespace

bool Valid_Student_Id(const std::string& Id) {
  if (Id.empty() || Id.size() > 100 || Id[0] == '.') return false;
  return std::all_of(Id.begin(), Id.end(), [](char C) {
    return std::isalnum(static_cast<unsigned char>(C)) || C == '.' || C == '_' || C == '-' || C == '@';
  });
}

bool Split_Csv_Line(const std::string& Line, std::vector<std::string>* Fields) {
  Fields->assign(1, "");
  bool Quoted = false;
  for (size_t I = 0; I < Line.size(); I++) {
    char C = Line[I];
    if (Quoted && C == '"' && I + 1 < Line.size() && Line[I + 1] == '"') Fields->back() += '"', I++;
    else if (C == '"') Quoted = !Quoted;
    else if (C == ',' && !Quoted) Fields->emplace_back();
    else if (C != '\r' || Quoted) Fields->back() += C;
  }
  return !Quoted;
}

bool Read_Class(const std::string& Path, std::vector<Student>* Students, std::string* Problem) {
  std::error_code Error;
  Students->clear();
  bool Read = fs::is_directory(Path, Error) ? Read_Folder(fs::absolute(Path), Students, Problem)
                                            : Read_Manifest(Path, Students, Problem);
  if (!Read) return false;
  std::set<std::string> Seen;
  for (const Student& S : *Students)
    if (!Seen.insert(S.Id).second) return *Problem = "the identifier " + S.Id + " is given twice", false;
  if (Students->empty()) return *Problem = "the class " + Path + " has no student", false;
  return true;
}
