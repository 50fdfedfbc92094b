/*
** trial_workers.h
** The one scheduler of trials: the checker's battery and a grader's days
** run on worker threads, each worker with a box kept for its trials, so
** that a box is made once per worker rather than once per trial.
*/
#pragma once

#include <functional>

#include "simulator_checker/trial.h"

/* Calls Each(I, Box) for every I in 0 .. Count - 1, taken in order of I
** by Jobs threads (one at least), each thread with a box kept for
** Program's trials (Box.Box is -1 where none can be kept). While they
** run, Show(Done) about ten times a second, if Show is given. */
void Run_On_Workers(const Program_Under_Test& Program, int Count, int Jobs,
                    const std::function<void(int I, const Trial_Box& Box)>& Each,
                    const std::function<void(int Done)>& Show);
