/*
** study_report.h
** zor_study's tables and CSV on standard output.
*/
#pragma once

#include "study/study_runs.h"

void Print_Staffing(const Study_Load& L, const Staffing_Result& R, bool CSV);
void Print_Search(const Study_Load& L, const Search_Target& T, const Search_Result& R, bool CSV);
