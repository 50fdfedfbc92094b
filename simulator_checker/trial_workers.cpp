/*
** trial_workers.cpp
** Worker threads for trials, each keeping a box for its own.
*/
#include "simulator_checker/trial_workers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

void Run_On_Workers(const Program_Under_Test& Program, int Count, int Jobs,
                    const std::function<void(int I, const Trial_Box& Box)>& Each,
                    const std::function<void(int Done)>& Show) {
  std::atomic<int> Next{0}, Done{0};
  auto Worker = [&]() {
    /* The box is made by the thread that uses it: bubblewrap ends its box
    ** when the thread that started it ends. */
    Trial_Box Box = Keep_Trial_Box(Program);
    for (int I; (I = Next.fetch_add(1)) < Count; Done.fetch_add(1)) Each(I, Box);
    Drop_Trial_Box(&Box);
  };
  std::vector<std::thread> Pool;
  for (int J = 0; J < std::max(1, Jobs); J++) Pool.emplace_back(Worker);
  while (Show && Done.load() < Count) {
    Show(Done.load());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (std::thread& T : Pool) T.join();
}
