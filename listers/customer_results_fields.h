/*
** customer_results_fields.h
** The names of the 23 fields of a results record, in record order: the
** legend results_lister prints, and the names results_checker reports.
*/
#pragma once

inline constexpr const char* Customer_Results_Field_Name[23] = {
    "Customer_Number",    "Time_Arrived_ZOR",    "Time_Arrived_LAB",     "LAB_Queue_Length",
    "LAB_Server",         "Time_Departed_LAB",   "Time_Arrived_X_RAY",   "X_RAY_Queue_Length",
    "X_RAY_Server",       "Time_Departed_X_RAY", "Time_Arrived_EKG",     "EKG_Queue_Length",
    "EKG_Server",         "Time_Departed_EKG",   "Time_Departed_ZOR",    "Interarrival_Time",
    "Travel_Time_To_LAB", "LAB_Service_Time",    "Travel_Time_To_X_RAY", "X_RAY_Service_Time",
    "Travel_Time_To_EKG", "EKG_Service_Time",    "Travel_Time_To_EXIT"};
