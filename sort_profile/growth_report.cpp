/*
** growth_report.cpp
** The verdict lines and the growth chart.
*/
#include "sort_profile/growth_report.h"

#include <algorithm>
#include <cmath>

#include "chart/svg_chart.h"
#include "sort_profile/profile_lists.h"

namespace {

const char* const Order_Colour[Number_Of_Orders] = {"#d7301f", "#2b7bba", "#1a9850", "#7a5195",
                                                    "#ef8a62", "#444444", "#e7298a", "#b8860b"};

std::string Size_Text(int64_t N) {
  return N >= 1000000 && N % 1000000 == 0 ? std::to_string(N / 1000000) + "M"
         : N >= 1024 && N % 1024 == 0     ? std::to_string(N / 1024) + "Ki"
         : N >= 1024 && N % 512 == 0      ? std::to_string(N / 1024) + ".5Ki"
                                          : std::to_string(N);
}

/* A routine whose ratio is this many times the reference's, or more,
** suffers more from scattered nodes than the reference: repeats of the
** ratios agree far better than that. */
constexpr double Layout_Difference = 1.25;

std::string Layout_Words(double Routine, double Reference) {
  char Text[200];
  if (Routine > Reference * Layout_Difference)
    std::snprintf(Text, sizeof Text, "It suffers more from scattered nodes than the merge sort does (%.2f against %.2f).",
                  Routine, Reference);
  else if (Routine * Layout_Difference < Reference)
    std::snprintf(Text, sizeof Text, "It suffers less from scattered nodes than the merge sort does (%.2f against %.2f).",
                  Routine, Reference);
  else std::snprintf(Text, sizeof Text, "It suffers from scattered nodes about as much as the merge sort does.");
  return Text;
}

/* What a class predicts for the time per item, up to a factor. */
double Per_Item_Shape(Growth_Class C, double N) {
  switch (C) {
    case Growth_N: return 1;
    case Growth_N_Log_N: return std::log2(N);
    case Growth_N2: return N;
    default: return N * N;
  }
}

}  // namespace

void Print_Growth_Heading(std::FILE* Out) {
  std::fprintf(Out, "\nGrowth of the CPU time per sort, read on lists of 64 to 1,024 items, many sorted in a row,\n"
                    "small enough to stay in the first caches, where a step costs the same at every size: the\n"
                    "slope of log2(time per item) per doubling of the list reads about 0 for N, 0.2 for N log N,\n"
                    "1 for N^2, 2 for N^3 (see --help); the steps are that exponent from each size to the next.\n");
  std::fflush(Out);
}

void Print_Verdict_Line(std::FILE* Out, const Series_Result& R, int Order) {
  const std::vector<Growth_Point>& Points = R.In_Cache[Order].empty() ? R.Points[Order] : R.In_Cache[Order];
  Growth_Verdict V = R.In_Cache[Order].empty() ? Judge_Growth(Points) : Judge_Growth_Per_Item(Points);
  std::fprintf(Out, "  %-13s %-26s", Order_Name[Order], Verdict_Words(V).c_str());
  if (Points.size() >= 2) {
    if (V.Step.size() + 1 >= Fewest_Sizes) std::fprintf(Out, " slope %5.2f;", V.Slope);
    std::fprintf(Out, " steps");
    for (double Step : V.Step) std::fprintf(Out, " %.2f", Step);
    std::fprintf(Out, " (%s .. %s items)", Size_Text(Points.front().N).c_str(), Size_Text(Points.back().N).c_str());
  }
  std::fprintf(Out, "\n");
  std::fflush(Out);
}

void Print_Speed(std::FILE* Out, const Series_Result& R, const std::vector<int>& Orders) {
  std::fprintf(Out, "\nSpeed: the routine's CPU time over the kit's merge sort's on the same list, the median\n"
                    "over the sizes timed and, in brackets, the middle half of them; then at the largest size:\n");
  Growth_Summary S = Summarise_Growth(R);
  for (int Order : Orders)
    if (S.Largest[Order] > 0)
      std::fprintf(Out, "  %-13s %.2f x merge sort (%.2f .. %.2f) over %s .. %s; %.2f x at %s\n", Order_Name[Order],
                   S.Speed[Order].Median, S.Speed[Order].Low, S.Speed[Order].High,
                   Size_Text(S.Smallest[Order]).c_str(), Size_Text(S.Largest[Order]).c_str(), S.Time_Ratio[Order],
                   Size_Text(S.Largest[Order]).c_str());
}

void Print_Layout(std::FILE* Out, const Series_Result& R) {
  Growth_Summary S = Summarise_Growth(R);
  double Routine = S.Routine_Layout_Ratio, Reference = S.Reference_Layout_Ratio;
  if (R.Layout.N == 0 || Routine == 0 || Reference == 0) return;
  std::fprintf(Out, "\nNode layout, %s order, %s items: the time on nodes linked in a random order of their\n"
                    "addresses over the time on the same nodes in allocation order (as a list is after it has\n"
                    "been relinked, against as the harness builds it):\n"
                    "  your routine %.2f, the kit's merge sort %.2f. %s\n",
               Order_Name[R.Layout.Order], Size_Text(R.Layout.N).c_str(), Routine, Reference,
               Layout_Words(Routine, Reference).c_str());
}

