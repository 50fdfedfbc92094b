// zor_study: its days are workload_maker's days; its figures are what
// the days themselves give, run through the model one by one; its search
// picks a count known by construction; any thread count prints the same.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/zor_kit_version.h"
#include "simulator/simulation.h"
#include "study/study_figures.h"
#include "tests/process.h"
#include "workload_maker/draw_day.h"

namespace {

static_assert(std::endian::native == std::endian::little, "the tests compare records as they lie in memory");

std::vector<Customer_Parameters> Study_Day_Of(int32_t Seed, int32_t Per_Slot) {
  Random_Stream Stream{Seed, 0, 0};
  std::vector<Customer_Parameters> Day(Max_Day_Customers);
  Day.resize(static_cast<size_t>(Draw_Day(&Stream, Per_Slot, Day.data())));
  return Day;
}

const std::string Csv_Header = "station,servers,days,mean_wait,ci95_low,ci95_high,mean_max_wait,max_wait,utilisation";

std::vector<std::vector<double>> Csv_Rows(const std::string& Text, const std::string& Header = Csv_Header) {
  std::vector<std::vector<double>> Rows;
  std::istringstream Lines(Text);
  std::string Line;
  std::getline(Lines, Line);
  EXPECT_EQ(Line, Header);
  while (std::getline(Lines, Line)) {
    std::vector<double> Row;
    std::istringstream Fields(Line.substr(Line.find(',') + 1));
    for (std::string F; std::getline(Fields, F, ',');) Row.push_back(std::atof(F.c_str()));
    Rows.push_back(Row);
  }
  return Rows;
}

using Study = Scratch_Folder_Test;

TEST_F(Study, ADayDrawnInMemoryIsWorkloadMakersFile) {
  for (int32_t Seed : {1, 17, 99991, 2147483647})
    for (int32_t Per_Slot : {1, 8, 12}) {
      Run_Result Made = Run_Program(WORKLOAD_MAKER_PATH, Folder, std::to_string(Per_Slot) + "\n" + std::to_string(Seed) + "\n");
      ASSERT_EQ(Made.Exit_Status, 0);
      std::vector<Customer_Parameters> Day = Study_Day_Of(Seed, Per_Slot), Fast(Max_Day_Customers);
      EXPECT_EQ(Read_File(At("ZOR_Binary_In")),
                std::string(reinterpret_cast<const char*>(Day.data()), Day.size() * sizeof(Customer_Parameters)))
          << Seed << " " << Per_Slot;
      // zor_study's fast draws give the same day.
      Random_Stream Stream{Seed, 0, 0};
      Fast.resize(size_t(Draw_Day_Fast(&Stream, Per_Slot, Fast.data())));
      EXPECT_EQ(0, std::memcmp(Fast.data(), Day.data(), Day.size() * sizeof(Customer_Parameters)));
      EXPECT_EQ(Fast.size(), Day.size());
    }
}

Interval Interval_Of_Values(std::vector<double> Values) {
  Mean_Tally T;
  for (double V : Values) Fold_Value(T, V);
  return Interval_Of(T);
}

TEST(Study_Figures, IntervalsAndBoundsAgainstTableValues) {
  // Mean 3, s = sqrt(2.5), t(0.975, 4) = 2.776445 from the tables.
  Interval I = Interval_Of_Values({1, 2, 3, 4, 5});
  ASSERT_TRUE(I.Defined);
  double Half = 2.776445 * std::sqrt(2.5 / 5);
  EXPECT_NEAR(I.Mean, 3, 1e-12);
  EXPECT_NEAR(I.Low, 3 - Half, 1e-5);
  EXPECT_NEAR(I.High, 3 + Half, 1e-5);
  Interval Two = Interval_Of_Values({10, 14});  // t(0.975, 1) = 12.706205, s = sqrt(8)
  EXPECT_NEAR(Two.High, 12 + 12.706205 * 2, 1e-4);
  EXPECT_FALSE(Interval_Of_Values({7}).Defined);
  // Far from 0 and close together, where a plain sum of squares would
  // lose every digit: the spread of 1e9 + {1, 2, 3, 4, 5} is that of 1 .. 5.
  Interval Far = Interval_Of_Values({1e9 + 1, 1e9 + 2, 1e9 + 3, 1e9 + 4, 1e9 + 5});
  EXPECT_NEAR(Far.High - Far.Mean, Half, 1e-6);
  // One-sided 95% lower Clopper-Pearson bounds: all of n gives 0.05^(1/n);
  // 9 of 10 gives 0.6058 (tables); none gives 0.
  EXPECT_NEAR(Clopper_Pearson_Lower(20, 20), std::pow(0.05, 1.0 / 20), 1e-12);
  EXPECT_NEAR(Clopper_Pearson_Lower(9, 10), 0.6058, 1e-4);
  EXPECT_EQ(Clopper_Pearson_Lower(0, 10), 0);
}

// The figures of a small study, each worked out here from the days' own
// results records, not from the model's summaries.
TEST_F(Study, FiguresAreThoseOfTheDaysThemselves) {
  const int32_t Servers[] = {2, 2, 1};
  const int Days = 6, First_Seed = 40, Per_Slot = 3;
  Run_Result R = Run_Program(ZOR_STUDY_PATH, Folder, "", {},
                             {"--per-slot", "3", "--days", "6", "--first-seed", "40", "--servers", "2,2,1", "--csv"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  auto Rows = Csv_Rows(R.Out);
  ASSERT_EQ(Rows.size(), 3u);
  for (int S = 0; S < Number_Of_Stations; S++) {
    std::vector<double> Means;
    double Max_Waits = 0, Utilisation = 0;
    int Worst = 0;
    for (int D = 0; D < Days; D++) {
      auto Day = Study_Day_Of(First_Seed + D, Per_Slot);
      std::vector<Customer_Results> Results(Day.size());
      Day_Summary Summary;
      Simulate_Day(Day.data(), int32_t(Day.size()), Servers, Results.data(), &Summary);
      int Visits = 0, Max_Wait = 0, Last = 0;
      double Waits = 0, Busy = 0;
      for (const Customer_Results& C : Results) {
        for (int Any = 0; Any < 3; Any++) Last = std::max(Last, Visit_Value(C, Any, Departed_Field));
        Customer_Parameters P = Parameters_Of(C);
        if (!Visits_Station(P, S)) continue;
        int Service = Service_Time(P, S);
        int Wait = Visit_Value(C, S, Departed_Field) - Service - Visit_Value(C, S, Arrived_Field);
        Visits++, Waits += Wait, Busy += Service, Max_Wait = std::max(Max_Wait, Wait);
      }
      Utilisation += Busy / (double(Servers[S]) * Last);
      Worst = std::max(Worst, Max_Wait);
      if (Visits == 0) continue;
      Means.push_back(Waits / Visits);
      Max_Waits += Max_Wait;
    }
    double Mean = 0, Squares = 0;
    for (double M : Means) Mean += M / double(Means.size());
    for (double M : Means) Squares += (M - Mean) * (M - Mean);
    double Half = 2.570582 * std::sqrt(Squares / double(Means.size() - 1) / double(Means.size()));  // t(0.975, 5)
    ASSERT_EQ(Means.size(), 6u) << "every station is visited on each of these days";
    const std::vector<double>& Row = Rows[size_t(S)];
    EXPECT_EQ(Row[0], Servers[S]);
    EXPECT_EQ(Row[1], 6);
    EXPECT_NEAR(Row[2], Mean, 1e-3);
    EXPECT_NEAR(Row[3], Mean - Half, 2e-3);
    EXPECT_NEAR(Row[4], Mean + Half, 2e-3);
    EXPECT_NEAR(Row[5], Max_Waits / 6, 1e-3);
    EXPECT_EQ(Row[6], Worst);
    EXPECT_NEAR(Row[7], Utilisation / Days, 1e-4);
  }
}

// A target set just at one count's upper bound is met by that count and
// not by the one before, so the search must stop exactly there.
TEST_F(Study, SearchStopsAtTheCountThatJustMeetsTheTarget) {
  const std::vector<std::string> Load = {"--per-slot", "6", "--days", "30", "--csv"};
  std::vector<std::string> Every = Load;
  Every.insert(Every.end(), {"--target-wait", "0"});
  Run_Result All = Run_Program(ZOR_STUDY_PATH, Folder, "", {}, Every);
  auto Rows = Csv_Rows(All.Out);
  ASSERT_GE(Rows.size(), 5u);
  ASSERT_EQ(Rows[3][0], 4);  // LAB counts 1, 2, ... come first
  double Target = Rows[3][4] + 0.0005;  // the upper bound at 4 LAB servers, printed to 3 decimals
  ASSERT_GT(Rows[2][4], Target);
  std::vector<std::string> Search = {"--per-slot", "6", "--days", "30", "--target-wait", std::to_string(Target)};
  Run_Result Chosen = Run_Program(ZOR_STUDY_PATH, Folder, "", {}, Search);
  EXPECT_EQ(Chosen.Exit_Status, 0) << Chosen.Out;
  EXPECT_NE(Chosen.Out.find("\n        4    30"), std::string::npos) << Chosen.Out;
  EXPECT_NE(Chosen.Out.find("<- chosen\n\nX_RAY, with LAB 4 (chosen)"), std::string::npos) << Chosen.Out;
  EXPECT_NE(Chosen.Out.find("\nChosen staffing: LAB 4, X_RAY "), std::string::npos) << Chosen.Out;

  Run_Result Never = Run_Program(ZOR_STUDY_PATH, Folder, "", {}, {"--per-slot", "12", "--days", "50", "--target-wait", "0"});
  EXPECT_EQ(Never.Exit_Status, 1);
  EXPECT_NE(Never.Out.find("No staffing of at most 20 servers per station meets the target."), std::string::npos);
  EXPECT_NE(Never.Out.find("  20 servers are not enough"), std::string::npos);
}

// Over more days the search judges all three stations in one pass, each
// with the stations before at the counts a pilot made likely, and judges
// a station again where that guess was wrong (on this load and target it
// is X_RAY's count, so EKG is judged twice). Each row must still be the
// station's figures with the stations before at their chosen counts and
// those after at 20, as one staffing gives them.
TEST_F(Study, EverySearchRowIsThatOfTheStaffingTried) {
  auto Study_Of = [&](std::vector<std::string> More) {
    std::vector<std::string> Arguments = {"--per-slot", "6", "--days", "1100", "--csv"};
    Arguments.insert(Arguments.end(), More.begin(), More.end());
    return Run_Program(ZOR_STUDY_PATH, Folder, "", {}, Arguments);
  };
  Run_Result Search = Study_Of({"--target-wait", "140"});
  ASSERT_EQ(Search.Exit_Status, 0) << Search.Err;
  std::vector<std::pair<int, std::string>> Rows[Number_Of_Stations];  // count, CSV line
  std::istringstream Lines(Search.Out);
  std::string Line;
  std::getline(Lines, Line);
  while (std::getline(Lines, Line))
    for (int S = 0; S < Number_Of_Stations; S++)
      if (Line.rfind(std::string(Station_Name[S]) + ",", 0) == 0)
        Rows[S].emplace_back(std::atoi(Line.c_str() + std::strlen(Station_Name[S]) + 1), Line);
  int Chosen[Number_Of_Stations];
  for (int S = 0; S < Number_Of_Stations; S++) {
    ASSERT_FALSE(Rows[S].empty()) << Search.Out;
    Chosen[S] = Rows[S].back().first;
  }
  for (int S = 0; S < Number_Of_Stations; S++)
    for (const auto& [Count, Row] : Rows[S]) {
      int Servers[Number_Of_Stations];
      for (int Other = 0; Other < Number_Of_Stations; Other++)
        Servers[Other] = Other < S ? Chosen[Other] : Other == S ? Count : Max_Servers;
      Run_Result One = Study_Of(
          {"--servers", std::to_string(Servers[0]) + "," + std::to_string(Servers[1]) + "," + std::to_string(Servers[2])});
      EXPECT_NE(One.Out.find("\n" + Row + "\n"), std::string::npos) << Row << "\n" << One.Out;
    }
}

// A service-level target: LAB's count is the smallest whose share of days
// with a mean wait of at most T has a lower 95% bound of at least P, the
// share counted here from each day's own results records, with X_RAY and
// EKG given every server as the search gives them.
TEST_F(Study, OnDaysChoosesByTheShareOfDaysMeetingTheTarget) {
  const int Days = 60, Per_Slot = 6;
  const double Target = 60, Share = 0.8;
  Run_Result R = Run_Program(ZOR_STUDY_PATH, Folder, "", {},
                             {"--per-slot", "6", "--days", "60", "--target-wait", "60", "--on-days", "0.8", "--csv"});
  ASSERT_EQ(R.Exit_Status, 0) << R.Err;
  auto Rows = Csv_Rows(R.Out, Csv_Header + ",share_meeting_target,share_lower_bound");
  int Chosen = 0;
  for (int32_t Servers = 1; Servers <= 20 && Chosen == 0; Servers++) {
    const int32_t All[] = {Servers, 20, 20};
    int Meeting = 0;
    for (int D = 0; D < Days; D++) {
      auto Day = Study_Day_Of(1 + D, Per_Slot);
      std::vector<Customer_Results> Results(Day.size());
      Day_Summary Summary;
      Simulate_Day(Day.data(), int32_t(Day.size()), All, Results.data(), &Summary);
      double Waits = 0;
      for (const Customer_Results& C : Results)
        Waits += C.Time_Departed_LAB - C.LAB_Service_Time - C.Time_Arrived_LAB;
      Meeting += Waits / double(Results.size()) <= Target;
    }
    const std::vector<double>& Row = Rows[size_t(Servers - 1)];
    EXPECT_EQ(Row[0], Servers);
    EXPECT_NEAR(Row[8], double(Meeting) / Days, 1e-4) << Servers;
    EXPECT_NEAR(Row[9], Clopper_Pearson_Lower(Meeting, Days), 1e-4) << Servers;
    if (Clopper_Pearson_Lower(Meeting, Days) >= Share) Chosen = Servers;
  }
  ASSERT_GT(Chosen, 1) << "the target should need more than one server";
  Run_Result Table = Run_Program(ZOR_STUDY_PATH, Folder, "", {},
                                 {"--per-slot", "6", "--days", "60", "--target-wait", "60", "--on-days", "0.8"});
  EXPECT_NE(Table.Out.find("\nChosen staffing: LAB " + std::to_string(Chosen) + ", "), std::string::npos) << Table.Out;
}

TEST_F(Study, AnyThreadCountPrintsAndDrawsTheSame) {
  for (std::vector<std::string> Run : {std::vector<std::string>{"--servers", "3,2,1"}, {"--target-wait", "600"}}) {
    std::string First_Out, First_Picture;
    for (const char* Threads : {"1", "2", "7"}) {
      std::vector<std::string> Arguments = {"--per-slot", "5", "--days", "40", "--svg", "study.svg", "--threads", Threads};
      Arguments.insert(Arguments.end(), Run.begin(), Run.end());
      Run_Result R = Run_Program(ZOR_STUDY_PATH, Folder, "", {}, Arguments);
      ASSERT_EQ(R.Exit_Status, 0) << R.Err;
      EXPECT_EQ(R.Err, "");
      if (First_Out.empty()) {
        First_Out = R.Out, First_Picture = Read_File(At("study.svg"));
        EXPECT_EQ(Run_Program("xmllint", Folder, "", {}, {"--noout", "study.svg"}).Exit_Status, 0);
      }
      EXPECT_EQ(R.Out, First_Out) << Threads;
      EXPECT_EQ(Read_File(At("study.svg")), First_Picture) << Threads;
    }
    int Lab = 0, X_Ray = 0, Ekg = 0;
    if (Run[0] == "--target-wait") {
      size_t At_Choice = First_Out.find("Chosen staffing: ");
      ASSERT_NE(At_Choice, std::string::npos);
      ASSERT_EQ(std::sscanf(First_Out.c_str() + At_Choice, "Chosen staffing: LAB %d, X_RAY %d, EKG %d", &Lab, &X_Ray, &Ekg), 3);
      for (auto [Station, Count] : {std::pair{"LAB", Lab}, {"X_RAY", X_Ray}, {"EKG", Ekg}})
        EXPECT_NE(First_Picture.find(std::string(">") + Station + ": " + std::to_string(Count) + " servers<"),
                  std::string::npos);
    }
  }
}

TEST_F(Study, BadOptionsAreRefusedBeforeAnyWork) {
  struct Case {
    std::vector<std::string> Arguments;
    std::string Names;
  };
  const Case Cases[] = {
      {{"--servers", "5,4,2"}, "--per-slot"},
      {{"--per-slot", "13", "--servers", "5,4,2"}, "--per-slot"},
      {{"--per-slot", "0", "--servers", "5,4,2"}, "--per-slot"},
      {{"--per-slot", "4", "--days", "1", "--servers", "5,4,2"}, "--days"},
      {{"--per-slot", "4", "--first-seed", "0", "--servers", "5,4,2"}, "--first-seed"},
      {{"--per-slot", "4", "--first-seed", "2147483647", "--servers", "5,4,2"}, "--first-seed"},
      {{"--per-slot", "4", "--servers", "5,4"}, "--servers"},
      {{"--per-slot", "4", "--servers", "5,21,2"}, "--servers"},
      {{"--per-slot", "4", "--servers", "5,x,2"}, "--servers"},
      {{"--per-slot", "4"}, "--servers or --target-wait"},
      {{"--per-slot", "4", "--servers", "5,4,2", "--target-wait", "300"}, "--servers"},
      {{"--per-slot", "4", "--target-wait", "-5"}, "--target-wait"},
      {{"--per-slot", "4", "--servers", "5,4,2", "--threads", "0"}, "--threads"},
      {{"--per-slot", "4", "--servers", "5,4,2", "--colour"}, "--colour"},
  };
  for (const Case& C : Cases) {
    std::vector<std::string> Arguments = C.Arguments;
    Arguments.insert(Arguments.end(), {"--svg", "study.svg"});
    Run_Result R = Run_Program(ZOR_STUDY_PATH, Folder, "", {}, Arguments);
    EXPECT_EQ(R.Exit_Status, 2) << C.Names;
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err.rfind("zor_study: ", 0), 0u) << R.Err;
    EXPECT_NE(R.Err.find(C.Names), std::string::npos) << R.Err;
    EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << R.Err;
    EXPECT_FALSE(File_Exists(At("study.svg")));
  }
  Run_Result Help = Run_Program(ZOR_STUDY_PATH, Folder, "", {}, {"--help"});
  EXPECT_EQ(Help.Exit_Status, 0);
  for (const char* Option : {"--per-slot", "--days", "--first-seed", "--servers", "--target-wait", "--csv", "--svg",
                             "--threads", "--version", "Examples:"})
    EXPECT_NE(Help.Out.find(Option), std::string::npos) << Option;
  EXPECT_EQ(Run_Program(ZOR_STUDY_PATH, Folder, "", {}, {"--version"}).Out, "zor_study (ZOR kit) " ZOR_KIT_VERSION "\n");
}

}  // namespace
