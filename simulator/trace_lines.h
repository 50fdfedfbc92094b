/*
** trace_lines.h
** The lines of ZOR_Debug_Out: a header naming the columns, then one line
** per event of the model's trace. zor_simulator writes them, and
** simulator_checker compares a user's trace with them line by line.
*/
#pragma once

#include <string>

#include "simulator/simulation.h"

/* "%7s %8s %-5s %-6s %6s %7s\n" with the column names. */
std::string Trace_Header();

/* "%7d %8d %-5s %-6s %6d %7d\n": time, customer, place, event, server, waiting. */
std::string Trace_Line(const Trace_Event& E);
