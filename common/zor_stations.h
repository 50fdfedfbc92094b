/*
** zor_stations.h
** The three stations of the ZOR day and the fields that both records
** keep for each of them, by name: code that goes through the stations in
** turn reads "the service time at S" or "the departure from S", never an
** offset into a record.
*/
#pragma once

#include <cstdint>
#include <cstring>

#include "common/customer_parameters.h"
#include "common/customer_results.h"

/* In route order: every customer visits LAB, then X_RAY and EKG when
** their service times are not 0. Number_Of_Stations also names the exit
** where a place on the route is meant. */
enum Station { LAB = 0, X_RAY = 1, EKG = 2, Number_Of_Stations = 3 };

inline constexpr const char* Station_Name[Number_Of_Stations] = {"LAB", "X_RAY", "EKG"};

/* --- The parameter record, by station. */

inline int32_t Service_Time(const Customer_Parameters& P, int S) {
  return S == LAB ? P.LAB_Service_Time : S == X_RAY ? P.X_RAY_Service_Time : P.EKG_Service_Time;
}

/* The travel time to a station, or to the exit for Number_Of_Stations. */
inline int32_t Travel_Time_To(const Customer_Parameters& P, int Place) {
  return Place == LAB     ? P.Travel_Time_To_LAB
         : Place == X_RAY ? P.Travel_Time_To_X_RAY
         : Place == EKG   ? P.Travel_Time_To_EKG
                          : P.Travel_Time_To_EXIT;
}

/* A service time of 0 means the station is skipped; LAB never is. */
inline bool Visits_Station(const Customer_Parameters& P, int S) { return S == LAB || Service_Time(P, S) != 0; }

/* The next place on the customer's route after S: a station, or
** Number_Of_Stations for the exit. */
inline int Next_Place(const Customer_Parameters& P, int S) {
  for (int Next = S + 1; Next < Number_Of_Stations; Next++)
    if (Visits_Station(P, Next)) return Next;
  return Number_Of_Stations;
}

/* The record's eight times, in record order. */
inline void Times_Of(const Customer_Parameters& P, int32_t Times[8]) {
  static_assert(sizeof P == sizeof(int32_t) * 8, "eight times, no gaps");
  std::memcpy(Times, &P, sizeof P);
}

/* --- The results record, by station. */

enum Visit_Field { Arrived_Field, Queue_Length_Field, Server_Field, Departed_Field, Fields_Per_Visit };

inline constexpr int32_t Customer_Results::*const Visit_Member[Number_Of_Stations][Fields_Per_Visit] = {
    {&Customer_Results::Time_Arrived_LAB, &Customer_Results::LAB_Queue_Length, &Customer_Results::LAB_Server,
     &Customer_Results::Time_Departed_LAB},
    {&Customer_Results::Time_Arrived_X_RAY, &Customer_Results::X_RAY_Queue_Length, &Customer_Results::X_RAY_Server,
     &Customer_Results::Time_Departed_X_RAY},
    {&Customer_Results::Time_Arrived_EKG, &Customer_Results::EKG_Queue_Length, &Customer_Results::EKG_Server,
     &Customer_Results::Time_Departed_EKG},
};

inline int32_t& Visit_Value(Customer_Results& R, int S, Visit_Field F) { return R.*Visit_Member[S][F]; }
inline int32_t Visit_Value(const Customer_Results& R, int S, Visit_Field F) { return R.*Visit_Member[S][F]; }

/* The customer's parameters as the results record copies them. */
inline Customer_Parameters Parameters_Of(const Customer_Results& R) {
  static_assert(sizeof(Customer_Results) - offsetof(Customer_Results, Interarrival_Time) == sizeof(Customer_Parameters),
                "a results record ends with a copy of the parameter record");
  Customer_Parameters P;
  std::memcpy(&P, &R.Interarrival_Time, sizeof P);
  return P;
}

inline void Copy_Parameters(Customer_Results& R, const Customer_Parameters& P) {
  std::memcpy(&R.Interarrival_Time, &P, sizeof P);
}

/* --- Field names, as the listers' legends and the checker's reports give them. */

inline constexpr int Results_Fields = 23;
inline constexpr const char* Customer_Results_Field_Name[Results_Fields] = {
    "Customer_Number",    "Time_Arrived_ZOR",    "Time_Arrived_LAB",     "LAB_Queue_Length",
    "LAB_Server",         "Time_Departed_LAB",   "Time_Arrived_X_RAY",   "X_RAY_Queue_Length",
    "X_RAY_Server",       "Time_Departed_X_RAY", "Time_Arrived_EKG",     "EKG_Queue_Length",
    "EKG_Server",         "Time_Departed_EKG",   "Time_Departed_ZOR",    "Interarrival_Time",
    "Travel_Time_To_LAB", "LAB_Service_Time",    "Travel_Time_To_X_RAY", "X_RAY_Service_Time",
    "Travel_Time_To_EKG", "EKG_Service_Time",    "Travel_Time_To_EXIT"};

/* The first field of each station's four; the parameters follow Time_Departed_ZOR. */
inline constexpr int First_Visit_Field = 2;
inline constexpr int First_Parameter_Field = 15;
inline constexpr int Visit_Fields = Fields_Per_Visit;

inline const char* Visit_Field_Name(int S, Visit_Field F) {
  return Customer_Results_Field_Name[First_Visit_Field + Visit_Fields * S + static_cast<int>(F)];
}

/* The name of the travel field by place, for reports. */
inline const char* Travel_Field_Name(int Place) {
  const char* const Name[] = {"Travel_Time_To_LAB", "Travel_Time_To_X_RAY", "Travel_Time_To_EKG",
                              "Travel_Time_To_EXIT"};
  return Name[Place];
}

/* The station whose four fields hold field number Field (from 0), or -1. */
inline int Station_Of_Field(int Field) {
  int Offset = Field - First_Visit_Field;
  return Offset >= 0 && Offset < Visit_Fields * static_cast<int>(Number_Of_Stations) ? Offset / Visit_Fields : -1;
}

/* A record's 23 fields as an array, for code that compares records field by field. */
inline void Fields_Of(const Customer_Results& R, int32_t Fields[Results_Fields]) {
  static_assert(sizeof R == sizeof(int32_t) * Results_Fields, "23 fields, no gaps");
  std::memcpy(Fields, &R, sizeof R);
}
