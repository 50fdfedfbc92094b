/*
** workload_maker.cpp
** Synthesises one day of ZOR customers and writes ZOR_Binary_In.
**
** The day is 28 slots of 15 minutes. The user enters the customers per
** slot and a seed; every random quantity then comes from one stream in
** a fixed order of draws, so the same positive seed gives the same file
** byte for byte. Prompts and errors go to standard error, so standard
** output holds only the closing summary.
*/
#include <cstdint>
#include <cstdio>

#include "customer_parameters.h"
#include "record_io.h"
#include "main_error.h"
#include "program_arguments.h"
#include "quick_sort.h"
#include "read_int32.h"
#include "uniform.h"
#include "zor_files.h"

static const char Help[] =
    "Usage: workload_maker\n"
    "Draws one day of ZOR customers and writes ZOR_Binary_In in the current\n"
    "folder. It first removes the files of the previous run (ZOR_Binary_In,\n"
    "ZOR_Binary_Out, ZOR_Text_In, ZOR_Text_Out, ZOR_Debug_Out), then asks on\n"
    "standard error for the customers per 15-minute slot (0 .. 12) and a seed\n"
    "(0 takes the clock; the same positive seed gives the same file), typed on\n"
    "standard input. It writes 28 x N records of 32 bytes and prints the count,\n"
    "the customers per slot and the seed on standard output.\n"
    "Exit status: 0 on success; 1 on any failure, after an \"ERROR in main\"\n"
    "block on standard error that names the exit point; a failed run removes\n"
    "the ZOR_Binary_In it began.\n"
    "Example: printf '4\\n17\\n' | workload_maker\n";

static constexpr int32_t Time_Slot_Minutes = 15;
static constexpr int32_t Time_Slot_Seconds = Time_Slot_Minutes * 60;
static constexpr int32_t Number_Of_Time_Slots = 28;
static constexpr int32_t Max_Customers_Per_Slot = 12;
static constexpr int32_t Max_Customers = Number_Of_Time_Slots * Max_Customers_Per_Slot;

/* A fresh run must never be mistaken for the output of an older one. */
static void Clear_Old_Files() {
  for (const char* Name : {ZOR_Binary_In, ZOR_Binary_Out, ZOR_Text_In, ZOR_Text_Out, ZOR_Debug_Out})
    std::remove(Name);
}

static int32_t Ask_Customers_Per_Slot() {
  std::fprintf(stderr, "Enter Number of Customers per %d minute time slot\n", Time_Slot_Minutes);
  std::fprintf(stderr, "   %d <= N <= %d\n", 0, Max_Customers_Per_Slot);
  std::fprintf(stderr, "Number of Customers per %d minute time slot: ", Time_Slot_Minutes);
  int32_t N = 0;
  if (!Read_Int32(stdin, &N)) Main_Error(2, "  Number_Of_Customers_Per_Slot -- INVALID\n");
  if (N < 0 || N > Max_Customers_Per_Slot)
    Main_Error(3,
               "  Number of customers per time slot must be\n"
               "     %d <= N <= %d\n"
               "  Number of customers per time slot: %d\n",
               0, Max_Customers_Per_Slot, N);
  return N;
}

static void Ask_Initial_Seed() {
  std::fputs("\n\nEnter initial seed for random number generator\n"
             "    0  -- random not repeatable\n"
             "  > 0  -- random but repeatable\n"
             "Initial seed: ",
             stderr);
  if (!Read_Int32(stdin, &Initial_Seed)) Main_Error(12, "  Initial seed -- INVALID\n");
  if (Initial_Seed < 0)
    Main_Error(13, "  Initial seed must be >= 0\n  Initial seed: %d\n", Initial_Seed);
  std::fputs("\n", stderr);
}

