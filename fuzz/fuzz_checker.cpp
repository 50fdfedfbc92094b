/*
** fuzz_checker.cpp
** The checker's rules on an arbitrary pair of files and arbitrary server
** counts: any bytes give a verdict, and a verdict that the file follows
** the model means it is the reference's own output, record for record.
** The input: 12 bytes of servers, 4 of where the day ends, then the day's
** bytes and the results' bytes.
*/
#include <vector>

#include "fuzz/fuzz_check.h"
#include "model_rules/model_rules.h"
#include "simulator/day_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  Fuzz_Input In{Data, Size};
  int32_t Servers[Number_Of_Stations];
  for (int S = 0; S < Number_Of_Stations; S++) Servers[S] = 1 + static_cast<int32_t>(Take_Number(In, 0) % Max_Servers);
  size_t Split = In.Size > 0 ? Take_Number(In, 0) % (In.Size + 1) : 0;
  std::string Day_Bytes, Results_Bytes;
  std::FILE* Day_File = Stream_Of(In.Data, Split, Day_Bytes);
  Day_Reading R = Read_Day_From(Day_File);
  std::fclose(Day_File);
  if (R.Problem != Day_Fits || R.Day.size() > 2000) return 0;
  Day_Summary Clock_Summary;
  if (Simulate_Day(R.Day.data(), static_cast<int32_t>(R.Day.size()), Servers, nullptr, &Clock_Summary).Customer != 0)
    return 0;
  std::FILE* Results_File_ = Stream_Of(In.Data + Split, In.Size - Split, Results_Bytes);
  Results_File Results;
  FUZZ_HOLDS(Read_Results_File(Results_File_, R.Day.size(), &Results));
  std::fclose(Results_File_);
  Verdict V = Judge_Results(R.Day, Results, Servers);
  char* Text = nullptr;
  size_t Text_Size = 0;
  std::FILE* Out = open_memstream(&Text, &Text_Size);
  Print_Verdict(Out, V, R.Day.size());
  std::fclose(Out);
  FUZZ_HOLDS(Text_Size > 0);
  std::free(Text);
  if (!V.Follows) return 0;
  std::vector<Customer_Results> Reference(R.Day.size());
  Day_Summary Summary;
  Simulate_Day(R.Day.data(), static_cast<int32_t>(R.Day.size()), Servers, Reference.data(), &Summary);
  FUZZ_HOLDS(Results.Records.size() == R.Day.size() && Results.Extra == 0 && Results.Trailing == 0);
  FUZZ_HOLDS(Reference.empty() ||
             std::memcmp(Results.Records.data(), Reference.data(), Reference.size() * sizeof(Customer_Results)) == 0);
  return 0;
}
