/*
** judge_help.cpp
** The judge's help text (judge_help.h).
*/
#include "sort_profile/judge_help.h"

#include "sort_profile/growth_verdict.h"

std::string Judge_Description() {
  return "Profiles the Sort_Singly_Linked_List linked into this program. First it sorts lists of\n"
         "sizes 0 .. 10,000 in every order (random from 3 seeds, the last on scattered nodes,\n"
         "ascending, descending, equal, few-distinct, organ-pipe, sawtooth, extremes), and of 100,000\n"
         "items in random, ascending and descending order (where a recursion runs deepest), each in a\n"
         "contained child under a limit of CPU time, and stops at the first list left wrong: crashed,\n"
         "looping, a node lost, added or repeated, a cycle, out of order, not a permutation. Then\n"
         "it times it on lists of 1,024 items x 1, 2, 4, 8, ... up to --max-items, one\n"
         "series per order, in turn with the kit's own merge sort on the same lists, names the\n"
         "growth of its cost, and compares its time on scattered nodes with that on nodes in\n"
         "allocation order.";
}

std::string Judge_Help_Footer(const std::string& Program) {
  return "The table of every measurement: --benchmark_format=json writes it as JSON on standard output\n"
         "(the report then goes to standard error); --benchmark_out=FILE writes it to FILE, as\n"
         "--benchmark_out_format says (json, the default, or console). Google Benchmark's other\n"
         "options are refused: the profiler times the sorts itself. Its note that the library was\n"
         "built as DEBUG is about the distribution's build of it, not the sorts: one line says so.\n"
         "The growth verdict is read on lists of 64 to 1,024 items, many sorted in one call so that\n"
         "each stays in the first caches, one after another with a fence between them so that one\n"
         "sort's end never overlaps the next one's start (it would make a linear routine's time per\n"
         "item grow with the lists), where a step costs the same at every size (across larger\n"
         "sizes the caches add more than log n does, differently for each routine): the median, over\n"
         "every pair of sizes, of the slope of log2(time per item) against log2(n) reads about 0 for\n"
         "N, 0.2 for N log N, 1 for N^2, 2 for N^3; the bands are " + Growth_Bands_Text(Reading_Per_Item) + ",\n"
         "and between two bands the verdict says it cannot decide. The times at 1,024 items and\n"
         "more (the routine and the merge sort taking turns on each list) give the time over the\n"
         "merge sort's (its median over every size, with the middle half, and at the largest) and\n"
         "the chart; each size is timed once, in about 20 ms of sorts.\n"
         "The layout ratio: on random items at the largest size timed up to 256Ki, the time on nodes linked in a\n"
         "random order of their addresses over the time on nodes in allocation order, for the routine\n"
         "and for the merge sort; the report says when the routine's is 1.25 times the merge sort's or\n"
         "more (it suffers more), or that much less. Each order's verdict is shown as soon as it is\n"
         "read, a second or so into the run; a default run of a merge sort takes a few seconds, an\n"
         "N^2 routine a minute or so, mostly in the correctness phase.\n"
         "--quick, for the edit-compile-run loop: lists up to 1,000 items checked and up to 16,384\n"
         "timed, in the orders random, ascending and descending (--max-items and --orders still\n"
         "choose), a verdict in seconds; the report says it was quick. A full run checks more.\n"
         "The sweep (--sweep) times every pair in turn, a sort of each per round, and names a pair\n"
         "best only when it is measurably faster than every other: the middle halves of their sorts\n"
         "apart, and by a tenth or more. Otherwise it names the few as fast as each other, or says\n"
         "that K and X make no measurable difference. The pair it recommends has passed the\n"
         "correctness phase first; a default run says nothing of K and X.\n"
         "Examples:\n"
         "  " + Program + " --quick\n"
         "  " + Program + " --k 10 --x 32\n"
         "  " + Program + " --max-items 100000 --orders random,descending --svg growth.svg\n"
         "  " + Program + " --orders random --table\n"
         "  " + Program + " --sweep --sweep-k 6,12 --sweep-x 0,16,32,64,128 --svg sweep.svg\n"
         "The routine runs only in a worker, this program started again in a box: it sees only its\n"
         "own folder writable, has no network, is one process (--process-limit), and runs under the\n"
         "limits above (see sort_profile(3), SANDBOX); its static constructors run there too. The\n"
         "lists are made, checked and timed by the kit's judge, zor_sort_judge, from outside it.\n"
         "Exit status: 0 the routine passed (and was timed); 1 a case failed, the routine crashed,\n"
         "looped or hit a limit while timed, no K and X sorted in a sweep, or a file could not be\n"
         "written; 2 bad options, or a sandbox that cannot be had (--sandbox required) or start.";
}
