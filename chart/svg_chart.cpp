/*
** svg_chart.cpp
** Panels, axes and marks as SVG elements.
*/
#include "chart/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/zor_assert.h"

namespace {

const char Font[] = "font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\"";

}  // namespace

void Svg_Begin(std::FILE* Out, int Width, int Height) {
  std::fprintf(Out,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%d\" height=\"%d\" "
               "viewBox=\"0 0 %d %d\">\n"
               "<rect x=\"0\" y=\"0\" width=\"%d\" height=\"%d\" fill=\"white\"/>\n",
               Width, Height, Width, Height, Width, Height);
}

void Svg_End(std::FILE* Out) { std::fputs("</svg>\n", Out); }

void Svg_Text(std::FILE* Out, double X, double Y, double Size, const char* Anchor, bool Bold, const char* Text) {
  ZOR_ASSERT(std::strcmp(Anchor, "start") == 0 || std::strcmp(Anchor, "middle") == 0 || std::strcmp(Anchor, "end") == 0);
  std::fprintf(Out, "<text x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" text-anchor=\"%s\"%s %s>", X, Y, Size, Anchor,
               Bold ? " font-weight=\"bold\"" : "", Font);
  for (const char* C = Text; *C != '\0'; C++) {
    switch (*C) {
      case '<': std::fputs("&lt;", Out); break;
      case '>': std::fputs("&gt;", Out); break;
      case '&': std::fputs("&amp;", Out); break;
      case '"': std::fputs("&quot;", Out); break;
      default: std::fputc(*C, Out);
    }
  }
  std::fputs("</text>\n", Out);
}

double Nice_Step(double Span, int Count) {
  if (!(Span > 0) || !std::isfinite(Span)) return 1;
  double Raw = Span / Count;
  double Power = std::pow(10.0, std::floor(std::log10(Raw)));
  double Fraction = Raw / Power;
  return (Fraction <= 1 ? 1 : Fraction <= 2 ? 2 : Fraction <= 5 ? 5 : 10) * Power;
}

