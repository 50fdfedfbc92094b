/*
** grade_report.cpp
** Writing report.html.
*/
#include "grade/grade_report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include <sodium.h>

#include "chart/svg_chart.h"
#include "common/shown_text.h"
#include "common/staged_file.h"
#include "grade/grade_files.h"
#include "grade/sort_grading.h"
#include "sort_profile/profile_lists.h"

namespace {

const char Page_Style[] =
    "body{font-family:sans-serif;margin:1.5em;color:#222;max-width:1250px}"
    "table{border-collapse:collapse;margin:0.5em 0}th,td{border:1px solid #bbb;padding:2px 6px;text-align:left}"
    "table.sortable th{cursor:pointer;background:#eef}table.sortable th:hover{background:#dde}"
    "td.n{text-align:right}pre{background:#f6f6f6;padding:0.6em;white-space:pre-wrap;font-size:90%}"
    "svg{max-width:100%;height:auto}section{border-top:2px solid #ccc;margin-top:1.5em}";

/* Click a column's head to sort by it; again to reverse. Numbers sort as
** numbers, the rest as text. */
const char Sorting_Script[] =
    "function sortBy(table, column, head) {\n"
    "  var body = table.tBodies[0], rows = Array.prototype.slice.call(body.rows);\n"
    "  var up = head.getAttribute('data-order') !== 'up';\n"
    "  Array.prototype.forEach.call(table.tHead.rows[0].cells, function (h) { h.removeAttribute('data-order'); });\n"
    "  head.setAttribute('data-order', up ? 'up' : 'down');\n"
    "  rows.sort(function (a, b) {\n"
    "    var x = a.cells[column].textContent, y = b.cells[column].textContent;\n"
    "    var p = Number(x.replace(/^\\u2248 /, '')), q = Number(y.replace(/^\\u2248 /, ''));\n"
    "    var c = (x !== '' && y !== '' && !isNaN(p) && !isNaN(q)) ? p - q : x.localeCompare(y);\n"
    "    return up ? c : -c;\n"
    "  });\n"
    "  rows.forEach(function (r) { body.appendChild(r); });\n"
    "}\n"
    "Array.prototype.forEach.call(document.querySelectorAll('table.sortable'), function (table) {\n"
    "  Array.prototype.forEach.call(table.tHead.rows[0].cells, function (head, column) {\n"
    "    head.setAttribute('title', 'Click to sort by this column; again to reverse');\n"
    "    head.addEventListener('click', function () { sortBy(table, column, head); });\n"
    "  });\n"
    "});\n";

/* A picture drawn by Draw into a string, without the XML declaration that
** a page cannot hold in its middle. */
template <typename Drawing>
std::string Inline_Svg(Drawing Draw) {
  char* Text = nullptr;
  size_t Size = 0;
  std::FILE* Out = open_memstream(&Text, &Size);
  Draw(Out);
  std::fclose(Out);
  std::string Svg(Text, Size);
  std::free(Text);
  if (Svg.rfind("<?xml", 0) == 0) Svg.erase(0, Svg.find('\n') + 1);
  return Svg;
}

std::string Score_Histogram(const std::vector<Student_Grade>& Grades, double Points) {
  constexpr size_t Bins = 10;
  double From[Bins], To[Bins], Count[Bins] = {};
  for (size_t B = 0; B < Bins; B++) From[B] = Points * B / Bins, To[B] = Points * (B + 1) / Bins;
  for (const Student_Grade& G : Grades)
    Count[std::min(Bins - 1, static_cast<size_t>(std::max(0.0, G.Score / Points * Bins)))]++;
  double Most = std::max(1.0, *std::max_element(Count, Count + Bins));
  return Inline_Svg([&](std::FILE* Out) {
    Svg_Begin(Out, 640, 300);
    Chart_Panel P{70, 40, 540, 200, Chart_Axis{0, Points, Labels_Number, "score"},
                  Chart_Axis{0, Most * 1.15, Labels_Count, "students"}};
    Draw_Panel(Out, P, "Scores of the class");
    Draw_Bars(Out, P, From, To, Count, Bins, "#4a7ab5");
    Svg_End(Out);
  });
}

struct Broken_Line {
  std::string What;
  int Students = 0, Days = 0;
};

/* The rules and the other ways a day can end, by the students who met
** them, most first. */
std::string Broken_Most(const std::vector<Student_Grade>& Grades) {
  std::vector<Broken_Line> Lines;
  for (int R = 0; R < Number_Of_Rules; R++) Lines.push_back({std::string("rule: ") + Rule_Name[R]});
  for (int C = 0; C < Number_Of_Failure_Counts; C++) Lines.push_back({std::string("ended: ") + Failure_Count_Key[C]});
  for (const Student_Grade& G : Grades) {
    for (int R = 0; R < Number_Of_Rules; R++) Lines[size_t(R)].Students += G.Rule_Days[R] > 0, Lines[size_t(R)].Days += G.Rule_Days[R];
    for (int C = 0; C < Number_Of_Failure_Counts; C++) {
      Broken_Line& L = Lines[size_t(Number_Of_Rules + C)];
      L.Students += G.Failure_Days[C] > 0, L.Days += G.Failure_Days[C];
    }
  }
  std::stable_sort(Lines.begin(), Lines.end(), [](const Broken_Line& A, const Broken_Line& B) {
    return A.Students != B.Students ? A.Students > B.Students : A.Days > B.Days;
  });
  std::string Html = "<table class=\"sortable\"><thead><tr><th>rule or ending</th><th>students</th><th>days</th></tr>"
                     "</thead><tbody>\n";
  for (const Broken_Line& L : Lines)
    if (L.Days > 0)
      Html += "<tr><td>" + Html_Text(L.What) + "</td><td class=\"n\">" + std::to_string(L.Students) +
              "</td><td class=\"n\">" + std::to_string(L.Days) + "</td></tr>\n";
  return Html + "</tbody></table>\n";
}

/* The head of a class table, sortable, with these column heads. */
template <size_t N>
std::string Class_Table_Head(const char* const (&Heads)[N]) {
  std::string Html = "<table class=\"sortable\" id=\"class\"><thead><tr>";
  for (const char* H : Heads) Html += std::string("<th>") + H + "</th>";
  return Html + "</tr></thead><tbody>\n";
}

/* The cells every class table opens a student's row with: the student
** (a link to their section), the verdict, the score, the cases or days
** passed and run; then the next cell's opening. */
std::string Class_Row_Start(const Student_Grade& G) {
  return "<tr><td><a href=\"#s-" + Html_Text(G.Id) + "\">" + Html_Text(G.Id) + "</a></td><td>" +
         Html_Text(G.Verdict) + "</td><td class=\"n\">" + Fixed(G.Score, 1) + "</td><td class=\"n\">" +
         std::to_string(G.Passed) + "</td><td class=\"n\">" + std::to_string(G.Run) + "</td><td>";
}

/* A ratio to the merge sort's, or nothing where there is none. */
std::string Ratio_Cell(double Ratio) { return "<td class=\"n\">" + (Ratio > 0 ? Fixed(Ratio, 3) : "") + "</td>"; }

/* The sort routines' table: correctness, the growth and speed figure on
** random lists and on the order where each routine grows worst, and the
** rank, which weighs that worst order first. */
std::string Sort_Class_Table(const std::vector<Student_Grade>& Grades) {
  const char* const Heads[] = {"student", "verdict", "score", "cases passed", "cases run", "growth on random lists",
                               "random: time / merge sort's", "worst order", "its growth", "its time / merge sort's",
                               "rank", "seconds", "reason"};
  std::string Html = Class_Table_Head(Heads);
  bool Any_Tie = false;
  for (const Student_Grade& G : Grades) {
    bool Worst = G.Worst_Order >= 0 && size_t(G.Worst_Order) < G.Growth.size();
    Any_Tie = Any_Tie || (G.Rank > 0 && G.Tied_Above);
    Html += Class_Row_Start(G) + Html_Text(G.Growth.empty() ? "" : G.Growth[0]) + "</td>" +
            Ratio_Cell(G.Order_Ratio.empty() ? 0 : G.Order_Ratio[0]) + "<td>" +
            (Worst ? Order_Name[G.Worst_Order] : "") + "</td><td>" +
            Html_Text(Worst ? G.Growth[size_t(G.Worst_Order)] : "") + "</td>" + Ratio_Cell(Worst ? G.Time_Ratio : 0) +
            "<td class=\"n\">" + (G.Rank > 0 ? (G.Tied_Above ? "\u2248 " : "") + std::to_string(G.Rank) : "") +
            "</td><td class=\"n\">" + Fixed(G.Seconds, 1) + "</td><td>" + Html_Text(G.Reason) + "</td></tr>\n";
  }
  Html += "</tbody></table>\n<p>Ranked by the growth on each routine's worst order first, then by its time there over "
          "the merge sort's: the median of that ratio over every size timed.";
  if (Any_Tie)
    Html += " \u2248 before a rank: that routine is within the noise of the one ranked just above it (the middle "
            "halves of their ratios over the sizes overlap), so another run may swap the two.";
  return Html + "</p>\n";
}

/* How many students got each verdict, most first. */
std::string Verdict_Counts(const std::vector<Student_Grade>& Grades) {
  std::vector<std::pair<std::string, int>> Counts;
  for (const Student_Grade& G : Grades) {
    auto It = std::find_if(Counts.begin(), Counts.end(), [&G](const auto& C) { return C.first == G.Verdict; });
    if (It == Counts.end()) Counts.push_back({G.Verdict, 1});
    else It->second++;
  }
  std::stable_sort(Counts.begin(), Counts.end(), [](const auto& A, const auto& B) { return A.second > B.second; });
  std::string Html = "<table class=\"sortable\"><thead><tr><th>verdict</th><th>students</th></tr></thead><tbody>\n";
  for (const auto& [Verdict, Count] : Counts)
    Html += "<tr><td>" + Html_Text(Verdict) + "</td><td class=\"n\">" + std::to_string(Count) + "</td></tr>\n";
  return Html + "</tbody></table>\n";
}

std::string Class_Table(const std::vector<Student_Grade>& Grades) {
  const char* const Heads[] = {"student", "verdict", "score", "days followed", "days run", "first rule broken",
                               "smallest failing day (customers)", "seconds", "reason"};
  std::string Html = Class_Table_Head(Heads);
  for (const Student_Grade& G : Grades) {
    Html += Class_Row_Start(G) +
            Html_Text(G.First_Rule) + "</td><td class=\"n\">" +
            (G.Shrunk_Size < 0 ? "" : std::to_string(G.Shrunk_Size)) + "</td><td class=\"n\">" +
            Fixed(G.Seconds, 1) + "</td><td>" + Html_Text(G.Reason) + "</td></tr>\n";
  }
  return Html + "</tbody></table>\n";
}

std::string Battery_Table(const Report_Facts& F, const std::vector<Student_Grade>& Grades) {
  std::string Html = "<table class=\"sortable\"><thead><tr><th>day</th><th>how it was made</th><th>outside the draws "
                     "because</th><th>students who followed it</th></tr></thead><tbody>\n";
  for (const Battery_Note& N : F.Notes) {
    int Followed = 0, Ran = 0;
    for (const Student_Grade& G : Grades)
      if (G.Day_Marks.size() >= size_t(N.Day)) Ran++, Followed += G.Day_Marks[size_t(N.Day - 1)] == '+';
    Html += "<tr><td class=\"n\">" + std::to_string(N.Day) + "</td><td>" + Html_Text(N.What) + "</td><td>" +
            Html_Text(N.Outside.empty() ? "(within the draws; made up for its servers)" : N.Outside) +
            "</td><td class=\"n\">" + std::to_string(Followed) + " of " + std::to_string(Ran) + "</td></tr>\n";
  }
  return Html + "</tbody></table>\n";
}

/* A routine's growth on each order of list, drawn here from the verdicts
** the grading holds. Never the picture its profiler left: the profiler
** is the student's own program, and an SVG it wrote could carry a script
** into the teacher's browser. */
std::string Growth_Chart(const Student_Grade& G) {
  double Value[Number_Of_Orders];
  std::string Words[Number_Of_Orders];
  const char* Text[Number_Of_Orders];
  const char* Column[] = {"growth of its cost"};
  for (size_t O = 0; O < Number_Of_Orders; O++) {
    std::string Said = O < G.Growth.size() ? G.Growth[O] : "";
    Words[O] = Said.empty() ? "not timed" : Visible_Text(Said.size() > 40 ? Said.substr(0, 40) + "..." : Said);
    Value[O] = Said.empty() ? NAN : Growth_Value(Said);
    Text[O] = Words[O].c_str();
  }
  std::string Title = Visible_Text(G.Id) + ": how its CPU time grows with the list, per order of list";
  return Inline_Svg([&](std::FILE* Out) {
    Svg_Begin(Out, 520, 70 + 28 * Number_Of_Orders);
    Svg_Text(Out, 260, 22, 14, "middle", true, Title.c_str());
    Draw_Heat_Map(Out, 140, 60, 300, 28, Number_Of_Orders, 1, Value, 1, 4, Text, Order_Name, Column, SIZE_MAX);
    Svg_End(Out);
  });
}

std::string Student_Section(const Student_Grade& G, bool Sorts) {
  std::string Html = "<section id=\"s-" + Html_Text(G.Id) + "\"><h3>" + Html_Text(G.Id) + ": " + Html_Text(G.Verdict) +
                     ", " + Fixed(G.Score, 1) + "</h3>\n<pre>" + Html_Text(G.Feedback) + "</pre>\n";
  bool Timed = std::any_of(G.Growth.begin(), G.Growth.end(), [](const std::string& W) { return !W.empty(); });
  if (Sorts && Timed)
    Html += "<p>The growth of its cost, against the kit's merge sort (N log N); on its worst order its time is " +
            (G.Time_Ratio > 0 ? Fixed(G.Time_Ratio, 2) + " times the merge sort's (the median over the sizes)"
                              : std::string("not known")) +
            ":</p>\n<div>" + Growth_Chart(G) + "</div>\n";
  /* A simulator's picture is the kit's own, drawn by the plotter from the
  ** numbers of the failing day. */
  if (!Sorts && !G.Picture.empty())
    Html += "<p>The smallest failing day:</p>\n<div>" + Valid_Utf8(G.Picture) + "</div>\n";
  return Html + "</section>\n";
}

/* The policy the page holds itself to: nothing fetched, nothing sent,
** no script but its own (named by its hash, so a script that reaches the
** page in a student's text does not run), its own style, and pictures
** only from data inside it. */
std::string Content_Policy(const std::string& Script, const std::string& Style) {
  auto Hash = [](const std::string& Text) {
    unsigned char Digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(Digest, reinterpret_cast<const unsigned char*>(Text.data()), Text.size());
    char Base64[sodium_base64_ENCODED_LEN(crypto_hash_sha256_BYTES, sodium_base64_VARIANT_ORIGINAL)];
    sodium_bin2base64(Base64, sizeof Base64, Digest, sizeof Digest, sodium_base64_VARIANT_ORIGINAL);
    return "'sha256-" + std::string(Base64) + "'";
  };
  return "default-src 'none'; script-src " + Hash(Script) + "; style-src " + Hash(Style) +
         "; img-src data:; connect-src 'none'; base-uri 'none'; form-action 'none'";
}

}  // namespace

