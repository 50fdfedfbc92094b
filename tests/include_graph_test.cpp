// The folders of the tree and the arrows between them. Every include is
// written from the root with its folder, so each one is an arrow from
// the including file's folder to the included file's; HACKING.md lists
// the arrows each folder may have, and this test reads that list, every
// include of the tree, and fails on an arrow not in the list, an include
// that names no folder, or a cycle between folders. Code written as a
// user writes it (folders marked "installed") includes the kit's public
// headers by their installed names instead.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/process.h"

namespace {

namespace fs = std::filesystem;

struct Include_Graph {
  std::map<std::string, std::set<std::string>> Arrows;  // folder -> folders it may include from
  std::set<std::string> Installed;                      // public headers, as paths from the root
};

// The ```arrows block of the guide: "FOLDER -> FOLDER ..." per line, and
// "installed: PATH ..." for the public headers.
Include_Graph Read_Graph(const std::string& Guide) {
  Include_Graph G;
  std::istringstream In(Guide);
  bool Inside = false;
  for (std::string Line; std::getline(In, Line);) {
    if (Line.rfind("```", 0) == 0) {
      Inside = Line == "```arrows";
      continue;
    }
    if (!Inside) continue;
    std::istringstream Words(Line);
    std::string First, Word;
    Words >> First;
    if (First == "installed:") {
      while (Words >> Word) G.Installed.insert(Word);
    } else if (!First.empty()) {
      std::set<std::string>& To = G.Arrows[First];
      Words >> Word;  // the arrow itself
      while (Words >> Word) To.insert(Word);
    }
  }
  return G;
}

// The folder of the graph a path lies in: the longest one that holds it.
std::string Folder_Of(const Include_Graph& G, const std::string& Path) {
  std::string Best;
  for (const auto& [Folder, To] : G.Arrows)
    if (Path.rfind(Folder + "/", 0) == 0 && Folder.size() > Best.size()) Best = Folder;
  return Best;
}

bool Has_Cycle(const std::map<std::string, std::set<std::string>>& Arrows, const std::string& From,
               std::map<std::string, int>& State, std::vector<std::string>& Path) {
  State[From] = 1;
  Path.push_back(From);
  auto Out = Arrows.find(From);
  if (Out != Arrows.end())
    for (const std::string& To : Out->second) {
      if (State[To] == 1) return Path.push_back(To), true;
      if (State[To] == 0 && Has_Cycle(Arrows, To, State, Path)) return true;
    }
  Path.pop_back();
  State[From] = 2;
  return false;
}

std::string Cycle_In(const std::map<std::string, std::set<std::string>>& Arrows) {
  std::map<std::string, int> State;
  for (const auto& [From, To] : Arrows) {
    std::vector<std::string> Path;
    if (State[From] == 0 && Has_Cycle(Arrows, From, State, Path)) {
      std::string Text;  // from where the cycle closes, without the path that led to it
      for (auto F = std::find(Path.begin(), Path.end(), Path.back()); F != Path.end(); ++F)
        Text += (Text.empty() ? "" : " -> ") + *F;
      return Text;
    }
  }
  return "";
}

// Where an include of a user-code file leads: a public header by its
// installed name, or a file beside it.
std::string Resolve_Installed(const Include_Graph& G, const fs::path& Root, const std::string& File,
                              const std::string& Name) {
  for (const std::string& Header : G.Installed)
    if (fs::path(Header).filename() == Name) return Header;
  fs::path Beside = (fs::path(File).parent_path() / Name).lexically_normal();
  return fs::exists(Root / Beside) ? Beside.string() : "";
}

// Every problem with the includes of the tree at Root, one line each.
// Generated names a folder of generated headers that also count.
std::vector<std::string> Check_Includes(const fs::path& Root, const fs::path& Generated, const Include_Graph& G) {
  std::vector<std::string> Problems;
  std::map<std::string, std::set<std::string>> Seen;
  for (auto It = fs::recursive_directory_iterator(Root); It != fs::recursive_directory_iterator(); ++It) {
    std::string Name = It->path().filename().string();
    if (It->is_directory() && (Name.rfind("build", 0) == 0 || Name[0] == '.' || Name == "fuzz-findings")) {
      It.disable_recursion_pending();
      continue;
    }
    std::string Ext = It->path().extension().string();
    if (!It->is_regular_file() || (Ext != ".c" && Ext != ".cpp" && Ext != ".h")) continue;
    std::string File = fs::relative(It->path(), Root).string();
    std::string From = Folder_Of(G, File);
    if (From.empty()) {
      Problems.push_back(File + ": in no folder of the graph");
      continue;
    }
    bool User_Code = G.Arrows.at(From).count("installed") > 0;
    std::ifstream In(It->path());
    for (std::string Line; std::getline(In, Line);) {
      size_t Hash = Line.find_first_not_of(" \t");
      if (Hash == std::string::npos || Line.compare(Hash, 1, "#") != 0 || Line.find("include", Hash) == std::string::npos)
        continue;
      size_t Open = Line.find('"'), Close = Line.find('"', Open + 1);
      if (Open == std::string::npos || Close == std::string::npos) continue;
      std::string Included = Line.substr(Open + 1, Close - Open - 1);
      std::string Target = User_Code ? Resolve_Installed(G, Root, File, Included) : Included;
      if (!User_Code && (Included.find('/') == std::string::npos || Included.rfind("..", 0) == 0)) {
        Problems.push_back(File + ": #include \"" + Included + "\" names no folder from the root");
        continue;
      }
      if (Target.empty() || (!fs::exists(Root / Target) && !fs::exists(Generated / Target))) {
        Problems.push_back(File + ": #include \"" + Included + "\" is no file of the tree");
        continue;
      }
      std::string To = Folder_Of(G, Target);
      if (To == From) continue;
      Seen[From].insert(To);
      if (G.Arrows.at(From).count(To) == 0) Problems.push_back(File + ": an arrow " + From + " -> " + To + " not in the graph");
    }
  }
  const std::map<std::string, std::set<std::string>>& Found = Seen;
  for (const auto* Arrows : {&G.Arrows, &Found}) {
    std::map<std::string, std::set<std::string>> Without_Installed = *Arrows;
    for (auto& [From, To] : Without_Installed) To.erase("installed");
    std::string Cycle = Cycle_In(Without_Installed);
    if (!Cycle.empty()) Problems.push_back("a cycle between folders: " + Cycle);
  }
  return Problems;
}

std::string Lines(const std::vector<std::string>& Problems) {
  std::string Text;
  for (const std::string& P : Problems) Text += P + "\n";
  return Text;
}

using Include_Graph_Test = Scratch_Folder_Test;

}  // namespace