/* Customer i of slot s gets a base instant spread uniformly over the 12
** minutes centred on the slot's start, moved earlier or later by an
** exponential amount, and never before the day opens. */
static void Generate_Arrival_Times(int32_t N, int32_t Arrival_Time[]) {
  for (int32_t I = 1; I <= Number_Of_Time_Slots * N; I++) {
    int32_t Slot = (I - 1) / N;
    double U = Uniform();
    int32_t Base = static_cast<int32_t>(U * 720.0 + (Time_Slot_Seconds * Slot - 360));
    double W = Uniform();
    int32_t D = Expo(360);
    int32_t T = W < 0.5 ? Base - D : Base + D;
    Arrival_Time[I] = T < 0 ? 0 : T;
  }
}

/* Draws one customer's travel and service times. The order of the draws
** fixes the file for a given seed and must never change. */
static Customer_Parameters Draw_Customer(int32_t Interarrival_Time) {
  Customer_Parameters R{};
  R.Interarrival_Time = Interarrival_Time;
  R.Travel_Time_To_LAB = Expo(100) + 25;
  double U = Uniform();
  int32_t E = Expo(240);
  R.LAB_Service_Time = static_cast<int32_t>(U * 720.0 + 270.0 + E);
  if (Uniform() < 0.55) {
    R.Travel_Time_To_X_RAY = Expo(200) + 50;
    U = Uniform();
    E = Expo(300);
    R.X_RAY_Service_Time = static_cast<int32_t>(600.0 * U + 720.0 + E);
  }
  if (Uniform() < 0.3) {
    R.Travel_Time_To_EKG = R.X_RAY_Service_Time > 0 ? Expo(75) + 45 : Expo(300) + 80;
    U = Uniform();
    E = Expo(200);
    R.EKG_Service_Time = static_cast<int32_t>(800.0 * U + 300.0 + E);
  }
  if (R.X_RAY_Service_Time == 0 && R.EKG_Service_Time == 0)
    R.Travel_Time_To_EXIT = Expo(75) + 40;
  else if (R.EKG_Service_Time == 0)
    R.Travel_Time_To_EXIT = Expo(150) + 50;
  else
    R.Travel_Time_To_EXIT = Expo(200) + 80;
  return R;
}

/* Records go through a buffered stream, so a full disk may show only at
** the close: that is checked as strictly as each write. */
static void Write_Day(std::FILE* Out, int32_t Total, const int32_t Arrival_Time[]) {
  for (int32_t K = 0; K < Total; K++) {
    int32_t Interarrival_Time = K == 0 ? Arrival_Time[0] : Arrival_Time[K] - Arrival_Time[K - 1];
    Customer_Parameters R = Draw_Customer(Interarrival_Time);
    if (!Write_Int32_Record(Out, &R, sizeof R))
      Main_Error(10, "  fwrite failed to file: %s\n", ZOR_Binary_In);
  }
  if (std::fclose(Out) != 0) Main_Error(10, "  fwrite failed to file: %s\n", ZOR_Binary_In);
  Unfinished_File = nullptr;
}

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "workload_maker", Help);
  Clear_Old_Files();
  std::FILE* Out = std::fopen(ZOR_Binary_In, "wb");
  if (Out == nullptr)
    Main_Error(1, "  File: %s can not be opened for writing\n", ZOR_Binary_In);
  /* From here on, a run that fails leaves no ZOR_Binary_In: an empty or
  ** partial day would otherwise pass for a whole one downstream. */
  Unfinished_File = ZOR_Binary_In;

  int32_t N = Ask_Customers_Per_Slot();
  Ask_Initial_Seed();

  int32_t Total = Number_Of_Time_Slots * N;
  int32_t Arrival_Time[Max_Customers + 1] = {};
  Generate_Arrival_Times(N, Arrival_Time);
  Quick_Sort(Arrival_Time, 1, Total);
  Arrival_Time[0] = 0;
  Write_Day(Out, Total, Arrival_Time);

  std::printf("Number of customers: %d\n", Total);
  std::printf("Number of Customers per %d minute time slot %3d\n", Time_Slot_Minutes, N);
  std::printf("Initial random number seed: %d\n", Initial_Seed);
  return 0;
}
