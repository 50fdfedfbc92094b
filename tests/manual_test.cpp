// The man pages against the programs they describe, so that the two
// cannot drift apart: every installed program has a page in section 1
// and no page in section 1 names a program that is not installed; every
// option a program's --help prints is named in its page.
#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/process.h"

namespace {

struct Manual_Entry {
  std::string Program, Page;  // the program's path; its page, e.g. "zor_study.1"
};

std::vector<Manual_Entry> Manual_Entries() {
  std::vector<Manual_Entry> Entries;
  std::istringstream Lines(Read_File(MANUAL_PAGES_LIST));
  for (Manual_Entry E; Lines >> E.Program >> E.Page;) Entries.push_back(E);
  return Entries;
}

// The page's source with scdoc's escapes taken out, so "--x\_y" reads "--x_y".
std::string Page_Text(const std::string& Page) {
  std::string Text = Read_File(std::string(MAN_PAGE_SOURCES) + "/" + Page + ".scd"), Plain;
  for (char C : Text)
    if (C != '\\') Plain += C;
  return Plain;
}

// The long options a --help text names: "--word" with letters, digits,
// - and _, whatever follows it (=, a space, a comma).
std::set<std::string> Options_In(const std::string& Help) {
  std::set<std::string> Options;
  auto Letter = [](char C) { return std::isalpha(static_cast<unsigned char>(C)) != 0; };
  auto In_Name = [&Letter](char C) {
    return Letter(C) || std::isdigit(static_cast<unsigned char>(C)) || C == '_' || C == '-';
  };
  for (size_t At = Help.find("--"); At != std::string::npos; At = Help.find("--", At + 2)) {
    if (At + 2 >= Help.size() || !Letter(Help[At + 2])) continue;
    size_t End = At + 2;
    while (End < Help.size() && In_Name(Help[End])) End++;
    Options.insert(Help.substr(At, End - At));
    At = End - 2;
  }
  return Options;
}

using Manual = Scratch_Folder_Test;

TEST_F(Manual, EveryInstalledProgramHasItsPageAndEveryPageItsProgram) {
  std::vector<Manual_Entry> Entries = Manual_Entries();
  ASSERT_GE(Entries.size(), 10u);
  std::set<std::string> Listed;
  for (const Manual_Entry& E : Entries) {
    EXPECT_TRUE(File_Exists(std::string(MAN_PAGE_SOURCES) + "/" + E.Page + ".scd")) << E.Program << ": " << E.Page;
    Listed.insert(E.Page);
  }
  DIR* Folder_Of_Pages = opendir(MAN_PAGE_SOURCES);
  ASSERT_NE(Folder_Of_Pages, nullptr);
  for (dirent* Entry; (Entry = readdir(Folder_Of_Pages)) != nullptr;) {
    std::string Name = Entry->d_name;
    if (Name.size() > 6 && Name.ends_with(".1.scd")) {
      EXPECT_TRUE(Listed.count(Name.substr(0, Name.size() - 4))) << Name << " describes no installed program";
    }
  }
  closedir(Folder_Of_Pages);
}

TEST_F(Manual, EveryOptionThatHelpPrintsIsInThePage) {
  for (const Manual_Entry& E : Manual_Entries()) {
    Run_Result Help = Run_Program(E.Program, Folder, "", {}, {"--help"});
    EXPECT_EQ(Help.Exit_Status, 0) << E.Program;
    EXPECT_FALSE(Help.Out.empty()) << E.Program;
    std::string Page = Page_Text(E.Page);
    for (const std::string& Option : Options_In(Help.Out)) {
      EXPECT_NE(Page.find(Option), std::string::npos) << E.Program << " --help names " << Option << ", "
                                                       << E.Page << " does not";
    }
  }
}

// The extraction itself, on a help text of each shape the kit prints.
TEST(Manual_Options, AreReadFromEachShapeOfHelp) {
  EXPECT_EQ(Options_In("  --trials INT:INT in [1 - 100000]=200\n  -h,--help   Print\n"),
            (std::set<std::string>{"--help", "--trials"}));
  EXPECT_EQ(Options_In("--benchmark_out=FILE, --sweep-k LOW,HIGH (--k 0)"),
            (std::set<std::string>{"--benchmark_out", "--k", "--sweep-k"}));
  EXPECT_EQ(Options_In("Usage: workload_maker\nno options - - at all\n"), std::set<std::string>{});
}

}  // namespace