TEST(Include_Graph, TheTreeKeepsTheGraphThatHackingDraws) {
  fs::path Root = TEST_SOURCE_ROOT;
  Include_Graph G = Read_Graph(Read_File(TEST_SOURCE_ROOT "/HACKING.md"));
  ASSERT_GE(G.Arrows.size(), 10u) << "HACKING.md has no ```arrows block";
  EXPECT_EQ(Lines(Check_Includes(Root, GENERATED_INCLUDE_ROOT, G)), "");
}

// The check itself, on small made-up trees: each fault is named.
TEST_F(Include_Graph_Test, EachKindOfFaultIsNamed) {
  struct Case {
    const char* What;
    std::vector<std::pair<std::string, std::string>> Files;  // path, contents
    std::string Problem;                                     // a line the check must give
  };
  const std::string Graph = "```arrows\nbase ->\nmiddle -> base\ntop -> middle base\nuser -> installed base\n"
                            "installed: base/public.h\n```\n";
  const Case Cases[] = {
      {"a sound tree", {{"base/a.h", ""}, {"middle/b.cpp", "#include \"base/a.h\"\n"},
                        {"user/u.c", "#include \"public.h\"\n#include \"u.h\"\n"}, {"user/u.h", ""},
                        {"base/public.h", ""}}, ""},
      {"an arrow the graph has not", {{"base/a.h", "#include \"middle/b.h\"\n"}, {"middle/b.h", ""}},
       "base/a.h: an arrow base -> middle not in the graph\n"},
      {"an include with no folder", {{"middle/b.cpp", "#include \"b.h\"\n"}, {"middle/b.h", ""}},
       "middle/b.cpp: #include \"b.h\" names no folder from the root\n"},
      {"a file that is not there", {{"top/t.cpp", "  #  include \"middle/gone.h\"\n"}},
       "top/t.cpp: #include \"middle/gone.h\" is no file of the tree\n"},
      {"a file in no folder", {{"elsewhere/e.cpp", ""}}, "elsewhere/e.cpp: in no folder of the graph\n"},
  };
  for (const Case& C : Cases) {
    std::string Tree = At(std::string("tree_") + std::to_string(&C - Cases));
    for (const auto& [Path, Contents] : C.Files) {
      fs::create_directories(fs::path(Tree + "/" + Path).parent_path());
      Write_File(Tree + "/" + Path, Contents);
    }
    EXPECT_EQ(Lines(Check_Includes(Tree, Tree, Read_Graph(Graph))), C.Problem) << C.What;
  }
  // A cycle, in the graph or in the tree's own includes.
  fs::create_directories(At("none"));
  EXPECT_EQ(Lines(Check_Includes(At("none"), At("none"), Read_Graph("```arrows\na -> b\nb -> c\nc -> a\n```\n"))),
            "a cycle between folders: a -> b -> c -> a\n");
}
