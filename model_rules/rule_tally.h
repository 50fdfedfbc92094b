/*
** rule_tally.h
** What the rule files share: the visits to one station as the file
** records them, and the tally of violations each rule adds to.
*/
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model_rules/model_rules.h"

/* One customer's visit to one station, read from the results: the start
** of its service is its departure less its service time. */
struct Station_Visit {
  int64_t Arrived, Start, Departed;
  int32_t Customer;  // from 1
  int32_t Server, Queue_Length, Service;
};

/* Where a violation stands in simulated time; Note keeps, per rule, the
** earliest one. */
struct When {
  int64_t Instant;
  int Phase;
  int64_t Tie;
};

/* A customer's earliest violation of a rule other than the reference's. */
struct First_Break {
  bool Any;
  When At;
  Rule Broken;
};

struct Rule_Tally {
  std::vector<First_Break> Of_Customer;        // per customer, from 1
  std::vector<char> Breaks_Reference;          // per customer, from 1
  Violation First[Number_Of_Rules];
  bool Any[Number_Of_Rules] = {};
};

/* Whether the file holds 0 in all four fields of a visit to S, as for a
** station skipped: the route rule then names the visit left out, and the
** station's own rules leave it aside. */
bool Skipped_In_File(const Customer_Results& R, int32_t S);

/* A start is the model's decision at a departure when the customer had
** waited (the server it takes was just freed), else at its arrival. */
When Start_Decision(const Station_Visit& V, int32_t Station);

/* Keeps the violation if it is the rule's earliest so far, and if it is
** the customer's earliest. */
void Note(Rule_Tally& T, Rule R, int64_t Customer, int32_t Station, const char* Field, When At,
          std::string Expected, std::string Found, std::string Why = "", std::string Hint = "");

std::string Text_Of(int64_t Value);
std::string Format_Text(const char* Format, ...) __attribute__((format(printf, 1, 2)));

/* The rules, each in its own file. */
void Check_Records(Rule_Tally& T, const std::vector<Customer_Parameters>& Day, const Results_File& Results);
void Check_Arrivals_And_Routes(Rule_Tally& T, const std::vector<Customer_Parameters>& Day,
                               const std::vector<Customer_Results>& Records);
void Check_Station(Rule_Tally& T, int32_t S, int32_t Servers, const std::vector<Customer_Parameters>& Day,
                   const std::vector<Customer_Results>& Records);
void Check_Reference(Rule_Tally& T, const std::vector<Customer_Parameters>& Day,
                     const std::vector<Customer_Results>& Records, const int32_t Servers[Number_Of_Stations]);
