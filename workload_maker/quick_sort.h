/*
** quick_sort.h
** The generator's sort of its arrival instants.
*/
#pragma once

#include <cstdint>

/* Sorts Values[Left .. Right] (both inclusive) ascending, in place.
** Index 0 is the generator's sentinel and never sorted: a call with
** Left 0 returns at once. */
void Quick_Sort(int32_t Values[], int32_t Left, int32_t Right);
