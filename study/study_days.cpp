/*
** study_days.cpp
** The threads, the blocks of days, and the fold in day order.
**
** Blocks of days go to whichever thread is free; a block's records wait
** in one of a few slots until every earlier block has been folded, and a
** thread that runs too far ahead waits for a slot. So at most a few
** blocks per thread are held at any time.
*/
#include "study/study_days.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr int32_t Block_Days = 256;

struct Slot {
  std::vector<unsigned char> Records;
  int64_t Block = -1;  // the block it holds, once filled
};

}  // namespace

void For_Each_Day_In_Order(int32_t Days, int32_t Threads, size_t Record_Size, Progress_Line& P, const char* What,
                           const std::function<void(int32_t Thread, int32_t Day, void* Record)>& Work,
                           const std::function<void(int32_t Day, const void* Record)>& Fold) {
  const int64_t Blocks = (int64_t{Days} + Block_Days - 1) / Block_Days;
  const size_t Slots = static_cast<size_t>(2 * Threads + 2);
  std::vector<Slot> Slot_Of(Slots);
  std::mutex Lock;
  std::condition_variable Filled, Emptied;
  std::atomic<int64_t> Next_Block{0};
  int64_t Folded = 0;  // blocks folded so far; guarded by Lock

  auto Worker = [&](int32_t Thread) {
    for (int64_t Block; (Block = Next_Block.fetch_add(1)) < Blocks;) {
      Slot& S = Slot_Of[static_cast<size_t>(Block) % Slots];
      {
        std::unique_lock<std::mutex> Hold(Lock);
        Emptied.wait(Hold, [&] { return Block < Folded + static_cast<int64_t>(Slots); });
      }
      int32_t First = static_cast<int32_t>(Block * Block_Days);
      int32_t Last = std::min(Days, First + Block_Days);
      S.Records.resize(static_cast<size_t>(Last - First) * Record_Size);
      for (int32_t Day = First; Day < Last; Day++)
        Work(Thread, Day, S.Records.data() + static_cast<size_t>(Day - First) * Record_Size);
      {
        std::lock_guard<std::mutex> Hold(Lock);
        S.Block = Block;
      }
      Filled.notify_all();
    }
  };
  std::vector<std::thread> Pool;
  for (int32_t T = 0; T < Threads; T++) Pool.emplace_back(Worker, T);
  for (int64_t Block = 0; Block < Blocks; Block++) {
    Slot& S = Slot_Of[static_cast<size_t>(Block) % Slots];
    {
      std::unique_lock<std::mutex> Hold(Lock);
      while (S.Block != Block) {
        Filled.wait_for(Hold, std::chrono::milliseconds(200));
        if (Progress_Seconds(P) >= 1)
          Show_Progress_Line(&P, "zor_study: %s: %lld of %d days", What, static_cast<long long>(Block * Block_Days), Days);
      }
    }
    int32_t First = static_cast<int32_t>(Block * Block_Days);
    for (size_t I = 0; I * Record_Size < S.Records.size(); I++)
      Fold(First + static_cast<int32_t>(I), S.Records.data() + I * Record_Size);
    {
      std::lock_guard<std::mutex> Hold(Lock);
      S.Block = -1;
      Folded = Block + 1;
    }
    Emptied.notify_all();
  }
  for (std::thread& T : Pool) T.join();
}
