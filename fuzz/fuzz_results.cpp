/*
** fuzz_results.cpp
** ZOR_Binary_Out (and ZOR_Binary_In) as the listers and the plotter read
** them: a lister lists exactly the file's whole records, one line each,
** and never more; the plotter's picture of any records is well-formed XML.
*/
#include <vector>

#include <libxml/parser.h>

#include "common/customer_parameters.h"
#include "common/record_io.h"
#include "fuzz/fuzz_check.h"
#include "listers/record_listing.h"
#include "plotter/day_picture.h"

namespace {

size_t Lines_Of(const char* Text, size_t Size) {
  size_t Lines = 0;
  for (size_t I = 0; I < Size; I++) Lines += Text[I] == '\n';
  return Lines;
}

void Check_Listing(const uint8_t* Data, size_t Size, bool Results) {
  std::string Keep;
  std::FILE* In = Stream_Of(Data, Size, Keep);
  char* Text = nullptr;
  size_t Text_Size = 0;
  std::FILE* Out = open_memstream(&Text, &Text_Size);
  Listing L = Results ? List_Results(In, Out) : List_Parameters(In, Out);
  std::fclose(In);
  std::fclose(Out);
  size_t Whole = Size / (Results ? sizeof(Customer_Results) : sizeof(Customer_Parameters));
  FUZZ_HOLDS(!L.Read_Failed && !L.Write_Failed);
  FUZZ_HOLDS(static_cast<size_t>(L.Records) == Whole);
  FUZZ_HOLDS(Lines_Of(Text, Text_Size) == Whole);
  std::free(Text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  Check_Listing(Data, Size, true);
  Check_Listing(Data, Size, false);

  std::string Keep;
  std::FILE* In = Stream_Of(Data, Size, Keep);
  std::vector<Customer_Results> Day;
  FUZZ_HOLDS(Read_All_Records(In, &Day));
  std::fclose(In);
  FUZZ_HOLDS(Day.size() == Size / sizeof(Customer_Results));
  if (Day.size() > 2000) return 0;
  char* Picture = nullptr;
  size_t Picture_Size = 0;
  std::FILE* Out = open_memstream(&Picture, &Picture_Size);
  Draw_Day_Picture(Out, Day);
  std::fclose(Out);
  xmlDocPtr Document = xmlReadMemory(Picture, static_cast<int>(Picture_Size), "ZOR_Plot.svg", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  FUZZ_HOLDS(Document != nullptr);
  xmlFreeDoc(Document);
  std::free(Picture);
  return 0;
}