void Draw_Growth(std::FILE* Out, const std::string& Title, const Series_Result& R, const std::vector<int>& Orders) {
  double Least = 0, Most = 0, Widest = 2048, Narrowest = 1000;
  auto Include = [&](double N, double Per_Item) {
    Least = Least == 0 ? Per_Item : std::min(Least, Per_Item);
    Most = std::max(Most, Per_Item);
    Widest = std::max(Widest, N), Narrowest = std::min(Narrowest, N);
  };
  for (int Order : Orders) {
    for (const Growth_Point& P : R.Points[Order]) Include(double(P.N), P.Sort_Seconds * 1e9 / double(P.N));
    for (const Growth_Point& P : R.In_Cache[Order]) Include(double(P.N), P.Sort_Seconds * 1e9);
  }
  /* Series that differ more than tenfold share a log scale of time. */
  bool Log_Time = Least > 0 && Most > 10 * Least;
  Chart_Axis Time = Log_Time ? Chart_Axis{Least / 1.5, Most * 1.5, Labels_Log, "CPU time per item (ns, log scale)"}
                             : Chart_Axis{0, Most > 0 ? Most * 1.1 : 1, Labels_Number, "CPU time per item (ns)"};
  Svg_Begin(Out, 1200, 640);
  Svg_Text(Out, 30, 34, 20, "start", true, Title.c_str());
  Svg_Text(Out, 30, 58, 13, "start", false,
           "each dot is one list size, the median of its sorts; up to 1,024 items, many lists sorted in a row stay in "
           "the caches: the verdict reads those, and its class is the faint dashed curve");
  double Routine = Layout_Ratio(R.Layout.Sort), Reference = Layout_Ratio(R.Layout.Reference);
  if (R.Layout.N > 0 && Routine > 0 && Reference > 0) {
    char Line[300];
    std::snprintf(Line, sizeof Line, "time on scattered nodes / time on nodes in allocation order (%s, %s items): "
                  "this routine %.2f, the kit's merge sort %.2f", Order_Name[R.Layout.Order],
                  Size_Text(R.Layout.N).c_str(), Routine, Reference);
    Svg_Text(Out, 30, 78, 13, "start", false, Line);
    Svg_Text(Out, 30, 96, 13, "start", Routine > Reference * Layout_Difference,
             Layout_Words(Routine, Reference).c_str());
  }
  Chart_Panel P{90, 120, 700, 440, Chart_Axis{Narrowest / 1.2, Widest * 1.2, Labels_Log_Size, "items in the list (log scale)"},
                Time};
  Draw_Panel(Out, P, "");
  std::vector<std::string> Labels;
  std::vector<const char*> Colours;
  Growth_Summary S = Summarise_Growth(R);
  for (int Order : Orders) {
    const std::vector<Growth_Point>& Points = R.Points[Order];
    if (Points.empty() && R.In_Cache[Order].empty()) continue;
    std::vector<double> X, Y, Guide;
    for (const Growth_Point& G : Points) X.push_back(double(G.N)), Y.push_back(G.Sort_Seconds * 1e9 / double(G.N));
    const Growth_Verdict& V = S.Verdict[Order];
    if (!R.In_Cache[Order].empty()) {
      /* The verdict's own sizes: its class is drawn through them. */
      std::vector<double> Cache_X, Cache_Y;
      for (const Growth_Point& G : R.In_Cache[Order]) Cache_X.push_back(double(G.N)), Cache_Y.push_back(G.Sort_Seconds * 1e9);
      Draw_Line(Out, P, Cache_X.data(), Cache_Y.data(), Cache_X.size(), Order_Colour[Order], true);
      if (V.Decided) {
        size_t Middle = Cache_X.size() / 2;
        double Scale = Cache_Y[Middle] / Per_Item_Shape(V.Class, Cache_X[Middle]);
        for (double N : Cache_X) Guide.push_back(Scale * Per_Item_Shape(V.Class, N));
        Draw_Guide(Out, P, Cache_X.data(), Guide.data(), Cache_X.size(), Order_Colour[Order]);
      }
    } else if (V.Decided && !X.empty()) {
      /* The class's shape, scaled through the series' middle point. */
      size_t Middle = X.size() / 2;
      double Scale = Y[Middle] / Per_Item_Shape(V.Class, X[Middle]);
      for (double N : X) Guide.push_back(Scale * Per_Item_Shape(V.Class, N));
      Draw_Guide(Out, P, X.data(), Guide.data(), X.size(), Order_Colour[Order]);
    }
    if (!X.empty()) Draw_Line(Out, P, X.data(), Y.data(), X.size(), Order_Colour[Order], true);
    Labels.push_back(std::string(Order_Name[Order]) + ": " + Verdict_Words(V));
    Colours.push_back(Order_Colour[Order]);
  }
  std::vector<const char*> Names;
  for (const std::string& L : Labels) Names.push_back(L.c_str());
  Draw_Legend(Out, 805, 140, Names.data(), Colours.data(), Names.size());
  Svg_End(Out);
}
