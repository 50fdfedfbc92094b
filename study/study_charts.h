/*
** study_charts.h
** zor_study's pictures, drawn with the kit's chart module.
*/
#pragma once

#include <cstdio>
#include <vector>

#include "study/study_runs.h"

/* For each station, how the days' mean waits spread: Count[S] are the
** days in bins of Width[S] from 0. */
void Draw_Staffing(std::FILE* Out, const Study_Load& L, const Staffing_Result& R,
                   const double Width[Number_Of_Stations], const std::vector<double> Count[Number_Of_Stations]);

/* The search's evidence: each count tried against the target, the choice
** ringed; with a service-level target, a second row shows the share of
** days meeting it and its lower bound. */
void Draw_Search(std::FILE* Out, const Study_Load& L, const Search_Target& T, const Search_Result& R);

/* The bins of the staffing chart: from 0 to the highest day mean (at
** least 1 s), about fifteen of them. */
double Staffing_Bin_Width(double Highest_Day_Mean, size_t* Bins);
