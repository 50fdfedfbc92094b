/*
** day_picture.h
** Drawing one day of a simulator's results as an SVG picture.
*/
#pragma once

#include <cstdio>
#include <vector>

#include "common/customer_results.h"

/* Writes the whole picture of Day to Out; write errors are left to the
** caller (ferror or the close). */
void Draw_Day_Picture(std::FILE* Out, const std::vector<Customer_Results>& Day);
