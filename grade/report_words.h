/*
** report_words.h
** What the teacher's page says of the grading itself, apart from the
** grades: the sentence on the battery of days or on the sorts' checks,
** and the days of the battery worth a note. Kept apart from the options
** that decide them, so that a change of wording is made in one place.
*/
#pragma once

#include <string>
#include <vector>

#include "grade/grade_report.h"
#include "grade/simulator_grading.h"
#include "grade/sort_grading.h"

/* Where the battery's days were drawn from. */
enum Battery_Source { Battery_From_Public_Seed, Battery_From_Seed, Battery_From_Phrase };

/* "A battery of 100 days (..), drawn from ...; at most 5 s per day." */
std::string Battery_Sentence(const Simulator_Settings& Z, Battery_Source Source);

/* How each routine was checked and timed, and the limit of a sort. */
std::string Sort_Sentence(const Sort_Settings& Z);

/* The battery's made-up days, and any other that workload_maker would
** not draw, with the reason. */
std::vector<Battery_Note> Battery_Notes(const Simulator_Settings& Z);
