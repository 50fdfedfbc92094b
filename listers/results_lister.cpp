/*
** results_lister.cpp
** Lists the simulator's ZOR_Binary_Out as the text table ZOR_Text_Out,
** one customer per line, and prints a legend of its 23 columns.
*/
#include <cstdint>
#include <cstdio>

#include "customer_results.h"
#include "customer_results_fields.h"
#include "record_io.h"
#include "main_error.h"
#include "program_arguments.h"
#include "zor_files.h"

static const char Help[] =
    "Usage: results_lister\n"
    "Lists ZOR_Binary_Out in the current folder as the text table ZOR_Text_Out, one\n"
    "customer per line (23 columns), and prints the count and a legend of the\n"
    "columns on standard output. It asks nothing.\n"
    "Exit status: 0 on success; 1 on failure, after an \"ERROR in main\" block:\n"
    "exit point 1, ZOR_Binary_Out missing or unreadable; 2, ZOR_Text_Out cannot be\n"
    "created; 3, a line cannot be written (the partial table is removed).\n"
    "Example: results_lister && less ZOR_Text_Out\n";

[[noreturn]] static void Text_Write_Failed() {
  Main_Error(3, "  fprintf failed to file: %s\n", ZOR_Text_Out);
}

/* Each column has its own minimum width; the columns only widen. */
static void Write_Line(std::FILE* Text, const Customer_Results& R) {
  const struct {
    int Width;
    int32_t Value;
  } Field[] = {
      {3, R.Customer_Number},    {6, R.Time_Arrived_ZOR},    {6, R.Time_Arrived_LAB},   {3, R.LAB_Queue_Length},
      {1, R.LAB_Server},         {6, R.Time_Departed_LAB},   {6, R.Time_Arrived_X_RAY}, {3, R.X_RAY_Queue_Length},
      {1, R.X_RAY_Server},       {6, R.Time_Departed_X_RAY}, {6, R.Time_Arrived_EKG},   {3, R.EKG_Queue_Length},
      {1, R.EKG_Server},         {6, R.Time_Departed_EKG},   {6, R.Time_Departed_ZOR},  {6, R.Interarrival_Time},
      {6, R.Travel_Time_To_LAB}, {6, R.LAB_Service_Time},    {6, R.Travel_Time_To_X_RAY},
      {6, R.X_RAY_Service_Time}, {6, R.Travel_Time_To_EKG},  {6, R.EKG_Service_Time},   {2, R.Travel_Time_To_EXIT},
  };
  for (const auto& F : Field)
    if (std::fprintf(Text, " %*d", F.Width, F.Value) < 0) Text_Write_Failed();
  if (std::fputs("\n", Text) == EOF) Text_Write_Failed();
}

static void Print_Summary(int32_t Count) {
  std::printf("Number of customers: %d\n", Count);
  std::printf("The text file %s has been written\n", ZOR_Text_Out);
  std::fputs("  with one customer simulation results on a line\n"
             "  each line has the following fields\n",
             stdout);
  for (int Column = 1; Column <= 23; Column++)
    std::printf("%5d -- %s\n", Column, Customer_Results_Field_Name[Column - 1]);
}

int main(int Argc, char** Argv) {
  Take_No_Arguments(Argc, Argv, "results_lister", Help);
  std::FILE* In = Open_Binary_Input(ZOR_Binary_Out);
  if (In == nullptr) Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_Out);
  std::FILE* Text = std::fopen(ZOR_Text_Out, "w");
  if (Text == nullptr) Main_Error(2, "  File: %s can not be opened for writing\n", ZOR_Text_Out);
  Unfinished_File = ZOR_Text_Out;

  int32_t Count = 0;
  Customer_Results R;
  while (Read_Int32_Record(In, &R, sizeof R)) {
    Count++;
    Write_Line(Text, R);
  }
  /* A read error is not the end of the file: a table cut short must not
  ** be reported as the whole day. */
  if (std::ferror(In)) Main_Error(1, "  File: %s can not be opened for reading\n", ZOR_Binary_Out);
  std::fclose(In);
  if (std::fclose(Text) != 0) Text_Write_Failed();
  Unfinished_File = nullptr;
  Print_Summary(Count);
  return 0;
}
