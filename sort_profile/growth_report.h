/*
** growth_report.h
** The growth verdicts as text, with their evidence, and as a picture.
*/
#pragma once

#include <cstdio>
#include <string>

#include "sort_profile/growth_series.h"

/* What the verdict lines below it read, printed before the timing starts. */
void Print_Growth_Heading(std::FILE* Out);

/* An order's verdict line, printed as soon as it is read: the class (or
** why it cannot be decided), the slope, and the exponent of each doubling. */
void Print_Verdict_Line(std::FILE* Out, const Series_Result& R, int Order);

/* Per order, the routine's time over the merge sort's at the largest size
** of its series: the speed figure. */
void Print_Speed(std::FILE* Out, const Series_Result& R, const std::vector<int>& Orders);

/* The layout ratios of the routine and of the reference, and in plain
** words whether the routine suffers more from scattered nodes. */
void Print_Layout(std::FILE* Out, const Series_Result& R);

/* The CPU time per item against the list size, one line per order, each
** with a faint curve of the class named for it; the layout ratios below
** the title. */
void Draw_Growth(std::FILE* Out, const std::string& Title, const Series_Result& R, const std::vector<int>& Orders);
