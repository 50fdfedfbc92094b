/*
** svg_chart.h
** The kit's one chart-drawing module: plain SVG 1.1 written with <cstdio>,
** self-contained (no scripts, no external fonts or styles), so any
** browser opens the file as it is.
**
** A picture is one or more panels. A panel is a rectangle on the page
** with an axis each way that maps data values to page positions; the
** drawing calls take data values and clip them to the panel, so odd data
** can never draw outside it or produce a malformed number.
**
** Write errors are left to the caller: check ferror or the close.
*/
#pragma once

#include <cstddef>
#include <cstdio>

enum Axis_Labels { Labels_Number, Labels_Count, Labels_Clock, Labels_Log, Labels_Log_Size };

struct Chart_Axis {
  double Min, Max;     // the range shown; the log labels need Min > 0
  int Labels;          // Labels_Number; Labels_Count (whole ticks); Labels_Clock (seconds as H:MM); Labels_Log
                       // (a log scale, ticks at powers of ten); Labels_Log_Size (the same, as 1k, 10k, 1M)
  const char* Title;
};

struct Chart_Panel {
  double Left, Top, Width, Height;  // on the page, in pixels
  Chart_Axis X, Y;
};

void Svg_Begin(std::FILE* Out, int Width, int Height);
void Svg_End(std::FILE* Out);

/* Text at a page position; Anchor is "start", "middle" or "end". The text
** is escaped for XML. */
void Svg_Text(std::FILE* Out, double X, double Y, double Size, const char* Anchor, bool Bold, const char* Text);

/* The frame, grid, tick labels, axis titles and a title above. */
void Draw_Panel(std::FILE* Out, const Chart_Panel& P, const char* Title);

/* A step function: Y[i] holds from X[i] until X[i + 1]; X ascending. */
void Draw_Steps(std::FILE* Out, const Chart_Panel& P, const double* X, const double* Y, size_t N, const char* Colour);

/* A line through the points, with a dot at each when Dots is set. */
void Draw_Line(std::FILE* Out, const Chart_Panel& P, const double* X, const double* Y, size_t N, const char* Colour,
               bool Dots);

/* Bars from Y = 0 up to Height[i], spanning From[i] .. To[i]. */
void Draw_Bars(std::FILE* Out, const Chart_Panel& P, const double* From, const double* To, const double* Height,
               size_t N, const char* Colour);

/* A faint dashed line through the points: a reference to read the data against. */
void Draw_Guide(std::FILE* Out, const Chart_Panel& P, const double* X, const double* Y, size_t N, const char* Colour);

/* A dot at (X, Mid) with a whisker from Low to High. */
void Draw_Interval(std::FILE* Out, const Chart_Panel& P, double X, double Low, double Mid, double High,
                   const char* Colour);

/* A dashed line across the panel at Y, with a label at its right end. */
void Draw_Level(std::FILE* Out, const Chart_Panel& P, double Y, const char* Colour, const char* Label);

/* A ring around the point, to mark a choice. */
void Draw_Mark(std::FILE* Out, const Chart_Panel& P, double X, double Y, const char* Colour);

/* A legend: a colour swatch and a name per entry, one under another. */
void Draw_Legend(std::FILE* Out, double X, double Y, const char* const Names[], const char* const Colours[], size_t N);

/* A heat map: Rows x Columns cells from (Left, Top), each Width x Height,
** Value[r * Columns + c] shaded from light (Least) to dark (Most); a
** value that is not a number (NaN) is a cell with no value, drawn grey.
** Text (may be null) is written in each cell; Row_Label and Column_Label
** along the left and the top; the cell Marked (if in range) is outlined. */
void Draw_Heat_Map(std::FILE* Out, double Left, double Top, double Width, double Height, size_t Rows, size_t Columns,
                   const double* Value, double Least, double Most, const char* const* Text,
                   const char* const* Row_Label, const char* const* Column_Label, size_t Marked);

/* A "nice" step (1, 2 or 5 times a power of ten) that cuts Span into
** about Count pieces; used for ticks and for histogram bins. */
double Nice_Step(double Span, int Count);