std::string Html_Text(const std::string& Text) {
  std::string Out;
  for (char C : Visible_Text(Text)) {
    if (C == '&') Out += "&amp;";
    else if (C == '<') Out += "&lt;";
    else if (C == '>') Out += "&gt;";
    else if (C == '"') Out += "&quot;";
    else Out += C;
  }
  return Out;
}

bool Write_Report(const std::string& Path, const Report_Facts& F, const std::vector<Student_Grade>& Grades) {
  const std::string Script = std::string("//<![CDATA[\n") + Sorting_Script + "//]]>";
  std::string Html = "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
                     "<meta charset=\"utf-8\"/>\n<meta http-equiv=\"Content-Security-Policy\" content=\"" +
                     Content_Policy(Script, Page_Style) + "\"/>\n<title>" + Html_Text(F.Title) +
                     "</title>\n<style>" + Page_Style + "</style>\n</head>\n<body>\n<h1>" + Html_Text(F.Title) +
                     "</h1>\n<p>" + Html_Text(F.Battery) + " " + std::to_string(Grades.size()) +
                     (Grades.size() == 1 ? " student" : " students") +
                     ". Click a column's head to sort by it.</p>\n";
  Html += "<h2>The class</h2>\n" + (F.Sorts ? Sort_Class_Table(Grades) : Class_Table(Grades));
  Html += "<h2>Scores</h2>\n<div>" + Score_Histogram(Grades, F.Points) + "</div>\n";
  if (F.Sorts) {
    Html += "<h2>What the class's routines came to</h2>\n" + Verdict_Counts(Grades);
  } else {
    Html += "<h2>What the class broke most</h2>\n<p>Students who broke each rule, or whose program ended a day "
            "another way, on at least one day; and the days in all.</p>\n" + Broken_Most(Grades);
    Html += "<h2>The made-up days</h2>\n<p>The battery's made-up days, which students testing with generated days "
            "may never have met, and what in each lies outside what workload_maker draws.</p>\n" +
            Battery_Table(F, Grades);
  }
  Html += "<h2>Each student</h2>\n";
  for (const Student_Grade& G : Grades) Html += Student_Section(G, F.Sorts);
  Html += "<script>" + Script + "</script>\n</body>\n</html>\n";
  Staged_File File;
  if (!Begin_Staged_File(&File, Path.c_str())) return false;
  std::fwrite(Html.data(), 1, Html.size(), File.Out);
  return Finish_Staged_File(&File, Path.c_str());
}
