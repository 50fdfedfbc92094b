/*
** battery_notes.h
** Which days of a battery lie outside what workload_maker draws. Students
** test with generated days; the teacher's report says which days of the
** grade were of another kind, and why, so that a failure there reads as
** what it is.
*/
#pragma once

#include <string>
#include <vector>

#include "common/customer_parameters.h"

/* Why no seed of workload_maker draws Day, in a few words ("5 customers:
** a drawn day has a multiple of 28, 28 to 336"); empty when some seed
** might. Only the bounds every drawn day keeps are checked, so an empty
** answer means "within the draws", not "drawn". */
std::string Why_Not_Drawn(const std::vector<Customer_Parameters>& Day);

/* The day's label without the seed it was drawn with: a student who may
** read the label must not be able to draw the battery's days again. */
std::string Label_Without_Seed(const std::string& What);
