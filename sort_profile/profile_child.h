/*
** profile_child.h
** Where the user's routine runs: in the profiler's own program started
** again in child mode, contained by the sandbox (sandbox/sandbox.h), one
** child per correctness case, per round of timing and per pair of a
** sweep. A routine that crashes, loops, sleeps, forks, takes all memory
** or reaches outside its folder is named for it and cannot take the
** profiler, or the machine, with it. The parent passes a phase's
** parameters as words and hears one line per result on the child's
** standard output.
**
** What runs before main is not contained: the user's static
** constructors run in the parent too, since they are linked into it.
*/
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "sandbox/sandbox.h"

/* The first argument of a child: what follows it are its phase and that
** phase's parameters. */
inline constexpr const char Child_Mode_Argument[] = "--zor-profile-child";

using Line_Hearer = std::function<void(const std::string& Line)>;

/* The parent's side. */

/* Starts the sandbox in Mode and makes the folder the children's folders
** go in; Said gets the line that tells the user what the sandbox is.
** False, with Refusal, where that cannot be (--sandbox required and no
** box). From then on, SIGINT, SIGTERM and SIGHUP end the child and
** remove the folder before they end the profiler. Program names the
** profiler in its refusals. */
bool Start_Children(const std::string& Program, Sandbox_Mode Mode, std::string* Said, std::string* Refusal);

/* Removes the children's folder and what the sandbox made. */
void Finish_Children();

/* Runs the profiler in child mode with Words, in a fresh folder, under
** Limits. Heard gets each line the child writes, as it comes; Waiting, if
** given, is called about once a second with the seconds the child has
** run. A child the sandbox could not start is trouble of the profiler's:
** it says so and exits with status 2. */
Sandbox_Result Run_Child(const std::vector<std::string>& Words, const Sandbox_Limits& Limits, const Line_Hearer& Heard,
                         const std::function<void(double Seconds)>& Waiting = nullptr);

/* The limits of a child that runs many sorts: the CPU time limit holds
** for each sort, watched by the child itself (Limit_Sort_Cpu), and the
** wall-time limit for the silence between two of its lines. */
Sandbox_Limits Limits_Per_Sort(const Sandbox_Limits& Limits);

/* The line a child of many sorts sends when a sort has taken more CPU
** time than its limit; it ends then. */
inline constexpr const char Over_Time_Line[] = "over the time limit";

/* What became of a child that did not finish its work, in words that
** follow "it", naming the option that sets the limit it hit: "crashed:
** killed by signal 11 (Segmentation fault)", "hit the time limit: more
** than 300 s of CPU time (an endless loop?); --time-limit sets it"; then
** the lines the child printed last, if it printed any. Limits are the
** child's; Sort_Over_Limit is the CPU time limit of one sort when the
** child said Over_Time_Line, 0 otherwise. */
std::string Child_Fault(const Sandbox_Result& R, const Sandbox_Limits& Limits, double Sort_Over_Limit);

/* A number as a word of a child's parameters, read back exactly. */
std::string Child_Word(double Value);

/* The child's side. */

/* Makes Child_Line the one way to the parent: what the routine prints on
** standard output goes to standard error. */
void Begin_Child_Mode();

/* Sends one line to the parent; a child whose parent is gone ends. */
void Child_Line(const std::string& Line);

/* Ends the child without exit handlers: status 0 when its work is done,
** 2 when its parameters made no sense; never 128 or more, which a box
** reports for a death by a signal. */
[[noreturn]] void End_Child_Mode(bool Done);

/* Reads Words[First] .. Words[First + Count - 1] as numbers; false if
** there are not that many, or one is not a number whole. */
bool Child_Numbers(const std::vector<std::string>& Words, size_t First, size_t Count, double* Values);

/* The CPU time of the whole child, every thread of it, in seconds. */
double Process_Cpu_Seconds();

/* For a child of many sorts, where the sandbox's CPU time limit would
** count them all together: the sort that begins now may take at most
** Seconds of CPU time, past which the child sends Over_Time_Line and
** ends; Seconds 0 says the sort has ended. */
void Limit_Sort_Cpu(double Seconds);
