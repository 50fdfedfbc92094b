/*
** record_listing.cpp
** The lines of ZOR_Text_In and ZOR_Text_Out.
*/
#include "listers/record_listing.h"

#include "common/customer_parameters.h"
#include "common/customer_results.h"
#include "common/main_error.h"
#include "common/record_io.h"
#include "common/staged_file.h"

namespace {

bool Write_Parameters_Line(std::FILE* Text, const Customer_Parameters& R) {
  return std::fprintf(Text, " %6d %6d %6d %6d %6d %6d %6d %6d\n", R.Interarrival_Time, R.Travel_Time_To_LAB,
                      R.LAB_Service_Time, R.Travel_Time_To_X_RAY, R.X_RAY_Service_Time, R.Travel_Time_To_EKG,
                      R.EKG_Service_Time, R.Travel_Time_To_EXIT) >= 1;
}

/* Each column has its own minimum width; the columns only widen. */
bool Write_Results_Line(std::FILE* Text, const Customer_Results& R) {
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
    if (std::fprintf(Text, " %*d", F.Width, F.Value) < 0) return false;
  return std::fputs("\n", Text) != EOF;
}

template <typename Record, bool Write_Line(std::FILE*, const Record&)>
Listing List(std::FILE* In, std::FILE* Text) {
  Listing L{0, false, false};
  Record R;
  while (Read_Int32_Record(In, &R, sizeof R)) {
    L.Records++;
    if (!Write_Line(Text, R)) {
      L.Write_Failed = true;
      return L;
    }
  }
  L.Read_Failed = std::ferror(In) != 0;
  return L;
}

}  // namespace

Listing List_Parameters(std::FILE* In, std::FILE* Text) {
  return List<Customer_Parameters, Write_Parameters_Line>(In, Text);
}

Listing List_Results(std::FILE* In, std::FILE* Text) { return List<Customer_Results, Write_Results_Line>(In, Text); }

int32_t List_File_Or_Exit(const char* Binary, const char* Text_Name, Listing (*List)(std::FILE*, std::FILE*)) {
  std::FILE* In = Open_Binary_Input(Binary);
  if (In == nullptr) Main_Error(1, "  File: %s can not be opened for reading\n", Binary);
  Staged_File Text;
  if (!Begin_Staged_File(&Text, Text_Name)) Main_Error(2, "  File: %s can not be opened for writing\n", Text_Name);
  Listing L = List(In, Text.Out);
  if (L.Write_Failed) Main_Error(3, "  fprintf failed to file: %s\n", Text_Name);
  /* A read error is not the end of the file: a table cut short must not
  ** be reported as the whole day. */
  if (L.Read_Failed) Main_Error(1, "  File: %s can not be opened for reading\n", Binary);
  std::fclose(In);
  /* The lines go through a buffer, so a full disk may show only here;
  ** the summary is printed once the table is known to be written. */
  if (!Finish_Staged_File(&Text, Text_Name)) Main_Error(3, "  fprintf failed to file: %s\n", Text_Name);
  return L.Records;
}