namespace {

/* Where a value falls along an axis, from 0 (Min) to 1 (Max), clipped. */
bool Is_Log(const Chart_Axis& A) { return A.Labels == Labels_Log || A.Labels == Labels_Log_Size; }

double Fraction_Of(const Chart_Axis& A, double V) {
  double F;
  if (Is_Log(A)) {
    if (!(V > 0)) return 0;
    F = (std::log10(V) - std::log10(A.Min)) / (std::log10(A.Max) - std::log10(A.Min));
  } else {
    F = (V - A.Min) / (A.Max - A.Min);
  }
  if (!std::isfinite(F)) return 0;
  return std::clamp(F, 0.0, 1.0);
}

double Page_X(const Chart_Panel& P, double V) { return P.Left + P.Width * Fraction_Of(P.X, V); }
double Page_Y(const Chart_Panel& P, double V) { return P.Top + P.Height * (1 - Fraction_Of(P.Y, V)); }

void Tick_Label(char* Text, size_t Size, const Chart_Axis& A, double V) {
  if (A.Labels == Labels_Clock) {
    long long Minutes = std::llround(V / 60);
    std::snprintf(Text, Size, "%s%lld:%02lld", Minutes < 0 ? "-" : "", std::llabs(Minutes) / 60,
                  std::llabs(Minutes) % 60);
  } else if (A.Labels == Labels_Log_Size) {
    std::snprintf(Text, Size, V >= 1e6 ? "%gM" : V >= 1e3 ? "%gk" : "%g", V >= 1e6 ? V / 1e6 : V >= 1e3 ? V / 1e3 : V);
  } else if (A.Labels == Labels_Log || std::fabs(V) >= 1e6 || std::fabs(V) < 1e-3) {
    std::snprintf(Text, Size, V == 0 ? "0" : "%g", V);
  } else {
    std::snprintf(Text, Size, "%.10g", std::round(V * 1000) / 1000);
  }
}

/* The tick values of an axis: nice steps, whole minutes for the clock,
** each power of ten (and 2 and 5 times it on a short span) for a log axis. */
size_t Ticks_Of(const Chart_Axis& A, double Ticks[], size_t Most) {
  size_t N = 0;
  if (Is_Log(A)) {
    /* Over less than two decades powers of ten alone leave one tick or
    ** none, so 2 and 5 times each power join them. */
    bool Fine = A.Max < A.Min * 100;
    for (double Power = std::pow(10.0, std::floor(std::log10(A.Min))); Power <= A.Max * 1.0000001; Power *= 10)
      for (double Times : {1.0, 2.0, 5.0}) {
        double V = Power * Times;
        if ((Times == 1 || Fine) && V >= A.Min * 0.9999999 && V <= A.Max * 1.0000001 && N < Most) Ticks[N++] = V;
      }
    return N;
  }
  double Step = Nice_Step(A.Max - A.Min, 6);
  if (A.Labels == Labels_Count) Step = std::max(Step, 1.0);
  if (A.Labels == Labels_Clock) {
    const double Steps[] = {60, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
    Step = Steps[0];
    for (double S : Steps)
      if ((A.Max - A.Min) / S >= 4) Step = S;
    if ((A.Max - A.Min) / Step > 12) Step = Nice_Step(A.Max - A.Min, 8);
  }
  for (double V = std::ceil(A.Min / Step) * Step; V <= A.Max + Step * 1e-9 && N < Most; V += Step) Ticks[N++] = V;
  return N;
}

}  // namespace

void Draw_Panel(std::FILE* Out, const Chart_Panel& P, const char* Title) {
  std::fprintf(Out, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#fbfbfb\" stroke=\"#444\"/>\n",
               P.Left, P.Top, P.Width, P.Height);
  double Ticks[64];
  char Text[48];
  size_t N = Ticks_Of(P.X, Ticks, 64);
  for (size_t I = 0; I < N; I++) {
    double X = Page_X(P, Ticks[I]);
    std::fprintf(Out, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/>\n", X, P.Top, X,
                 P.Top + P.Height);
    Tick_Label(Text, sizeof Text, P.X, Ticks[I]);
    Svg_Text(Out, X, P.Top + P.Height + 15, 11, "middle", false, Text);
  }
  N = Ticks_Of(P.Y, Ticks, 64);
  for (size_t I = 0; I < N; I++) {
    double Y = Page_Y(P, Ticks[I]);
    std::fprintf(Out, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/>\n", P.Left, Y,
                 P.Left + P.Width, Y);
    Tick_Label(Text, sizeof Text, P.Y, Ticks[I]);
    Svg_Text(Out, P.Left - 5, Y + 4, 11, "end", false, Text);
  }
  Svg_Text(Out, P.Left + P.Width / 2, P.Top + P.Height + 32, 12, "middle", false, P.X.Title);
  std::fprintf(Out, "<g transform=\"translate(%.1f %.1f) rotate(-90)\">\n", P.Left - 42, P.Top + P.Height / 2);
  Svg_Text(Out, 0, 0, 12, "middle", false, P.Y.Title);
  std::fputs("</g>\n", Out);
  Svg_Text(Out, P.Left, P.Top - 8, 14, "start", true, Title);
}

void Draw_Steps(std::FILE* Out, const Chart_Panel& P, const double* X, const double* Y, size_t N, const char* Colour) {
  ZOR_ASSERT(std::is_sorted(X, X + N));
  if (N == 0) return;
  std::fprintf(Out, "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" points=\"", Colour);
  for (size_t I = 0; I < N; I++) {
    double Until = I + 1 < N ? X[I + 1] : P.X.Max;
    std::fprintf(Out, "%.1f,%.1f %.1f,%.1f ", Page_X(P, X[I]), Page_Y(P, Y[I]), Page_X(P, Until), Page_Y(P, Y[I]));
  }
  std::fputs("\"/>\n", Out);
}

void Draw_Line(std::FILE* Out, const Chart_Panel& P, const double* X, const double* Y, size_t N, const char* Colour,
               bool Dots) {
  if (N == 0) return;
  std::fprintf(Out, "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"2\" points=\"", Colour);
  for (size_t I = 0; I < N; I++) std::fprintf(Out, "%.1f,%.1f ", Page_X(P, X[I]), Page_Y(P, Y[I]));
  std::fputs("\"/>\n", Out);
  if (Dots)
    for (size_t I = 0; I < N; I++)
      std::fprintf(Out, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"%s\"/>\n", Page_X(P, X[I]), Page_Y(P, Y[I]),
                   Colour);
}

void Draw_Bars(std::FILE* Out, const Chart_Panel& P, const double* From, const double* To, const double* Height,
               size_t N, const char* Colour) {
  for (size_t I = 0; I < N; I++) {
    double Left = Page_X(P, From[I]), Right = Page_X(P, To[I]), Top = Page_Y(P, Height[I]), Base = Page_Y(P, 0);
    if (Height[I] <= 0) continue;
    std::fprintf(Out,
                 "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\" stroke=\"white\" "
                 "stroke-width=\"0.5\"/>\n",
                 Left, Top, std::max(Right - Left, 0.5), std::max(Base - Top, 0.5), Colour);
  }
}

void Draw_Guide(std::FILE* Out, const Chart_Panel& P, const double* X, const double* Y, size_t N, const char* Colour) {
  if (N == 0) return;
  std::fprintf(Out, "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" stroke-opacity=\"0.45\" "
               "stroke-dasharray=\"5 4\" points=\"", Colour);
  for (size_t I = 0; I < N; I++) std::fprintf(Out, "%.1f,%.1f ", Page_X(P, X[I]), Page_Y(P, Y[I]));
  std::fputs("\"/>\n", Out);
}

void Draw_Interval(std::FILE* Out, const Chart_Panel& P, double X, double Low, double Mid, double High,
                   const char* Colour) {
  double At = Page_X(P, X);
  std::fprintf(Out,
               "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"1.5\"/>\n"
               "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"1.5\"/>\n"
               "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"1.5\"/>\n"
               "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3.5\" fill=\"%s\"/>\n",
               At, Page_Y(P, Low), At, Page_Y(P, High), Colour, At - 4, Page_Y(P, Low), At + 4, Page_Y(P, Low), Colour,
               At - 4, Page_Y(P, High), At + 4, Page_Y(P, High), Colour, At, Page_Y(P, Mid), Colour);
}

void Draw_Level(std::FILE* Out, const Chart_Panel& P, double Y, const char* Colour, const char* Label) {
  double At = Page_Y(P, Y);
  std::fprintf(Out,
               "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"1.5\" "
               "stroke-dasharray=\"6 4\"/>\n",
               P.Left, At, P.Left + P.Width, At, Colour);
  Svg_Text(Out, P.Left + P.Width - 4, At - 4, 11, "end", false, Label);
}

void Draw_Mark(std::FILE* Out, const Chart_Panel& P, double X, double Y, const char* Colour) {
  std::fprintf(Out, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"9\" fill=\"none\" stroke=\"%s\" stroke-width=\"2.5\"/>\n",
               Page_X(P, X), Page_Y(P, Y), Colour);
}

void Draw_Legend(std::FILE* Out, double X, double Y, const char* const Names[], const char* const Colours[], size_t N) {
  for (size_t I = 0; I < N; I++) {
    double Row = Y + 16.0 * static_cast<double>(I);
    std::fprintf(Out, "<rect x=\"%.1f\" y=\"%.1f\" width=\"14\" height=\"4\" fill=\"%s\"/>\n", X, Row - 6, Colours[I]);
    Svg_Text(Out, X + 20, Row, 11, "start", false, Names[I]);
  }
}

void Draw_Heat_Map(std::FILE* Out, double Left, double Top, double Width, double Height, size_t Rows, size_t Columns,
                   const double* Value, double Least, double Most, const char* const* Text,
                   const char* const* Row_Label, const char* const* Column_Label, size_t Marked) {
  /* Pale yellow through teal to deep blue: no step of it is grey, which
  ** is kept for the cells without a value. */
  const double Stop[3][3] = {{255, 247, 188}, {65, 182, 196}, {37, 52, 148}};
  for (size_t C = 0; C < Columns; C++)
    Svg_Text(Out, Left + Width * (static_cast<double>(C) + 0.5), Top - 6, 11, "middle", false, Column_Label[C]);
  for (size_t R = 0; R < Rows; R++) {
    double Y = Top + Height * static_cast<double>(R);
    Svg_Text(Out, Left - 6, Y + Height / 2 + 4, 11, "end", false, Row_Label[R]);
    for (size_t C = 0; C < Columns; C++) {
      double V = Value[R * Columns + C], X = Left + Width * static_cast<double>(C);
      char Fill[16] = "#e4e4e4";
      bool Dark = false;
      if (std::isfinite(V)) {
        double F = Most > Least ? std::clamp((V - Least) / (Most - Least), 0.0, 1.0) : 0.0;
        if (!std::isfinite(F)) F = 0;
        int Part = F < 0.5 ? 0 : 1;
        double G = F < 0.5 ? F * 2 : (F - 0.5) * 2;
        int Colour[3];
        for (int K = 0; K < 3; K++)
          Colour[K] = static_cast<int>(std::lround(Stop[Part][K] + G * (Stop[Part + 1][K] - Stop[Part][K])));
        std::snprintf(Fill, sizeof Fill, "#%02x%02x%02x", Colour[0], Colour[1], Colour[2]);
        Dark = F > 0.6;
      }
      std::fprintf(Out, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"%s\" stroke=\"white\"/>\n", X,
                   Y, Width, Height, Fill);
      if (Text != nullptr && Text[R * Columns + C] != nullptr) {
        std::fprintf(Out, "<g fill=\"%s\">\n", Dark ? "white" : std::isfinite(V) ? "#222222" : "#666666");
        Svg_Text(Out, X + Width / 2, Y + Height / 2 + 4, 10, "middle", false, Text[R * Columns + C]);
        std::fputs("</g>\n", Out);
      }
    }
  }
  if (Marked < Rows * Columns)
    std::fprintf(Out,
                 "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" stroke=\"#d7301f\" "
                 "stroke-width=\"3\"/>\n",
                 Left + Width * static_cast<double>(Marked % Columns) + 1.5,
                 Top + Height * static_cast<double>(Marked / Columns) + 1.5, Width - 3, Height - 3);
}
